#include <gtest/gtest.h>

#include "calib/CDCICalibIds.h"
#include "calib/DciCalibration.h"
#include "calib/DciPoll.h"
#include "monitor/LiveFrames.h"
#include "shell/FakePanel.h"

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

// The window's poll on scripted reads: Start, the run to its verdict with the
// fields and buttons it leaves, Master / Reset following the next answer.
TEST(DciPoll, RunsToTheVerdictTheWindowShows) {
    using namespace dciwin;
    struct Case {
        float s44;
        const char* verdict;
        int fields;
        bool burn;
    } cases[] = {
        {125, "You can now BURN", dci::kFieldsAdvised, true},
        {100, "Burn unnecessary.\r\n\r\nThis detector needs no DCI-amplification.", dci::kFieldsNone, false},
        {0, "Burn not permitted.\r\n\r\nThis detector is unsuitable for DCI.", dci::kFieldsFailed, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.s44);
        auto panel = std::make_shared<FakePanel>();
        unsigned long long ms = 0;
        std::vector<unsigned> selected;
        unsigned current = 7;
        dci::Poll::Link link{[&] { return std::optional(Channels(100, c.s44)); },
                             [&](unsigned a) { return selected.push_back(a), current = a, true; },
                             [&] { return current; }};
        dci::Poll poll(panel, link, [&] { return ms; });
        for (int i = 0; i < 6; ++i) poll.tick();
        EXPECT_FALSE(panel->disabled.count(kStart));
        EXPECT_EQ(panel->text(kValue0 + 3), c.s44 == 125 ? "125.0" : c.s44 == 100 ? "100.0" : "0.0");
        poll.startOrAbort("70000");
        EXPECT_EQ(panel->text(kDuration), "60000");  // too long: replaced
        poll.startOrAbort("");                       // Abort
        poll.startOrAbort("2");
        for (; poll.running() && ms < 5000; ms += 100) poll.tick();
        EXPECT_EQ(ms, 1600u);  // the tick at 1.5 s rounds to 2 s
        EXPECT_EQ(panel->questions.back(), std::string("Accumulating sums done:: ") + c.verdict);
        EXPECT_EQ(panel->text(kFieldsState), std::to_string(c.fields));
        EXPECT_EQ(panel->disabled.count(kBurn) == 0, c.burn);
        EXPECT_EQ(panel->text(kStart), "Done.");
        if (c.burn) {
            EXPECT_EQ(poll.burnValue(), 120);
        }

        poll.master();
        EXPECT_EQ(panel->text(kFactor), "");
        poll.tick();
        EXPECT_EQ(selected, (std::vector<unsigned>{0, 1}));  // the answer names the detector
    }
}

TEST(DciPoll, TheEleventhFailedReadStopsThePoll) {
    auto panel = std::make_shared<FakePanel>();
    dci::Poll poll(panel, {[] { return std::optional<LiveRecord>(); }, [](unsigned) { return true; }, [] { return 1u; }},
                   [] { return 0ULL; });
    for (int i = 0; i < 10; ++i) poll.tick();
    EXPECT_TRUE(poll.running());
    poll.tick();
    EXPECT_FALSE(poll.running());
    EXPECT_EQ(panel->questions, (std::vector<std::string>{"Error: Detector unresponsive - aborting calibration..."}));
    EXPECT_EQ(panel->text(dciwin::kFieldsState), std::to_string(dci::kFieldsFailed));
}

}  // namespace
