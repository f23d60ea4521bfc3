#pragma once
#include <array>

#include "app/shell/Pages.h"
#include "shell/StatusPoll.h"

class CGauge;

// The Status page: input voltage, internal temperature and analog output on
// three dials, the mode field, and the manual BIT of the Select page.
class CStatus : public Page {
public:
    explicit CStatus(QWidget* parent);

    // What one tick of the main window's status poll found.
    void showOutcome(const PollOutcome& o);
    std::string helpText(int focusedControl) const override;
    void onCommand(int id) override;

    CGauge* gaugeOf(int kind) const { return gauges_[static_cast<size_t>(kind)]; }

private:
    std::array<CGauge*, 3> gauges_{};
};
