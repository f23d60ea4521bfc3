#pragma once
// A simulated line of detectors on a fresh pseudo-terminal, for one test.
// Only the simulator is needed here: openWire, which puts the host's own wire
// on the line, is defined in TestLineWire.h, so that tests of the simulator
// alone link without the host side.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/Clock.h"
#include "sim/Control.h"
#include "sim/Line.h"

namespace testline {

inline wsim::DetectorConfig ir(uint8_t address) {
    wsim::DetectorConfig c;
    c.address = address;
    return c;
}

inline wsim::DetectorConfig uvir(uint8_t address) {
    auto c = ir(address);
    c.uvir = true;
    return c;
}

inline wsim::DetectorConfig lockedIr(uint8_t address) {
    auto c = ir(address);
    c.locked = true;
    c.maint = "mpass";
    c.admin = "apass";
    return c;
}

// The simulator's own demo line: IR at 1, UV/IR at 2, IR at 17 locked with maint17/admin17.
inline std::vector<wsim::DetectorConfig> demo() { return wsim::demoLine(); }

struct Options {
    bool fast = true;                    // no pacing and no answer latency
    const wsim::Clock* clock = nullptr;  // detector time; null: the steady clock
    bool echo = false;                   // the line hands every host byte back first
};

// Starts a line; null (with *error) when it cannot.
inline std::unique_ptr<wsim::Line> start(const std::vector<wsim::DetectorConfig>& detectors, Options o = {},
                                         std::string* error = nullptr) {
    wsim::LineOptions lo;
    lo.fast = o.fast;
    lo.clock = o.clock;
    lo.echo = o.echo;
    lo.seed = 7;  // the same nonces on every run
    auto line = std::make_unique<wsim::Line>(lo);
    for (const auto& d : detectors) line->addDetector(d);
    if (!line->start(error)) return nullptr;
    return line;
}

}  // namespace testline

class TestLine : public ::testing::Test {
protected:
    // Fails the test when the line cannot start.
    void startLine(const std::vector<wsim::DetectorConfig>& detectors, testline::Options o = {}) {
        std::string error;
        line = testline::start(detectors, o, &error);
        ASSERT_TRUE(line) << error;
    }
    // Opens the host's wire (ResetWire(); ParseDCB(path:baud,n,8,1[,echo], &Wire().port);
    // OpenModbusContext()) with `address` selected; ",echo" on an echoing
    // line. Defined in TestLineWire.h.
    inline void openWire(uint8_t address, unsigned baud = 9600);
    // The parameter record the detector at `address` keeps in flash.
    std::vector<uint8_t> params(uint8_t address) {
        std::vector<uint8_t> b;
        line->withDetector(address, [&](wsim::Detector& d, int64_t) { b = d.params(); });
        return b;
    }
    // Resets the wire when openWire opened it, then stops the line.
    void TearDown() override {
        if (resetWire_) resetWire_();
        if (line) line->stop();
    }

    wsim::ManualClock clock;  // pass &clock in Options to move detector time by hand; outlives the line
    std::unique_ptr<wsim::Line> line;

private:
    void (*resetWire_)() = nullptr;  // ResetWire, once openWire has linked the wire in
};
