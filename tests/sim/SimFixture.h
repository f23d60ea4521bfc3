#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "sim/Line.h"
#include "tests/sim/SimHost.h"

namespace simtest {

// A line on a fresh pty with detector time under the test's control.
class SimLine : public ::testing::Test {
protected:
    void startLine(const std::vector<wsim::DetectorConfig>& dets, bool fast = true) {
        wsim::LineOptions o;
        o.fast = fast;
        o.clock = &clock;
        o.seed = 7;
        line = std::make_unique<wsim::Line>(o);
        for (const auto& d : dets) line->addDetector(d);
        std::string err;
        ASSERT_TRUE(line->start(&err)) << err;
        ASSERT_TRUE(host.open(line->slavePath(), 9600)) << host.port().lastError();
    }
    static wsim::DetectorConfig ir(uint8_t a) {
        wsim::DetectorConfig c;
        c.address = a;
        return c;
    }
    static wsim::DetectorConfig uvir(uint8_t a) {
        auto c = ir(a);
        c.uvir = true;
        return c;
    }
    static wsim::DetectorConfig lockedIr(uint8_t a) {
        auto c = ir(a);
        c.locked = true;
        c.maint = "mpass";
        c.admin = "apass";
        return c;
    }
    // Sends a frame that gets no answer and waits until the line has taken
    // it, so that detector time can be moved on behind it.
    void sendSet(const Bytes& f) {
        const auto before = line->stats().frames;
        host.send(f);
        for (int i = 0; i < 200 && line->stats().frames == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // Mode character of a status poll, 0 when it failed.
    char pollMode(uint8_t addr) {
        const Bytes r = host.exchange(dataRequest(addr), 177);
        return r.size() == 177 && crcGood(r) ? static_cast<char>(r[16]) : 0;
    }
    // The nonce the host holds after a good answer, as its transport would.
    uint32_t freshNonce(uint8_t addr) { return nonceOf(host.exchange(dataRequest(addr), 177)); }
    void TearDown() override {
        host.port().close();
        if (line) line->stop();
    }

    wsim::ManualClock clock;
    std::unique_ptr<wsim::Line> line;
    Host host;
};

}  // namespace simtest
