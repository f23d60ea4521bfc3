#pragma once
// The automatic calibration's exchanges over a CalibLink, each with its tries
// and pauses; answers are taken only at their exact sizes and only from the
// detector asked.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "calib/AutoCalibration.h"

namespace autocal {

class Exchanges {
public:
    Exchanges(CalibLink& link, ParamKind kind) : link_(link), kind_(kind) {}
    // D_DATA2HOST, 3 tries 100 ms apart.
    std::optional<LiveRecord> live(unsigned address);
    // D_CALIBRATION to every detector, 3 tries 100 ms apart; 0 ends the mode.
    bool broadcastIterations(uint32_t n);
    // From the master, 3 tries 100 ms apart; to every detector, 3 tries 300 ms apart.
    std::optional<CalibObject> readObject();
    bool broadcastObject(const CalibObject& object);
    std::optional<std::vector<double>> readScale(unsigned address);
    // The flush before each of 3 tries, 150 ms after a failed one.
    std::optional<ParamRecord> readParams(unsigned address);
    // The serial number into `ordnum`, written and read back (150 ms between):
    // 0 equal in all bytes, -8 not read, -9 not read back, -10 different.
    // Indivisible: the procedure's abort waits for the read-back.
    int burnSerial(unsigned address, uint32_t serial);

private:
    bool broadcast(unsigned command, std::span<const uint8_t> payload, unsigned apartMs);
    CalibLink& link_;
    ParamKind kind_;
};

}  // namespace autocal
