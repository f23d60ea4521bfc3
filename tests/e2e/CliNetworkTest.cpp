// search, locate, elevate and set-address against simulated detectors: what
// each prints and its exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "CliLine.h"

namespace {

constexpr uint8_t kIr = 3, kLocked = 17;

class CliNetwork : public CliLine {
protected:
    // An unlocked IR detector at 3; a locked UV/IR detector of another family
    // at 17 (MAINT "mpass", ADMIN "apass").
    void SetUp() override {
        auto locked = testline::lockedIr(kLocked);
        locked.uvir = true;
        locked.picture = 0x26;
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(kIr), locked}));
        openWire(kIr);
    }
    bool present(uint8_t address) {
        const auto a = line->addresses();
        return std::count(a.begin(), a.end(), address) == 1;
    }
};

// Each answer is named from its own codes; later lines talk to the detector
// selected before.
TEST_F(CliNetwork, Search) {
    struct Case {
        const char* command;
        int status;
        const char* found;
    } const cases[] = {
        {"search 2 4", kCliOk, "3\tQXD-S1\t21030003\n"},
        {"search 17 17", kCliOk, "17\tRBD-T2\t21030017\n"},
        {"search 18 18", kCliFailed, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(run(kIr, c.command), c.status);
        EXPECT_EQ(out.str(), c.found);
        EXPECT_EQ(Wire().slave, kIr);
    }
}

TEST_F(CliNetwork, LocateFindsOnlyASingleDetector) {
    // Two detectors on the line garble each other's answers to the broadcast.
    EXPECT_EQ(run(kIr, "locate"), kCliFailed);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Wire().slave, kIr);
    line->stop();
    ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(9)}));
    openWire(kIr);
    EXPECT_EQ(run(kIr, "locate"), kCliOk) << err.str();
    EXPECT_EQ(out.str(), "9\n");
    EXPECT_EQ(Wire().slave, 9u) << "the host switches to the detector it found";
}

TEST_F(CliNetwork, ElevateReadsOnePasswordLine) {
    struct Case {
        uint8_t address;
        const char* command;
        const char* input;
        int status;
        const char* output;
    } const cases[] = {
        {kIr, "elevate 2", "", kCliOk, "not needed\n"},
        {kLocked, "elevate 1", "Mpass\n", kCliFailed, "refused\n"},
        {kLocked, "elevate 2", "", kCliFailed, ""},  // Cancel
        {kLocked, "elevate 2", "12345678901234567\n", kCliUsage, ""},
        {kLocked, "elevate 0", "apass\n", kCliUsage, ""},
        {kLocked, "elevate 3", "apass\n", kCliUsage, ""},
        {kLocked, "elevate 1", "mpass\r\nnext line\n", kCliOk, "granted\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " at " + std::to_string(c.address) + " <<" + c.input);
        EXPECT_EQ(run(c.address, c.command, c.input), c.status) << err.str();
        EXPECT_EQ(out.str(), c.output);
    }
    std::string rest;
    EXPECT_TRUE(std::getline(in, rest));
    EXPECT_EQ(rest, "next line") << "one line per elevation";
}

TEST_F(CliNetwork, SetAddressProbesAndElevatesFirst) {
    struct Case {
        uint8_t address;
        const char* command;
        const char* input;
        int status;
        const char* message;  // part of standard error
        uint8_t movedTo;      // 0: nothing moved
    } const cases[] = {
        {kIr, "set-address 3", "", kCliUsage, "Address must be different and in the range [1..247]", 0},
        {kIr, "set-address 0", "", kCliUsage, "Address must be different", 0},
        {kIr, "set-address 248", "", kCliUsage, "Address must be different", 0},
        {kIr, "set-address 17", "", kCliFailed, "A detector, version 'UV/IR detector firmware 4.17", 0},
        {kLocked, "set-address 30", "mpass\n", kCliFailed, "ADMIN elevation not granted", 0},
        {kLocked, "set-address 30", "apass\n", kCliOk, "", 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " at " + std::to_string(c.address));
        EXPECT_EQ(run(c.address, c.command, c.input), c.status) << err.str();
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_TRUE(present(kIr));
        EXPECT_EQ(present(kLocked), !c.movedTo);
        EXPECT_EQ(Wire().slave, c.movedTo ? c.movedTo : c.address) << "later lines talk to where it is";
        EXPECT_TRUE(!c.movedTo || present(c.movedTo));
    }
}

}  // namespace
