#pragma once
// Recording of live records to the logs: the four modes, the period ticks,
// records of a run taken in list order, state-change records, comments and
// the closing separator. The clock is injectable so that tests run hours in
// no time; every write goes through a LineSink, and a sink that fails stops
// the recording and names its file for the window's "Error" box.
//
// Thread use: start/stop/insertComment come from the window (or a
// procedure), advance/offer from the poll tick on the link worker; one mutex
// keeps them apart.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/LineSink.h"
#include "monitor/LiveLog.h"

using WallClock = std::function<std::chrono::system_clock::time_point()>;

// Recording periods in milliseconds (0 is off). The window may also give
// 1000 (minute and 15-minute buttons with Shift and Ctrl).
namespace recperiod {
constexpr unsigned Off = 0, Fast = 250, OnePointFive = 1500, Minute = 60000, Quarter = 900000, Shifted = 1000;
}

struct RecorderOptions {
    std::string folder = "Recordings";  // created when missing
    LogOptions log;
    WallClock clock;  // empty: the system clock
    SinkOpener open;  // empty: OpenLineFile
};

// What became of one offered record.
struct RecordStep {
    bool written = false;      // a line went to a log
    bool stateChange = false;  // ... because the detector's mode changed
    bool failed = false;       // a log failed: recording is now off, errorFile() names it
};

class Recorder {
public:
    explicit Recorder(RecorderOptions options = {});
    ~Recorder();

    // Stops a running recording, then opens the log of `family` (the current
    // detector's, `alternateSensor` naming its columns) and writes its start
    // line and header. The first period tick comes one period later. False
    // when the log cannot be created or written: recording stays off,
    // errorFile() names it.
    bool start(unsigned periodMs, LogFamily family, bool alternateSensor = false);
    // Separator line to each open log, logs closed. Harmless when off. False
    // when a separator could not be written; errorFile() names that log.
    bool stop();

    bool on() const;
    unsigned periodMs() const;
    // "Recording: ON" / "Recording: OFF".
    std::string title() const;
    // The file of the last failure ("" none); cleared by start().
    std::string errorFile() const;
    // The log files opened since the last start, in the order opened.
    std::vector<std::string> files() const;

    // The period timer, driven from the clock: for every period passed since
    // the last one, the records still to take become the number of selected
    // addresses (at least 1). Called by the poll tick before offer().
    void advance(size_t selectedCount);
    // A good record (already decoded, CRC valid) from the poll. `selected` is
    // the network selection in list order.
    RecordStep offer(const LiveRecord& record, const std::vector<uint8_t>& selected);
    // A poll of `address` that got no record: the run moves on past it, so a
    // silent detector does not hold up the others.
    void missed(unsigned address, const std::vector<uint8_t>& selected);

    // Once per 15 minutes while recording: the caller reads the detector
    // type again in this tick instead of offering a record.
    bool typeRefreshDue();

    // A start line with `comment` for the current period to each open log;
    // when the log of `current` is not open it is opened as at a start
    // (file, start line, header). The comment stays for later start lines.
    // False on a file failure (recording off, errorFile()).
    bool insertComment(const std::string& comment, LogFamily current);

    // The records still to take in this run and the address they wait for.
    size_t stillToTake() const;
    unsigned runAddress(const std::vector<uint8_t>& selected) const;

private:
    struct Log {
        std::unique_ptr<LineSink> sink;
        unsigned index = 0;
    };
    std::chrono::system_clock::time_point now() const;
    bool openLog(LogFamily family, bool alternateSensor);
    bool writeRecord(const LiveRecord& record);
    bool writeTo(LogFamily family, const std::string& text);
    void fail(const std::string& file);
    bool stopLocked();
    void moveRun(const std::vector<uint8_t>& selected);
    std::tm utc(std::chrono::system_clock::time_point t) const;
    std::tm local(std::chrono::system_clock::time_point t) const;

    RecorderOptions options_;
    mutable std::mutex mutex_;
    bool on_ = false;
    unsigned periodMs_ = 0;
    bool alternateSensor_ = false;  // the channel names of the detector recorded at Start
    std::string comment_;
    std::string errorFile_;
    std::vector<std::string> files_;
    std::map<LogFamily, Log> logs_;
    std::tm startUtc_{};
    std::chrono::system_clock::time_point nextPeriod_{}, nextTypeRefresh_{};
    size_t toTake_ = 0;
    size_t runPos_ = 0;  // position in the selection of the run's next address
    std::map<unsigned, char> lastMode_;
};
