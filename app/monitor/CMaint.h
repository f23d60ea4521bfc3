#pragma once
#include <array>
#include <functional>
#include <memory>

#include "app/kit/Dialog.h"
#include "monitor/Maint.h"
#include "shell/PollClock.h"

class QComboBox;

// "Maintenance": five chosen channels of the live record, the detector's
// identity and the manual BIT with its sums. One class for IR and UV/IR
// detectors: the channel names follow the record. It holds the poll clock's
// ticks at 50 ms while open and hands them back when it closes.
class CMaint : public Dialog {
public:
    // `outputSuspended`: the console's "Suspend Output" switch.
    CMaint(QWidget* parent, std::function<bool()> outputSuspended);
    ~CMaint() override;

    void onCommand(int id) override;
    void onTimer(int id) override;
    void done(int result) override;

private:
    void fill(maint::Variant v);
    void release();
    std::shared_ptr<maint::MaintPoll> poll_;
    std::array<QComboBox*, 5> selectors_{};
    PollClock::Target ticks_ = 0;
    bool released_ = false;
};
