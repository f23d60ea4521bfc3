#pragma once
// The host's link to a wexcon-sim process at `baud`: opened at 9600, every
// detector moved to `baud` by one broadcast, as the tool does.
#include <chrono>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "protocol/records/ByteOrder.h"

inline bool OpenSimLink(const SimProcess& sim, unsigned baud) {
    ResetWire();
    if (!ParseDCB(sim.link() + ":9600,n,8,1", &Wire().port) || !OpenModbusContext()) return false;
    if (baud == 9600) return true;
    std::vector<uint8_t> p;
    le::append32(p, baud);
    SelectSlave(0);
    if (ModbusSet(4, p.data(), Wire().ctx, D_SWITCH_BAUD) != 0) return false;
    // The detectors reprogram their UARTs 100 ms after the request.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    Wire().port.baud = baud;
    return ReopenLink();
}
