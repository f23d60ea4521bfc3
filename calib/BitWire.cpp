#include "calib/BitWire.h"

#include <vector>

#include "monitor/Maint.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "protocol/records/SetupRecord.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace bitcal {

std::optional<LiveRecord> WireBitLink::read() {
    auto r = maint::ReadLiveRecord();
    modbus_flush(Wire().ctx);
    return r;
}

void WireBitLink::manualBit(std::optional<uint8_t> seconds) {
    if (!seconds) {
        maint::SendManualBit();
        return;
    }
    // The UV request is sent twice: it has no answer to tell that it arrived.
    for (int i = 0; i < 2; ++i) {
        if (i) PumpWait(100);
        ModbusSet(1, &*seconds, Wire().ctx, D_MANUAL_BIT);
        modbus_flush(Wire().ctx);
    }
}

bool SetUvBitCalibration(bool on) {
    const CommandInfo* info = commandInfo(D_CALIBRATE_UV_BIT);
    std::vector<uint8_t> frame(info->responseSize);
    frame[0] = on ? 1 : 0;
    const int rc = ModbusGet(1, D_CALIBRATE_UV_BIT, Wire().ctx, frame.data(), info->responseSize, info->waitMs,
                             info->timeoutMs);
    DebugLog("D_CALIBRATE_UV_BIT: rc = %d", rc);
    return rc == static_cast<int>(info->responseSize);
}

std::optional<uint8_t> ReadPostManbit() {
    const CommandInfo* info = commandInfo(D_SETUP2HOST);
    std::vector<uint8_t> frame(info->responseSize);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int rc = ModbusGet(0, D_SETUP2HOST, Wire().ctx, frame.data(), info->responseSize, info->waitMs,
                                 info->timeoutMs);
        if (rc == static_cast<int>(info->responseSize))
            if (const auto setup = DecodeSetupAnswer(frame)) return setup->post_manbit_duration;
        if (rc > 0) break;  // an answer that is no record: not worth another try
    }
    return std::nullopt;
}

}  // namespace bitcal
