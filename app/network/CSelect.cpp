#include "app/network/CSelect.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "network/CSelectIds.h"

using namespace selectpage;

CSelect::CSelect(QWidget* parent, SelectPage::Hooks hooks)
    : Page(parent, kTemplate, "Select"), logic_(std::make_shared<SelectPage>(panel(), std::move(hooks))) {
    auto* grid = new QGridLayout(this);
    auto* combo = add(kAddress, new QComboBox(this));
    combo->setEditable(true);
    for (int a = 1; a <= 247; ++a) combo->addItem(QString::number(a));
    auto* spin = add(kSpin, new QSpinBox(this));
    spin->setRange(1, 247);
    spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    spin->setFixedWidth(22);
    grid->addWidget(new QLabel("Address:", this), 0, 0);
    grid->addWidget(combo, 0, 1);
    grid->addWidget(spin, 0, 2);
    grid->addWidget(add(kSwitchRadio, new QRadioButton("Switch to Detector", this)), 1, 0, 1, 3);
    grid->addWidget(add(kNewRadio, new QRadioButton("New Address for this Detector", this)), 2, 0, 1, 3);
    grid->addWidget(addButton(kAction, "Switch"), 3, 0);
    auto* locate = add(kLocate, new QPushButton(q(SelectPage::locateCaption(false)), this));
    locate->setCheckable(true);
    grid->addWidget(locate, 3, 1, 1, 2);
    grid->addWidget(addButton(kBit, "BIT"), 4, 0);
    grid->setRowStretch(5, 1);
    setChecked(kSwitchRadio, true);

    // The spin control steps the field; the switch waits for the quiet time.
    QObject::connect(spin, &QSpinBox::valueChanged, this, [this, combo](int v) {
        combo->setCurrentText(QString::number(v));
        logic_->onSpinReleased();
    });
    QObject::connect(combo, &QComboBox::currentTextChanged, this, [spin](const QString& t) {
        bool ok = false;
        const int v = t.trimmed().toInt(&ok);
        if (ok && v >= 1 && v <= 247) {
            const QSignalBlocker block(spin);
            spin->setValue(v);
        }
    });
}

void CSelect::refresh() { logic_->refresh(); }

std::string CSelect::helpText(int focusedControl) const {
    if (focusedControl != kLocate) return {};
    return "Just a single detector may be present in the RS485 LAN when searching.\r\n"
           "Polling requests are broadcasted to address '0' and the single detector in the LAN responds, "
           "making its address known.\r\n";
}

void CSelect::onCommand(int id) {
    switch (id) {
        case kAction: logic_->onAction(); break;
        case kSwitchRadio:
        case kNewRadio: logic_->onRadio(id); break;
        case kLocate: logic_->onLocate(isChecked(kLocate)); break;
        case kBit: logic_->onBit(); break;
        default: Page::onCommand(id);
    }
}

void CSelect::onTimer(int id) {
    if (id == kBurningTimer) logic_->onBurningTimer();
    else Page::onTimer(id);
}
