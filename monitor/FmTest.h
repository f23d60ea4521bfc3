#pragma once
// The FM approval test: how long each detector of a rig (addresses 1 to 8)
// takes to go into alarm after a test fire is lit, timed by the detector's own
// counter from the start broadcast, and the results appended to FMResults.txt.
#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "util/Panel.h"

namespace fmtest {

// The fire description's lists, in order.
const std::vector<std::string>& Fuels();
const std::vector<std::string>& Facings();
const std::vector<std::string>& Angles();
const std::vector<std::string>& Distances();
// The selections survive the window for the life of the process.
struct Choice {
    size_t fuel = 0, facing = 0, angle = 0, distance = 0;
};
Choice Remembered();
void Remember(const Choice& c);  // indices beyond a list are taken as 0
// The list texts of a choice: fuel, facing, angle, distance.
std::array<std::string, 4> ChoiceTexts(const Choice& c);

// "%u:%02u.%02u": minutes, seconds, hundredths.
std::string TimerText(uint32_t ms);
// The time a row shows: the counter, less the correction once the row froze
// in a network of more than four detectors; never below 0.
uint32_t ShownTime(uint32_t counterMs, int correctionMs, bool frozen, size_t networkCount);
std::string DateText(const std::tm& t);  // day/month/year
std::string TimeText(const std::tm& t);  // hour:minute:second

constexpr unsigned kRows = 8;
enum RowState { NotSeen = 0, Seen = 1, Frozen = 2 };
struct Row {
    int state = NotSeen;
    int relayAtAlarm = -1;
    bool blink = false;
    std::optional<uint32_t> timerMs;  // the detector timer as shown, once running
    // The cells of fmwin::Column.
    std::array<std::string, 8> cells;
};

// The test. Every call runs on the link worker (the window posts its buttons
// there), so the state needs no lock; clear and close may ask the user.
class FmTest {
public:
    struct Options {
        // The network's address list; empty: the address book's selection.
        std::function<std::vector<uint8_t>()> addresses;
        std::string paramIni = "Param.ini";
        std::string resultsPath = "FMResults.txt";
        std::function<std::tm()> localTime;  // empty: the system clock
    };
    FmTest(std::shared_ptr<Panel> panel, Options options);

    void open();
    void start();
    // Asks to save unsaved results (saving on OK); false when that save
    // failed, the test then left as it was.
    bool clear();
    void tick(unsigned long long nowMs);
    // Only while stopped.
    void manualBit();
    // Appends the block whole; false (an "Error" box naming the file) when it
    // could not, the results then still unsaved.
    bool save();
    // The results are not wanted: the next clear does not ask.
    void discard() { unsaved_ = false; }
    // Clears a running test; false when its results could not be saved and
    // the window must stay.
    bool close();

    bool running() const { return start_ != 0; }
    int expected() const { return expected_; }
    bool unsaved() const { return unsaved_; }
    const Row& row(unsigned i) const { return rows_[i]; }
    // A row's state for the window's colours, readable from any thread.
    int shownState(unsigned i) const { return shown_[i].load(); }
    void showPcTimer(bool on) { showPc_ = on; }
    // The saved block's rows ("%s\t%s\t%s\t%s\t%s"), for rows with an address.
    std::vector<std::string> resultRows(bool withPcTimer) const;
    std::string resultsBlock() const;

private:
    static constexpr unsigned long long kPending = ~0ull;
    void setCell(unsigned row, int column, const std::string& text);
    void setState(unsigned row, int state);
    void blankRow(unsigned row);
    void refreshClock();
    void selectFirst();
    void broadcastStart(unsigned long long nowMs);
    void pollOne(unsigned long long nowMs);
    void advance();
    std::vector<uint8_t> network() const;

    std::shared_ptr<Panel> panel_;
    Options opt_;
    std::array<Row, kRows> rows_;
    std::array<std::atomic<int>, kRows> shown_{};
    unsigned long long start_ = 0;
    int expected_ = -1;
    size_t turn_ = 0;
    bool unsaved_ = false, prompt_ = false, inTick_ = false, showPc_ = false;
    int correction_ = 0;
    std::string date_, time_;
};

}  // namespace fmtest
