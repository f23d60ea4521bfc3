#pragma once
// The automatic calibration's link on the real wire (Wire()): each exchange
// addresses its detector first and holds the link lock. Runs on the link
// worker or the command line's thread.
#include <functional>

#include "calib/AutoCalibration.h"

namespace autocal {

class WireCalibLink : public CalibLink {
public:
    std::vector<uint8_t> get(unsigned address, unsigned command, size_t bufferSize) override;
    // A broadcast points the link back at the master afterwards.
    bool set(unsigned address, unsigned command, std::span<const uint8_t> payload) override;
    void flush() override;
};

// D_CALIB_SCALE of the current detector (3 tries 100 ms apart, answers from
// it only), either family's size: the values, or nothing.
std::optional<std::vector<double>> ReadScaleRecord();

}  // namespace autocal
