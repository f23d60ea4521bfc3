// The parameter record in a detector's flash: what it answers, which writes
// it burns, and why it ignores the others.
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
Bytes authorisedSet(uint8_t addr, const Bytes& payload, uint32_t nonce) {
    Bytes f = authorisedGet(addr, 121, payload, nonce);
    f[2] = uint8_t(payload.size() + 3);
    f[3] = uint8_t((payload.size() + 3) >> 8);
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
    // The count of writes the detector at `addr` ignored, and the last reason.
    std::pair<unsigned, std::string> notices(uint8_t addr) {
        std::pair<unsigned, std::string> n;
        line->withDetector(addr, [&](wsim::Detector& d, int64_t) { n = {d.notices(), d.lastNotice()}; });
        return n;
    }
};

TEST_F(SimParams, FactoryRecordsControlAndOptions) {
    const Bytes ir = readParams(kIr), uv = readParams(kUvir);
    ASSERT_EQ(std::tuple(ir.size(), uv.size()), std::tuple(984u, 224u));
    EXPECT_EQ(Bytes(ir.begin() + 804, ir.begin() + 808), (Bytes{0x71, 0xE4, 0x40, 0x01}))
        << "ordnum = serial";
    EXPECT_EQ(Bytes(uv.begin() + 148, uv.begin() + 154), (Bytes{0x72, 0xE4, 0x40, 0x01, 255, 251}));
    EXPECT_EQ((Bytes{ir[793], ir[837], ir[839], ir[841], ir[908], ir[909], ir[943]}),
              (Bytes{121, 0x01, 0x33, 2, 0xE0, 0xFF, 0xFF})) << "sumsize, hardware and reserved bytes";

    // 40,257..40,258 write the record's ordnum; the control port prints and patches it.
    ASSERT_EQ(host.exchange(writeRegisters(kIr, 256, {0x04, 0x03, 0x02, 0x01}), 8).size(), 8u);
    const Bytes renumbered = params(kIr);
    EXPECT_EQ(Bytes(renumbered.begin() + 804, renumbered.begin() + 808), (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(wsim::runControlCommand(*line, "param 2 221 0a0B 0c"), "ok");
    EXPECT_EQ(wsim::runControlCommand(*line, "param 2").substr(442), "0A0B0C");
    for (const char* bad : {"param 2 222 0A0B0C", "param 2 0 0A0", "param 9"}) {
        bool ok = true;
        wsim::runControlCommand(*line, bad, &ok);
        EXPECT_FALSE(ok) << bad;
    }
    // The alternative channel set shows in bit 3 of the output bits.
    line->addDetector(*wsim::parseDetectorOption("5:ir,altsensor", nullptr));
    EXPECT_EQ(std::tuple(host.exchange(dataRequest(5), 177).at(17) & 8,
                         host.exchange(dataRequest(kIr), 177).at(17) & 8),
              std::tuple(8, 0));
}

// Each rule alone refuses an otherwise good write, without a word on the line.
TEST_F(SimParams, WritesStoredOnlyWhenEveryRuleHolds) {
    const Bytes code = {3, 0x7B, 0xE1, 0xC3, 0x5A};  // (ADMIN elevation: ParamSessionTest)
    // Detector, elevation, detector ms since the read, patch (offset, bytes), size change, good
    // code; the refusal.
    using Case = std::tuple<uint8_t, Bytes, int64_t, size_t, Bytes, int, bool, std::string>;
    const Case cases[] = {
        {kIr, {}, 120'000, 793, {90}, 0, true, ""},
        {kIr, {}, 121'000, 793, {200}, 0, true, "121000 ms since the last parameter read (at most 120000)"},
        {kIr, {}, 0, 0, {}, -1, true, "983 bytes instead of 984"},
        {kUvir, {}, 0, 0, {}, 760, true, "984 bytes instead of 224"},
        {kIr, {}, 0, 0, {}, 0, false, "bad authorisation code"},
        {kLocked, {}, 0, 0, {}, 0, true, "locked and not elevated to ADMIN"},
        {kLocked, code, 0, 793, {255}, 0, true, ""},
        {kIr, {}, 0, 793, {89}, 0, true, "sumsize 89 not 90..255"},
        {kIr, {}, 0, 771, {2}, 0, true, "tier 2 not 0 or 1"},
        {kIr, {}, 0, 925, {2}, 0, true, "is_no_grad 2 not 0 or 1"},
        {kIr, {}, 0, 784, f32(0.29f), 0, true, "warnfactor 0.29 not 0.30..0.90"},
        {kIr, {}, 0, 784, f32(0.30f), 0, true, ""},
        {kIr, {}, 0, 841, {13}, 0, true, "dateHW_month 13 not 1..12"},
        {kUvir, {}, 0, 153, {121}, 0, true, "sum_array_size 121 not 251"},
        {kUvir, {}, 0, 120, f32(91), 0, true, "warnfactor 91 not 30..90"},
    };
    for (const auto& [addr, elevate, sinceRead, at, patch, grow, goodCode, refusal] : cases) {
        SCOPED_TRACE(refusal);
        clock.advance(10'000);  // past the last write's quiet time
        host.exchange(recordGet(addr, 148, elevation(0, "")), 18);
        if (!elevate.empty()) host.exchange(recordGet(addr, 148, elevate), 18);
        const Bytes read = readParams(addr);
        const uint32_t nonce = freshNonce(addr);
        Bytes rec = read;
        std::copy(patch.begin(), patch.end(), rec.begin() + long(at));
        rec.resize(size_t(long(rec.size()) + grow));
        clock.advance(sinceRead);
        const unsigned before = notices(addr).first;
        sendSet(authorisedSet(addr, rec, goodCode ? nonce : nonce + 1));
        const auto [count, last] = notices(addr);
        EXPECT_EQ(params(addr), refusal.empty() ? rec : read);
        EXPECT_EQ(count - before, refusal.empty() ? 0u : 1u);
        EXPECT_TRUE(refusal.empty() || last == std::to_string(addr) + ": parameter write ignored: " + refusal) << last;
    }
}

// A burned record: 200 ms of silence, then state 91 for 5 s; a restart forgets the read.
TEST_F(SimParams, AfterAWriteSilenceThenState91) {
    const Bytes rec = readParams(kIr);
    sendSet(authorisedSet(kIr, rec, freshNonce(kIr)));
    for (const auto& [advance, state] : {std::pair{199, -1}, {1, 91}, {4'999, 91}, {1, 0}}) {
        clock.advance(advance);
        const Bytes d = host.exchange(dataRequest(kIr), 177, 150);
        EXPECT_EQ(d.size() == 177 ? d[15] : -1, state) << advance;
    }
    line->restartDetector(kIr);
    clock.advance(1'500);
    sendSet(authorisedSet(kIr, rec, freshNonce(kIr)));
    EXPECT_EQ(notices(kIr).second, "1: parameter write ignored: no parameter read since power-up");
}
