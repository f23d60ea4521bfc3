// The maintenance window's channels and BIT run, and the Status page's gauges.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "monitor/CMaintIds.h"
#include "monitor/Gauges.h"
#include "monitor/Maint.h"
#include "shell/FakePanel.h"
#include "support/RefCrc.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"

using namespace maint;

namespace {

// A whole live record with `mode` and floats at frame offsets (integers where `counts`).
LiveRecord record(char mode, const std::map<size_t, float>& floats = {}, uint8_t outputs = 0, int32_t counts0 = 0) {
    std::vector<uint8_t> data(160, 0);
    data[live::Mode - 15] = static_cast<uint8_t>(mode);
    data[live::Outputs - 15] = outputs;
    for (const auto& [at, v] : floats) std::memcpy(&data[at - 15], &v, 4);
    std::memcpy(&data[live::ChannelOffset(0) - 15], &counts0, 4);
    const auto r = LiveRecord::Decode(recordAnswer(1, data, 0x01020304, 120));
    EXPECT_TRUE(r);
    return *r;
}

std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

}  // namespace

TEST(MaintChannels, ValuesAsShown) {
    const struct {
        Variant variant;
        size_t channel;
        float value;
        bool us;
        const char* shown;
    } cases[] = {
        {Variant::Ir, kQtemp, 25.0f, true, "77.00"},   // Fahrenheit in US units
        {Variant::Ir, kQtemp, 25.0f, false, "25.00"},
        {Variant::Ir, 12, 0.86f, true, " 8.60"},       // vratio45to4: the factor, no conversion
        {Variant::Ir, 18, 0.5f, false, "50.00"},       // correlations x 100
        {Variant::Ir, 26, 0.25f, false, "25.00"},      // avNoise4 x 100
        {Variant::Ir, 24, 0.25f, false, " 0.25"},      // avNoise45 x 1
        {Variant::Uvir, 15, 3.0f, false, " 0.00"},     // "N/A" x 0
        {Variant::Uvir, 12, 3.0f, false, " 3.00"},     // AdjUV x 1
    };
    for (const auto& c : cases) {
        const LiveRecord r = record('N', {{live::ChannelOffset(c.channel), c.value}});
        EXPECT_EQ(Shown(ChannelValue(r, c.channel, c.variant, c.us)), c.shown) << c.channel;
    }
    // Channels 0..3 are A/D counts.
    EXPECT_EQ(Shown(ChannelValue(record('N', {}, 0, 10000), 0, Variant::Ir, false)), " 4.94");
    EXPECT_EQ(ChannelValue(record('N'), 35, Variant::Ir, false), 0);

    EXPECT_EQ(VariantOf(record('N', {}, 0x08)), Variant::Alternate);
    EXPECT_EQ(VariantOf(record('N')), Variant::Ir);
    for (Variant v : {Variant::Ir, Variant::Alternate, Variant::Uvir}) EXPECT_STREQ(ChannelNames(v)[34], "Vin");
    EXPECT_STREQ(ChannelNames(Variant::Alternate)[15], "vratio3to24");
    EXPECT_STREQ(ChannelNames(Variant::Uvir)[28], "UV_Pulse_Fast_Det_Counter");
}

class MaintBit : public ::testing::Test {
protected:
    // Feeds (mode, ms) records with BIT sums rising per record; the last step.
    BitRun::Step feed(const std::string& modes, unsigned stepMs = 50) {
        BitRun::Step step = BitRun::Step::None;
        float s = 1;
        for (char m : modes) {
            now += stepMs;
            step = run.onRecord(record(m, {{live::BitSum45, s}, {live::BitSum5, s + 0.5f}, {live::BitSum4, s + 0.25f},
                                           {live::BitSum44, s + 0.125f}, {live::Sum45, 9}}),
                                now);
            s += 1;
            if (!run.running()) break;
        }
        return step;
    }
    unsigned long long now = 0;
    TempFolder dir;
    std::string path = dir.path() + "/bitout.txt";
    BitRun run{path};
};

TEST_F(MaintBit, RunLogsFromTheFirstMToTheNAndSummarisesTheLastBeforeIt) {
    run.request(0);
    run.sent();
    EXPECT_EQ(run.state(), BitRun::kWaiting);
    EXPECT_EQ(feed("NMMEN"), BitRun::Step::Finished);
    EXPECT_EQ(run.state(), BitRun::kIdle);
    const auto l = lines(path);
    ASSERT_EQ(l.size(), 5u);  // header, M, M, E, N
    EXPECT_EQ(l[0], "#\t state\t bit_vsum45\t bit_vsum4\t bit_vsum5\t bit_vsum44\t vsum45\t vsum4\t vsum5\t vsum44");
    EXPECT_EQ(l[1], "1\tM\t2.00\t2.25\t2.50\t2.12\t9.00\t0.00\t0.00\t0.00");
    EXPECT_EQ(l[4].substr(0, 3), "4\tN");
    // The E record's sums (the fourth): 45, 5, 4, 44.
    EXPECT_EQ(SummaryLines(run.resultSums()),
              (std::vector<std::string>{"Embedded BIT results:", "---------------------------", "bit_vsum45  4.00",
                                        "bit_vsum5  4.50", "bit_vsum4  4.25", "bit_vsum44  4.12",
                                        "---------------------------"}));
}

TEST_F(MaintBit, NeverStartedStuckAndUnwritable) {
    run.request(0);
    run.sent();
    EXPECT_EQ(feed("NNNNNNNNNNNNNNNNNNNN", 40), BitRun::Step::None);  // 800 ms: still waiting
    EXPECT_EQ(feed("NNNNNN", 40), BitRun::Step::NotStarted);
    EXPECT_FALSE(std::filesystem::exists(path));

    run.request(0);
    run.sent();
    EXPECT_EQ(feed(std::string(150, 'M')), BitRun::Step::Cut);
    EXPECT_EQ(lines(path).size(), 101u);
    EXPECT_EQ(lines(path).back().substr(0, 5), "100\tM");

    BitRun lost(dir.path() + "/missing/bitout.txt");
    lost.request(0);
    lost.sent();
    EXPECT_EQ(lost.onRecord(record('M'), 50), BitRun::Step::FileFailed);
    EXPECT_FALSE(lost.running());
}

TEST(Gauges, Classification) {
    using gauge::Colour;
    const struct {
        int kind;
        double value;
        bool present, us;
        const char* text;
        Colour colour;
    } cases[] = {
        {gauge::Voltage, 18.0, true, false, "18.0", Colour::Green},  // bounds are inside
        {gauge::Voltage, 32.0, true, false, "32.0", Colour::Green},
        {gauge::Voltage, 17.9, true, false, "17.9", Colour::Red},
        {gauge::Voltage, 24.0, false, false, "---", Colour::Red},  // no detector
        {gauge::Temperature, 100.0, true, false, "100.0", Colour::Green},
        {gauge::Temperature, gauge::GaugeTemperature(100, true), true, true, "212.0", Colour::Green},
        {gauge::Temperature, gauge::GaugeTemperature(25, true), true, true, "77.0", Colour::Green},
        {gauge::Temperature, gauge::GaugeTemperature(-31, false), true, false, "-31.0", Colour::Red},
        {gauge::Analog, 1001.0, true, false, "1001.0", Colour::Blue},  // always blue
        {gauge::Analog, 12.0, false, false, "---", Colour::Red},
        {gauge::Voltage, std::nan(""), true, false, "nan", Colour::Red},
    };
    for (const auto& c : cases) {
        const auto r = gauge::Classify(c.kind, c.value, c.present, c.us);
        EXPECT_EQ(r.text, c.text) << c.kind << " " << c.value;
        EXPECT_EQ(r.colour, c.colour) << c.kind << " " << c.value;
    }
    // Needles stay on the dial: the start value below the voltage scale, a lost detector above all.
    const auto volts = gauge::ScaleOf(gauge::Voltage, false);
    EXPECT_EQ(gauge::NeedleValue(volts, volts.initial), 12);
    EXPECT_EQ(gauge::NeedleValue(volts, 1001.0), 38);
    EXPECT_EQ(gauge::NeedleValue(volts, std::nan("")), 12);
    EXPECT_EQ(gauge::ScaleOf(gauge::Temperature, true).max, 248);
    EXPECT_EQ(gauge::ModeField('W').back, (std::array<uint8_t, 3>{240, 220, 10}));
    EXPECT_EQ(gauge::ModeField('X').text, (std::array<uint8_t, 3>{255, 255, 255}));
}

class MaintSim : public TestLine {};

TEST_F(MaintSim, ATickShowsTheDetectorAndTheChosenChannels) {
    ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(4)}));
    ASSERT_NO_FATAL_FAILURE(openWire(4));
    auto panel = std::make_shared<FakePanel>();
    int refills = 0;
    MaintPoll poll(panel, {nullptr, [] { return true; }, [&](Variant) { ++refills; }});
    poll.tick(0);
    poll.tick(50);
    EXPECT_EQ(panel->text(maintwin::kAddress), "4");
    EXPECT_EQ(panel->text(maintwin::kModeState), "N0");
    EXPECT_EQ(refills, 1);
    const std::string qtemp = panel->text(maintwin::kValue0 + 4);
    EXPECT_GT(std::stod(qtemp), 32.0) << qtemp;  // Fahrenheit
    // A BIT whose log cannot be created says so in an "Error" box naming the file.
    MaintPoll lost(panel, {}, "missing/bitout.txt");
    lost.requestBit(100);
    EXPECT_TRUE(panel->disabled.count(maintwin::kBit));
    for (int i = 0; i < 5 && lost.bit().running(); ++i) lost.tick(150 + 50 * i);
    EXPECT_FALSE(lost.bit().running());
    ASSERT_EQ(panel->questions.size(), 1u);
    EXPECT_EQ(panel->questions[0].rfind("Error: Cannot write missing/bitout.txt", 0), 0u) << panel->questions[0];
    EXPECT_FALSE(panel->disabled.count(maintwin::kBit));
    // A silent address blanks the fields from the third failure on.
    SelectSlave(9);
    for (int i = 0; i < 3; ++i) poll.tick(100);
    EXPECT_EQ(panel->text(maintwin::kAddress), "");
}
