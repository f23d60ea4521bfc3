#pragma once
#include "app/kit/Dialog.h"
#include "monitor/TrendHistory.h"

// "Time Frame Settings": the trend's duration and sampling period. Accepted
// only after the rules and the warning that the history will be lost.
class CTimeFrame : public Dialog {
public:
    CTimeFrame(const trend::Settings& current, QWidget* parent = nullptr);
    trend::Settings settings() const;
    void onCommand(int id) override;

private:
    trend::Settings current_;
};
