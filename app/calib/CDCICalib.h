#pragma once
#include <functional>
#include <memory>

#include "app/kit/Dialog.h"
#include "calib/DciPoll.h"
#include "shell/PollClock.h"

// "DCI Models: 4.4um vs 4.5um Calibration": the four IR channels of the
// current detector averaged while it looks at an IR simulator, the 4.4 to 4.5
// um factor judged, and an advised amplify44 handed to the IR parameter view
// for its verified write. The window holds the poll clock's ticks while open
// and polls on a 100 ms timer of its own (calib/DciPoll on the link worker).
class CDCICalib : public Dialog {
public:
    // `nowMs`: the clock of the averaging (tests); empty: the tick count.
    explicit CDCICalib(QWidget* parent = nullptr, std::function<unsigned long long()> nowMs = {});
    ~CDCICalib() override;

    // An address out of 1..247 was told on opening: the window does not show.
    int exec() override;
    void onCommand(int id) override;
    void onTimer(int id) override;
    void done(int result) override;
    // The hidden result state also colours the value fields.
    void setText(int id, const std::string& text) override;

private:
    void release();
    std::shared_ptr<dci::Poll> poll_;
    PollClock::Target ticks_ = 0;
    unsigned long long lastEdit_ = 0;
    bool refused_ = false, released_ = false;
};
