// The fault list: its lines, its tries, and the words as a detector sends them.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "FakePanel.h"
#include "shell/CFaultListIds.h"
#include "shell/FaultList.h"
#include "shell/ShellState.h"
#include "support/PtyPeer.h"
#include "support/RefCrc.h"
#include "support/TestLineWire.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

using Lines = std::vector<std::string>;

Lines framed(Lines faults) {
    faults.insert(faults.begin(), {"QXD State Faults:", "===================="});
    faults.push_back("====================");
    return faults;
}

TEST(FaultListLines, FromWords) {
    struct Case {
        const char* what;
        FaultWords words;
        bool uvir;
        Lines faults;
    };
    const Case cases[] = {
        {"bit 0 has no text", {1, 0, 0}, false, {"Fault  0, \"Unknown\""}},
        {"nothing set", {0, 0, 0}, false, {" >  None reported..."}},
        {"bits 94 and 95 are not shown", {0, 0, 3u << 30}, false, {" >  None reported..."}},
        {"mixed, ascending, all three words",
         {1u << 20 | 1u << 8, 1u << (47 - 32), 1u << 31 | 1u << (93 - 64) | 1u << (90 - 64)},
         true,
         {"Fault  8, \"BIT fault\"", "Fault 20, \"Setup updated\"", "Fault 47, \"IR locked high fault\"",
          "Fault 90, \"Startup - power on\"", "Fault 93, \"Unknown\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetShell();
        Shell().detector.uvirModel = c.uvir;
        EXPECT_EQ(FaultListLines(c.words), framed(c.faults));
    }
    ResetShell();
}

// The transport open on a pseudo-terminal, with the debug log, the busy hook
// and the waits between tries recorded.
class FaultListWire : public TestLine {
protected:
    void SetUp() override {
        ResetShell();
        ResetWire();
        logs::attachLists(
            [this](const std::string& l) {
                std::lock_guard lock(mutex_);
                log_.push_back(l);
            },
            {});
        // The poll clock may tick again between the tries.
        SetPumpWait([this](unsigned ms) {
            waits_.push_back(ms);
            EXPECT_FALSE(Shell().busy);
        });
    }
    void TearDown() override {
        peer_.stop();
        SetPumpWait({});
        logs::detachLists();
        ResetShell();
        ResetWire();
        TestLine::TearDown();
    }
    void openOnPeer() {
        ASSERT_TRUE(ParseDCB(peer_.port(115200), &Wire().port));
        ASSERT_NE(OpenModbusContext(), nullptr);
        log_.clear();
    }
    void openOnSimulator(const wsim::DetectorConfig& det) {
        ASSERT_NO_FATAL_FAILURE(startLine({det}));
        ASSERT_NO_FATAL_FAILURE(openWire(det.address));
        log_.clear();
    }
    Lines load() {
        FakePanel panel;
        FaultList::Load(panel);
        EXPECT_FALSE(Shell().busy);
        return panel.lists[faultwin::kList];
    }
    Lines logLines() {
        std::lock_guard lock(mutex_);
        return log_;
    }

    PtyPeer peer_;
    std::mutex mutex_;
    Lines log_;
    std::vector<unsigned> waits_;
};

TEST_F(FaultListWire, SimulatorFaultWords) {
    openOnSimulator(testline::uvir(1));
    Shell().detector.uvirModel = true;
    ASSERT_TRUE(line->withDetector(1, [](wsim::Detector& d, int64_t) {
        for (int bit : {8, 51, 90, 94}) d.setFault(bit, true);
    }));

    EXPECT_EQ(load(), framed({"Fault  8, \"BIT fault\"", "Fault 51, \"UV sensor break\"",
                              "Fault 90, \"Startup - power on\""}));
    EXPECT_EQ(logLines(), Lines{"QXD State Faults: 0x00000100 0x00080000 0x44000000."});
    EXPECT_TRUE(waits_.empty());
}

TEST_F(FaultListWire, SilentDetectorLeavesTheListEmpty) {
    openOnSimulator(testline::ir(1));
    ASSERT_TRUE(line->setDetectorSilent(1, true));
    const auto before = line->stats().frames;

    EXPECT_TRUE(load().empty());
    EXPECT_EQ(line->stats().frames - before, 3u);
    const Lines log = logLines();
    ASSERT_EQ(log.size(), 3u);
    for (const std::string& l : log) {
        EXPECT_EQ(l.rfind("D_MISC_CONTROL(3) returned ", 0), 0u) << l;
        EXPECT_EQ(l.substr(l.size() - 9), " - not 29") << l;
    }
    EXPECT_EQ(waits_, (std::vector<unsigned>{100, 100}));
}

// A well-formed answer that is too short to hold the words must not be read
// as words: the list comes from the next, full answer.
TEST_F(FaultListWire, ShortAnswerIsTriedAgain) {
    openOnPeer();
    int answers = 0;
    peer_.serve([&answers](const std::vector<uint8_t>&) {
        if (answers++ < 2) return recordAnswer(1, {0xFF, 0xFF, 0xFF, 0xFF}, 0, D_MISC_CONTROL);
        return recordAnswer(1, {0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}, 0, D_MISC_CONTROL);
    });

    FaultWords words{7, 7, 7};
    EXPECT_EQ(RequestFaultWords(words), 21);
    EXPECT_EQ(words, (FaultWords{7, 7, 7}));
    log_.clear();
    EXPECT_EQ(load(), framed({"Fault  2, \"Temperature measurement fault\""}));
    EXPECT_EQ(logLines(), (Lines{"D_MISC_CONTROL(3) returned 21 - not 29",
                                 "QXD State Faults: 0x00000004 0x00000000 0x80000000."}));
    EXPECT_EQ(waits_, std::vector<unsigned>{100});
    peer_.stop();
    const auto requests = peer_.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& r : requests) {
        // Record Get to address 1, length 6, command 0x9C, payload the one byte 3.
        ASSERT_EQ(r.size(), 10u);
        EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 5), (std::vector<uint8_t>{1, 0xC8, 6, 0, 0x9C}));
        EXPECT_EQ(r[7], 3);
        EXPECT_EQ(refCrc(r.data(), r.size()), 0);
    }
}

}  // namespace
