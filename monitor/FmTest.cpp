#include "monitor/FmTest.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "monitor/CFMTest2Ids.h"
#include "network/AddressBook.h"
#include "protocol/Transport.h"
#include "protocol/records/ShortStatus.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/Profile.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace fmtest {

using namespace fmwin;

namespace {

constexpr size_t kMaxResultsFile = 64u << 20;
constexpr unsigned kStartSettleMs = 50, kBitPauseMs = 150;

std::mutex g_choiceMutex;
Choice g_choice;

size_t within(size_t i, const std::vector<std::string>& list) { return i < list.size() ? i : 0; }

std::tm nowLocal() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

}  // namespace

const std::vector<std::string>& Fuels() {
    static const std::vector<std::string> v = {
        "Gasoline 1*1ft", "Gasoline 2*2ft", "N-Heptane",   "Diesel",          "JP5",         "Kerosene",
        "Alcohol 95%",    "IPA",            "Methanol",    "Methane",         "LPG",         "Polypropylene",
        "Paper",          "Hydrogen",       "Magnesium Alloy", "Gun Powder",  "Fireworks",   "Cooking Oil",
        "Mineral Oil",    "Wood",           "Glycol",      "Butyl Acrylate",  "Vinyl Acetate", "Flammable Adhesive",
        "Solvents",       "Oil Paint",      "Other"};
    return v;
}
const std::vector<std::string>& Facings() {
    static const std::vector<std::string> v = {"Straight", "Left", "Right", "Up", "Down"};
    return v;
}
const std::vector<std::string>& Angles() {
    static const std::vector<std::string> v = {"0", "40", "45", "50", "Other"};
    return v;
}
const std::vector<std::string>& Distances() {
    static const std::vector<std::string> v = {"90", "75", "63",   "60", "55", "50",   "49", "45",  "37.5", "35", "34",
                                               "31.5", "30", "28", "27.5", "25", "24.5", "21", "18", "17", "14",
                                               "10.5", "10", "9",  "8.5", "7",  "5",    "3.5", "3",  "1.5",  "Other"};
    return v;
}

Choice Remembered() {
    std::lock_guard lock(g_choiceMutex);
    return g_choice;
}

void Remember(const Choice& c) {
    std::lock_guard lock(g_choiceMutex);
    g_choice = {within(c.fuel, Fuels()), within(c.facing, Facings()), within(c.angle, Angles()),
                within(c.distance, Distances())};
}

std::array<std::string, 4> ChoiceTexts(const Choice& c) {
    return {Fuels()[within(c.fuel, Fuels())], Facings()[within(c.facing, Facings())],
            Angles()[within(c.angle, Angles())], Distances()[within(c.distance, Distances())]};
}

std::string TimerText(uint32_t ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u:%02u.%02u", ms / 60000, ms / 1000 % 60, ms / 10 % 100);
    return buf;
}

uint32_t ShownTime(uint32_t counterMs, int correctionMs, bool frozen, size_t networkCount) {
    if (!frozen || networkCount <= 4) return counterMs;
    // A negative correction from the settings file must not wrap either.
    const long long t = static_cast<long long>(counterMs) - correctionMs;
    return static_cast<uint32_t>(std::clamp<long long>(t, 0, 0xFFFFFFFFll));
}

std::string DateText(const std::tm& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u/%02u/%02u", static_cast<unsigned>(t.tm_mday),
                  static_cast<unsigned>(t.tm_mon + 1), static_cast<unsigned>(t.tm_year + 1900));
    return buf;
}

std::string TimeText(const std::tm& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", static_cast<unsigned>(t.tm_hour),
                  static_cast<unsigned>(t.tm_min), static_cast<unsigned>(t.tm_sec));
    return buf;
}

FmTest::FmTest(std::shared_ptr<Panel> panel, Options options) : panel_(std::move(panel)), opt_(std::move(options)) {}

std::vector<uint8_t> FmTest::network() const { return opt_.addresses ? opt_.addresses() : Book().selected(); }

void FmTest::setCell(unsigned row, int column, const std::string& text) {
    rows_[row].cells[static_cast<size_t>(column)] = text;
    panel_->setText(Cell(static_cast<int>(row), column), text);
}

void FmTest::setState(unsigned row, int state) {
    rows_[row].state = state;
    shown_[row] = state;
}

void FmTest::blankRow(unsigned row) {
    for (int c = Address; c <= PcTimer; ++c) setCell(row, c, "");
}

void FmTest::refreshClock() {
    const std::tm t = opt_.localTime ? opt_.localTime() : nowLocal();
    date_ = DateText(t);
    time_ = TimeText(t);
    panel_->setText(kDate, date_);
    panel_->setText(kTime, time_);
}

void FmTest::selectFirst() {
    const auto list = network();
    if (list.empty()) return;
    std::lock_guard lock(LinkLock());
    if (!SelectSlave(list[0])) DebugLog("Switch to address %u failure...", unsigned{list[0]});
}

void FmTest::open() {
    refreshClock();
    for (unsigned r = 0; r < kRows; ++r) setCell(r, Label, "");
    for (uint8_t a : network())
        if (a >= 1 && a <= kRows) setCell(a - 1u, Label, "DET-" + std::to_string(a));
    turn_ = 0;
}

void FmTest::start() {
    showPc_ = panel_->check(kShowPcTimer) == 1;
    correction_ = ProfileGetInt(opt_.paramIni, "FMTest", "TimerCorrection_ms", 0);
    for (unsigned i = 0; i < kRows; ++i) {
        rows_[i].relayAtAlarm = -1;
        rows_[i].timerMs.reset();
        setState(i, NotSeen);
    }
    start_ = kPending;
    unsaved_ = true;
    refreshClock();
    panel_->setText(kStartClear, "Clear &Timer");
    panel_->enable(kManualBit, false);
}

bool FmTest::clear() {
    prompt_ = true;
    // Results the disk refused stay on screen, so that they can be saved again.
    if (unsaved_ &&
        panel_->ask("Click 'Ok' to save results\r\nClick 'Cancel' to discard results", "Warning: Test not saved!",
                    MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK &&
        !save()) {
        prompt_ = false;
        return false;
    }
    expected_ = -1;
    prompt_ = false;
    panel_->setText(kStartClear, "Start &Timer");
    start_ = 0;
    for (unsigned r = 0; r < kRows; ++r) {
        if (rows_[r].state == NotSeen) continue;
        setState(r, NotSeen);
        for (int c = Address; c < PcTimer; ++c) setCell(r, c, "");
        setCell(r, PcTimer, "Timer");
    }
    selectFirst();
    panel_->enable(kManualBit, true);
    return true;
}

void FmTest::tick(unsigned long long nowMs) {
    if (prompt_ || inTick_) return;
    inTick_ = true;
    if (start_ == kPending) broadcastStart(nowMs);
    else if (expected_ != 0) pollOne(nowMs);
    inTick_ = false;
}

void FmTest::broadcastStart(unsigned long long nowMs) {
    start_ = nowMs ? nowMs : 1;
    const auto list = network();
    {
        std::lock_guard lock(LinkLock());
        if (!SelectSlave(0)) DebugLog("Set master failure...");
        const uint8_t zero = 0;
        ModbusSet(1, &zero, Wire().ctx, D_MISC_CONTROL);
        modbus_flush(Wire().ctx);
    }
    PumpWait(kStartSettleMs);
    selectFirst();
    expected_ = static_cast<int>(list.size());
    turn_ = 0;
}

void FmTest::pollOne(unsigned long long nowMs) {
    const auto list = network();
    if (list.empty()) return;
    if (turn_ >= list.size()) turn_ = 0;
    const unsigned address = list[turn_];
    std::vector<uint8_t> frame(kShortStatusFrameSize, 0);
    int r;
    {
        std::lock_guard lock(LinkLock());
        DebugLog("modbus_set_slave(%u)", address);
        SelectSlave(address);
        r = ModbusGet(0, D_DATA2HOST_SHORT, Wire().ctx, frame.data(), kShortStatusFrameSize, 80, 150);
        modbus_flush(Wire().ctx);
    }
    const auto s = r >= static_cast<int>(kShortStatusFrameSize)
                       ? DecodeShortStatus(std::span(frame.data(), kShortStatusFrameSize))
                       : std::nullopt;
    if (!s) {
        DebugLog("ModbusGet(D_DATA2HOST) returned %d bytes instead of %u", r,
                 static_cast<unsigned>(kShortStatusFrameSize));
        if (address >= 1 && address <= kRows) blankRow(address - 1);
    } else if (s->header.address >= 1 && s->header.address <= kRows) {
        const unsigned i = s->header.address - 1u;
        Row& row = rows_[i];
        setCell(i, Address, std::to_string(s->header.address));
        setCell(i, Serial, std::to_string(s->header.serial));
        setCell(i, Model, ModelName(s->header.model));
        if (!running()) {
            row.blink = !row.blink;
            setCell(i, Timer, row.blink ? "-" : " ");
        } else if (row.state != Frozen) {
            if (row.state == NotSeen) setState(i, Seen);
            if (s->inAlarm()) {
                expected_ = std::max(0, expected_ - 1);
                setState(i, Frozen);
                if (row.relayAtAlarm < 0) row.relayAtAlarm = s->alarmRelayOn() ? 1 : 0;
            }
            row.timerMs = ShownTime(s->timerMs, correction_, row.state == Frozen, list.size());
            setCell(i, Timer, TimerText(*row.timerMs));
            if (showPc_) setCell(i, PcTimer, TimerText(static_cast<uint32_t>(nowMs - start_)));
        }
        char modeState[16];
        std::snprintf(modeState, sizeof modeState, "%c%u", s->mode, unsigned{s->stateCode});
        setCell(i, ModeState, modeState);
        setCell(i, Relay, s->alarmRelayOn() ? "On" : "Off");
    }
    advance();
    refreshClock();
    selectFirst();
}

void FmTest::advance() {
    const auto list = network();
    for (size_t step = 0; step < list.size(); ++step) {
        turn_ = (turn_ + 1) % list.size();
        const uint8_t a = list[turn_];
        if (a < 1 || a > kRows || rows_[a - 1u].state != Frozen) return;
    }
}

void FmTest::manualBit() {
    if (running()) return;
    Shell().busy = true;
    prompt_ = true;
    PumpWait(kBitPauseMs);
    {
        std::lock_guard lock(LinkLock());
        modbus_flush(Wire().ctx);
        SelectSlave(0);
        ModbusSet(0, nullptr, Wire().ctx, D_MANUAL_BIT);
        modbus_flush(Wire().ctx);
    }
    selectFirst();
    prompt_ = false;
    Shell().busy = false;
}

std::vector<std::string> FmTest::resultRows(bool withPcTimer) const {
    std::vector<std::string> out;
    for (const Row& r : rows_) {
        if (r.cells[Address].empty()) continue;
        std::string line = r.cells[Address] + "\t" + r.cells[Serial] + "\t" + r.cells[Model] + "\t" + r.cells[Timer] +
                           "\t" + r.cells[Relay];
        if (withPcTimer) line += "\t" + r.cells[PcTimer];
        out.push_back(line);
    }
    return out;
}

std::string FmTest::resultsBlock() const {
    const auto t = ChoiceTexts(Remembered());
    std::string b = "Date\t Time\t Fuel\t Facing\t Angle\t Distance\n"
                    "=======================================================\n";
    b += date_ + "\t" + time_ + "\t" + t[0] + "\t" + t[1] + "\t" + t[2] + "\t" + t[3] + "\n";
    b += "=======================================================\n\nAddr\t S/N\t Model\t Timer\t Alarm Relay\n";
    for (const std::string& row : resultRows(false)) b += row + "\n";
    b += "-------------------------------------------------------\n\n"
         "*******************************************************\n\n";
    return b;
}

bool FmTest::save() {
    std::vector<uint8_t> bytes;
    bool ok = true;
    errno = 0;
    if (const auto old = ReadWholeFile(opt_.resultsPath, kMaxResultsFile)) bytes = *old;
    else ok = errno == ENOENT;
    const std::string block = resultsBlock();
    bytes.insert(bytes.end(), block.begin(), block.end());
    if (ok && WriteWholeFile(opt_.resultsPath, bytes)) {
        unsaved_ = false;
        return true;
    }
    panel_->ask("Failed writing \"" + opt_.resultsPath + "\"...\r\nResults not saved.", "Error",
                MB_OK | MB_ICONERROR);
    return false;
}

bool FmTest::close() {
    if (running() && !clear()) return false;
    Shell().busy = false;
    selectFirst();
    return true;
}

}  // namespace fmtest
