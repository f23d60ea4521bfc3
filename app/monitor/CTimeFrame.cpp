#include "app/monitor/CTimeFrame.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "monitor/CGraphIds.h"

using namespace graphwin;

CTimeFrame::CTimeFrame(const trend::Settings& current, QWidget* parent) : Dialog(parent), current_(current) {
    setWindowTitle("Time Frame Settings");
    auto* form = new QFormLayout(this);
    auto row = [&](const char* label, int valueId, int unitsId, QStringList units, int value, int unit) {
        auto* line = new QHBoxLayout;
        auto* edit = add(valueId, new QLineEdit(QString::number(value), this));
        auto* combo = add(unitsId, new QComboBox(this));
        combo->addItems(units);
        combo->setCurrentIndex(unit);
        line->addWidget(edit);
        line->addWidget(combo);
        form->addRow(label, line);
    };
    row("Duration:", kDuration, kDurationUnits, {"Minutes", "Hours", "Days"}, current.duration, current.durationUnits);
    row("Sampling period:", kFreq, kFreqUnits, {"Seconds", "Minutes"}, current.freq, current.freqUnits);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton(kReset, "Reset"));
    QPushButton* cancel = addButton(2, "Cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    form->addRow(buttons);
}

trend::Settings CTimeFrame::settings() const {
    // Anything but a number is 0, which the rules refuse.
    auto number = [this](int id) {
        bool ok = false;
        const int v = q(text(id)).trimmed().toInt(&ok);
        return ok ? v : 0;
    };
    return {number(kDuration), itemAs<QComboBox>(kDurationUnits)->currentIndex(), number(kFreq),
            itemAs<QComboBox>(kFreqUnits)->currentIndex()};
}

void CTimeFrame::onCommand(int id) {
    if (id != kReset) return Dialog::onCommand(id);
    int focus = 0;
    switch (trend::ResetTimeFrame(*panel(), current_, settings(), &focus)) {
        case trend::TimeFrameStep::Stay:
            if (auto* edit = itemAs<QLineEdit>(focus)) {
                edit->setFocus();
                edit->selectAll();
            }
            break;
        case trend::TimeFrameStep::Keep: reject(); break;
        case trend::TimeFrameStep::Apply: accept(); break;
    }
}
