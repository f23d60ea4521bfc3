#include "link/CommDriver.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "link/CommLog.h"
#include "wire/PortName.h"
#include "link/RxRing.h"
#include "util/Log.h"

namespace {

struct CommPort {
    std::unique_ptr<SerialPort> port;  // null marks the slot free
    std::unique_ptr<RxRing> ring;
    std::thread reader;
    std::thread writer;
    std::atomic<bool> stop{false};
    std::atomic<bool> readerRunning{false};
    // Guarded by queueLock together with the queue, so that a block is never
    // queued to a write thread that has already left.
    bool writerRunning = false;
    std::mutex queueLock;
    std::condition_variable queueWake;
    std::deque<std::vector<uint8_t>> queue;
};

CommPort gPorts[kCommSlots];
// Slot lifetime: start and stop take it exclusively, the application-side
// calls shared. The driver threads never take it (a stop joins them while
// holding it); they only touch their own slot, which outlives them.
std::shared_mutex gTable;
RxDumpFile gDump;
std::atomic<int> gCurrent{-1};
std::mutex gStartErrorLock;
std::string gStartError;

int startFailed(const std::string& why) {
    std::lock_guard<std::mutex> g(gStartErrorLock);
    gStartError = why;
    return -1;
}

bool validSlot(int slot) { return slot >= 0 && slot < kCommSlots; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A read that fails because the device went away (unplugged adapter, closed
// far side of a pseudo-terminal) is the POSIX face of an invalid handle.
bool portGone(int err) {
    return err == 0 || err == EIO || err == EBADF || err == ENXIO || err == ENODEV;
}

// Compares the driver's error counts with the last ones after each wake-up;
// errors are only logged, no byte is dropped for them.
void logLineErrors(const SerialPort& port, SerialPort::ErrorCounts* last) {
    SerialPort::ErrorCounts now;
    if (!port.errorCounts(&now)) return;
    const unsigned long bits = LineErrorBits(*last, now);
    *last = now;
    if (bits) CommLogf("Comm Event: '%s', EvtMask = '%lx'\n", LineErrorText(bits).c_str(), bits);
}

void readThread(CommPort* rec) {
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kCommReadChunk]);
    CommLog("Read Thread: before SetCommMask\n");
    // Where the driver keeps no error counts (a pseudo-terminal) errors go unseen.
    SerialPort::ErrorCounts lastErrors;
    const bool watchErrors = rec->port->errorCounts(&lastErrors);
    CommLog("Read Thread: before SetupReadEvent\n");
    CommLog("Read Thread: Keep looping until we break out.\n");
    for (;;) {
        if (rec->stop.load()) {
            CommLog("Read Thread: WAIT_OBJECT_0\n");
            break;
        }
        CommLog("Read Thread: looping...\n");
        CommLog("Waiting for data from comm connection.\n");
        errno = 0;
        // No timeout needed: StopComm raises the stop flag before it interrupts,
        // and an interrupt that comes early is kept until the next wait.
        const long got = rec->port->readSome(buf.get(), kCommReadChunk, -1);
        const int err = errno;
        CommLog("Read Thread: end WaitForMultipleObjects...\n");
        if (watchErrors) logLineErrors(*rec->port, &lastErrors);
        if (got < 0) {
            if (portGone(err))
                CommLog("ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.\n");
            else
                CommLogError(static_cast<unsigned long>(err), "Unexpected ReadFile error: ");
            break;
        }
        if (got == 0) continue;
        CommLog("Data waiting for ReadFile.\n");
        if (!rec->ring->put(buf.get(), static_cast<size_t>(got))) {
            CommLog("Read Thread: WAIT_OBJECT_0 + 2 - !HandleReadEvent\n");
            break;
        }
    }
    CommLog("Read thread shutting down\n");
    rec->port->flushInput();
    rec->readerRunning.store(false);
}

// Blocks go out in pieces so that a stop is seen between them: a write stuck on
// a line that does not drain is only released by discarding the output, and
// that must not have to go on for a whole large block. A piece covers every
// request frame whole; between the pieces of a larger block the line pauses
// for no more than a system call.
constexpr size_t kWritePiece = 4096;

bool writeCommBlock(CommPort* rec, const std::vector<uint8_t>& block) {
    for (size_t off = 0; off < block.size();) {
        if (rec->stop.load()) return false;
        const size_t piece = std::min(kWritePiece, block.size() - off);
        const long wrote = rec->port->write(block.data() + off, piece);
        if (wrote == SerialPort::kEchoFault) {
            // The line garbled what we sent: the exchange fails (the port
            // drops what follows up to our next write), the link stays.
            CommLogf("Write: %s\n", rec->port->lastError().c_str());
            DebugLog("CommWrite: %s", rec->port->lastError().c_str());
            return true;
        }
        if (wrote != static_cast<long>(piece)) {
            if (rec->stop.load()) return false;  // output discarded by the stop
            CommLog("Error to writing to CommFile");
            CommLog("Closing TAPI\n");
            return false;
        }
        off += piece;
    }
    CommLog("Wrote the whole string.");
    return true;
}

void writeThread(CommPort* rec) {
    for (;;) {
        std::vector<uint8_t> block;
        {
            std::unique_lock<std::mutex> lk(rec->queueLock);
            rec->queueWake.wait(lk, [rec] { return rec->stop.load() || !rec->queue.empty(); });
            if (rec->stop.load()) break;
            block = std::move(rec->queue.front());
            rec->queue.pop_front();
        }
        CommLog("Writing to comm port\n");
        if (!writeCommBlock(rec, block)) break;
    }
    CommLog("Write thread shutting down\n");
    rec->port->flushOutput();
    std::lock_guard<std::mutex> g(rec->queueLock);
    rec->writerRunning = false;
    rec->queue.clear();
}

// Called with gTable held exclusively.
void stopSlotLocked(CommPort& rec) {
    if (!rec.port) return;
    CommLog("Stopping the Comm\n");
    // Stop first, so that neither thread starts another wait once woken.
    {
        std::lock_guard<std::mutex> g(rec.queueLock);
        rec.stop.store(true);
    }
    rec.queueWake.notify_all();

    CommLog("Closing Read Thread\n");
    rec.port->interrupt();
    rec.port->flushInput();
    if (rec.reader.joinable()) rec.reader.join();

    CommLog("Closing Write Thread\n");
    if (rec.writer.joinable()) {
        // A write blocked on a full output queue is released by discarding that
        // queue; keep discarding until the thread has seen the stop.
        const auto start = std::chrono::steady_clock::now();
        bool noted = false;
        for (;;) {
            {
                std::lock_guard<std::mutex> g(rec.queueLock);
                if (!rec.writerRunning) break;
            }
            rec.port->flushOutput();
            if (!noted && std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
                CommLog("Write thread not exiting.  Discarding its output until it does.\n");
                noted = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        rec.writer.join();
    }

    rec.port->close();
    rec.port.reset();
    rec.ring.reset();
    std::lock_guard<std::mutex> g(rec.queueLock);
    rec.queue.clear();
    rec.writerRunning = false;
    rec.stop.store(false);
}

}  // namespace

bool NormalizeCommConfig(const char* config, std::string* out) {
    if (!config || std::strlen(config) > kCommConfigMax) return false;
    std::string s(config);
    if (s.rfind("\\\\.\\", 0) == 0) s.erase(0, 4);
    size_t a = 0;
    while (a < s.size() && isBlank(s[a])) ++a;
    s.erase(0, a);
    const size_t semi = s.find(';');
    if (semi != std::string::npos) s.resize(semi);
    while (!s.empty() && isBlank(s.back())) s.pop_back();
    if (s.size() < 5 || s.find(':') == std::string::npos) return false;
    *out = s;
    return true;
}

std::string LastStartCommError() {
    std::lock_guard<std::mutex> g(gStartErrorLock);
    return gStartError;
}

int StartComm(const char* config) {
    std::string mode;
    if (!NormalizeCommConfig(config, &mode)) return startFailed("cannot read the port description");

    std::unique_lock<std::shared_mutex> table(gTable);
    int slot = -1;
    for (int i = 0; i < kCommSlots; ++i)
        if (!gPorts[i].port) {
            slot = i;
            break;
        }
    if (slot < 0) return startFailed("both driver slots are in use");
    CommPort& rec = gPorts[slot];

    LineSettings settings;
    if (!BuildLineSettings(mode, &settings)) {
        CommLogf("StartComm: cannot read the port description '%s'\n", mode.c_str());
        DebugLog("StartComm: cannot read the port description '%s'", mode.c_str());
        return startFailed("cannot read the port description '" + mode + "'");
    }
    auto port = std::make_unique<SerialPort>();
    if (!port->open(settings)) {
        CommLogf("StartComm: %s\n", port->lastError().c_str());
        DebugLog("StartComm(%s): %s", mode.c_str(), port->lastError().c_str());
        return startFailed(port->lastError());
    }
    std::unique_ptr<RxRing> ring;
    try {
        ring = std::make_unique<RxRing>(RxRing::kSize, &gDump);
    } catch (const std::bad_alloc&) {
        DebugLog("StartComm(%s): no memory for the receive ring", mode.c_str());
        return startFailed("no memory for the receive ring");
    }

    startFailed("");
    // The dump is made afresh before the threads run, so that it holds every
    // byte of this start from the first one.
    gDump.recreate("mcommcode.dat");

    rec.port = std::move(port);
    rec.ring = std::move(ring);
    rec.stop.store(false);
    rec.readerRunning.store(true);
    {
        std::lock_guard<std::mutex> g(rec.queueLock);
        rec.queue.clear();
        rec.writerRunning = true;
    }
    // Thread priorities stay at the default: raising them needs privileges a
    // service tool does not have, and a 2048-byte read every 22 ms at 921600
    // baud is far within reach of an ordinary thread.
    try {
        rec.reader = std::thread(readThread, &rec);
    } catch (const std::system_error& e) {
        CommLogError(static_cast<unsigned long>(e.code().value()), "Unable to create Read thread\n");
        DebugLog("StartComm: Unable to create Read thread");
        rec.readerRunning.store(false);
        {
            std::lock_guard<std::mutex> g(rec.queueLock);
            rec.writerRunning = false;
        }
        stopSlotLocked(rec);
        return startFailed("cannot start the driver's threads");
    }
    try {
        rec.writer = std::thread(writeThread, &rec);
    } catch (const std::system_error& e) {
        CommLogError(static_cast<unsigned long>(e.code().value()), "Unable to create Write thread\n");
        DebugLog("StartComm: Unable to create Write thread");
        {
            std::lock_guard<std::mutex> g(rec.queueLock);
            rec.writerRunning = false;
        }
        stopSlotLocked(rec);
        return startFailed("cannot start the driver's threads");
    }
    return slot;
}

void StopCommSlot(int slot) {
    if (!validSlot(slot)) return;
    std::unique_lock<std::shared_mutex> table(gTable);
    stopSlotLocked(gPorts[slot]);
}

void StopComm() { StopCommSlot(gCurrent.load()); }

int CommWrite(const uint8_t* data, size_t length) {
    const int slot = gCurrent.load();
    if (!validSlot(slot)) return 0;
    if (!data && length) return 0;
    std::shared_lock<std::shared_mutex> table(gTable);
    CommPort& rec = gPorts[slot];
    if (!rec.port) return 0;
    try {
        std::vector<uint8_t> block(data, data + length);
        std::lock_guard<std::mutex> g(rec.queueLock);
        if (!rec.writerRunning) {
            CommLog("Write thread not created\n");
            return 0;
        }
        rec.queue.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        CommLog("Failed to Post to Write thread.\n");
        return 0;
    }
    rec.queueWake.notify_one();
    return 1;
}

size_t GetFromRXQueue(int slot, uint8_t* buf, size_t max) { return GetFromRXQueue(slot, buf, max, nullptr); }

size_t GetFromRXQueue(int slot, uint8_t* buf, size_t max, uint64_t* overwrittenOut) {
    if (!validSlot(slot) || !buf) return 0;
    std::shared_lock<std::shared_mutex> table(gTable);
    RxRing* ring = gPorts[slot].ring.get();
    return ring ? ring->get(buf, max, overwrittenOut) : 0;
}

int PutInRXQueue(int slot, const uint8_t* data, size_t n) {
    if (!validSlot(slot) || (!data && n)) return 0;
    std::shared_lock<std::shared_mutex> table(gTable);
    RxRing* ring = gPorts[slot].ring.get();
    return ring ? ring->put(data, n) : 0;
}

int PurgeCommQueue(int which) {
    const int slot = gCurrent.load();
    if (!validSlot(slot) || (which != 0 && which != 1)) return -1;
    std::shared_lock<std::shared_mutex> table(gTable);
    CommPort& rec = gPorts[slot];
    if (!rec.port) return -1;
    errno = 0;
    if (which == 0) return rec.port->flushOutput() ? 0 : errno;
    rec.ring->purge();
    return rec.port->flushInput() ? 0 : errno;
}

bool EmptyCommRx(int slot) {
    if (!validSlot(slot)) return false;
    std::shared_lock<std::shared_mutex> table(gTable);
    CommPort& rec = gPorts[slot];
    if (!rec.port) return false;
    rec.ring->purge();
    rec.port->flushInput();
    return true;
}

uint32_t GetCommStats(uint64_t* totalOut) {
    uint32_t count = 0;
    uint64_t total = 0;
    const int slot = gCurrent.load();
    if (validSlot(slot)) {
        std::shared_lock<std::shared_mutex> table(gTable);
        if (RxRing* ring = gPorts[slot].ring.get()) {
            count = ring->count();
            total = ring->total();
        }
    }
    if (totalOut) *totalOut = total;
    return count;
}

uint32_t CommBytesAvail() { return GetCommStats(nullptr); }

uint64_t CommOverwritten() {
    const int slot = gCurrent.load();
    if (!validSlot(slot)) return 0;
    std::shared_lock<std::shared_mutex> table(gTable);
    RxRing* ring = gPorts[slot].ring.get();
    return ring ? ring->overwritten() : 0;
}

bool CommSlotOpen(int slot) {
    if (!validSlot(slot)) return false;
    std::shared_lock<std::shared_mutex> table(gTable);
    return gPorts[slot].port != nullptr;
}

bool CommReadThreadRunning(int slot) {
    if (!validSlot(slot)) return false;
    std::shared_lock<std::shared_mutex> table(gTable);
    return gPorts[slot].port && gPorts[slot].readerRunning.load();
}

bool CommWriteThreadRunning(int slot) {
    if (!validSlot(slot)) return false;
    std::shared_lock<std::shared_mutex> table(gTable);
    CommPort& rec = gPorts[slot];
    if (!rec.port) return false;
    std::lock_guard<std::mutex> g(rec.queueLock);
    return rec.writerRunning;
}

unsigned long LineErrorBits(const SerialPort::ErrorCounts& before, const SerialPort::ErrorCounts& now) {
    const struct {
        uint32_t was, is;
        unsigned long bit;
    } counts[] = {{before.frame, now.frame, CE_FRAME},
                  {before.overrun, now.overrun, CE_OVERRUN},
                  {before.parity, now.parity, CE_RXPARITY},
                  {before.bufferOverrun, now.bufferOverrun, CE_RXOVER}};
    unsigned long bits = 0;
    for (const auto& c : counts)
        if (c.is > c.was) bits |= c.bit;
    return bits;
}

std::string LineErrorText(unsigned long bits) {
    if (!bits) return "NULL Error";
    std::string text;
    const auto add = [&text](const char* name) { text += text.empty() ? name : std::string(" and ") + name; };
    if (bits & CE_FRAME) add("CE_FRAME");
    if (bits & CE_OVERRUN) add("CE_OVERRUN");
    if (bits & CE_RXPARITY) add("CE_RXPARITY");
    if (bits & ~(CE_FRAME | CE_OVERRUN | CE_RXPARITY)) add("EV_ERR Unknown EvtMask");
    return text;
}

int CurrentCommPort() { return gCurrent.load(); }
void SetCurrentCommPort(int slot) { gCurrent.store(validSlot(slot) ? slot : -1); }

void ResetCommDriver() {
    for (int i = 0; i < kCommSlots; ++i) StopCommSlot(i);
    gDump.close();
    gCurrent.store(-1);
}
