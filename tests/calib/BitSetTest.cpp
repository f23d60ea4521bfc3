// The BIT set machine on scripted records, one tick per record.
#include <cstring>

#include <gtest/gtest.h>

#include "calib/BitSet.h"
#include "calib/CCalibrateBITIds.h"
#include "shell/FakePanel.h"
#include "support/RefCrc.h"

using namespace bitcal;

namespace {

// Plays one record per read: a mode character ('x' no answer), the last
// repeated; every record carries `value` as both BIT readings.
class ScriptLink : public BitLink {
public:
    ScriptLink(std::string script, float value) : script_(std::move(script)), value_(value) {}
    std::optional<LiveRecord> read() override {
        const char m = script_[std::min(next_++, script_.size() - 1)];
        if (m == 'x') return std::nullopt;
        std::vector<uint8_t> data(160, 0);
        data[live::Mode - 15] = uint8_t(m);
        data[live::State - 15] = m == 'F' ? 43 : 0;
        for (size_t at : {live::BitSum4, live::UvBitSum}) std::memcpy(&data[at - 15], &value_, 4);
        return LiveRecord::Decode(recordAnswer(1, data, 0, 120));
    }
    void manualBit(std::optional<uint8_t> seconds) override { sent.push_back(seconds ? *seconds : -1); }
    std::vector<int> sent;

private:
    std::string script_;
    size_t next_ = 0;
    float value_;
};

}  // namespace

TEST(BitSet, ScriptedRuns) {
    const struct {
        const char* name;
        BitSet::Config config;
        BitSet::Which which;
        std::string script;
        BitSet::Tick end;
        std::vector<int> sent;
        std::optional<long> average;
        const char* error;
    } cases[] = {
        {"ir dark", {Kind::Ir, {}, 0}, BitSet::Which::Dark, "AN" "M" "MN" "xN" "E" "N" "N" "M" "N",
         BitSet::Tick::Done, {-1, -1, -1}, 150, ""},
        {"uv 5,0,7", {Kind::Uv, {5, 0, 7}, 3}, BitSet::Which::Bright, "N" "B" "E" "A",
         BitSet::Tick::Done, {5}, 30, ""},
        {"no N", {Kind::Ir, {}, 0}, BitSet::Which::Dark, "A", BitSet::Tick::Failed, {}, std::nullopt,
         "Timed out waiting for state 'N'"},
        {"fifth retry", {Kind::Ir, {}, 0}, BitSet::Which::Dark, "N", BitSet::Tick::Failed, {-1, -1, -1, -1, -1},
         std::nullopt, "Timed out waiting for BIT to conclude..."},
        {"uv fault", {Kind::Uv, {5, 5, 5}, 2}, BitSet::Which::Dark, "NNF", BitSet::Tick::UvFault, {5}, std::nullopt,
         "UV HW fault F43\r\nAborting calibration"},
    };
    for (const auto& c : cases) {
        FakePanel panel;
        ScriptLink link(c.script, 150.4f);
        BitSet set(panel, link, c.config);
        set.start(c.which);
        BitSet::Tick t = BitSet::Tick::Running;
        for (int i = 0; i < 1000 && t == BitSet::Tick::Running; ++i) t = set.tick();
        EXPECT_EQ(t, c.end) << c.name;
        EXPECT_EQ(link.sent, c.sent) << c.name;
        EXPECT_EQ(set.average(), c.average) << c.name;
        EXPECT_EQ(set.error(), c.error) << c.name;
        if (c.average) {
            const int field = c.which == BitSet::Which::Dark ? bitwin::kDarkAvg : bitwin::kBrightAvg;
            EXPECT_EQ(panel.text(field), std::to_string(*c.average)) << c.name;
            EXPECT_EQ(panel.text(bitwin::kProgress), "") << c.name;
        }
    }
}

TEST(BitSet, RetryLineAndAbort) {
    FakePanel panel;
    ScriptLink link("N", 10);
    BitSet set(panel, link, {Kind::Uv, {5, 5, 0}, 2});
    set.start(BitSet::Which::Bright);
    EXPECT_EQ(panel.text(bitwin::kProgress), "Bright BIT: loop 1, retry 0");
    // 'N', the start, then 20 ticks without 'M' or 'E' (the limit for the first loop) and one more.
    for (int i = 0; i < 23; ++i) set.tick();
    EXPECT_EQ(panel.text(bitwin::kProgress), "Bright BIT: loop 1, retry 1");
    EXPECT_EQ(panel.text(bitwin::kResult), "Timed out waiting for BIT to conclude - retrying...");
    set.abort();
    EXPECT_EQ(set.tick(), BitSet::Tick::Failed);
    EXPECT_EQ(link.sent.size(), 1u);
}

TEST(BitSet, ClosingInUvModeSendsTheLeaveRequestFirst) {
    const struct {
        int answer;
        bool leaves;
        UvClose result;
        int sent;
        size_t boxes;
    } cases[] = {{IDCANCEL, true, UvClose::Stay, 0, 1}, {IDOK, true, UvClose::Left, 1, 1},
                 {IDOK, false, UvClose::LeftInMode, 1, 2}};
    for (const auto& c : cases) {
        FakePanel panel;
        panel.answers = {c.answer};
        int sent = 0;
        EXPECT_EQ(CloseInUvMode(panel, [&] { return ++sent, c.leaves; }), c.result);
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(panel.questions.size(), c.boxes);
    }
}
