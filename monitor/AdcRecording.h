#pragma once
// The start and stop procedures of the two ADC recordings, without their
// windows: the streamed one (D_RECORD_RAW_ADC over the raw link at 921600
// baud, handled by StreamRecorder) and the pulled 100 Hz one
// (D_RECORD_100HZ_ADC at 57600 baud, one block a tick). start(), tick() and
// stop() run on the link worker; texts go to the panel's status line.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "monitor/CInfoIds.h"
#include "monitor/RecordingFiles.h"
#include "monitor/StreamRecorder.h"
#include "util/Panel.h"

struct AdcHooks {
    // Takes the detector and the link to `baud`; false when it did not work.
    // The window runs its automatic baud window, the command line a switch
    // proved by a status answer (SwitchBaudProved).
    std::function<bool(unsigned baud)> switchBaud;
    std::function<void(unsigned ms)> sleepMs;  // empty: PumpWait
    std::function<unsigned long long()> nowMs; // empty: TickMs
    // True once the user wants the recording ended (the command line's
    // signals): the start gives up between its looks. Empty: never.
    std::function<bool()> stopping;
};

// The detector and the link to `baud` (D_SWITCH_BAUD, then the link
// reopened), proved by a live data answer; otherwise both back at the speed
// they had. For callers without a status poll.
bool SwitchBaudProved(unsigned baud);

// The opening read: who answers at the current address (a live data
// record, up to 3 attempts 100 ms apart).
std::optional<RecordedDetector> ReadRecordedDetector();

// The window's opening reads, for display: the parameter record (IR models
// only), the setup record and the live data record, each up to 3 attempts.
struct RecordingOpening {
    std::optional<RecordedDetector> who;
    bool params = false, setup = false;
};
RecordingOpening ReadRecordingOpening(bool uvir);
// "Address 7, S/N 21030007, MODEL" and what was read, for the window's detector line.
std::string OpeningText(const RecordingOpening& opening, bool uvir);
// The dialog's own name, which scripts find it by: "Make 2.3KHz IR4 ADC
// Recording" (streamed) or "Make 100Hz UVIR ADC Recording" (pulled).
std::string RecordingDialogName(bool pulled, bool uvir);

// The outside programs the windows start, from the working folder, with the
// file as one argument and no shell: the converter ("./Rawconv", or
// "./Rawconv_LB" for UV/IR models; its command line goes to DebugLog) and the
// plot program ("./Graph" on the converter's FILE.txt).
struct OutsideProgram {
    std::string program;
    std::vector<std::string> args;
};
OutsideProgram ConverterProgram(const std::string& samplePath, bool uvir);
OutsideProgram PlotProgram(const std::string& samplePath);
// Both refuse while recording ("Error").
inline const char* kRecordingOngoing = "Recording is ongoing...";

// "Make streaming 2.3KHz ADC Recording at 921600 baud" and the pulled
// window's title.
std::string StreamTitle(unsigned rate);
inline const char* PullTitle() { return "Make pulling 100Hz ADC Recording at 57600 baud"; }

class AdcRecording {
public:
    AdcRecording(std::shared_ptr<Panel> panel, RecordingOptions files, AdcHooks hooks);
    virtual ~AdcRecording() = default;

    // Creates the sample file; false (the "Error" box shown) when it cannot.
    // start() does it when it was not done before.
    bool createFile();
    void setDetector(const RecordedDetector& who) { files_.setDetector(who); }

    // Creates the sample file before anything is sent, then raises the line
    // and starts the detector. False (the reason shown) when it did not
    // start; stop() is still due: it sends the stop when a start went out.
    virtual bool start() = 0;
    // One timer tick; false once the recording must stop (the reason shown).
    // A tick while another runs returns at once.
    virtual bool tick() = 0;
    // Writes what is whole, closes the files and stops the detector (the
    // stop goes out even when a write failed). True when every write reached
    // the disk and the detector confirmed the stop or none was needed.
    virtual bool stop() = 0;

    bool active() const { return active_; }
    bool startSent() const { return startSent_; }
    const RecordingFiles& files() const { return files_; }
    // When the stream began (the hooks' clock), 0 before.
    unsigned long long startedMs() const { return startedMs_; }

protected:
    void show(const std::string& text);
    void error(const std::string& text);
    void sleep(unsigned ms);
    unsigned long long now();
    bool stopping() const { return hooks_.stopping && hooks_.stopping(); }
    // Up to `tries` stop requests of `command`; the texts as both windows show them.
    bool stopTries(unsigned command, int tries, unsigned waitBeforeMs);
    // The detector streams: the log opened and the clock started; false (the
    // "Error" box shown) when the log could not be written.
    bool begin();
    // Closes both files; false (the "Error" box shown) when the log's end did not reach the disk.
    bool finish();

    std::shared_ptr<Panel> panel_;
    RecordingFiles files_;
    AdcHooks hooks_;
    std::atomic<bool> active_{false};  // read by the window
    bool startSent_ = false;
    unsigned long long startedMs_ = 0;
    std::atomic<bool> ticking_{false};
};

class StreamRecording : public AdcRecording {
public:
    // rate 1: 2300 Hz, 2: 100 Hz.
    StreamRecording(std::shared_ptr<Panel> panel, RecordingOptions files, unsigned rate, AdcHooks hooks = {});
    bool start() override;
    bool tick() override;
    bool stop() override;
    const StreamCounts& counts() const { return recorder_.counts(); }
    // The source the handler reads; the raw driver's ring unless a test sets one.
    void setSource(std::unique_ptr<ByteSource> source) { source_ = std::move(source); }

private:
    unsigned rate_;
    StreamRecorder recorder_;
    std::unique_ptr<ByteSource> source_;
    bool rawOn_ = false;
    bool failed_ = false;
};

class PullRecording : public AdcRecording {
public:
    PullRecording(std::shared_ptr<Panel> panel, RecordingOptions files, AdcHooks hooks = {});
    bool start() override;
    bool tick() override;
    bool stop() override;
    // Answers that were not a block (a timeout or an empty queue).
    uint64_t misses() const { return misses_; }

private:
    bool pull();
    uint64_t misses_ = 0;
};
