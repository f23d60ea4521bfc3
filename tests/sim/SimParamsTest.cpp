// The parameter record in a detector's flash: what it answers, and which
// writes it burns and which it ignores, and why.
#include <cstring>

#include "sim/Control.h"
#include "tests/sim/HostOnLine.h"

namespace {

constexpr uint8_t kIr = 1, kUvir = 2, kLocked = 17;

Bytes f32(float f) {
    Bytes b(4);
    std::memcpy(b.data(), &f, 4);
    return b;
}

// An authorised Set: bytes 4 and 5 hold the code of the host's last nonce.
Bytes authorisedSet(uint8_t addr, uint8_t id, const Bytes& payload, uint32_t nonce) {
    Bytes f = authorisedGet(addr, id, payload, nonce);
    const size_t len = payload.size() + 3;
    f[2] = uint8_t(len);
    f[3] = uint8_t(len >> 8);
    f.resize(f.size() - 2);
    return withCrc(f);
}

}  // namespace

class SimParams : public HostOnLine {
protected:
    void SetUp() override { startWithHost({lockedIr(kLocked), ir(kIr), uvir(kUvir)}); }
    Bytes readParams(uint8_t addr) {
        const Bytes a = host.exchange(recordGet(addr, 122), addr == kUvir ? 241 : 1001);
        return a.size() < 17 ? Bytes{} : Bytes(a.begin() + 15, a.end() - 2);
    }
    Bytes stored(uint8_t addr) {
        Bytes b;
        line->withDetector(addr, [&](wsim::Detector& d, int64_t) { b = d.params(); });
        return b;
    }
    std::string notice(uint8_t addr) {
        std::string n;
        line->withDetector(addr, [&](wsim::Detector& d, int64_t) { n = d.lastNotice(); });
        return n;
    }
    unsigned notices(uint8_t addr) {
        unsigned n = 0;
        line->withDetector(addr, [&](wsim::Detector& d, int64_t) { n = d.notices(); });
        return n;
    }
};

TEST_F(SimParams, FactoryRecords) {
    const Bytes ir = readParams(kIr), uv = readParams(kUvir);
    ASSERT_EQ(ir.size(), 984u);
    ASSERT_EQ(uv.size(), 224u);
    EXPECT_EQ(Bytes(ir.begin() + 804, ir.begin() + 808), (Bytes{0x71, 0xE4, 0x40, 0x01}))
        << "ordnum = serial";
    EXPECT_EQ(Bytes(uv.begin() + 148, uv.begin() + 152), (Bytes{0x72, 0xE4, 0x40, 0x01}));
    EXPECT_EQ(uv[153], 251) << "sum_array_size";
    EXPECT_EQ(Bytes(ir.begin() + 784, ir.begin() + 788), f32(0.9f)) << "warnfactor";
    EXPECT_EQ(Bytes(uv.begin() + 120, uv.begin() + 124), f32(80.0f));
    EXPECT_EQ((Bytes{ir[793], ir[837], ir[839], ir[841], ir[908], ir[909], ir[943]}),
              (Bytes{121, 0x01, 0x33, 2, 0xE0, 0xFF, 0xFF}));

    // 40,257..40,258 write the record's ordnum; the control port reads and patches it.
    ASSERT_EQ(host.exchange(writeRegisters(kIr, 256, {0x04, 0x03, 0x02, 0x01}), 8).size(), 8u);
    const Bytes renumbered = stored(kIr);
    EXPECT_EQ(Bytes(renumbered.begin() + 804, renumbered.begin() + 808), (Bytes{4, 3, 2, 1}));
    bool ok = false;
    EXPECT_EQ(wsim::runControlCommand(*line, "param 2 221 0a0B 0c", &ok), "ok");
    const std::string hex = wsim::runControlCommand(*line, "param 2");
    EXPECT_EQ(hex.size(), 448u);
    EXPECT_EQ(hex.substr(442), "0A0B0C");
    for (const char* bad : {"param 2 222 0A0B0C", "param 2 0 0A0", "param 2 0 zz", "param 9"}) {
        wsim::runControlCommand(*line, bad, &ok);
        EXPECT_FALSE(ok) << bad;
    }

    // The alternative channel set shows in the status byte of output bits.
    std::string why;
    const auto alt = wsim::parseDetectorOption("5:ir,altsensor", &why);
    ASSERT_TRUE(alt) << why;
    line->addDetector(*alt);
    EXPECT_EQ(host.exchange(dataRequest(5), 177).at(17) & 0x08, 0x08);
    EXPECT_EQ(host.exchange(dataRequest(kIr), 177).at(17) & 0x08, 0);
}

// Each rule alone refuses an otherwise good write, without a word on the line.
TEST_F(SimParams, WritesStoredOnlyWhenEveryRuleHolds) {
    const Bytes admin = elevation(2, "apass"), maint = elevation(1, "mpass"),
                code = {3, 0x7B, 0xE1, 0xC3, 0x5A};
    struct Case {
        const char* what;
        uint8_t addr;
        Bytes elevate;      // empty: none
        int64_t sinceRead;  // ms between the read and the write
        size_t at;          // patched offset (0 with no bytes: none)
        Bytes bytes;
        std::string refusal;  // empty: stored
        int size = 0;         // added to the record's size
        bool goodCode = true;
    };
    const Case cases[] = {
        {"unlocked", kIr, {}, 0, 793, {90}, ""},
        {"sumsize 255, at 120 s", kIr, {}, 120'000, 793, {255}, ""},
        {"121 s after the read",
         kIr,
         {},
         121'000,
         793,
         {200},
         "121 s since the last parameter read (at most 120)"},
        {"a byte short", kIr, {}, 0, 0, {}, "983 bytes instead of 984", -1},
        {"bad authorisation code", kIr, {}, 0, 0, {}, "bad authorisation code", 0, false},
        {"locked, not elevated", kLocked, {}, 0, 0, {}, "locked and not elevated to ADMIN"},
        {"locked, MAINT", kLocked, maint, 0, 0, {}, "locked and not elevated to ADMIN"},
        {"locked, ADMIN", kLocked, admin, 0, 793, {100}, ""},
        {"locked, access code", kLocked, code, 0, 793, {101}, ""},
        {"sumsize 89", kIr, {}, 0, 793, {89}, "sumsize 89 not 90..255"},
        {"tier 2", kIr, {}, 0, 771, {2}, "tier 2 not 0 or 1"},
        {"is_no_grad 2", kIr, {}, 0, 925, {2}, "is_no_grad 2 not 0 or 1"},
        {"warnfactor 0.29", kIr, {}, 0, 784, f32(0.29f), "warnfactor 0.29 not 0.30..0.90"},
        {"warnfactor 0.30", kIr, {}, 0, 784, f32(0.30f), ""},
        {"month 0", kIr, {}, 0, 841, {0}, "dateHW_month 0 not 1..12"},
        {"month 13", kUvir, {}, 0, 139, {13}, "dateHW_month 13 not 1..12"},
        {"uv/ir sum_array_size 121", kUvir, {}, 0, 153, {121}, "sum_array_size 121 not 251"},
        {"uv/ir warnfactor 91", kUvir, {}, 0, 120, f32(91), "warnfactor 91 not 30..90"},
        {"uv/ir warnfactor 30", kUvir, {}, 0, 120, f32(30), ""},
        {"uv/ir with an IR record", kUvir, {}, 0, 0, {}, "984 bytes instead of 224", 760},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clock.advance(10'000);  // past the last write's quiet time
        host.exchange(recordGet(c.addr, 148, elevation(0, "")), 18);
        if (!c.elevate.empty()) {
            ASSERT_EQ(host.exchange(recordGet(c.addr, 148, c.elevate), 18).at(15), 1);
        }
        const Bytes read = readParams(c.addr);
        ASSERT_FALSE(read.empty());
        const uint32_t nonce = freshNonce(c.addr);
        Bytes rec = read;
        std::copy(c.bytes.begin(), c.bytes.end(), rec.begin() + long(c.at));
        rec.resize(size_t(long(rec.size()) + c.size));
        clock.advance(c.sinceRead);
        const unsigned before = notices(c.addr);
        sendSet(authorisedSet(c.addr, 121, rec, c.goodCode ? nonce : nonce + 1));
        EXPECT_EQ(stored(c.addr), c.refusal.empty() ? rec : read);
        EXPECT_EQ(notices(c.addr) - before, c.refusal.empty() ? 0u : 1u);
        if (!c.refusal.empty()) {
            EXPECT_EQ(notice(c.addr),
                      std::to_string(c.addr) + ": parameter write ignored: " + c.refusal);
        }
    }
}

// A burned record: 200 ms of silence, then state 91 for 5 s.
TEST_F(SimParams, AfterAWriteSilenceThenState91) {
    const Bytes rec = readParams(kIr);
    sendSet(authorisedSet(kIr, 121, rec, freshNonce(kIr)));
    clock.advance(199);
    EXPECT_TRUE(host.silentAfter(dataRequest(kIr)));
    clock.advance(1);
    EXPECT_EQ(host.exchange(dataRequest(kIr), 177).at(15), 91);
    clock.advance(4'999);
    EXPECT_EQ(host.exchange(dataRequest(kIr), 177).at(15), 91);
    clock.advance(1);
    EXPECT_EQ(host.exchange(dataRequest(kIr), 177).at(15), 0);
    // A restart forgets the read: nothing may be written before the next one.
    line->restartDetector(kIr);
    clock.advance(1'500);
    sendSet(authorisedSet(kIr, 121, rec, freshNonce(kIr)));
    EXPECT_EQ(notice(kIr), "1: parameter write ignored: no parameter read since power-up");
}
