// Record commands as a detector answers them, over a real pty.
#include <cstring>

#include "tests/sim/HostOnLine.h"

class SimRecords : public HostOnLine {};

TEST_F(SimRecords, AnswerSizesHeadersAndContents) {
    auto notags = ir(9);
    notags.tags = false;
    notags.serial = 12345678;
    startWithHost({ir(1), uvir(2), notags, lockedIr(17)});
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    Bytes playback(16, 0), countWithoutEntries(16, 0);
    playback[0] = countWithoutEntries[0] = 7;
    countWithoutEntries[1] = 1;
    struct Case {
        const char* what;
        Bytes request;  // authorised requests: payload only, framed below
        size_t size;    // 0: no answer
        uint8_t responder;
        uint8_t authorisedId = 0;
        size_t at = 0;  // first byte of `expect` in the answer
        Bytes expect = {};
    };
    const Case cases[] = {
        {"status poll", dataRequest(1, 5), 177, 1, 0, 17, {0x44}},  // tags offered, fault relay energised
        {"status poll uv/ir", dataRequest(2), 177, 2, 0, 5, {0x92, 0x05}},
        {"status without tag support", dataRequest(9), 177, 9, 0, 17, {0x40}},
        {"tag echoed", dataRequest(1, 0, 0x2A), 177, 1, 0, 11, {0x2A}},
        {"top tag echoed", recordGet(1, 119, {}, 0xFF), 89, 1, 0, 11, {0xFF}},
        {"locked status", dataRequest(17), 177, 17, 0, 15 + 145, {1}},
        {"short status", withCrc({1, 0xC8, 5, 0, 116, 0, 0, 1, 0, 0, 0}), 24, 1, 0, 15, {0, 'N', 0}},
        {"setup read, unlocked", recordGet(1, 119), 89, 1, 0, 15 + 32, {0xFF}},
        {"setup read with junk payload", recordGet(2, 119, Bytes(72, 0x55)), 89, 2},
        {"lock state", recordGet(17, 119), 89, 17, 0, 15 + 32, {1}},
        {"serial, and setup byte 0 is the address", recordGet(9, 119), 89, 9, 0, 7, {0x4E, 0x61, 0xBC, 0}},
        {"version", recordGet(1, 125, {0}), 273, 1, 0, 15, text("IR4 detector firmware 4.17 (model 0x0590)")},
        {"version uv/ir", recordGet(2, 125, {0}), 273, 2, 0, 15, text("UV/IR detector firmware")},
        {"elevate without payload", recordGet(1, 148), 18, 1},
        {"fault words", {3}, 29, 1, 156},
        {"fm origin", {0}, 18, 1, 156, 15, {1}},
        {"log reset", {4}, 18, 1, 156, 15, {1}},
        {"log reset with argument", {5, 1}, 18, 1, 156, 15, {1}},
        {"log reset without argument", {5}, 18, 1, 156, 15, {0}},
        {"empty playback list", playback, 18, 1, 156, 15, {1}},
        {"playback count without entries", countWithoutEntries, 18, 1, 156, 15, {0}},
        {"unknown misc sub-command", {6}, 18, 1, 156, 15, {0}},
        {"locked: log reset needs MAINT", {4}, 18, 17, 156, 15, {0}},
        {"locked: restart needs MAINT", {2}, 18, 17, 156, 15, {0}},
        {"no messages", {8, 0}, 1403, 1, 156, 15, text(std::string(1, '\0') + "SN:21030001 ADR:001\n")},
        {"simulated alarm", recordSet(1, 130), 0, 0},
        {"alarm message", {8, 0}, 1403, 1, 156, 15, text("\x01SN:21030001 ADR:001\nDetection Cond")},
        {"messages cleared", {9}, 18, 1, 156, 15, {1}},
        {"none left", {8, 0}, 1403, 1, 156, 15, {0}},
        {"tagged without tag support", recordGet(9, 119, {}, 0x30), 0, 0},
        {"unnamed id", recordGet(1, 149), 0, 0},
        {"set is never answered", recordSet(1, 117), 0, 0},
        {"other address", recordGet(3, 119), 0, 0},
    };
    uint32_t nonce = 0;  // what the host holds: the last good answer's
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes req = c.authorisedId ? authorisedGet(c.responder, c.authorisedId, c.request, nonce)
                                         : c.request;
        if (c.size == 0) {
            EXPECT_TRUE(host.silentAfter(req));
            continue;
        }
        const Bytes r = host.exchange(req, c.size);
        nonce = nonceOf(r);
        ASSERT_EQ(r.size(), c.size);
        EXPECT_TRUE(crcGood(r));
        EXPECT_EQ(r[0], c.responder);
        EXPECT_EQ(r[1], 0xC8);
        EXPECT_EQ(r[2] | (r[3] << 8), int(c.size - 6));
        EXPECT_EQ(r[4], req[4]);
        EXPECT_EQ(Bytes(r.begin() + c.at, r.begin() + c.at + c.expect.size()), c.expect);
    }
    EXPECT_EQ(host.exchange(recordGet(9, 119), 89)[15], 9) << "setup byte 0 is the address";
}

TEST_F(SimRecords, AuthorisationFollowsTheRecentNonces) {
    startWithHost({ir(1), ir(2)});
    const uint32_t n1 = freshNonce(1);
    const uint32_t n2 = freshNonce(2);  // another detector answered in between
    EXPECT_EQ(host.exchange(authorisedGet(1, 156, {3}, n1), 29).size(), 29u);
    EXPECT_EQ(host.exchange(authorisedGet(1, 156, {3}, n2), 29).size(), 29u);
    for (int i = 0; i < 5; ++i) freshNonce(2);
    EXPECT_TRUE(host.silentAfter(authorisedGet(1, 156, {3}, n1))) << "a stale code must be refused";
}

TEST_F(SimRecords, SetupWriteAcceptedOrRefused) {
    startWithHost({lockedIr(17), ir(1), uvir(2)});
    struct Case {
        const char* what;
        uint8_t addr;
        Bytes elevate;  // empty: none
        bool goodCode;
        int patchByte;  // -1: record as read
        uint8_t patchValue;
        size_t size;
        uint8_t status;
    };
    const Case cases[] = {
        {"not elevated", 17, {}, true, -1, 0, 18, 0},
        {"maint is not enough", 17, elevation(1, "mpass"), true, -1, 0, 18, 0},
        {"wrong admin password", 17, elevation(2, "apas"), true, -1, 0, 18, 0},
        {"bad authorisation code", 17, elevation(2, "apass"), false, -1, 0, 18, 3},
        {"address byte of another detector", 17, elevation(2, "apass"), true, 0, 5, 18, 2},
        {"sensitivity out of range", 17, elevation(2, "apass"), true, 1, 6, 18, 2},
        {"reserved byte set", 17, elevation(2, "apass"), true, 16, 1, 18, 2},
        {"uv/ir sensitivity out of range", 2, {}, true, 1, 3, 18, 2},
        {"access code level", 17, {3, 0x7B, 0xE1, 0xC3, 0x5A}, true, 2, 4, 89, 0},
        {"admin", 17, elevation(2, "apass"), true, 2, 5, 89, 0},
        {"unlocked needs no elevation", 1, {}, true, 2, 5, 89, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host.exchange(recordGet(c.addr, 148, elevation(0, "")), 18);
        if (!c.elevate.empty()) {
            ASSERT_EQ(host.exchange(recordGet(c.addr, 148, c.elevate), 18).size(), 18u);
        }
        const Bytes s = host.exchange(recordGet(c.addr, 119), 89);
        ASSERT_EQ(s.size(), 89u);
        Bytes rec(s.begin() + 15, s.begin() + 87);
        if (c.patchByte >= 0) rec[c.patchByte] = c.patchValue;
        const uint32_t nonce = freshNonce(c.addr);
        const Bytes r = host.exchange(authorisedGet(c.addr, 118, rec, c.goodCode ? nonce : nonce + 1), c.size);
        ASSERT_EQ(r.size(), c.size);
        if (c.size == 18) {
            EXPECT_EQ(r[15], c.status);
        } else {
            EXPECT_EQ(r[15 + c.patchByte], c.patchValue) << "the stored record comes back";
        }
    }
    const Bytes after = host.exchange(recordGet(17, 119), 89);
    EXPECT_EQ(after[15 + 2], 5) << "the accepted record is stored";
    EXPECT_EQ(after[15 + 34] | after[15 + 35] << 8, 2) << "accepted writes counted";
}

TEST_F(SimRecords, ElevationLevelsAndExpiry) {
    startWithHost({lockedIr(17), ir(1)});
    struct Case {
        uint8_t addr;
        Bytes payload;
        uint8_t granted;
        uint8_t levelAfter;
    };
    const Case cases[] = {
        {17, elevation(1, "mpass"), 1, 1},
        {17, elevation(1, "apass"), 1, 1},
        {17, elevation(2, "mpass"), 0, 1},  // refusal keeps the current level
        {17, elevation(2, "apass"), 1, 2},
        {17, elevation(0, ""), 1, 0},
        {17, elevation(2, std::string("apass\0old", 9)), 1, 2},  // compared up to the NUL
        {17, {3, 0x7B, 0xE1, 0xC3, 0x5A}, 1, 3},
        {17, {3, 0x7B, 0xE1, 0xC3, 0x5B}, 0, 3},
        {17, elevation(3, ""), 0, 3},  // level 3 only with the access code
        {17, {2, 'a'}, 0, 3},          // wrong length
        {1, elevation(2, "anything"), 1, 2},  // unlocked: no comparison
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(i++);
        const Bytes r = host.exchange(recordGet(c.addr, 148, c.payload), 18);
        ASSERT_EQ(r.size(), 18u);
        EXPECT_EQ(r[15], c.granted);
        const Bytes d = host.exchange(dataRequest(c.addr), 177);
        EXPECT_EQ(d[162] >> 6, c.levelAfter);
    }
    host.exchange(recordGet(17, 148, elevation(2, "apass")), 18);
    struct Step {
        int64_t advanceMs;
        uint8_t elevationByte;
    };
    for (const Step s : {Step{0, 0x85}, Step{60'000, 0x84}, Step{239'000, 0x81}, Step{999, 0x81},
                         Step{1, 0x00}}) {
        clock.advance(s.advanceMs);
        EXPECT_EQ(host.exchange(dataRequest(17), 177)[162], s.elevationByte) << s.advanceMs;
    }
}

TEST_F(SimRecords, ManualBitAndSimulatedAlarmInTime) {
    startWithHost({ir(1), lockedIr(17), uvir(2), ir(3)});
    ASSERT_EQ(host.exchange(writeRegister(3, 1, 1), 8).size(), 8u);  // 40,002: AlarmLatch
    struct Step {
        uint8_t addr;
        Bytes set;  // empty: only the clock moves
        int64_t advanceMs;
        char mode;
    };
    const Step steps[] = {
        {1, recordSet(1, 117), 0, 'M'}, {1, {}, 2'999, 'M'}, {1, {}, 1, 'E'}, {1, {}, 2'999, 'E'},
        {1, {}, 1, 'N'},
        {1, recordSet(1, 117, {9}), 3'000, 'E'},  // IR: a test lamp time is not taken
        {1, {}, 3'000, 'N'},
        {2, recordSet(2, 117, {5}), 4'999, 'M'},  // UV/IR: it is
        {2, {}, 1, 'E'},
        {1, recordSet(1, 130), 0, 'W'}, {3, recordSet(3, 130), 0, 'W'}, {1, {}, 3'000, 'A'},
        {1, {}, 9'999, 'A'}, {3, {}, 0, 'A'},
        {1, {}, 1, 'N'},                       // not latching
        {3, {}, 0, 'L'},                       // latching
        {3, {}, 600'000 - 13'000, 'L'},
        {17, recordSet(17, 117), 0, 'N'},      // locked: MAINT is needed
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(std::to_string(s.addr) + " +" + std::to_string(s.advanceMs));
        if (!s.set.empty()) sendSet(s.set);
        clock.advance(s.advanceMs);
        EXPECT_EQ(pollMode(s.addr), s.mode);
    }
    // With MAINT, a fill block is still not a BIT request.
    host.exchange(recordGet(17, 148, elevation(1, "mpass")), 18);
    host.send(recordSet(17, 117, Bytes(4096, 0)));
    EXPECT_EQ(pollMode(17), 'N');
    host.send(recordSet(17, 117));
    EXPECT_EQ(pollMode(17), 'M');
    const Bytes d = host.exchange(dataRequest(3), 177);
    EXPECT_EQ(d[17] & 0x20, 0x20) << "alarm relay";
    EXPECT_EQ(d[159], 200) << "alarm current";
    host.send(recordSet(3, 117));
    EXPECT_EQ(pollMode(3), 'M') << "a manual BIT ends the latched alarm";
}

TEST_F(SimRecords, RestartAndWatchdogKeepFlashAndDropElevation) {
    startWithHost({lockedIr(17)});
    host.exchange(recordGet(17, 148, elevation(2, "apass")), 18);
    Bytes s = host.exchange(recordGet(17, 119), 89);
    Bytes rec(s.begin() + 15, s.begin() + 87);
    std::memset(&rec[53], 0, 17);
    std::memcpy(&rec[53], "newadmin", 8);
    ASSERT_EQ(host.exchange(authorisedGet(17, 118, rec, freshNonce(17)), 89).size(), 89u);

    // A restart reboots at once, a hang after the 8 s watchdog; either reboot takes 1.5 s.
    for (const auto& [misc, hangMs] : {std::pair<uint8_t, int64_t>{2, 0}, {1, 8'000}}) {
        SCOPED_TRACE(misc);
        EXPECT_EQ(host.exchange(authorisedGet(17, 156, {misc}, freshNonce(17)), 18).at(15), 1);
        clock.advance(hangMs + 1'499);
        EXPECT_TRUE(host.silentAfter(dataRequest(17))) << "rebooting";
        clock.advance(1);
        const Bytes d = host.exchange(dataRequest(17), 177);
        ASSERT_EQ(d.size(), 177u);
        EXPECT_EQ(d[15], 90) << "power-on state";
        EXPECT_EQ(d[162], 0) << "elevation is volatile";
        EXPECT_EQ(host.exchange(recordGet(17, 148, elevation(2, "apass")), 18)[15], 0);
        EXPECT_EQ(host.exchange(recordGet(17, 148, elevation(2, "newadmin")), 18)[15], 1);
    }
    clock.advance(5'000);
    EXPECT_EQ(host.exchange(dataRequest(17), 177)[15], 0);
}

// Message lines as typed, separators kept, erased by the read that asks for
// it; log erases keeping or clearing the operating time.
TEST_F(SimRecords, MessagesOnCommandAndLogErases) {
    startWithHost({ir(1)});
    for (const char* command : {"message 1 Detection time: 61 ms too long, a=b", "message=1,second"}) {
        bool ok = false;
        wsim::runControlCommand(*line, command, &ok);
        ASSERT_TRUE(ok) << command;
    }
    const std::string expect = "\x01SN:21030001 ADR:001\nDetection time: 61 ms too long, a=b\nsecond\n";
    Bytes m = host.exchange(authorisedGet(1, 156, {8, 1}, freshNonce(1)), 1403);
    ASSERT_EQ(m.size(), 1403u);
    EXPECT_EQ(std::string(m.begin() + 15, m.begin() + 15 + expect.size() + 1), expect + '\0');
    EXPECT_EQ(host.exchange(authorisedGet(1, 156, {8, 0}, freshNonce(1)), 1403).at(15), 0);

    // 5 with 1 keeps the operating time, 5 with 0 and 4 (a set) clear it.
    auto seconds = [&] {
        uint32_t v = 0;
        line->withDetector(1, [&](wsim::Detector& d, int64_t now) { v = d.operatingSeconds(now); });
        return v;
    };
    clock.advance(10'000);
    EXPECT_EQ(host.exchange(authorisedGet(1, 156, {5, 1}, freshNonce(1)), 18).at(15), 1);
    EXPECT_EQ(seconds(), 10u) << "kept";
    EXPECT_EQ(host.exchange(authorisedGet(1, 156, {5, 0}, freshNonce(1)), 18).at(15), 1);
    EXPECT_EQ(seconds(), 0u) << "cleared";
    clock.advance(3'000);
    sendSet(recordSet(1, 156, {4}));
    EXPECT_EQ(seconds(), 0u) << "erase flash clears it too";
}

// A device-information write: refused as a setup write is, else stored with
// the change counter one up and byte 100 set, and state 21 shown.
TEST_F(SimRecords, DevInfoWriteAcceptedOrRefused) {
    startWithHost({lockedIr(17), ir(1)});
    struct Case {
        const char* what;
        uint8_t addr;
        Bytes elevate;
        bool goodCode;
        int patchByte;
        uint8_t patchValue;
        size_t size;
        uint8_t status;  // of a refusal
    };
    const Case cases[] = {
        {"not elevated", 17, {}, true, -1, 0, 18, 0},
        {"bad authorisation code", 17, elevation(2, "apass"), false, -1, 0, 18, 3},
        {"poll address 64", 17, elevation(2, "apass"), true, 0, 64, 18, 2},
        {"month 13", 1, {}, true, 77, 13, 18, 2},
        {"preambles 21", 1, {}, true, 107, 21, 18, 2},
        {"admin", 17, elevation(2, "apass"), true, 26, 0x55, 125, 0},
        {"unlocked", 1, {}, true, 1, 0x77, 125, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host.exchange(recordGet(c.addr, 148, elevation(0, "")), 18);
        if (!c.elevate.empty()) {
            ASSERT_EQ(host.exchange(recordGet(c.addr, 148, c.elevate), 18).size(), 18u);
        }
        const Bytes read = host.exchange(recordGet(c.addr, 162), 125);
        ASSERT_EQ(read.size(), 125u);
        Bytes rec(read.begin() + 15, read.begin() + 123);
        if (c.patchByte >= 0) rec[c.patchByte] = c.patchValue;
        const uint32_t nonce = freshNonce(c.addr);
        const Bytes r = host.exchange(authorisedGet(c.addr, 163, rec, c.goodCode ? nonce : nonce + 1), c.size);
        ASSERT_EQ(r.size(), c.size);
        if (c.size == 18) {
            EXPECT_EQ(r[15], c.status);
            continue;
        }
        EXPECT_EQ(r[15 + 98] | r[15 + 99] << 8, (rec[98] | rec[99] << 8) + 1);
        rec[98] = r[15 + 98], rec[99] = r[15 + 99], rec[100] = 1;
        EXPECT_EQ(Bytes(r.begin() + 15, r.begin() + 123), rec);
        EXPECT_EQ(host.exchange(dataRequest(c.addr), 177)[15], 21) << "DevInfo updated";
    }
}
