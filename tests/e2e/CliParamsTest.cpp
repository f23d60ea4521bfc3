// params read and params burn against simulated detectors: one case per exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "CliLine.h"
#include "support/TempFolder.h"
#include "util/PumpWait.h"

namespace {

constexpr uint8_t kIr = 1, kUvir = 2,
                  kLocked = 17;  // the demo line; 17's ADMIN password is admin17

class CliParams : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo(), {.clock = &clock}));
        openWire(kIr);
        // The host's waits are detector time too (its quiet time after a burn);
        // `jumpMs` more on the next wait.
        SetPumpWait([this](unsigned ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            clock.advance(ms + jumpMs);
            jumpMs = 0;
        });
    }
    void TearDown() override {
        SetPumpWait({});
        CliLine::TearDown();
    }
    TempFolder folder;
    int64_t jumpMs = 0;
};

TEST_F(CliParams, ReadAndBurn) {
    ASSERT_EQ(run(kUvir, "params read"), kCliOk) << err.str();
    EXPECT_EQ(out.str().rfind("[uv_param_0]\nsum_first_pass_0=80000.00\n", 0), 0u) << out.str();
    // The key texts are ParamProfileTest's; here the section and the raw file.
    ASSERT_EQ(run(kIr, "params read ir.bin"), kCliOk) << err.str();
    EXPECT_EQ(out.str().rfind("[ir4_param_0]\nsum45_0=1000000000.00\n", 0), 0u) << out.str();
    const auto factory = params(kIr);
    EXPECT_EQ(slurp("ir.bin"), std::string(factory.begin(), factory.end()));
    std::ofstream("p.ini") << "[ir4_param_0]\nsumsize=100\n[other]\nsumsize=89\n";
    std::ofstream("short.bin") << slurp("ir.bin").substr(1);

    // Detector, command, standard input, detector ms jumped over at the first wait; exit status, a part of
    // the output, the sumsize stored afterwards.
    using Case = std::tuple<uint8_t, const char*, const char*, int64_t, int, const char*, int>;
    const Case cases[] = {
        {kIr, "params burn p.ini", "", 0, kCliOk, "Parameters verified\n", 100},
        {kIr, "params burn ir.bin", "", 0, kCliOk, "Parameters verified\n", 121},
        {kLocked, "params burn p.ini", "", 0, kCliFailed, "not elevated to ADMIN; nothing sent", 121},
        {kIr, "params burn short.bin", "", 0, kCliUsage, "short.bin holds 983 bytes; the detector's record has 984",
         121},
        {kIr, "params burn p.ini --section OTHER", "", 0, kCliRefused,
         "Error: Bad 'sumsize' 89. Recommended 'sumsize' 121. 'sumsize' must be in the range [90,255]", 121},
        // Elevated, then held up past the detector's 120 s: it ignores the write.
        {kLocked, "params burn p.ini", "admin17\n", 121'000, kCliUnverified,
         "Error: Verification failed...\nparams burn: the detector holds another record (byte 793 differs)", 121},
    };
    for (const auto& [address, command, input, jump, status, printed, sumsize] : cases) {
        SCOPED_TRACE(printed);
        clock.advance(10'000);
        jumpMs = jump;
        EXPECT_EQ(run(address, command, input), status) << err.str();
        EXPECT_NE((out.str() + err.str()).find(printed), std::string::npos) << out.str() << err.str();
        EXPECT_EQ(params(address)[793], sumsize);
    }
}

}  // namespace
