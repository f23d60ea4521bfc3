#pragma once
#include <vector>

#include "support/TestLine.h"
#include "support/WaitFor.h"
#include "tests/sim/SimHost.h"

using namespace simtest;
using namespace testline;

// A test line with detector time moved by hand, and the host end on it at 9600 baud.
class HostOnLine : public TestLine {
protected:
    void startWithHost(const std::vector<wsim::DetectorConfig>& detectors) {
        ASSERT_NO_FATAL_FAILURE(startLine(detectors, {.clock = &clock}));
        ASSERT_TRUE(host.open(line->slavePath(), 9600)) << host.port().lastError();
    }
    // Sends a frame that gets no answer and waits until the line has taken it,
    // so that detector time can be moved on behind it.
    void sendSet(const Bytes& f) {
        const auto before = line->stats().frames;
        host.send(f);
        WaitFor([&] { return line->stats().frames != before; }, 400);
    }
    // Mode character of a status poll, 0 when it failed.
    char pollMode(uint8_t addr) {
        const Bytes r = host.exchange(dataRequest(addr), 177);
        return r.size() == 177 && crcGood(r) ? static_cast<char>(r[16]) : 0;
    }
    // The nonce the host holds after a good answer, as its transport would.
    uint32_t freshNonce(uint8_t addr) { return nonceOf(host.exchange(dataRequest(addr), 177)); }

    Host host;
};
