#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "shell/ShellState.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "sim/Line.h"

// A simulated line with one IR detector, and the wire open on it at 9600 baud
// with that detector selected.
class OneDetectorLine : public ::testing::Test {
protected:
    void openLine(uint8_t address) {
        ResetWire();
        ResetShell();
        wsim::LineOptions o;
        o.fast = true;
        line = std::make_unique<wsim::Line>(o);
        wsim::DetectorConfig d;
        d.address = address;
        line->addDetector(d);
        std::string err;
        ASSERT_TRUE(line->start(&err)) << err;
        ASSERT_TRUE(ParseDCB(line->slavePath() + ":9600,n,8,1", &Wire().port));
        Wire().slave = address;
        ASSERT_NE(OpenModbusContext(), nullptr);
    }
    void TearDown() override {
        ResetWire();
        if (line) line->stop();
    }
    std::unique_ptr<wsim::Line> line;
};
