#pragma once
// The BIT calibration's exchanges with the current detector (link lock held).
#include <cstdint>
#include <optional>

#include "calib/BitSet.h"

namespace bitcal {

// One live record a tick, the link flushed after it; the manual BIT requests.
class WireBitLink : public BitLink {
public:
    std::optional<LiveRecord> read() override;
    void manualBit(std::optional<uint8_t> seconds) override;
};

// D_CALIBRATE_UV_BIT with 1 (enter) or 0 (leave); true on an 18-byte answer.
bool SetUvBitCalibration(bool on);
// The setup record's post_manbit_duration (D_SETUP2HOST, 3 tries); nothing without a record.
std::optional<uint8_t> ReadPostManbit();

}  // namespace bitcal
