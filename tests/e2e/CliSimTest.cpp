// wexcon-cli's commands against simulated detectors over the pseudo-terminal,
// once through the library context and once through the raw frame link: the
// host's framing and the detector side were written apart, so every case here
// checks one against the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sstream>
#include <thread>

#include "cli/CliCommands.h"
#include "cli/Hex.h"
#include "link/CommDriver.h"
#include "support/HostFrames.h"
#include "support/TestLineWire.h"

namespace {

using namespace hostframes;
using namespace std::chrono_literals;

// The demo line, plus a detector that never tags its answers.
constexpr uint8_t kIr = 1, kUvir = 2, kNoTags = 5, kLocked = 17;

std::vector<wsim::DetectorConfig> detectors() {
    auto d = testline::demo();
    d.push_back(testline::ir(kNoTags));
    d.back().tags = false;
    return d;
}

// One word, commas for blanks, so that it stays one argument of a command line.
std::string hex(const Bytes& b) {
    std::string s = hexLine(b.data(), b.size());
    std::replace(s.begin(), s.end(), ' ', ',');
    return s;
}

enum class LinkKind { Library, Raw };

class CliOverSim : public TestLine, public ::testing::WithParamInterface<LinkKind> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(detectors(), {.clock = &clock}));
        restartHost();
    }
    void TearDown() override {
        ResetCommDriver();
        TestLine::TearDown();
    }

    bool raw() const { return GetParam() == LinkKind::Raw; }

    // A clean wire state on a fresh link at 9600 baud, the IR detector selected:
    // tags, once on, never go off otherwise.
    void restartHost() {
        ResetCommDriver();
        openWire(kIr);
        if (raw()) {
            CloseModbusContext();
            ASSERT_TRUE(OpenRawLink());
        }
    }
    int run(const std::string& command) {
        out.str("");
        err.str("");
        return session.run(splitWords(command));
    }
    // The printed frame ("01 C8 0D ...") back into bytes.
    Bytes frame() const { return parseHexBytes(out.str().substr(0, out.str().find('\n'))).value_or(Bytes{}); }
    // A status request straight through the transport, errno kept.
    int statusGet(unsigned waitMs, unsigned timeoutMs, int* error = nullptr) {
        uint8_t buffer[177] = {};
        errno = 0;
        const int r = ModbusGet(0, D_DATA2HOST, Wire().ctx, buffer, sizeof buffer, waitMs, timeoutMs);
        if (error) *error = errno;
        return r;
    }

    std::istringstream in;  // no password for anything
    std::ostringstream out, err;
    CliSession session{out, err, in};
};

TEST_P(CliOverSim, EachRecordCommandComesBackWhole) {
    // A fault word to read back, and an alarm for the message record.
    line->withDetector(kIr, [](wsim::Detector& d, int64_t now) {
        d.setFault(33, true);
        d.simulateAlarm(now);
    });
    struct Case {
        uint8_t addr;
        std::string command;
        size_t size;
        size_t at;       // first byte of `expect` in the answer
        Bytes expect;
    };
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    const Case cases[] = {
        {kIr, "get D_DATA2HOST", 177, 4, {120, 0x90, 0x05, 0x71, 0xE4, 0x40, 0x01}},
        {kIr, "get D_DATA2HOST_SHORT", 24, 4, {116}},
        {kLocked, "get D_SETUP2HOST", 89, 15, {kLocked}},
        {kIr, "get D_VERINFO2HOST", 273, 15, text("IR4 detector firmware 4.17 (model 0x0590)")},
        {kLocked, "get 148 --payload " + hex(elevation(2, "admin17")), 18, 15, {1}},  // D_ELEVATE by number
        {kIr, "get D_MISC_CONTROL --payload 03 --size 29", 29, 15, {0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}},
        {kIr, "get D_MISC_CONTROL --payload 0800 --size 1403", 1403, 15, text("\x01SN:21030001 ADR:001\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " at " + std::to_string(c.addr));
        SelectSlave(c.addr);
        ASSERT_EQ(run(c.command), kCliOk) << err.str();
        const Bytes f = frame();
        ASSERT_EQ(f.size(), c.size);
        ASSERT_LE(c.at + c.expect.size(), f.size());
        EXPECT_EQ(Bytes(f.begin() + c.at, f.begin() + c.at + c.expect.size()), c.expect);
        EXPECT_EQ(Wire().lastResponder, c.addr);
        EXPECT_EQ(Wire().nonce, nonceOf(f)) << "the next authorised request is coded from this answer";
    }
}

TEST_P(CliOverSim, AnAnswerLongerThanAskedIsNotTaken) {
    // The message record (1,403 bytes) into the table's 18 bytes.
    ASSERT_EQ(run("get D_MISC_CONTROL --payload 08"), kCliFailed);
    // The raw link reports a frame that does not fit as 2; the library as a failed receive.
    const std::string result = raw() ? "transport result 2," : "transport result -1,";
    EXPECT_NE(err.str().find(result), std::string::npos) << err.str();
    EXPECT_EQ(run("poll"), kCliOk) << "the long frame is gone from the line";
}

// A setup write with an answer is refused here for the address byte of another
// detector; one without an answer, as a Set, is stored.
TEST_P(CliOverSim, SetupWriteRefusedOrStoredWithoutAnAnswer) {
    for (const bool asSet : {false, true}) {
        SCOPED_TRACE(asSet ? "set" : "get");
        ASSERT_EQ(run("get D_SETUP2HOST"), kCliOk) << err.str();
        const Bytes before = frame();
        Bytes record(before.begin() + 15, before.begin() + 87);
        const int at = asSet ? 2 : 0;  // the alarm delay, or the address byte
        record[at] = asSet ? 6 : 9;
        const std::string payload = " --payload " + hex(record);
        if (asSet) {
            EXPECT_EQ(run("set D_SETUP2DET" + payload), kCliOk) << err.str();
        } else {
            // The detector here answers at once; the table's 500 ms wait would only slow the suite.
            EXPECT_EQ(run("get D_SETUP2DET --wait 20" + payload), kCliFailed);
            EXPECT_NE(err.str().find("expected 89 bytes"), std::string::npos) << err.str();
            EXPECT_EQ(frame().at(15), 2) << "refused as invalid, not for its code";
        }
        ASSERT_EQ(run("get D_SETUP2HOST"), kCliOk) << err.str();
        EXPECT_EQ(frame()[15 + at], asSet ? 6 : before[15 + at]);
    }
}

TEST_P(CliOverSim, RegistersAndAddressChange) {
    struct Case {
        uint8_t addr;
        const char* command;
        int status;
        const char* output;  // standard output, or a part of standard error on failure
    };
    const Case cases[] = {
        {kIr, "read-input 30001 3", kCliOk, "0590 E471 0140\n"},  // model, serial low and high word
        {kUvir, "read-input 30,001 1", kCliOk, "0592\n"},
        {kIr, "write-register 40009 0005", kCliOk, ""},  // alarm delay
        {kIr, "write-registers 40002 0001 0000", kCliOk, ""},
        {kIr, "read-holding 40002 2", kCliOk, "0001 0000\n"},
        {kIr, "read-input 30040 1", kCliFailed, "exception 2"},
        {kIr, "set-address 9", kCliOk, ""},
        {9, "read-holding 40001 1", kCliOk, "0009\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " at " + std::to_string(c.addr));
        SelectSlave(c.addr);
        const uint64_t framesBefore = line->stats().frames;
        const int rc = run(c.command);
        if (raw()) {
            // Standard functions need the library context; on the raw link the
            // command is refused and nothing goes out.
            EXPECT_EQ(rc, kCliUsage);
            EXPECT_NE(err.str().find("leave out --raw"), std::string::npos) << err.str();
            EXPECT_EQ(line->stats().frames, framesBefore);
            continue;
        }
        EXPECT_EQ(rc, c.status) << err.str();
        if (c.status == kCliOk) {
            EXPECT_EQ(out.str(), c.output);
        } else {
            EXPECT_NE(err.str().find(c.output), std::string::npos) << err.str();
        }
    }
}

TEST_P(CliOverSim, TagsSwitchOnAfterTheFirstStatusAnswer) {
    struct Case {
        bool useTags;
        uint8_t addr;
        bool active;
    };
    for (const Case c : {Case{true, kIr, true}, Case{true, kNoTags, false}, Case{false, kUvir, false}}) {
        SCOPED_TRACE(std::to_string(c.addr) + (c.useTags ? " tags" : " no tags"));
        restartHost();
        Wire().useCmdTags = c.useTags;
        SelectSlave(c.addr);
        ASSERT_EQ(run("get D_SETUP2HOST"), kCliOk) << err.str();
        EXPECT_FALSE(Wire().tagsActive) << "only a status answer shows the tag bit";
        ASSERT_EQ(run("poll"), kCliOk) << err.str();
        EXPECT_EQ(Wire().tagsActive, c.active);
        // A tagged request succeeds only when the detector echoes its tag.
        ASSERT_EQ(run("get D_SETUP2HOST"), kCliOk) << err.str();
        EXPECT_EQ(Wire().tagCounter, c.active ? 1 : 0);
        // Tagged sets and authorised gets keep working with tags on.
        ASSERT_EQ(run("set D_MANUAL_BIT"), kCliOk);
        ASSERT_EQ(run("poll"), kCliOk);
        EXPECT_NE(out.str().find(" mode M "), std::string::npos) << out.str();
        EXPECT_EQ(run("get D_MISC_CONTROL --payload 03 --size 29"), kCliOk) << err.str();
        EXPECT_EQ(Wire().tagCounter, c.active ? 3 : 0) << "a set and a poll took a tag each";
    }
}

// A late answer is taken for the answer of the next request unless a command
// tag tells them apart; one already waiting when a request goes out is thrown
// away, on either link, and no receive reads into the frame behind its own.
TEST_P(CliOverSim, LateAnswers) {
    for (const bool tags : {true, false}) {
        SCOPED_TRACE(tags ? "tags" : "no tags");
        restartHost();
        Wire().useCmdTags = tags;
        ASSERT_EQ(run("poll"), kCliOk);
        ASSERT_EQ(Wire().tagsActive, tags);
        uint8_t buffer[89];
        line->setDelay(400);
        EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 89, 10, 100), -1);
        line->setDelay(0);
        // Sent long before the late answer comes, so the late one arrives first.
        EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 89, 10, 3000), tags ? -1 : 89);
        std::this_thread::sleep_for(600ms);  // its own answer is in by now
        for (int i = 0; i < 3; ++i) EXPECT_EQ(statusGet(100, 500), 177) << i;
    }
}

// Each fault of an answer gives its result on either link; the next poll is clean.
TEST_P(CliOverSim, EachMisbehaviourGivesItsTransportResult) {
    struct Case {
        const char* what;
        void (*inject)(wsim::Line&);
        int result;
        int error;  // errno of a library failure
    } const cases[] = {
        {"drop", [](wsim::Line& l) { l.dropAnswers(1); }, -1, ETIMEDOUT},
        {"corrupt", [](wsim::Line& l) { l.corruptAnswers(1); }, -1, EMBBADCRC},
        {"short", [](wsim::Line& l) { l.shortAnswers(1); }, -1, EMBBADCRC},
        // Neither receive path compares the answer's address with the slave:
        // the wrong responder is only visible in lastResponder.
        {"wrong address", [](wsim::Line& l) { l.wrongAddressAnswers(1); }, 177, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.inject(*line);
        int error = 0;
        EXPECT_EQ(statusGet(20, 100, &error), c.result);
        if (c.result > 0) {
            EXPECT_EQ(Wire().lastResponder, kUvir);
        } else if (!raw()) {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(Wire().lastResponder, 255u);
        }
        EXPECT_EQ(statusGet(100, 500), 177);
        EXPECT_EQ(Wire().lastResponder, kIr);
    }
}

// Nothing goes out for a command line the session cannot take.
TEST_P(CliOverSim, UsageErrorsSendNothing) {
    const auto before = line->stats();
    for (const char* l : {"frobnicate", "get D_NOTHING", "get D_SETUP2HOST --payload 0G",
                          "get D_SETUP2HOST --payload 123", "get D_MANUAL_BIT",  // a Set has no answer size
                          "get D_SETUP2HOST --colour red", "set D_MANUAL_BIT --payload xyz", "read-input 29999 2",
                          "read-holding 40001 0", "write-register 40001 12345", "write-registers 40001",
                          "poll --count x"}) {
        EXPECT_EQ(run(l), kCliUsage) << l;
        EXPECT_FALSE(err.str().empty()) << l;
    }
    EXPECT_EQ(line->stats().frames, before.frames);
    EXPECT_EQ(line->stats().garbageBytes, before.garbageBytes);
}

INSTANTIATE_TEST_SUITE_P(Links, CliOverSim, ::testing::Values(LinkKind::Library, LinkKind::Raw),
                         [](const auto& info) { return info.param == LinkKind::Raw ? "Raw" : "Library"; });

}  // namespace
