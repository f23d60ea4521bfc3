// The device-information record's codecs, and its burn against simulated
// detectors: what is asked, what reaches the detector, what the window shows.
#include <gtest/gtest.h>

#include <functional>

#include "config/CDevInfoIds.h"
#include "config/DevInfo.h"
#include "shell/FakePanel.h"
#include "support/TestLineWire.h"
#include "util/PumpWait.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
namespace w = devinfowin;

TEST(DevInfoCodec, PackedAsciiAndDeviceId) {
    uint8_t packed[6];
    PackAscii("abc", 8, packed);
    EXPECT_EQ(Bytes(packed, packed + 6), (Bytes{0x04, 0x20, 0xE0, 0x82, 0x08, 0x20}));
    EXPECT_EQ(UnpackAscii(packed), "ABC     ");
    // Codes 0x00, 0x01, 0x20, 0x3F in one group of three bytes.
    const uint8_t codes[] = {0x00, 0x18, 0x3F};
    EXPECT_EQ(UnpackAscii(codes), "@A ?");

    DevInfoBytes r{};
    r[devinfo::Manufacturer] = 0x60;
    r[devinfo::Model] = 0x34;
    r[devinfo::Model + 1] = 0x12;
    r[devinfo::DeviceIdPrefix] = 0x0A;
    EXPECT_EQ(DeviceIdText(r, 0x00ABCDEF), "20 34 AB CD EF");
    EXPECT_EQ(ModelNumberText(0x00ABCDEF), "11259375");
}

constexpr uint8_t kOpenAt = 4, kLockedAt = 5;
const std::string kPrompt = "Please Enter the ADMIN Password:";

class DevInfoLine : public TestLine {
protected:
    void SetUp() override {
        ResetDevInfoState();
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(kOpenAt), testline::lockedIr(kLockedAt)}));
        ASSERT_NO_FATAL_FAILURE(openWire(kOpenAt));
        Wire().responded = true;
        SetPumpWait([this](unsigned ms) { waits.push_back(ms); });
    }
    void TearDown() override {
        SetPumpWait({});
        ResetDevInfoState();
        TestLine::TearDown();
    }
    Bytes stored(uint8_t address) {
        Bytes b;
        line->withDetector(address, [&](wsim::Detector& d, int64_t) { b = d.devInfo(); });
        return b;
    }
    std::vector<unsigned> waits;
};

// Every factory record passes the window's checks unchanged, and burning it
// back stores it as it was, but for the detector's counter and mark.
TEST_F(DevInfoLine, FactoryRecordReadsAndBurnsBack) {
    for (uint8_t at : {kOpenAt, kLockedAt}) {
        ASSERT_TRUE(SelectSlave(at));
        FakePanel panel;
        ASSERT_EQ(OpenDevInfo(panel), DevInfoOpened::Read);
        const DevInfoState read = DevInfoNow();
        const Form form = FillDevInfoForm(read);
        EXPECT_EQ(form.at(w::kManufacturer).value, 0);
        EXPECT_EQ(form.at(w::kModelNumber).text, std::to_string(read.serial));
        DevInfoBytes back = read.record;
        EXPECT_TRUE(ReadDevInfoForm(form, back).ok);
        EXPECT_EQ(back, read.record);
    }
}

// What is edited, what the password prompt gets, the outcome, the boxes, and
// whether the detector's record changed.
TEST_F(DevInfoLine, Burn) {
    using R = DevInfoBurnResult;
    struct Case {
        const char* name;
        uint8_t at;
        std::function<void(Form&)> edit;
        Lines typed;
        std::function<void()> arrange;
        std::optional<R> result;  // nullopt: refused by a check, nothing sent
        Lines boxes;
        size_t prompts;
    };
    const auto tag = [](std::string t) { return [t](Form& f) { f[w::kTag].text = t; }; };
    const Case cases[] = {
        {"unlocked, no prompt", kOpenAt, tag("abc"), {}, {}, R::Verified, {}, 0},
        {"locked, wrong then right",
         kLockedAt,
         tag("abc"),
         {"wrong", "apass"},
         {},
         R::Verified,
         {},
         2},
        {"locked, cancelled",
         kLockedAt,
         tag("abc"),
         {},
         {},
         R::Cancelled,
         {"Error: ADMIN Password not entered.\r\nBurn canceled..."},
         1},
        {"altered answer",
         kOpenAt,
         tag("abc"),
         {},
         [&] { wsim::runControlCommand(*line, "devinfo-corrupt 4 30"); },
         R::Mismatch,
         {"Error: Burn failed..."},
         0},
        {"no setup",
         kOpenAt,
         tag("abc"),
         {},
         [&] { line->setSilent(true); },
         R::NoSetup,
         {"Error: Burn failed..."},
         0},
        {"tag a~b", kOpenAt, tag("a~b"), {}, {}, std::nullopt, {}, 0},
        {"poll address 64",
         kOpenAt,
         [](Form& f) { f[w::kPollAddress].text = "64"; },
         {},
         {},
         std::nullopt,
         {"Error: Poll Address must be in the range [0..63]"},
         0},
        {"year 2156",
         kOpenAt,
         [](Form& f) { f[w::kYear].text = "2156"; },
         {},
         {},
         std::nullopt,
         {"Error: Range: 1900 .. 2155"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line->setSilent(false);
        ASSERT_TRUE(SelectSlave(c.at));
        FakePanel panel;
        ASSERT_EQ(OpenDevInfo(panel), DevInfoOpened::Read);
        const Bytes before = stored(c.at);
        const DevInfoState read = DevInfoNow();
        Form form = FillDevInfoForm(read);
        c.edit(form);
        DevInfoBytes edited = read.record;
        const DevInfoRead checked = ReadDevInfoForm(form, edited);
        panel.typed.assign(c.typed.begin(), c.typed.end());
        if (c.arrange) c.arrange();
        if (!checked.ok) {
            if (!checked.message.empty()) panel.ask(checked.message, "Error", checked.flags);
            EXPECT_FALSE(c.result);
        } else {
            EXPECT_EQ(BurnDevInfo(panel, edited), c.result);
        }
        EXPECT_EQ(panel.questions.size() - panel.captions.size(), c.boxes.size());
        EXPECT_EQ(panel.captions, Lines(c.prompts, "BURN Device Info to Detector"));
        Lines boxes;
        for (const auto& q : panel.questions)
            if (q != kPrompt) boxes.push_back(q);
        EXPECT_EQ(boxes, c.boxes);
        const Bytes after = stored(c.at);
        const bool written = c.result == R::Verified || c.result == R::Mismatch;
        EXPECT_EQ(after != before, written);
        if (!written) continue;
        // The counter rose by one; everything else is what was sent.
        EXPECT_EQ(after[98] | after[99] << 8, (before[98] | before[99] << 8) + 1);
        EXPECT_EQ(Bytes(after.begin() + devinfo::Tag, after.begin() + devinfo::Tag + 6),
                  (Bytes{0x04, 0x20, 0xE0, 0x82, 0x08, 0x20}));
        EXPECT_EQ(DevInfoNow().record == DevInfoBytes(), false);
    }
}

// Texts are cut to their limits before packing; a tag's refused character
// comes back as "?"; a manufacturer or model that does not parse keeps the code.
TEST(DevInfoForm, CutsAndKeeps) {
    DevInfoState s;
    s.record[devinfo::Preambles] = 5;
    s.record[devinfo::Day] = s.record[devinfo::Month] = 1;
    s.record[devinfo::Manufacturer] = 0x44;
    s.record[devinfo::Model] = 0x90;
    Form f = FillDevInfoForm(s);
    EXPECT_EQ(f[w::kManufacturer].value, -1);
    f[w::kTag].text = "ABCDEFGHIJ~";
    f[w::kMessage].text = std::string(32, 'M') + "~";
    f[w::kModel].text = "zz";
    DevInfoBytes r = s.record;
    ASSERT_TRUE(ReadDevInfoForm(f, r).ok);
    EXPECT_EQ(UnpackAscii(std::span(r).subspan(devinfo::Tag, 6)), "ABCDEFGH");
    EXPECT_EQ(std::tuple(r[devinfo::Manufacturer], r[devinfo::Model]),
              std::tuple(uint8_t{0x44}, uint8_t{0x90}));
    f[w::kTag].text = "a~b";
    const DevInfoRead bad = ReadDevInfoForm(f, r);
    EXPECT_EQ(std::tuple(bad.ok, bad.focus, bad.corrected.at(w::kTag).text),
              std::tuple(false, w::kTag, std::string("A?B")));
}

}  // namespace
