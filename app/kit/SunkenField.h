#pragma once
// The read-only value field of the monitoring and calibration windows: a
// sunken panel wide enough for a reading.
#include <QFrame>
#include <QLabel>

inline QLabel* SunkenField(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(70);
    return l;
}
