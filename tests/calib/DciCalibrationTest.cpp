#include <gtest/gtest.h>

#include "calib/DciCalibration.h"
#include "monitor/LiveFrames.h"

namespace {

LiveRecord Channels(float s45, float s44) {
    return LiveFrame(1, 'N').set({{live::Sum45, s45}, {live::Sum5, 10}, {live::Sum4, 20}, {live::Sum44, s44}}).record();
}

// The verdict and amplification come from the factor as printed, so the
// boundaries are those of the three-decimal text.
TEST(DciVerdict, OnThePrintedFactor) {
    struct Case {
        float s45, s44;
        const char* printed;
        dci::Verdict verdict;
        int amplification;
    } cases[] = {
        {100, 100, "1.000", dci::Verdict::Unnecessary, 100},
        {100, 125, "1.250", dci::Verdict::Advised, 120},
        {100, 150, "1.500", dci::Verdict::Advised, 100},
        {1000, 1501, "1.501", dci::Verdict::NotPermitted, 100},
        {100, 80, "0.800", dci::Verdict::Unnecessary, 100},
        {0, 100, "", dci::Verdict::NotPermitted, 100},      // dead 4.5 um: no factor
        {100, 0, "", dci::Verdict::NotPermitted, 100},      // dead 4.4 um
        {0.0005f, 0.0005f, "", dci::Verdict::NotPermitted, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printed);
        dci::Sums s;
        s.add(Channels(c.s45, c.s44));
        s.add(Channels(c.s45, c.s44));
        const std::string printed = dci::FactorText(s.factor());
        EXPECT_EQ(printed, c.printed);
        EXPECT_EQ(dci::Judge(printed), c.verdict);
        EXPECT_EQ(dci::Amplification(printed), c.amplification);
    }
    EXPECT_FALSE(dci::Sums{}.factor());  // n = 0
    EXPECT_EQ(dci::ClampSeconds(70000), 60000u);
}

TEST(DciRun, StartsAfterTheSixthGoodReadAndAbortsOnTheEleventhFailure) {
    dci::Run run(2);
    for (int i = 0; i < 5; ++i) run.onRead(Channels(100, 125), 0);
    EXPECT_FALSE(run.canStart());
    run.onRead(Channels(100, 125), 0);
    ASSERT_TRUE(run.canStart());
    run.start(1000);
    EXPECT_EQ(run.onRead(Channels(100, 125), 1100), dci::Run::Step::Averaging);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(run.onRead(std::nullopt, 1200), dci::Run::Step::Averaging);
    EXPECT_EQ(run.onRead(Channels(100, 130), 2400), dci::Run::Step::Averaging);  // 1.9 s rounds to 1
    EXPECT_EQ(run.onRead(Channels(100, 130), 2500), dci::Run::Step::Done);
    EXPECT_EQ(run.sums().n, 3u);
    EXPECT_EQ(dci::FactorText(run.sums().factor()), "1.283");

    dci::Run dead(60);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(dead.onRead(std::nullopt, 0), dci::Run::Step::Reading);
    EXPECT_EQ(dead.onRead(std::nullopt, 0), dci::Run::Step::Unresponsive);
}

}  // namespace
