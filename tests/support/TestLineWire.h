#pragma once
// TestLine::openWire, for tests that link the host side (wexcon_core).
#include <string>

#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "support/TestLine.h"

inline void TestLine::openWire(uint8_t address, unsigned baud) {
    ASSERT_TRUE(line) << "no line started";
    resetWire_ = &ResetWire;
    ResetWire();
    Wire().slave = address;
    ASSERT_TRUE(ParseDCB(line->slavePath() + ":" + std::to_string(baud) + ",n,8,1" + (line->echoes() ? ",echo" : ""),
                         &Wire().port));
    ASSERT_NE(OpenModbusContext(), nullptr);
}
