#pragma once
#include <functional>
#include <memory>
#include <optional>

#include "app/kit/Dialog.h"
#include "calib/AutoCalibration.h"
#include "shell/PollClock.h"

// "Calibration": a master at 247 and up to eight slaves of the address book
// learn the background, accumulate under flame, take the master's
// calibration and are checked and verified. Manual mode: the user drives the
// steps with the buttons, each step a job on the link worker
// (autocal::Calibration). Automatic mode (`automatic` given): the whole run
// (autocal::RunAutoCalibration) starts at once, every box is the answerer's,
// and the window closes itself 1.5 s after the end.
class CCalibrate : public Dialog {
public:
    explicit CCalibrate(QWidget* parent = nullptr, const autocal::RunOptions* automatic = nullptr)
        : CCalibrate(parent, ParamKind::Ir, automatic) {}
    ~CCalibrate() override;

    // The rows' error was shown on opening: the window does not show.
    int exec() override;
    void onCommand(int id) override;
    void done(int result) override;
    // Verification of one row: the master at once, a slave after its serial
    // number checks (a double click on its radio button, Enter in its field).
    void verify(size_t row);
    // No step is running (tests wait for it).
    bool idle() const;
    // The automatic run's end, once it came.
    std::optional<autocal::RunResult> result() const;

protected:
    CCalibrate(QWidget* parent, ParamKind kind, const autocal::RunOptions* automatic);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Run;
    void build();
    void step(int button, autocal::Calibration::End (autocal::Calibration::*fn)(), int next,
              std::function<void(autocal::Settings&)> set = {});
    void showScale(size_t row);
    void showHelp();
    void saveDefaults();
    void release();

    ParamKind kind_;
    std::shared_ptr<Run> run_;
    PollClock::Target ticks_ = 0;
    size_t rows_ = 0;
    bool refused_ = false, released_ = false, confirmed_ = false;
};

// The same window for UV/IR detectors (three quantities, the UV sum column).
class CUVIRCalibration : public CCalibrate {
public:
    explicit CUVIRCalibration(QWidget* parent = nullptr, const autocal::RunOptions* automatic = nullptr)
        : CCalibrate(parent, ParamKind::Uvir, automatic) {}
};

// `Wexcon --auto-calibration ir|uvir --serials LIST [--retries N]`: the window
// in automatic mode, unattended; the command line's output and exit codes.
int RunAutoCalibrationWindow(ParamKind kind, const std::string& serials, unsigned retries);
