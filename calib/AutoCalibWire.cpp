#include "calib/AutoCalibWire.h"

#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "protocol/records/ResponseHeader.h"
#include "util/Log.h"

namespace autocal {

namespace {
constexpr unsigned kWaitMs = 100, kTimeoutMs = 500, kTries = 3, kTriesApartMs = 100;

bool Select(unsigned address) {
    const bool ok = SelectSlave(address);
    if (!ok) DebugLog(address == kMasterAddress ? "Set master failure..." : "Set slave failure...");
    return ok;
}

std::vector<uint8_t> GetCurrent(unsigned command, size_t bufferSize) {
    std::vector<uint8_t> frame(bufferSize);
    const int r = ModbusGet(0, command, Wire().ctx, frame.data(), static_cast<unsigned>(bufferSize), kWaitMs, kTimeoutMs);
    frame.resize(r > 0 ? std::min(static_cast<size_t>(r), bufferSize) : 0);
    return frame;
}
}  // namespace

std::vector<uint8_t> WireCalibLink::get(unsigned address, unsigned command, size_t bufferSize) {
    std::lock_guard lock(LinkLock());
    if (!Select(address)) return {};
    return GetCurrent(command, bufferSize);
}

bool WireCalibLink::set(unsigned address, unsigned command, std::span<const uint8_t> payload) {
    std::lock_guard lock(LinkLock());
    const bool sent =
        Select(address) && ModbusSet(static_cast<unsigned>(payload.size()), payload.data(), Wire().ctx, command) == 0;
    if (address == 0) Select(kMasterAddress);
    return sent;
}

void WireCalibLink::flush() {
    std::lock_guard lock(LinkLock());
    modbus_flush(Wire().ctx);
}

std::optional<std::vector<double>> ReadScaleRecord() {
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) WireCalibLink().sleep(kTriesApartMs);
        std::lock_guard lock(LinkLock());
        const auto frame = GetCurrent(D_CALIB_SCALE, calrec::LayoutOf(ParamKind::Ir).scaleAnswerSize);
        const auto header = DecodeHeader(frame);
        if (!header || header->address != Wire().slave) continue;
        if (auto s = DecodeScaleAnswer(ParamKind::Ir, frame)) return s;
        if (auto s = DecodeScaleAnswer(ParamKind::Uvir, frame)) return s;
    }
    return std::nullopt;
}

}  // namespace autocal
