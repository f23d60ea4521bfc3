#include "network/Probe.h"

#include <vector>

#include "protocol/Transport.h"
#include "shell/Catalogue.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

std::optional<StatusRecord> statusRequest() {
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    std::vector<uint8_t> frame(info.responseSize);
    const int r = ModbusGet(0, D_DATA2HOST, Wire().ctx, frame.data(), info.responseSize, info.waitMs, info.timeoutMs);
    modbus_flush(Wire().ctx);
    if (r != static_cast<int>(frame.size())) return std::nullopt;
    return DecodeStatus(frame);
}

}  // namespace

std::optional<StatusRecord> ProbeStatus(unsigned address) {
    std::lock_guard lock(LinkLock());
    SelectSlave(address);
    DebugLog("modbus_set_slave(%u)", address);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt) PumpWait(100);
        if (auto answer = statusRequest()) return answer;
        if (AbortRequested()) break;
    }
    return std::nullopt;
}

std::string ProbeModelName(const StatusRecord& answer) { return ModelName(answer.header.model, answer.pictureCode); }

std::optional<unsigned> LocateDetector(unsigned tries, unsigned pauseMs) {
    std::lock_guard lock(LinkLock());
    SelectSlave(0);
    for (unsigned i = 0; i < tries; ++i) {
        if (i) PumpWait(pauseMs);
        const auto answer = statusRequest();
        if (answer && answer->header.address >= 1 && answer->header.address <= 247) return answer->header.address;
    }
    return std::nullopt;
}
