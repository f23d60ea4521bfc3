// The search of an address range, against detectors on a simulated line.
#include <gtest/gtest.h>

#include <set>

#include "network/CSearchPageIds.h"
#include "network/Probe.h"
#include "network/SearchPage.h"
#include "shell/FakePanel.h"
#include "shell/ShellState.h"
#include "support/TestLineWire.h"
#include "util/PumpWait.h"

using namespace searchwin;
using Lines = std::vector<std::string>;

namespace {

const std::string kAsk = "Detectors found:: Add all detectors found to Network?";

class Search : public TestLine {
protected:
    void SetUp() override {
        ResetShell();
        SetPumpWait([this](unsigned ms) { waits.push_back(ms); });
    }
    void TearDown() override {
        SetPumpWait({});
        ResetShell();
        TestLine::TearDown();
    }
    // The search over first..last; addresses outside `viaWire` answer nothing
    // without going to the wire. "Abort" is pressed while `abortAt` is probed.
    SearchPage& make(unsigned first, unsigned last) {
        const auto found = [this](unsigned a) { hooked.push_back(a); };
        search = std::make_unique<SearchPage>(panel, first, last, found, [this](unsigned a) {
            probed.push_back(a);
            if (a == abortAt) search->pressButton();
            return viaWire.count(a) ? ProbeStatus(a) : std::nullopt;
        });
        search->onFinish([this] { ++released; });
        return *search;
    }
    void run() {
        for (int i = 0; i < 300 && !search->finished(); ++i) search->tick();
        ASSERT_TRUE(search->finished());
    }
    Lines lines() { return panel->lists[kList]; }

    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
    std::unique_ptr<SearchPage> search;
    std::set<unsigned> viaWire;
    unsigned abortAt = 0;
    std::vector<unsigned> probed, hooked, waits;
    int released = 0;
};

// 1..50 with detectors at 3 and 17. A silent address costs two 500 ms time-outs
// on the wire, so only the detectors, their neighbours and the ends of the
// range are probed there; the other silent addresses are answered "nothing"
// by the stand-in.
TEST_F(Search, FindsTheDetectorsOfAPage) {
    startLine({testline::ir(3), testline::uvir(17)});
    openWire(9);
    viaWire = {1, 2, 3, 4, 16, 17, 18, 50};
    panel->answers = {IDYES};
    ASSERT_TRUE(make(1, 50).begin());
    EXPECT_EQ(panel->text(kRange), "Searching for detectors in the address range: 1 - 50");
    EXPECT_EQ(panel->text(kButton), "Abort");
    ASSERT_NO_FATAL_FAILURE(run());

    Lines want;
    for (unsigned a = 1; a <= 50; ++a)
        want.push_back(a == 3    ? "Model QXD-S1 found at address 3"
                       : a == 17 ? "Model QXD-S2 found at address 17"
                                 : "No response from address " + std::to_string(a));
    want.push_back("Done.");
    EXPECT_EQ(lines(), want);
    EXPECT_EQ(hooked, (std::vector<unsigned>{3, 17}));
    EXPECT_EQ(search->found(), hooked);
    EXPECT_EQ(panel->text(kButton), "Close");
    EXPECT_EQ(panel->questions, Lines{kAsk});
    EXPECT_TRUE(search->addAll());
    EXPECT_EQ(released, 1);
    EXPECT_EQ(waits.size(), 50u + 6u);  // the pause after each address, the retry of each silent one on the wire
    // The host is left on the start of the range: 50 did not answer.
    EXPECT_EQ(Shell().detector.address, 1u);
    EXPECT_EQ(Wire().slave, 1u);

    search->pressButton();  // "Close"
    search->finish();       // and the window going: asked once only
    EXPECT_EQ(panel->closedWith, IDYES);
    EXPECT_EQ(panel->questions.size(), 1u);
}

TEST_F(Search, AbortIsSeenAtTheNextProbe) {
    std::vector<wsim::DetectorConfig> detectors;
    for (uint8_t a = 1; a <= 12; ++a) {
        detectors.push_back(testline::ir(a));
        viaWire.insert(a);
    }
    startLine(detectors);
    openWire(1);
    abortAt = 10;
    panel->answers = {IDNO};
    ASSERT_TRUE(make(1, 50).begin());
    ASSERT_NO_FATAL_FAILURE(run());

    Lines want;
    for (unsigned a = 1; a <= 10; ++a) {
        if (a == 10) want.push_back("Aborting...");  // pressed while 10 is probed
        want.push_back("Model QXD-S1 found at address " + std::to_string(a));
    }
    want.push_back("Aborted.");
    EXPECT_EQ(lines(), want);
    EXPECT_EQ(search->lastProbed(), 10u);
    EXPECT_EQ(panel->text(kButton), "Close");
    EXPECT_EQ(panel->questions, Lines{kAsk});
    EXPECT_FALSE(search->addAll());
    EXPECT_EQ(Wire().slave, 10u);  // the last detector found
    search->tick();
    EXPECT_EQ(probed.size(), 10u);
}

TEST_F(Search, BadRangesAreRefused) {
    for (const auto& [first, last] : {std::pair{0u, 5u}, {20u, 10u}, {240u, 248u}, {248u, 250u}}) {
        const std::string range = std::to_string(first) + " - " + std::to_string(last);
        SCOPED_TRACE(range);
        panel = std::make_shared<FakePanel>();
        EXPECT_FALSE(make(first, last).begin());
        search->tick();
        ASSERT_EQ(panel->questions.size(), 1u);
        EXPECT_EQ(panel->questions[0].rfind("Error: Cannot search the address range " + range, 0), 0u);
        EXPECT_TRUE(lines().empty());
        EXPECT_TRUE(probed.empty());
    }
}

}  // namespace
