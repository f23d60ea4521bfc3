#pragma once
#include "app/kit/Dialog.h"
#include "monitor/TrendHistory.h"

// "Zoom about -": a centre time and a range in seconds; accepted once the
// history holds the whole range, which it then shows.
class CGraphZoom : public Dialog {
public:
    CGraphZoom(trend::TrendHistory& history, QWidget* parent = nullptr);
    void onCommand(int id) override;

private:
    trend::TrendHistory& history_;
};
