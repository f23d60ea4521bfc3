#include "calib/AutoCalibWire.h"

#include <thread>

#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "protocol/records/ByteOrder.h"
#include "protocol/records/ResponseHeader.h"
#include "util/Log.h"

namespace autocal {

namespace {
constexpr unsigned kTries = 3, kWaitMs = 100, kTimeoutMs = 500, kParamRetryMs = 150, kAfterWriteMs = 150;

// One Get of the current detector: the frame at the size it came, or nothing.
std::vector<uint8_t> Get(unsigned command, size_t bufferSize) {
    std::vector<uint8_t> frame(bufferSize);
    std::lock_guard lock(LinkLock());
    const int r = ModbusGet(0, command, Wire().ctx, frame.data(), static_cast<unsigned>(bufferSize), kWaitMs, kTimeoutMs);
    frame.resize(r > 0 ? static_cast<size_t>(r) : 0);
    return frame;
}

bool From(const std::vector<uint8_t>& frame, unsigned address) {
    const auto h = DecodeHeader(frame);
    return h && h->address == address;
}

std::optional<ParamRecord> ReadParamRecord(ParamKind kind, unsigned address) {
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) std::this_thread::sleep_for(std::chrono::milliseconds(kParamRetryMs));
        {
            std::lock_guard lock(LinkLock());
            modbus_flush(Wire().ctx);
        }
        const auto frame = Get(D_PARAM2HOST, kIrParamAnswerSize);
        if (frame.size() == ParamAnswerSize(kind) && From(frame, address))
            if (auto rec = ParamRecord::FromAnswer(kind, frame)) return rec;
    }
    return std::nullopt;
}
}  // namespace

void WireCalibLink::sleep(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool WireCalibLink::select(unsigned address) {
    std::lock_guard lock(LinkLock());
    const bool ok = SelectSlave(address);
    if (!ok) DebugLog(address == kMasterAddress ? "Set master failure..." : "Set slave failure...");
    return ok;
}

std::optional<LiveRecord> WireCalibLink::live(unsigned address) {
    DebugLog("modbus_set_slave(%u)", address);
    if (!select(address)) return std::nullopt;
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) sleep(kWaitMs);
        const auto frame = Get(D_DATA2HOST, live::kSize);
        if (frame.size() == live::kSize && From(frame, address))
            if (auto rec = LiveRecord::Decode(frame)) return rec;
        if (stop_ && stop_()) break;
    }
    return std::nullopt;
}

bool WireCalibLink::broadcast(unsigned command, std::span<const uint8_t> payload, unsigned apartMs) {
    bool sent = false;
    if (select(0))
        for (unsigned i = 0; i < kTries && !sent; ++i) {
            if (i) sleep(apartMs);
            std::lock_guard lock(LinkLock());
            sent = ModbusSet(static_cast<unsigned>(payload.size()), payload.data(), Wire().ctx, command) == 0;
        }
    select(kMasterAddress);
    return sent;
}

bool WireCalibLink::broadcastIterations(uint32_t iterations) {
    std::vector<uint8_t> payload;
    le::append32(payload, iterations);
    return broadcast(D_CALIBRATION, payload, 100);
}

bool WireCalibLink::broadcastObject(const CalibObject& object) { return broadcast(D_CALIB_OBJECT, object.bytes(), 300); }

std::optional<CalibObject> WireCalibLink::readObject(ParamKind kind, unsigned master) {
    if (!select(master)) return std::nullopt;
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) sleep(kWaitMs);
        const auto frame = Get(D_CALIB_OBJECT, calrec::kObjectAnswerSize);
        if (From(frame, master))
            if (auto o = CalibObject::FromAnswer(kind, frame)) return o;
    }
    return std::nullopt;
}

std::optional<std::vector<double>> WireCalibLink::readScale(ParamKind kind, unsigned address) {
    if (!select(address)) return std::nullopt;
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) sleep(kWaitMs);
        const auto frame = Get(D_CALIB_SCALE, calrec::LayoutOf(ParamKind::Ir).scaleAnswerSize);
        if (From(frame, address))
            if (auto s = DecodeScaleAnswer(kind, frame)) return s;
    }
    return std::nullopt;
}

int WireCalibLink::burnSerial(ParamKind kind, unsigned address, uint32_t serial) {
    if (!select(address)) return -8;
    auto record = ReadParamRecord(kind, address);
    if (!record) return -8;
    if (!record->setValue("ordnum", 0, serial)) return -8;
    {
        std::lock_guard lock(LinkLock());
        ModbusSet(static_cast<unsigned>(record->bytes().size()), record->bytes().data(), Wire().ctx, D_PARAM2DET);
    }
    sleep(kAfterWriteMs);
    const auto back = ReadParamRecord(kind, address);
    if (!back) return -9;
    return *back == *record ? 0 : -10;
}

std::optional<std::vector<double>> ReadScaleRecord() {
    const auto frame = Get(D_CALIB_SCALE, calrec::LayoutOf(ParamKind::Ir).scaleAnswerSize);
    if (auto s = DecodeScaleAnswer(ParamKind::Ir, frame)) return s;
    return DecodeScaleAnswer(ParamKind::Uvir, frame);
}

}  // namespace autocal
