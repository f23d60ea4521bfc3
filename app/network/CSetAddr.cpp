#include "app/network/CSetAddr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/kit/Screenshot.h"
#include "app/kit/WindowTable.h"
#include "network/CSetAddrIds.h"
#include "shell/ShellState.h"

using namespace setaddr;

CSetAddr::CSetAddr(QWidget* parent, SetAddr::SwitchNow switchNow, SetAddr::Options options)
    : Dialog(parent, kTemplate) {
    setWindowTitle("Address");
    options.windowId = static_cast<unsigned>(reinterpret_cast<uintptr_t>(this));
    SetWindowSlot(kWindowSlot, this);
    logic_ = std::make_shared<SetAddr>(panel(), std::move(switchNow), options);
    auto* grid = new QGridLayout(this);
    grid->addWidget(add(kHeader, new QLabel(this)), 0, 0, 1, 2);
    auto* combo = add(kCombo, new QComboBox(this));
    combo->setEditable(true);
    combo->setMinimumWidth(320);
    combo->installEventFilter(this);
    if (combo->lineEdit()) combo->lineEdit()->installEventFilter(this);
    grid->addWidget(combo, 1, 0, 1, 2);
    grid->addWidget(add(kSwitchRadio, new QRadioButton("Switch to Detector", this)), 2, 0);
    grid->addWidget(add(kNewRadio, new QRadioButton("New Address for this Detector", this)), 3, 0);
    grid->addWidget(addButton(kAction, "Switch"), 2, 1, 2, 1);
    grid->addWidget(add(kNamedOnly, new QCheckBox("Show named detectors only", this)), 4, 0, 1, 2);
    logic_->open();
    if (QWidget* box = item(kNamedOnly); box && text(kHeader) == "Address") box->hide();
    item(kAction)->setFocus();
}

void CSetAddr::onCommand(int id) {
    switch (id) {
        case kAction: logic_->onAction(); break;
        case kSwitchRadio:
        case kNewRadio: logic_->onRadio(id); break;
        case kNamedOnly: logic_->onNamedOnly(isChecked(kNamedOnly)); break;
        default: Dialog::onCommand(id);
    }
}

void CSetAddr::done(int result) {
    if (result == IDOK && Shell().scriptRunning) SaveScriptScreenshot(this, "address");
    Dialog::done(result);
}

bool CSetAddr::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) logic_->onComboFocus();
    return Dialog::eventFilter(watched, event);
}
