// DCI channels and the 4-20 mA trim, driven by hand-built MISC_CALIB_420 requests.
#include <cstring>

#include "sim/Control.h"
#include "support/TestLine.h"

using namespace testline;

class SimCalib : public TestLine {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startLine({ir(1)}, {.clock = &clock})); }
    std::string control(const std::string& command) { return wsim::runControlCommand(*line, command); }
    // The acknowledgement byte of one request `6 t [reading]`.
    int calib(uint8_t t, float reading = -1) {
        wsim::Bytes p{6, t};
        if (reading >= 0) {
            p.resize(6);
            std::memcpy(&p[2], &reading, 4);
        }
        int a = -1;
        line->withDetector(1, [&](wsim::Detector& d, int64_t now) {
            wsim::RecordRequest r;
            r.address = 1;
            r.id = wsim::cmd::Misc;
            r.payload = p.data();
            r.payloadSize = p.size();
            r.authOk = true;
            if (auto reply = d.handleRecord(r, now)) a = reply->data.at(0);
        });
        return a;
    }
    void restart() {
        control("restart 1");
        clock.advance(60000);
    }
    float sum(size_t at) {
        float f = 0;
        line->withDetector(1, [&](wsim::Detector& d, int64_t now) { std::memcpy(&f, &d.liveRecord(now)[at], 4); });
        return f;
    }
};

TEST_F(SimCalib, DciOptionAndControl) {
    std::string error;
    auto c = wsim::parseDetectorOption("3:ir,dci=1.25,err420=0.1/-0.2", &error);
    ASSERT_TRUE(c) << error;
    EXPECT_FLOAT_EQ(c->dciFactor, 1.25f);
    EXPECT_FLOAT_EQ(c->err20, -0.2f);
    EXPECT_FALSE(wsim::parseDetectorOption("3:ir,dci=x", &error));
    EXPECT_FALSE(wsim::parseDetectorOption("3:ir,err420=0.1", &error));
    EXPECT_EQ(control("dci 1 1.25"), "ok");
    EXPECT_FLOAT_EQ(sum(32), 1.25f * sum(20));
    EXPECT_EQ(control("dci 1 dead45"), "ok");
    EXPECT_EQ(sum(20), 0.0f);
    EXPECT_NE(control("dci 1 fast"), "ok");
}

TEST_F(SimCalib, TrimLowersTheErrorAndSurvivesARestartOnlyWhenBurned) {
    EXPECT_EQ(calib(104, 4.08f), 0);  // not fixed at 4
    EXPECT_EQ(calib(4), 1);
    EXPECT_EQ(control("meter 1"), "4.080");
    EXPECT_EQ(calib(104, 4.08f), 1);
    EXPECT_EQ(control("meter 1"), "4.000");
    EXPECT_EQ(calib(1), 0);  // 20 mA not applied
    EXPECT_EQ(calib(20), 1);
    EXPECT_EQ(control("meter 1"), "19.850");
    EXPECT_EQ(calib(120, 19.85f), 1);
    restart();  // unburned: lost
    EXPECT_EQ(calib(20), 1);
    EXPECT_EQ(control("meter 1"), "19.850");
    calib(120, 19.85f);
    calib(4);
    calib(104, 4.08f);
    EXPECT_EQ(control("refuse420 1 1"), "ok");
    EXPECT_EQ(calib(1), 0);
    EXPECT_EQ(calib(1), 1);
    EXPECT_EQ(calib(0), 1);
    restart();
    calib(20);
    EXPECT_EQ(control("meter 1"), "20.000");
}
