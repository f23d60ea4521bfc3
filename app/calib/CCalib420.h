#pragma once
#include <functional>
#include <memory>

#include "app/kit/Dialog.h"
#include "shell/PollClock.h"

// "4-20 Scale Calibration": the current detector's 4-20 mA output fixed at 4
// or 20 mA, the multimeter's readings applied, the trim burned. The session
// (calib/Calib420) runs on the link worker; this window only passes on the
// clicks, its 500 ms timer and the idle time-out's check. It keeps the status
// poll off the line while open.
class CCalib420 : public Dialog {
public:
    // `connected`: the main window's poll has a working link (empty: it has);
    // without one the window opens inert. `nowMs`: the session's clock (tests).
    explicit CCalib420(QWidget* parent = nullptr, std::function<bool()> connected = {},
                       std::function<unsigned long long()> nowMs = {});
    ~CCalib420() override;

    void onCommand(int id) override;
    void onTimer(int id) override;
    // Cancel, the close box and Esc stop a fixed current and ask about the
    // restart first (on the link worker); the window closes after.
    void done(int result) override;
    // The setup record has been read and the session is ready (tests).
    bool ready() const;

private:
    struct Work;
    void post(std::function<void(Work&)> job);
    void release();
    std::shared_ptr<Work> work_;
    PollClock::Target ticks_ = 0;
    bool closing_ = false, released_ = false;
};
