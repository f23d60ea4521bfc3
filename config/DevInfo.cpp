#include "config/DevInfo.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <optional>

#include "config/CDevInfoIds.h"
#include "protocol/Elevation.h"
#include "protocol/LinkBackend.h"
#include "protocol/Transport.h"
#include "protocol/records/ByteOrder.h"
#include "protocol/records/ResponseHeader.h"
#include "protocol/records/SetupRecord.h"
#include "shell/Catalogue.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace w = devinfowin;

namespace {

std::mutex g_mutex;
DevInfoState g_state;

constexpr unsigned kErrorBox = MB_OK | MB_ICONEXCLAMATION;
constexpr int kAdminLevel = 2;
constexpr unsigned kMaxPollAddress = 63, kMinPreambles = 5, kMaxPreambles = 20;
constexpr unsigned kMaxYear = devinfo::YearBase + 255;

void logShort(const char* command, int got, size_t expected) {
    DebugLog("ModbusGet(%s) returned %d bytes instead of %u", command, got,
             static_cast<unsigned>(expected));
}

std::string hex(unsigned value, int digits) {
    char text[8];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

const std::string& textOf(const Form& form, int id) {
    static const std::string none;
    const auto it = form.find(id);
    return it == form.end() ? none : it->second.text;
}

// A plain decimal number, nothing else.
std::optional<unsigned> plainNumber(const std::string& text) {
    unsigned v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end) return std::nullopt;
    return v;
}

std::optional<unsigned> hexNumber(const std::string& text, unsigned max) {
    unsigned v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v, 16);
    if (text.empty() || ec != std::errc() || p != end || v > max) return std::nullopt;
    return v;
}

DevInfoRead fail(int focus, std::string message, unsigned flags = kErrorBox) {
    DevInfoRead r;
    r.ok = false;
    r.message = std::move(message);
    r.flags = flags;
    r.focus = focus;
    return r;
}

// Tag, descriptor and message: cut to the edit's limit, upper case, every
// character packed ASCII cannot carry shown as "?" (and nothing burned).
std::optional<DevInfoRead> readPacked(const Form& form, int id, size_t offset, size_t chars,
                                      DevInfoBytes& record) {
    std::string text = textOf(form, id).substr(0, chars);
    bool replaced = false;
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x5F) {
            c = '?';
            replaced = true;
        }
    }
    if (replaced) {
        DevInfoRead r = fail(id, "");
        r.corrected[id].text = text;
        return r;
    }
    PackAscii(text, chars, std::span(record).subspan(offset, chars / 4 * 3));
    return std::nullopt;
}

DevInfoRead rangeFail(int id, unsigned low, unsigned high) {
    char text[48];
    std::snprintf(text, sizeof text, "Range: %u .. %u", low, high);
    return fail(id, text, MB_OK | MB_ICONINFORMATION);
}

void flushLink() {
    std::lock_guard lock(LinkLock());
    if (LinkBackend* link = UsableLinkBackend()) link->flush();
}

bool elevateAdmin(Panel& panel) {
    for (;;) {
        std::optional<std::string> typed =
            panel.askText("Please Enter the ADMIN Password:", "BURN Device Info to Detector", true);
        if (!typed) return false;
        const bool granted = ElevateOnce(kAdminLevel, *typed);
        std::fill(typed->begin(), typed->end(), '\0');
        if (granted) return true;
    }
}

// The setup record's lock state; nullopt when the setup does not come.
std::optional<bool> readLock() {
    std::array<uint8_t, kSetupAnswerSize> setup{};
    int got = -1;
    for (int attempt = 0; attempt < 3 && got == -1; ++attempt)
        got = ModbusGet(0, D_SETUP2HOST, Wire().ctx, setup.data(), kSetupAnswerSize, 100, 500);
    if (got < static_cast<int>(kSetupAnswerSize)) {
        logShort("D_SETUP2HOST", got, kSetupAnswerSize);
        return std::nullopt;
    }
    const bool locked = SetupLocked(setup);
    setup.fill(0);  // it carries both passwords
    return locked;
}

}  // namespace

DevInfoState DevInfoNow() {
    std::lock_guard lock(g_mutex);
    return g_state;
}

void ResetDevInfoState() {
    std::lock_guard lock(g_mutex);
    g_state = DevInfoState{};
}

DevInfoOpened OpenDevInfo(Panel& panel) {
    bool answered = false;
    {
        std::lock_guard lock(LinkLock());
        answered = Wire().responded;
    }
    if (!answered) {
        panel.enable(w::kBurn, false);
        return DevInfoOpened::NoDetector;
    }
    PumpWait(10);
    std::array<uint8_t, kDevInfoAnswerSize> answer{};
    int got = -1;
    for (int attempt = 0; attempt < 3 && got == -1; ++attempt)
        got = ModbusGet(0, D_DEVINFO2HOST, Wire().ctx, answer.data(), kDevInfoAnswerSize, 100, 500);
    const auto record =
        got >= static_cast<int>(kDevInfoAnswerSize) ? DecodeDevInfoAnswer(answer) : std::nullopt;
    if (!record) {
        panel.enable(w::kBurn, false);
        logShort("D_DEVINFO2HOST", got, kDevInfoAnswerSize);
        return DevInfoOpened::NoAnswer;
    }
    const ResponseHeader header = *DecodeHeader(answer);
    {
        std::lock_guard lock(g_mutex);
        g_state.record = *record;
        g_state.serial = header.serial;
        g_state.uvir = IsUvirModelByte(static_cast<uint8_t>(header.model));
        g_state.loaded = true;
    }
    panel.enable(w::kBurn, true);
    panel.setTimer(w::kFillTimer, 10, true);
    return DevInfoOpened::Read;
}

unsigned DevInfoTextLimit(int control) {
    switch (control) {
        case w::kTag:
            return devinfo::TagChars;
        case w::kLongTag:
            return devinfo::LongTagChars;
        case w::kDescriptor:
            return devinfo::DescriptorChars;
        case w::kMessage:
            return devinfo::MessageChars;
        default:
            return 0;
    }
}

Form FillDevInfoForm(const DevInfoState& s) {
    const DevInfoBytes& r = s.record;
    const auto packed = [&r](size_t offset, size_t chars) {
        return UnpackAscii(std::span(r).subspan(offset, chars / 4 * 3));
    };
    Form f;
    f[w::kPollAddress].text = std::to_string(r[devinfo::PollAddress]);
    f[w::kTag].text = packed(devinfo::Tag, devinfo::TagChars);
    f[w::kLongTag].text = DevInfoLongTag(r);
    f[w::kDescriptor].text = packed(devinfo::Descriptor, devinfo::DescriptorChars);
    f[w::kMessage].text = packed(devinfo::Message, devinfo::MessageChars);
    f[w::kYear].text = std::to_string(DevInfoYear(r));
    f[w::kMonth].text = std::to_string(r[devinfo::Month]);
    f[w::kDay].text = std::to_string(r[devinfo::Day]);
    f[w::kFinalAssy].text = FinalAssyText(r);
    f[w::kChangeCounter].text = std::to_string(DevInfoChangeCounter(r));
    ControlState& list = f[w::kManufacturer];
    list.value = -1;
    for (uint8_t code : kManufacturerCodes) {
        if (code == r[devinfo::Manufacturer]) list.value = static_cast<int>(list.items.size());
        list.items.push_back(hex(code, 2));
    }
    list.items.push_back(kUnknownManufacturer);
    f[w::kModel].text = hex(DevInfoModel(r), 4);
    f[w::kPreambles].text = std::to_string(r[devinfo::Preambles]);
    f[w::kDeviceId].text = DeviceIdText(r, s.serial);
    f[w::kModelNumber].text = ModelNumberText(s.serial);
    f[w::kUniversalRev].text = "7";
    f[w::kSoftwareRev].text = "1";
    f[w::kHardwareRev].text = "1";
    f[w::kDeviceRev].text = s.uvir ? "2" : "1";
    return f;
}

DevInfoRead ReadDevInfoForm(const Form& form, DevInfoBytes& record) {
    if (auto r = readPacked(form, w::kTag, devinfo::Tag, devinfo::TagChars, record)) return *r;

    std::string longTag = textOf(form, w::kLongTag).substr(0, devinfo::LongTagChars);
    longTag.resize(devinfo::LongTagChars, ' ');
    std::copy(longTag.begin(), longTag.end(), record.begin() + devinfo::LongTag);

    // The list's text: an entry that is not a code ("??", nothing selected) keeps the code read.
    if (const auto it = form.find(w::kManufacturer); it != form.end()) {
        const ControlState& list = it->second;
        const int i = list.value;
        if (i >= 0 && static_cast<size_t>(i) < list.items.size())
            if (const auto code = hexNumber(list.items[static_cast<size_t>(i)], 0xFF)) {
                record[devinfo::Manufacturer] = static_cast<uint8_t>(*code);
                record[devinfo::ManufacturerHigh] = 0;
            }
    }
    if (const auto model = hexNumber(textOf(form, w::kModel), 0xFFFF))
        le::put16(record, devinfo::Model, static_cast<uint16_t>(*model));

    if (auto r =
            readPacked(form, w::kDescriptor, devinfo::Descriptor, devinfo::DescriptorChars, record))
        return *r;
    if (auto r = readPacked(form, w::kMessage, devinfo::Message, devinfo::MessageChars, record))
        return *r;

    const auto poll = plainNumber(textOf(form, w::kPollAddress));
    if (!poll || *poll > kMaxPollAddress)
        return fail(w::kPollAddress, "Poll Address must be in the range [0..63]");
    record[devinfo::PollAddress] = static_cast<uint8_t>(*poll);
    const auto preambles = plainNumber(textOf(form, w::kPreambles));
    if (!preambles || *preambles < kMinPreambles || *preambles > kMaxPreambles)
        return fail(w::kPreambles, "Num Preambles must be in the range [5..20]");
    record[devinfo::Preambles] = static_cast<uint8_t>(*preambles);

    const auto year = plainNumber(textOf(form, w::kYear));
    if (!year || *year < devinfo::YearBase || *year > kMaxYear)
        return rangeFail(w::kYear, devinfo::YearBase, kMaxYear);
    const auto month = plainNumber(textOf(form, w::kMonth));
    if (!month || *month < 1 || *month > 12) return rangeFail(w::kMonth, 1, 12);
    const auto day = plainNumber(textOf(form, w::kDay));
    if (!day || *day < 1 || *day > 31) return rangeFail(w::kDay, 1, 31);
    record[devinfo::Year] = static_cast<uint8_t>(*year - devinfo::YearBase);
    record[devinfo::Month] = static_cast<uint8_t>(*month);
    record[devinfo::Day] = static_cast<uint8_t>(*day);
    return {};
}

DevInfoBurnResult BurnDevInfo(Panel& panel, const DevInfoBytes& edited) {
    panel.enable(w::kBurn, false);
    const std::optional<bool> locked = readLock();
    if (!locked) {
        // Nothing was sent, but the user pressed Burn and must hear it failed.
        panel.ask("Burn failed...", "Error", kErrorBox);
        panel.enable(w::kBurn, true);
        return DevInfoBurnResult::NoSetup;
    }
    if (*locked && !elevateAdmin(panel)) {
        DebugLog("ADMIN Password not entered. Burn canceled...");
        panel.ask("ADMIN Password not entered.\r\nBurn canceled...", "Error", kErrorBox);
        panel.enable(w::kBurn, true);
        return DevInfoBurnResult::Cancelled;
    }

    panel.setText(w::kBurn, "Burning...");
    PumpWait(3000);
    std::array<uint8_t, kDevInfoAnswerSize> answer{};
    std::copy(edited.begin(), edited.end(), answer.begin());
    const int got = ModbusGet(static_cast<unsigned>(kDevInfoSize), D_DEVINFO2DET, Wire().ctx,
                              answer.data(), kDevInfoAnswerSize, 500, 3000);
    DevInfoBurnResult result = DevInfoBurnResult::Failed;
    if (const auto stored = got >= static_cast<int>(kDevInfoAnswerSize)
                                ? DecodeDevInfoAnswer(answer)
                                : std::nullopt) {
        // The detector counts the write and marks it: its bytes are not the host's to compare.
        DevInfoBytes sent = edited;
        std::copy_n(stored->begin() + devinfo::FirstDetectorOwned, devinfo::DetectorOwnedCount,
                    sent.begin() + devinfo::FirstDetectorOwned);
        result = sent == *stored ? DevInfoBurnResult::Verified : DevInfoBurnResult::Mismatch;
        if (result == DevInfoBurnResult::Verified) {
            std::lock_guard lock(g_mutex);
            g_state.record = *stored;
        }
    }

    panel.setText(w::kBurn, "Burn");
    PumpWait(500);
    PumpWait(1000);
    flushLink();
    if (result != DevInfoBurnResult::Verified) {
        panel.ask("Burn failed...", "Error", kErrorBox);
        logShort("D_DEVINFO2DET", got, kDevInfoAnswerSize);
    }
    panel.enable(w::kBurn, true);
    return result;
}

std::string DevInfoHelpText(int control) {
    switch (control) {
        case w::kPollAddress:
            return "HART Poll Address 0-63";
        case w::kPreambles:
            return "Number of Preambles 5-20";
        case w::kChangeCounter:
            return "Number of Config Changes";
        case w::kTag:
            return "Tag";
        case w::kLongTag:
            return "Long Tag";
        case w::kDescriptor:
            return "Descriptor";
        case w::kMessage:
            return "Message";
        case w::kDay:
            return "Date: day (dd)";
        case w::kMonth:
            return "Date: month (mm)";
        case w::kYear:
            return "Date: year (yyyy)";
        case w::kFinalAssy:
            return "Final Assy No.";
        case w::kManufacturer:
            return "Manufacturer";
        case w::kModel:
            return "Model";
        case w::kDeviceId:
            return "Device ID";
        case w::kModelNumber:
            return "Model Number";
        case w::kBurn:
            return "Burn the Device Info to the detector";
        default:
            return "";
    }
}
