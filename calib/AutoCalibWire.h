#pragma once
// The automatic calibration's exchanges on the real wire (Wire()), each with
// the tries and pauses the procedure prescribes. Runs on the link worker or
// the command line's thread, holding the link lock per exchange.
#include <functional>
#include <span>

#include "calib/AutoCalibration.h"

namespace autocal {

class WireCalibLink : public CalibLink {
public:
    // `stop`: polled between tries (a signal on the command line).
    explicit WireCalibLink(std::function<bool()> stop = {}) : stop_(std::move(stop)) {}
    std::optional<LiveRecord> live(unsigned address) override;
    bool broadcastIterations(uint32_t iterations) override;
    std::optional<CalibObject> readObject(ParamKind kind, unsigned master) override;
    bool broadcastObject(const CalibObject& object) override;
    std::optional<std::vector<double>> readScale(ParamKind kind, unsigned address) override;
    int burnSerial(ParamKind kind, unsigned address, uint32_t serial) override;
    void sleep(unsigned ms) override;

private:
    bool select(unsigned address);
    bool broadcast(unsigned command, std::span<const uint8_t> payload, unsigned apartMs);
    std::function<bool()> stop_;
};

// D_CALIB_SCALE of the current detector, any family: the values, or nothing.
std::optional<std::vector<double>> ReadScaleRecord();

}  // namespace autocal
