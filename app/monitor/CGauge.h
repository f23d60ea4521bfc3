#pragma once
#include <QWidget>

#include "monitor/Gauges.h"

// One dial of the Status page: the scale with its working range, the needle,
// and the value on its coloured field, painted from what monitor/Gauges gives.
class CGauge : public QWidget {
public:
    CGauge(int kind, bool usUnits, QWidget* parent);

    void setValue(double value);
    // Clear while the status poll reports no detector: "---" on red.
    void setPresent(bool present);
    double value() const { return value_; }
    gauge::Reading reading() const { return gauge::Classify(kind_, value_, present_, usUnits_); }

    QSize sizeHint() const override { return {180, 180}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override { return w; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int kind_;
    bool usUnits_;
    gauge::Scale scale_;
    double value_;
    bool present_ = true;
};
