#pragma once
// The automatic calibration of a group of IR or UV/IR detectors against a
// master at address 247: background, accumulation, the master's object
// broadcast, scale checks and serial burns, pass after pass while retries
// remain; one procedure for both families. The object and the accumulation
// are broadcast and no detector can be left out, so every detector's state at
// the end is worked out from what went out after its last verified finish.
// The wire is behind CalibLink, so tests script it or put the simulator there.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "calib/AutoCalibSettings.h"
#include "calib/CCalibrateIds.h"
#include "calib/CalibResults.h"
#include "protocol/records/CalibRecords.h"
#include "protocol/records/LiveRecord.h"
#include "util/Panel.h"

namespace autocal {

constexpr unsigned kMasterAddress = 247, kMaxRows = 9;
// The window's log list and status line (the command line prints both).
constexpr int kLogList = calwin::kLogList, kStatus = calwin::kStatus;

// The wire as the procedure needs it: single exchanges. The tries, pauses,
// sizes and the answering address are judged by the procedure.
class CalibLink {
public:
    virtual ~CalibLink() = default;
    // One Get of `command` from `address`: the answer frame as it came, empty when none.
    virtual std::vector<uint8_t> get(unsigned address, unsigned command, size_t bufferSize) = 0;
    // One Set to `address` (0: every detector); false when it could not be sent.
    virtual bool set(unsigned address, unsigned command, std::span<const uint8_t> payload) = 0;
    // Drops whatever is waiting on the line.
    virtual void flush() {}
    // A shutter command; the box text when it did not start.
    virtual std::optional<std::string> startCommand(const std::string& line);
    virtual unsigned long long nowMs();
    virtual void sleep(unsigned ms);
};

enum class State { Reference, Calibrated, OutOfTolerance, CalibrationApplied, CalibrationMode, Unchanged };
const char* StateName(State s);  // "reference", "calibrated", "out-of-tolerance", ...

struct RunOptions {
    ParamKind kind = ParamKind::Ir;
    std::vector<unsigned> addresses;  // row 0 the master
    std::vector<uint32_t> serials;    // the slaves', in row order
    unsigned retries = 0;
    std::string ini = "Param.ini";
    std::string resultsPath;  // written whole at the end of every pass
    // The window's manual mode: problems are boxes, no serial burn (the user
    // verifies each slave in the parameter view), no results file, one pass.
    bool manual = false;
};

struct DetectorEnd {
    unsigned address = 0;
    uint32_t serial = 0;
    int code = 0;  // of its last pass
    State state = State::Unchanged;
};

struct RunResult {
    enum class Outcome { Finished, Refused, Aborted } outcome = Outcome::Finished;
    std::string refusal;  // the box text of a refusal
    std::vector<DetectorEnd> rows;
    bool resultsWritten = false;
};

// The rows' check before anything is sent: the box text, or nothing when fine.
std::optional<std::string> CheckRows(const std::vector<unsigned>& addresses);
constexpr const char* kRowsError = "Error: expecting a master (ID 247) in the network and at least one slave...";

// The whole automatic run; boxes go to `panel` (answered by it), log lines to
// DebugLog and the panel's kLogList. The panel's abort ends the run, never
// between a parameter write and its read-back.
RunResult RunAutoCalibration(Panel& panel, CalibLink& link, const RunOptions& options);

class Procedure;

// The same steps one at a time, for the window's manual mode: each a job on
// the link worker, started by its button, so that the line is free between
// them (the verification's parameter view needs it).
class Calibration {
public:
    enum class End { Done, Stopped, Aborted, Refused };
    Calibration(Panel& panel, CalibLink& link, RunOptions options);
    ~Calibration();
    // Polls until every detector answered or failed 3 times, then enables
    // learning's Start and polls on until stopStep() (that Start pressed).
    End background();
    End learn();
    End accumulate();  // Stopped after stopStep(): Start may be pressed again
    End burn();
    // The end broadcast, when accumulation was begun; false when it failed
    // (the detectors may still be in calibration mode).
    bool close();
    // A row's scale record read and shown (a click on its radio button).
    void showScale(size_t row);
    // The window's Start of learning (ends the background poll), its Abort
    // (learning concludes at once) or accumulation's Abort.
    void stopStep();
    // These three may be read from another thread while a step runs; the
    // counts are those at the end of the last step.
    bool accumulationBegun() const;
    // Slaves that responded, and of those the ones not verified yet.
    unsigned respondingSlaves() const;
    unsigned unverifiedSlaves() const;
    // The verified parameter view of a slave ended with OK.
    void verified(size_t row);
    unsigned address(size_t row) const;
    // The opening's settings; the window puts its fields (Duration,
    // Iterations, the bands) here before it starts the step that uses them.
    Settings& settings();

private:
    std::unique_ptr<Procedure> p_;
};

// What the command line and the tool's unattended run share.
enum : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitRefused = 3, kExitUnverified = 4 };
// The rows (cut to 9), the serial list ("," between numbers or scanned labels)
// and the Results folder checked before anything is sent; fills `options`'
// serials and results path. kExitOk, else kExitRefused / kExitUsage with *error.
int PrepareRun(RunOptions& options, const std::string& serials, std::string* error);
// 3 refused; 2 the results file not written; 1 aborted; 0 every slave at 0
// or 10; 4 each at 0, 10, -10, -11 or -12; else 1.
int RunExitCode(const RunResult& result);
// The end's "Warning" box text naming the unfinished detectors with what to
// do; empty when none is.
std::string UnfinishedText(const RunResult& result);

}  // namespace autocal
