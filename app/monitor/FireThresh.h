#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/shell/Pages.h"
#include "monitor/LivePoll.h"
#include "shell/PollClock.h"

// "Fire Thresholds": the live records of the selected detectors, polled in
// turn, with their recording, replay and (IR, extended logging) fail
// reasons, which monitor/LivePoll and monitor/Recorder do. As the main
// window's Recording page it has the ticks while it is shown; as the
// console's dialog (window-table slot 5) while it is open, and hands them
// back to whoever had them when it goes.
class FireThresh : public Page {
public:
    enum class Kind { Ir, Uvir };
    FireThresh(bool dialog, QWidget* parent, Kind kind = Kind::Ir);
    ~FireThresh() override;

    void onCommand(int id) override;
    void onTimer(int id) override;
    // The page is shown (or its detector found again): it takes the ticks.
    void refresh() override;

    LivePoll& poll() { return *poll_; }
    std::shared_ptr<Recorder> recorder() const { return recorder_; }
    // The last step shown; for tests.
    const LiveStep& lastStep() const { return last_; }

protected:
    void showEvent(class QShowEvent* event) override;
    void hideEvent(class QHideEvent* event) override;

private:
    void build();
    std::function<void()> tickJob();
    void takeTicks();
    void giveTicksBack();
    void show(const LiveStep& step);
    void showValues(const LiveRecord& record);
    void startRecording(int modeButton, unsigned periodMs);
    void showRecording();
    void stopRecording();
    void insertComment();
    void setExtended(bool on);
    void recordingFailed(const std::string& file);
    bool selectionEmpty();
    std::shared_ptr<Recorder> freshRecorder();
    LogFamily family() const;

    const bool dialog_;
    const Kind kind_;
    std::shared_ptr<LivePoll> poll_;
    std::shared_ptr<Recorder> recorder_;
    PollClock::Target ticks_ = 0;
    bool ownTimer_ = false;
    LogOptions recorderLog_;  // what the recorder was made with
    int modeButton_ = 0;      // the mode of the running recording
    LiveStep last_;
    std::optional<LogFamily> shownFamily_;
};

// "UV/IR Fire Thresholds": the same poll and recording, without history or
// fail reasons.
class UVIRFireThresh : public FireThresh {
public:
    UVIRFireThresh(bool dialog, QWidget* parent) : FireThresh(dialog, parent, Kind::Uvir) {}
};

// The console's "&Fire Thresholds": the window for the current detector's family.
std::unique_ptr<FireThresh> MakeFireThresh(QWidget* parent);
