#include "app/shell/CBaudrate.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/kit/MessageBox.h"
#include "app/kit/QtPanel.h"
#include "protocol/Transport.h"
#include "shell/CBaudrateIds.h"
#include "shell/Procedure.h"

using namespace baudwin;

CBaudrate::CBaudrate(BaudSwitch::Options options, QWidget* parent) : Dialog(parent) {
    setWindowTitle("Switch Baudrate");
    auto* layout = new QVBoxLayout(this);
    auto* list = add(kList, new QListWidget(this));
    for (unsigned baud : kBaudRates) list->addItem(QString::number(baud));
    layout->addWidget(list);
    layout->addWidget(addButton(kSwitch, "Switch"));
    switch_ = std::make_shared<BaudSwitch>(panel(), options);
    list->setCurrentRow(switch_->initialSelection());
    if (switch_->localButton()) setText(kSwitch, "Switch local baudrate only");
}

void CBaudrate::showEvent(QShowEvent* event) {
    Dialog::showEvent(event);
    if (started_) return;
    started_ = true;
    // An automatic window starts once it is on screen.
    if (switch_->automatic()) RunProcedure(panel(), [sw = switch_](Panel&) { sw->open(); }, false);
}

void CBaudrate::onCommand(int id) {
    if (id != kSwitch) return;
    const int selection = itemAs<QListWidget>(kList)->currentRow();
    RunProcedure(panel(), [sw = switch_, selection](Panel&) { sw->run(selection); }, false);
}

void CBaudrate::onTimer(int id) {
    if (id == kWaitTimer) RunProcedure(panel(), [sw = switch_](Panel&) { sw->onTimer(); }, false);
}

BaudSwitch::Result CBaudrate::SwitchToFastOrBack(QWidget* parent) {
    CBaudrate dialog(SwitchToFastOrBackOptions(LinkBaud()), parent);
    dialog.exec();
    return dialog.result();
}

int CBaudrate::OfferTo57600(const std::string& text, const std::string& caption, const std::string& dontText,
                            QWidget* parent) {
    const int choice = ThreeButtonBox(text, caption, "Continue leaving the baudrate unchanged",
                                      "Increase the baudrate to 57600 and continue", dontText, 2, parent);
    if (choice != 2) return choice;
    BaudSwitch::Options to57600;
    to57600.presetIndex = kBaudIndex57600;
    to57600.automatic = 1;
    CBaudrate(to57600, parent).exec();
    return choice;
}

BaudSwitch::Result CBaudrate::ReapplyLocalBaud(QWidget* parent) {
    CBaudrate dialog(ReapplyLocalBaudOptions(), parent);
    dialog.exec();
    return dialog.result();
}
