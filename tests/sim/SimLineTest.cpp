// Line behaviour: broadcast, framing, back-to-back frames and resynchronisation, speeds, pacing, faults.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "sim/Control.h"
#include "tests/sim/HostOnLine.h"

class SimLineTest : public HostOnLine {};

TEST_F(SimLineTest, BroadcastWithOneAndWithTwoDetectors) {
    startWithHost({ir(4)});
    const Bytes one = host.exchange(dataRequest(0), 177);
    ASSERT_EQ(one.size(), 177u);
    EXPECT_TRUE(crcGood(one));
    EXPECT_EQ(one[0], 4) << "the single detector answers with its own address";

    line->addDetector(uvir(9));
    const Bytes two = host.exchange(dataRequest(0), 177);
    EXPECT_EQ(two.size(), 177u) << "one frame on the wire";
    EXPECT_FALSE(crcGood(two)) << "colliding answers never form a good frame";
    EXPECT_EQ(line->stats().collisions, 1u);

    // A broadcast Set reaches every detector and is answered by none.
    EXPECT_TRUE(host.silentAfter(recordSet(0, 117)));
    EXPECT_EQ(pollMode(4), 'M');
    EXPECT_EQ(pollMode(9), 'M');
}

TEST_F(SimLineTest, MalformedAndDamagedFramesAreIgnoredThenResync) {
    startWithHost({ir(1), uvir(2)});
    const Bytes good = recordGet(1, 119);
    Bytes badCrc = good;
    badCrc.back() ^= 0x01;
    Bytes noise;
    for (int i = 0; i < 300; ++i) noise.push_back(static_cast<uint8_t>(i * 37 + 11));
    Bytes huge{1, 0xC8, 0x30, 0x18, 121};  // a 6 KB block of garbage
    huge.resize(6200, 0xA5);
    // Frames of every kind, each with a bit error, cut short or with a byte too many.
    const Bytes kinds[] = {dataRequest(1), recordGet(2, 119), authorisedGet(1, 156, {8, 1}, 0),
                           stdRequest(1, 4, 0, 32), writeRegisters(2, 1, {1, 0, 1, 0}),
                           recordGet(1, 148, elevation(2, "x"))};
    std::mt19937 rng(42);
    Bytes damaged;
    for (int i = 0; i < 400; ++i) {
        Bytes f = kinds[rng() % std::size(kinds)];
        switch (rng() % 3) {
        case 0: f[rng() % f.size()] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
        case 1: f.resize(1 + rng() % (f.size() - 1)); break;
        case 2: f.insert(f.begin() + 1 + long(rng() % (f.size() - 1)), static_cast<uint8_t>(rng())); break;
        }
        damaged.insert(damaged.end(), f.begin(), f.end());
    }
    struct Case {
        const char* what;
        Bytes junk;
    };
    const Case cases[] = {
        {"wrong CRC", badCrc},
        {"truncated", Bytes(good.begin(), good.end() - 3)},
        {"oversized length", withCrc({1, 0xC8, 0xFF, 0xFF, 119, 0, 0})},  // claims 65 KB
        {"noise", noise},
        {"set id as get", withCrc({1, 0xC8, 5, 0, 117, 0, 0})},
        {"length field zero", withCrc({1, 0xC8, 0, 0, 119})},
        {"unknown function", withCrc({1, 0x41, 0, 0, 0, 1})},
        {"6 KB with a bad CRC", huge},
        {"400 damaged frames", damaged},
        {"a set, served too", recordSet(1, 130)},  // checked below
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Garbage immediately followed by a good frame, without any pause.
        Bytes both = c.junk;
        both.insert(both.end(), good.begin(), good.end());
        const Bytes r = host.exchange(both, 89, 1500);
        EXPECT_EQ(r.size(), 89u);
        EXPECT_TRUE(crcGood(r));
        EXPECT_TRUE(host.receive(4096, 200).empty()) << "the garbage got an answer";
    }
    EXPECT_GT(line->stats().garbageBytes, 0u);
    EXPECT_EQ(pollMode(1), 'W') << "the set right before a get was lost";
}

TEST_F(SimLineTest, LearnsTheHostSpeedAndIgnoresForeignSpeeds) {
    startWithHost({ir(1)});
    EXPECT_EQ(pollMode(1), 'N');
    EXPECT_EQ(line->hostBaud(), 9600u);

    // The switch request is not answered; the detector moves 100 ms later.
    sendSet(recordSet(1, 140, {0x00, 0xC2, 0x01, 0x00}));  // 115200
    clock.advance(100);
    EXPECT_TRUE(host.silentAfter(dataRequest(1))) << "host still at 9600";
    ASSERT_TRUE(host.open(line->slavePath(), 115200));
    EXPECT_EQ(pollMode(1), 'N');
    EXPECT_EQ(line->hostBaud(), 115200u);
    EXPECT_GE(line->stats().foreignSpeed, 1u);

    // Unsupported speeds are ignored.
    sendSet(recordSet(1, 140, {0x01, 0x00, 0x01, 0x00}));
    clock.advance(200);
    EXPECT_EQ(pollMode(1), 'N');

    // Fifteen minutes without a frame at the new speed: back to 9600.
    clock.advance(15 * 60'000 - 1);
    EXPECT_NE(pollMode(1), 0) << "each heard frame restarts the idle time";
    clock.advance(15 * 60'000);
    EXPECT_TRUE(host.silentAfter(dataRequest(1)));
    ASSERT_TRUE(host.open(line->slavePath(), 9600));
    EXPECT_NE(pollMode(1), 0);

    // A restart also returns to 9600.
    sendSet(recordSet(1, 140, {0x00, 0x10, 0x0E, 0x00}));  // 921600
    clock.advance(100);
    line->restartDetector(1);
    clock.advance(1'500);
    EXPECT_NE(pollMode(1), 0);
}

TEST_F(SimLineTest, ControlFaultsShapeTheNextAnswers) {
    startWithHost({ir(1)});
    const Bytes req = recordGet(1, 119);
    struct Case {
        const char* command;
        size_t size;
        bool crc;
        uint8_t responder;
        bool once;  // only the next answer is affected
    };
    const Case cases[] = {
        {"drop 1", 0, false, 0, true},          {"corrupt 1", 89, false, 1, true},
        {"wrong-address 1", 89, true, 2, true}, {"short 1", 44, false, 1, true},
        {"short 1 20", 20, false, 1, true},     {"silent", 0, false, 0, false},
        {"talk", 89, true, 1, true},            {"silent 1", 0, false, 0, false},
        {"talk 1", 89, true, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        bool ok = false;
        wsim::runControlCommand(*line, c.command, &ok);
        ASSERT_TRUE(ok);
        const Bytes r = host.exchange(req, 89, 300);
        EXPECT_EQ(r.size(), c.size);
        if (c.size) {
            EXPECT_EQ(crcGood(r), c.crc);
            EXPECT_EQ(r[0], c.responder);
        }
        EXPECT_EQ(host.exchange(req, 89, 300).size(), c.once ? 89u : 0u);
    }
    for (const char* bad : {"drop", "delay x", "restart 99", "fault 1 96 on", "bogus 1", "", "message 1", "refuse-setup 9",
                            "corrupt-setup x", "message 9 text"}) {
        bool ok = true;
        wsim::runControlCommand(*line, bad, &ok);
        EXPECT_FALSE(ok) << bad;
    }
    wsim::runControlCommand(*line, "delay 200");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(host.exchange(req, 89).size(), 89u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(200));
    wsim::runControlCommand(*line, "delay 0");

    wsim::runControlCommand(*line, "fault 1 8 on");
    const Bytes d = host.exchange(dataRequest(1), 177);
    EXPECT_EQ(d[16], 'F');
    EXPECT_EQ(d[15], 8);
    EXPECT_EQ(d[17] & 0x40, 0) << "fault relay de-energised";
    EXPECT_EQ(d[159], 20) << "BIT fault current";
    const Bytes words = host.exchange(authorisedGet(1, 156, {3}, nonceOf(d)), 29);
    ASSERT_EQ(words.size(), 29u);
    EXPECT_EQ(words[15], 0x00);
    EXPECT_EQ(words[16], 0x01);
}

TEST(SimPacing, AnswersTakeTheirWireTime) {
    // 177 bytes at 10 bits per byte at least; no upper bound, which a loaded machine could break.
    for (const auto& [baud, minMs] : {std::pair{9600u, 184.0}, std::pair{115200u, 15.0}}) {
        SCOPED_TRACE(baud);
        const auto line = testline::start({ir(1)}, {.fast = false});  // paced, real clock
        ASSERT_TRUE(line);
        Host host;
        ASSERT_TRUE(host.open(line->slavePath(), 9600));
        if (baud != 9600) {
            host.send(recordSet(1, 140, {uint8_t(baud), uint8_t(baud >> 8), uint8_t(baud >> 16), 0}));
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            ASSERT_TRUE(host.open(line->slavePath(), baud));
        }
        const Bytes req = dataRequest(1);
        host.exchange(req, 177);
        const auto t0 = std::chrono::steady_clock::now();
        const Bytes r = host.exchange(req, 177);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_EQ(r.size(), 177u);
        EXPECT_GE(ms, minMs);
    }
}

TEST(SimPty, PublishedLinkAndSpeedReadBack) {
    const std::string link = "/tmp/wexcon-sim-test-" + std::to_string(::getpid()) + "/ttyDET0";
    {
        wsim::LineOptions o;
        o.link = link;
        wsim::Line line(o);
        ASSERT_TRUE(line.start());
        EXPECT_EQ(std::filesystem::read_symlink(link), line.slavePath());
        // The host's speed, set on its own descriptor, is what the line learns.
        for (unsigned baud : {57600u, 921600u, 1200u}) {
            Host host;
            ASSERT_TRUE(host.open(link, baud));
            host.send({0x00});
            EXPECT_TRUE(WaitFor([&] { return line.hostBaud() == baud; }, 500)) << baud;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "the link is removed on stop";
}

TEST(SimOptions, DetectorRangesAndClashes) {
    struct Case {
        const char* text;
        size_t count;  // 0: refused
        uint8_t first = 0, last = 0;
        uint32_t firstSerial = 0, lastSerial = 0;
    } const cases[] = {
        {"1-60:ir", 60, 1, 60, 21030001, 21030060},
        {"5-7:uvir,locked,serial=100", 3, 5, 7, 100, 102},
        {"9-9:ir", 1, 9, 9, 21030009, 21030009},
        {"0-3:ir", 0}, {"3-248:ir", 0}, {"7-5:ir", 0}, {"1-3", 0}, {"1-3:xx", 0},
        {"2:ir", 0}, {"1-3:ir,serial=4294967295", 0},  // serials would wrap
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const auto range = wsim::parseDetectorRange(c.text, &error);
        if (!c.count) {
            EXPECT_FALSE(range);
            EXPECT_NE(error.find(c.text), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(range) << error;
        ASSERT_EQ(range->size(), c.count);
        EXPECT_EQ(range->front().address, c.first);
        EXPECT_EQ(range->back().address, c.last);
        EXPECT_EQ(wsim::serialOf(range->front()), c.firstSerial);
        EXPECT_EQ(wsim::serialOf(range->back()), c.lastSerial);
        EXPECT_EQ(wsim::lineConflict(*range), "");
    }
    auto line = *wsim::parseDetectorRange("1-3:ir", nullptr);
    EXPECT_EQ(wsim::lineConflict(line), "");
    line.push_back(*wsim::parseDetectorOption("3:uvir", nullptr));
    EXPECT_EQ(wsim::lineConflict(line), "two detectors at address 3");
    line.back() = *wsim::parseDetectorOption("4:uvir,serial=21030002", nullptr);
    EXPECT_EQ(wsim::lineConflict(line), "two detectors with serial number 21030002");
}
