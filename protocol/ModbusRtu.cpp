#include "protocol/ModbusRtu.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "wire/Frame.h"
#include "wire/PortName.h"
#include "wire/SerialPort.h"
#include "util/Log.h"
#include "protocol/SecretMask.h"

struct modbus_t {
    LineSettings settings;
    SerialPort port;
    int slave = 1;
    bool debug = false;
    int proto = MODBUS_PROTO_RECORD;
    uint8_t lastFunction = 0;
    uint8_t lastCommand = 0;  // of the last record request: what the next answer answers
    size_t lastReceived = 0;
    uint8_t* frame = nullptr;
    size_t frameCapacity = 0;
    uint32_t* frameLength = nullptr;
    uint8_t* writeFlag = nullptr;
    std::vector<uint8_t> lastRequest;  // kept whether or not the caller gave a frame buffer
    std::string connectError;
};

namespace {


std::mutex g_liveMutex;
std::set<const modbus_t*> g_live;

bool alive(const modbus_t* ctx, const char* call) {
    {
        std::lock_guard lock(g_liveMutex);
        if (ctx && g_live.count(ctx)) return true;
    }
    // A dangling context would write to freed memory; refuse it loudly.
    ProtocolLog("%s: no modbus context (closed or freed)", call);
    errno = EMBBADCTX;
    return false;
}

void trace(modbus_t* ctx, const char* dir, const uint8_t* bytes, size_t n, Side side) {
    if (!ctx->debug) return;
    ProtocolLog("%s %zu bytes", dir, n);
    HexDumpMasked(bytes, n < 64 ? n : 64, DumpFrom::Address, side, ctx->lastCommand);
}

// Gap that ends a frame whose length we cannot know: long enough for a
// pseudo-terminal's scheduling, at least ten characters on slow lines.
int gapMs(const LineSettings& s) {
    const unsigned tenChars = SerialPort::charTimeUs(s) * 10 / 1000 + 1;
    return static_cast<int>(tenChars > 50 ? tenChars : 50);
}

// The full length of the frame that begins with what arrived, 0 while unknown.
size_t expectedLength(int proto, const uint8_t* b, size_t n) {
    if (n < 2) return 0;
    const uint8_t fc = b[1];
    if (fc == 0xC8 || fc == 0xCA) {
        if (n < 4) return 0;
        return static_cast<size_t>(b[2] | b[3] << 8) + 6;
    }
    if (proto != MODBUS_PROTO_STANDARD) return 0;
    if (fc & 0x80) return 5;
    if (fc == 3 || fc == 4) return n < 3 ? 0 : static_cast<size_t>(b[2]) + 5;
    if (fc == 6 || fc == 16) return 8;
    return 0;
}

int failWith(int err) {
    errno = err;
    return -1;
}

}  // namespace

const char* modbus_library_version() { return "wexrtu 1.0"; }

int modbus_last_received(const modbus_t* ctx) {
    return modbus_context_alive(ctx) ? static_cast<int>(ctx->lastReceived) : 0;
}

int modbus_last_request(const modbus_t* ctx, uint8_t* dest, int max) {
    if (!modbus_context_alive(ctx)) return -1;
    if (!dest || max <= 0) return 0;
    const size_t n = std::min(ctx->lastRequest.size(), static_cast<size_t>(max));
    if (n) std::memcpy(dest, ctx->lastRequest.data(), n);
    return static_cast<int>(n);
}

bool modbus_context_alive(const modbus_t* ctx) {
    std::lock_guard lock(g_liveMutex);
    return ctx && g_live.count(ctx);
}

modbus_t* modbus_new_rtu(const char* port, int baud, char parity, int data_bit, int stop_bit,
                         uint8_t* frame_buffer, size_t frame_capacity, uint32_t* frame_length,
                         uint8_t* write_flag, int) {
    if (!port || baud <= 0 || data_bit <= 0 || stop_bit <= 0) return nullptr;
    LineSettings s;
    s.device = DeviceForPortName(port);
    s.baud = static_cast<unsigned>(baud);
    s.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parity)));
    s.dataBits = static_cast<unsigned>(data_bit);
    s.stopBits = static_cast<unsigned>(stop_bit);
    if (s.device.empty() || !SerialPort::baudSupported(s.baud)) return nullptr;
    auto* ctx = new modbus_t;
    ctx->settings = s;
    ctx->frame = frame_buffer;
    ctx->frameCapacity = frame_buffer ? frame_capacity : 0;
    ctx->frameLength = frame_length;
    ctx->writeFlag = write_flag;
    if (ctx->frameCapacity) {
        const size_t n = std::min(std::strlen(modbus_library_version()), ctx->frameCapacity - 1);
        std::memcpy(ctx->frame, modbus_library_version(), n);
        ctx->frame[n] = 0;
    }
    if (frame_length) *frame_length = 0;
    std::lock_guard lock(g_liveMutex);
    g_live.insert(ctx);
    return ctx;
}

int modbus_set_slave(modbus_t* ctx, int slave) {
    if (!alive(ctx, "modbus_set_slave")) return -1;
    if (slave < 0 || slave > 255) return failWith(EINVAL);
    ctx->slave = slave;
    return 0;
}

int modbus_rtu_set_serial_mode(modbus_t* ctx, int mode) {
    if (!alive(ctx, "modbus_rtu_set_serial_mode")) return -1;
    if (mode != MODBUS_RTU_RS232 && mode != MODBUS_RTU_RS485) return failWith(EINVAL);
    ctx->settings.rs485 = mode == MODBUS_RTU_RS485;
    return 0;
}

int modbus_rtu_set_echo(modbus_t* ctx, int on) {
    if (!alive(ctx, "modbus_rtu_set_echo")) return -1;
    ctx->settings.echo = on != 0;
    return 0;
}

const char* modbus_connect_error(const modbus_t* ctx) {
    return modbus_context_alive(ctx) ? ctx->connectError.c_str() : "";
}

int modbus_connect(modbus_t* ctx) {
    if (!alive(ctx, "modbus_connect")) return -1;
    ctx->connectError.clear();
    if (!ctx->port.open(ctx->settings)) {
        ctx->connectError = ctx->port.lastError();
        DebugLog("modbus_connect: %s", ctx->connectError.c_str());
        return failWith(EIO);
    }
    return 0;
}

int modbus_connect_fd(modbus_t* ctx, int fd) {
    if (!alive(ctx, "modbus_connect_fd")) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    if (!ctx->port.adopt(fd, ctx->settings)) {
        DebugLog("modbus_connect_fd: %s", ctx->port.lastError().c_str());
        return failWith(EIO);
    }
    return 0;
}

int modbus_set_debug(modbus_t* ctx, int flag) {
    if (!alive(ctx, "modbus_set_debug")) return -1;
    ctx->debug = flag != 0;
    return 0;
}

int modbus_set_proto(modbus_t* ctx, int mode) {
    if (!alive(ctx, "modbus_set_proto")) return -1;
    if (mode != MODBUS_PROTO_RECORD && mode != MODBUS_PROTO_STANDARD) return failWith(EINVAL);
    ctx->proto = mode;
    return 0;
}

int modbus_flush(modbus_t* ctx) {
    if (!alive(ctx, "modbus_flush")) return -1;
    if (!ctx->port.isOpen()) return failWith(EBADF);
    ctx->port.flushInput();
    // Bytes still in flight from a slow peer arrive after the flush.
    int dropped = 0;
    uint8_t junk[256];
    for (long got; (got = ctx->port.readSome(junk, sizeof junk, 0)) > 0;) dropped += static_cast<int>(got);
    return dropped;
}

void modbus_close(modbus_t* ctx) {
    if (!modbus_context_alive(ctx)) return;
    ctx->port.close();
}

void modbus_free(modbus_t* ctx) {
    {
        std::lock_guard lock(g_liveMutex);
        if (!ctx || !g_live.erase(ctx)) return;
    }
    delete ctx;
}

int modbus_write_data(modbus_t* ctx, int length, const uint8_t* bytes) {
    if (!alive(ctx, "modbus_write_data")) return -1;
    if (length < 0 || static_cast<size_t>(length) + 3 > kMaxRecordFrame || (length && !bytes))
        return failWith(EINVAL);
    if (!ctx->port.isOpen()) return failWith(EBADF);
    std::vector<uint8_t> frame(static_cast<size_t>(length) + 3);
    frame[0] = static_cast<uint8_t>(ctx->slave);
    if (length) std::memcpy(frame.data() + 1, bytes, static_cast<size_t>(length));
    appendCrc16(frame.data(), frame.size() - 2);
    ctx->lastFunction = length ? bytes[0] : 0;
    ctx->lastRequest = frame;
    const bool record = length >= 4 && (bytes[0] == 0xC8 || bytes[0] == 0xCA);
    ctx->lastCommand = record ? bytes[3] : 0;
    if (ctx->frame) {
        const size_t n = std::min(frame.size(), ctx->frameCapacity);
        std::memcpy(ctx->frame, frame.data(), n);
        if (ctx->frameLength) *ctx->frameLength = static_cast<uint32_t>(n);
    }
    trace(ctx, "TX", frame.data(), frame.size(), Side::Request);
    const long sent = ctx->port.write(frame.data(), frame.size());
    if (sent == SerialPort::kEchoFault) {
        DebugLog("modbus_write_data: %s", ctx->port.lastError().c_str());
        return failWith(EMBLINEFAULT);
    }
    if (sent != static_cast<long>(frame.size())) return failWith(EIO);
    return static_cast<int>(sent);
}

int _modbus_receive_data(modbus_t* ctx, uint8_t* buffer, int max_length, int timeout_ms) {
    if (!alive(ctx, "_modbus_receive_data")) return -1;
    if (!buffer || max_length <= 0) return failWith(EINVAL);
    if (!ctx->port.isOpen()) return failWith(EBADF);
    const int proto = ctx->proto;
    ctx->lastReceived = 0;
    const auto r = ctx->port.readFrame(
        buffer, static_cast<size_t>(max_length), timeout_ms < 0 ? 0 : timeout_ms, gapMs(ctx->settings),
        [proto](const uint8_t* b, size_t n) { return expectedLength(proto, b, n); });
    ctx->lastReceived = r.count;
    switch (r.status) {
        case SerialPort::ReadStatus::Timeout:
            return failWith(ETIMEDOUT);
        case SerialPort::ReadStatus::Error:
            return failWith(EIO);
        case SerialPort::ReadStatus::Overflow:
            ProtocolLog("_modbus_receive_data: frame longer than %d bytes dropped", max_length);
            return failWith(EMBMDATA);
        case SerialPort::ReadStatus::Gap:
            trace(ctx, "RX (incomplete)", buffer, r.count, Side::Answer);
            return failWith(r.count >= 4 && frameCrcOk(buffer, r.count) ? EMBBADDATA : EMBBADCRC);
        case SerialPort::ReadStatus::Frame:
            break;
    }
    const size_t n = r.count;
    trace(ctx, "RX", buffer, n, Side::Answer);
    if (!frameCrcOk(buffer, n)) return failWith(EMBBADCRC);
    const uint8_t fc = buffer[1];
    if (proto == MODBUS_PROTO_RECORD) {
        if (fc != 0xC8 || n < 6) return failWith(EMBBADDATA);
        return static_cast<int>(n);
    }
    // A reply or echo from another slave says nothing of what the addressed one did.
    if (buffer[0] != ctx->slave) {
        ProtocolLog("_modbus_receive_data: reply from address %u, not from %d", buffer[0], ctx->slave);
        return failWith(EMBBADDATA);
    }
    if (fc == (ctx->lastFunction | 0x80)) return failWith(MODBUS_ENOBASE + buffer[2]);
    if (fc != ctx->lastFunction) return failWith(EMBBADDATA);
    if (fc == 3 || fc == 4) return buffer[2] / 2;
    if (fc == 6) return 1;
    if (fc == 16) return buffer[4] << 8 | buffer[5];
    return failWith(EMBBADDATA);
}

int modbus_write_register(modbus_t* ctx, int reg, int value) {
    if (!alive(ctx, "modbus_write_register")) return -1;
    if (reg < 0 || reg > 0xFFFF || value < 0 || value > 0xFFFF) return failWith(EINVAL);
    const uint8_t pdu[5] = {6, static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    const int saved = ctx->proto;
    ctx->proto = MODBUS_PROTO_STANDARD;
    if (ctx->writeFlag) *ctx->writeFlag = 1;
    modbus_flush(ctx);
    int rc = modbus_write_data(ctx, 5, pdu);
    if (rc > 0) {
        uint8_t reply[8];
        rc = _modbus_receive_data(ctx, reply, sizeof reply, 1000);
        // The reply echoes what was written.
        if (rc == 1 && std::memcmp(reply + 1, pdu, 5) != 0) rc = failWith(EMBBADDATA);
    }
    ctx->proto = saved;
    return rc == 1 ? 1 : -1;
}
