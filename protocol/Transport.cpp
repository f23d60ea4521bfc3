#include "protocol/Transport.h"

#include "wire/Frame.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "link/CommDriver.h"
#include "wire/SerialPort.h"
#include "protocol/LinkBackend.h"
#include "util/Keyboard.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

constexpr uint8_t kAccessCode[4] = {0x5A, 0xC3, 0xE1, 0x7B};  // 5AC3E17B, most significant first

WireState g_wire;
std::atomic<int> g_linkMode{LINK_MODBUS};
std::recursive_mutex g_lock;
LinkBackend* g_backend = nullptr;
std::atomic<unsigned> g_linkBaud{0};
std::mutex g_hookMutex;
std::function<void(int)> g_failureNotice;

// The quiet status polls show in the log while Alt is held.
bool altDown() { return CurrentKeys().alt; }

void noticeFailure(int result) {
    std::function<void(int)> notice;
    {
        std::lock_guard lock(g_hookMutex);
        notice = g_failureNotice;
    }
    if (notice) notice(result);
}

void putU32(std::vector<uint8_t>& f, uint32_t v) {
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t u32At(const uint8_t* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

void putLength(std::vector<uint8_t>& f, size_t length) {
    f[1] = static_cast<uint8_t>(length);
    f[2] = static_cast<uint8_t>(length >> 8);
}

// A CRC-checked answer of at least a header and CRC updates what the wire
// remembers of its peer; returns false when a stale tag rejects it.
bool acceptResponse(unsigned command, bool exempt, const uint8_t* frame, size_t n) {
    WireState& w = g_wire;
    if (n < kFrameOverhead) return true;
    w.responded = true;
    w.lastResponder = frame[0];
    w.nonce = u32At(frame + 11);
    if (command == D_DATA2HOST && w.useCmdTags && !w.tagsActive) {
        // Byte 17 is the first data byte; it exists only in answers longer than 17.
        if (n > 17 && (frame[17] & 0x04)) w.tagsActive = true;
        return true;
    }
    if (w.tagsActive && !exempt) {
        const int d = static_cast<int>(frame[11]) - static_cast<int>(w.tagCounter);
        if (d < 0 || d > 128) {
            DebugLog("_ModbusGet> Expecting CmdTag %u but got %u; rejecting response...",
                     static_cast<unsigned>(w.tagCounter), static_cast<unsigned>(frame[11]));
            return false;
        }
    }
    return true;
}

// The callers hand in the context they know; one that is not the link's own
// (closed, or freed behind the transport's back) finds no link.
LinkBackend* linkFor(const modbus_t* ctx) {
    return ctx == g_wire.ctx ? UsableLinkBackend() : nullptr;
}

}  // namespace

// Pending simulated errors mangle the block as it leaves: kind 1 drops the
// last four bytes, kind 2 (requests only) replaces every byte.
size_t ApplySimulatedErrors(std::vector<uint8_t>& f, bool allowKind2) {
    WireState& w = g_wire;
    size_t n = f.size();
    if (w.simulatedErrors1 > 0) {
        DebugLog("Simulation of Comm Error!");
        --w.simulatedErrors1;
        n = n > 4 ? n - 4 : 0;
        DebugLog("%u Comm Error Simulations still pending...", static_cast<unsigned>(w.simulatedErrors1));
    }
    if (allowKind2 && w.simulatedErrors2 > 0) {
        DebugLog("Simulation of Comm Error2!");
        static std::mt19937 random{std::random_device{}()};
        for (auto& b : f) b = static_cast<uint8_t>(random());
        --w.simulatedErrors2;
        DebugLog("%u Comm Error2 Simulations still pending...", static_cast<unsigned>(w.simulatedErrors2));
    }
    return n;
}

// Silence after a sent record: the caller's figure of a millisecond per byte,
// but never less than the frame's own time on the wire plus 3.5 characters,
// so that the next frame cannot merge with this one on a slow line.
void WaitOutRecord(size_t blockBytes) {
    const PortDescription& p = g_wire.port;
    LineSettings line;
    line.baud = p.baud;
    line.parity = p.parity;
    line.dataBits = p.dataBits;
    line.stopBits = p.stopBits;
    const double charMs = SerialPort::charTimeUs(line) / 1000.0;
    const auto wire = static_cast<unsigned>(charMs * (blockBytes + 3 + 3.5) + 0.999);
    PumpWait(std::max(static_cast<unsigned>(blockBytes), wire));
}

ExchangeGuard::ExchangeGuard() : lock_(g_lock) {
    nested_ = g_wire.exchangeActive;
    g_wire.exchangeActive = true;
}

ExchangeGuard::~ExchangeGuard() {
    if (!nested_) g_wire.exchangeActive = false;
}

void SetLinkBackend(LinkBackend* backend) {
    std::lock_guard lock(g_lock);
    g_backend = backend;
    // The link (re)opens here and nowhere else.
    if (backend) g_linkBaud = g_wire.port.baud;
}

LinkBackend* ChosenLinkBackend() { return g_backend; }

LinkBackend* UsableLinkBackend() {
    LinkBackend* b = g_backend;
    return b && b->mode() == g_linkMode.load() && b->ready() ? b : nullptr;
}

unsigned LinkBaud() { return g_linkBaud.load(); }

bool SelectSlave(unsigned address) {
    if (address > 255) return false;
    std::lock_guard lock(g_lock);
    g_wire.slave = address;
    // Without a link the address waits for the next open.
    return !g_backend || g_backend->selectSlave(address);
}

WireState& Wire() { return g_wire; }
std::atomic<int>& LinkModeWord() { return g_linkMode; }
std::recursive_mutex& LinkLock() { return g_lock; }

void ResetWire() {
    std::lock_guard lock(g_lock);
    if (g_wire.ctx) {
        modbus_close(g_wire.ctx);
        modbus_free(g_wire.ctx);
    }
    if (g_linkMode.load() == LINK_RAW && CurrentCommPort() >= 0) {
        StopComm();
        SetCurrentCommPort(-1);
    }
    g_wire = WireState{};
    g_linkMode = LINK_MODBUS;
    g_backend = nullptr;
    g_linkBaud = 0;
    SetReceiveFailureNotice({});
}

void SetReceiveFailureNotice(std::function<void(int)> notice) {
    std::lock_guard lock(g_hookMutex);
    g_failureNotice = std::move(notice);
}

int TransportExceptionCode(int result, int err) {
    return result < 0 && err >= MODBUS_ENOBASE && err < MODBUS_ENOBASE + 100 ? err - MODBUS_ENOBASE : -1;
}

std::string TransportResultText(int result, int err) {
    if (result > 0) return "received " + std::to_string(result);
    if (const int code = TransportExceptionCode(result, err); code >= 0) return "exception " + std::to_string(code);
    if (result == kAnswerToOtherCommand) return "answer to another command";
    switch (err) {
        case ETIMEDOUT: return "no answer (timeout)";
        case EMBBADCRC: return "CRC error";
        case EMBBADDATA: return "answer not understood";
        case EMBMDATA: return "answer longer than the buffer";
        case EMBLINEFAULT: return "line fault (echo)";
        case EMBBADCTX:
        case EBADF: return "link not open";
        case 0: return result == 0 ? "nothing received" : "failed";
        default: return std::string("failed: ") + std::strerror(err);
    }
}

uint16_t AuthorisationCode(uint32_t nonce) {
    uint8_t b[8];
    std::memcpy(b, kAccessCode, 4);
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(nonce >> (8 * i));
    return crc16(b, sizeof b);
}

int ModbusGet(unsigned payloadLength, unsigned command, modbus_t* ctx, uint8_t* buffer,
              unsigned responseSize, unsigned waitMs, unsigned timeoutMs) {
    ExchangeGuard guard;
    if (guard.nested()) {
        ProtocolLog("ModbusGet(%u)> refused: another exchange is in progress", command);
        return -1;
    }
    WireState& w = g_wire;
    const GetGroup group = getGroupOf(command);
    if (group == GetGroup::None) {
        ProtocolLog("ModbusGet> cmd %u unsupported...", command);
        return -1;
    }
    if (!buffer || payloadLength > kMaxRecordFrame - 32 || responseSize == 0)
        return -1;

    std::vector<uint8_t> f(6, 0);
    const bool tagged = group == GetGroup::Tagged;
    f[0] = tagged && w.tagsActive ? 0xCA : 0xC8;
    f[3] = static_cast<uint8_t>(command);
    if (tagged) {
        if (w.tagsActive) f[4] = ++w.tagCounter;
    } else {
        const uint16_t code = AuthorisationCode(w.nonce);
        f[4] = static_cast<uint8_t>(code);
        f[5] = static_cast<uint8_t>(code >> 8);
    }
    if (command == D_DATA2HOST || command == D_DATA2HOST_SHORT) putU32(f, w.dataRequestCounter++);
    if (command == D_DATA2HOST) {
        f.push_back(3);
        for (int i = 3; i >= 0; --i) f.push_back(kAccessCode[i]);
    }
    putLength(f, payloadLength + (command == D_DATA2HOST ? 14 : 5));
    f.insert(f.end(), buffer, buffer + payloadLength);
    const size_t n = ApplySimulatedErrors(f, true);

    LinkBackend* link = linkFor(ctx);
    if (!link) {
        ProtocolLog("ModbusGet(%u)> link not open (mode %d); nothing sent", command, g_linkMode.load());
        return -1;
    }
    const bool quiet = command == D_DATA2HOST && !w.pollLogging && !altDown();
    bool noAnswer = false;
    const int r = link->request({command, &f, n, quiet}, buffer, responseSize, waitMs, timeoutMs, &noAnswer);
    if (r <= 0) {
        if (noAnswer) {
            w.lastResponder = 255;
            if (link->reportsMissedAnswers()) noticeFailure(r);
        }
        return r;
    }
    // 2 is the raw link's answer that did not fit: nothing of it is in the buffer.
    if (r <= 2) return r;
    // No detector answers from the broadcast address or beyond 247, and an
    // answer to another command is not this one's, whatever its size.
    const bool foreign = buffer[0] == 0 || buffer[0] > 247;
    if (foreign || (r > 4 && buffer[4] != command)) {
        if (foreign)
            ProtocolLog("ModbusGet(%u)> answer from address %u is no answer", command, buffer[0]);
        else
            ProtocolLog("ModbusGet(%u)> answer to command %u is no answer", command, buffer[4]);
        w.lastResponder = 255;
        errno = EMBBADDATA;
        if (link->reportsMissedAnswers()) noticeFailure(foreign ? 0 : -1);
        return foreign ? -1 : kAnswerToOtherCommand;
    }
    if (!acceptResponse(command, !tagged, buffer, static_cast<size_t>(r))) return -1;
    return r;
}

int ModbusGetShort(unsigned responseSize, uint8_t* buffer, unsigned command, unsigned payloadLength) {
    return ModbusGet(payloadLength, command, g_wire.ctx, buffer, responseSize, 100, 500);
}

int ModbusSet(unsigned payloadLength, const uint8_t* payload, modbus_t* ctx, unsigned command) {
    ExchangeGuard guard;
    if (guard.nested()) {
        ProtocolLog("ModbusSet(%u)> refused: another exchange is in progress", command);
        return -1;
    }
    WireState& w = g_wire;
    const SetGroup group = setGroupOf(command);
    if (group == SetGroup::None) {
        ProtocolLog("ModbusSet> cmd %u unsupported...", command);
        return -1;
    }
    if ((payloadLength && !payload) || payloadLength > kMaxRecordFrame - 32) return -1;

    std::vector<uint8_t> f(6, 0);
    const bool tagged = group == SetGroup::Tagged && w.tagsActive;
    const uint16_t code = AuthorisationCode(w.nonce);
    f[0] = tagged ? 0xCA : 0xC8;
    f[3] = static_cast<uint8_t>(command);
    f[4] = tagged ? ++w.tagCounter : static_cast<uint8_t>(code);
    f[5] = static_cast<uint8_t>(code >> 8);
    putLength(f, payloadLength + 3);
    f.insert(f.end(), payload, payload + payloadLength);

    LinkBackend* link = linkFor(ctx);
    if (!link) {
        ProtocolLog("ModbusSet(%u)> link not open (mode %d); nothing sent", command, g_linkMode.load());
        return -1;
    }
    const bool quiet = command == D_DATA2HOST && !w.pollLogging && !altDown();
    return link->post({command, &f, f.size(), quiet});
}

int ChangeDetectorAddress(unsigned newAddress) {
    WireState& w = g_wire;
    if (newAddress < 1 || newAddress > 247) {
        DebugLog("Address change from %u to %u ignored - bad address...", w.slave, newAddress);
        return 0;
    }
    ExchangeGuard guard;
    if (guard.nested()) {
        ProtocolLog("ChangeDetectorAddress(%u)> refused: another exchange is in progress", newAddress);
        return 0;
    }
    LinkBackend* link = UsableLinkBackend();
    // Holding register 40,001 of the current slave.
    const int rc = link ? link->writeRegister(0, newAddress) : -1;
    if (rc != 1) {
        ProtocolLog("ERROR modbus_write_register (%d)\n", rc);
        DebugLog("Address change from %u to %u failed...", w.slave, newAddress);
        return 0;
    }
    DebugLog("Address successfully changed from %u to %u", w.slave, newAddress);
    return 1;
}
