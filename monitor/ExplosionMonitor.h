#pragma once
// The explosion monitor: empty each detector's message buffer, let the
// operator set off a test explosion, read the message texts back and judge
// from them whether each detector reported it, reported it falsely, or took
// too long. Results go to the window's table and view and to logX.txt.
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "util/Panel.h"

namespace explosion {

constexpr unsigned kMaxRows = 16, kMaxRetries = 3, kTickMs = 100;
enum FailBit : int { NoDetection = 1, FalseExplosion = 2, TooLong = 4 };
constexpr const char* kLegend =
    "Fail Code:   BIT0 - No detection;        BIT1 - False Explosion;        BIT2 - Detection time too long.";

// What one message text says about the explosion.
struct Scan {
    int failCode = 0;
    std::optional<double> timeMs;    // set when a detection time was read: the explosion was reported
    std::vector<std::string> lines;  // for the view, in order
};
// Line by line, the first matching test deciding; a remainder without a line
// feed is the last line. Without a detection time the code is 1.
Scan ScanMessage(const std::string& text);

// A line as the view shows it: tabs become four blanks, line feeds one, at
// most 4096 characters.
std::string ViewLine(const std::string& text);

struct Row {
    unsigned address = 0;
    std::optional<uint32_t> serial;
    std::string time, fail;  // the cells as shown
};

// The four steps. Buttons call startErase, generated, startRetrieve,
// summary; the steps' timers call eraseTick / retrieveTick, which do the wire
// exchanges and must run on the link worker. A tick that comes while one runs
// is skipped.
class ExplosionMonitor {
public:
    struct Options {
        std::string logPath = "logX.txt";
        // The network's address list; empty: the address book's selection.
        std::function<std::vector<uint8_t>()> addresses;
        std::function<std::time_t()> now;  // the time stamp of a retrieval; empty: the system clock
    };
    ExplosionMonitor(std::shared_ptr<Panel> panel, Options options);
    ~ExplosionMonitor();

    void startErase();
    // False once the step has ended (the timer stopped).
    bool eraseTick();
    // The "Generate Explosion" box closed.
    void generated();
    // False (the error box shown) when logX.txt cannot be opened for appending.
    bool startRetrieve();
    bool retrieveTick();
    // Closes logX.txt; the window then opens it in the desktop's editor.
    void summary();

    const std::vector<Row>& rows() const { return rows_; }
    unsigned handled() const { return handled_; }
    // A row of either step was given up after its retries.
    bool retriesRanOut() const { return gaveUp_; }
    // Writing logX.txt failed after it was opened.
    bool logFailed() const { return logFailed_; }
    const std::string& logPath() const { return opt_.logPath; }

private:
    void log(const std::string& text);
    void showRow(unsigned index);
    void clearCells(unsigned index);
    void next();
    void endRetrieve();
    void writeLog(const std::string& line);
    unsigned rowLimit() const;

    std::shared_ptr<Panel> panel_;
    Options opt_;
    std::vector<uint8_t> addresses_;
    std::vector<Row> rows_;
    unsigned index_ = 0, handled_ = 0, retries_ = 0;
    std::atomic<bool> inErase_{false}, inRetrieve_{false};
    bool gaveUp_ = false, logFailed_ = false;
    std::FILE* file_ = nullptr;
};

}  // namespace explosion
