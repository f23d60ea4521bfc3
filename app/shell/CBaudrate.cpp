#include "app/shell/CBaudrate.h"

#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "shell/PollClock.h"
#include "shell/StartUp.h"
#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "protocol/Transport.h"

CBaudrate::CBaudrate(BaudSwitch::Options options, QWidget* parent) : Dialog(parent), automatic_(options.automatic) {
    setWindowTitle("Switch Baudrate");
    auto* layout = new QVBoxLayout(this);
    auto* list = add(kList, new QListWidget(this));
    for (unsigned baud : kBaudRates) list->addItem(QString::number(baud));
    layout->addWidget(list);
    auto* button = addButton(kSwitch, "Switch");
    layout->addWidget(button);

    BaudSwitch::Ui ui;
    ui.buttonText = [this](const std::string& t) { setText(kSwitch, t); };
    ui.enableButton = [this](bool on) { enable(kSwitch, on); };
    ui.windowTitle = [this](const std::string& t) { setWindowTitle(q(t)); };
    ui.updateTitles = [this] {
        if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) main->setWindowTitle(q(BaudTitle()));
    };
    ui.message = [this](const std::string& text, const std::string& caption, unsigned icon) {
        MessageBox(text, caption, icon, this);
    };
    ui.waitTimer = [this](bool run) { run ? setTimer(1, 100) : stopTimer(1); };
    ui.closeSoon = [this] { QTimer::singleShot(1500, this, [this] { accept(); }); };
    BaudSwitch::Env env;
    env.sleepMs = [](unsigned ms) { QThread::msleep(ms); };
    env.busy = [](bool on) { PollBusyFlag() = on; };
    env.shiftHeld = [] { return Keys::shift(); };
    env.ctrlHeld = [] { return Keys::ctrl(); };
    switch_ = std::make_unique<BaudSwitch>(ui, env, options);
    list->setCurrentRow(switch_->initialSelection());
    if (switch_->localButton()) setText(kSwitch, "Switch local baudrate only");
}

void CBaudrate::showEvent(QShowEvent* event) {
    Dialog::showEvent(event);
    if (started_) return;
    started_ = true;
    // An automatic window starts once it is on screen.
    if (automatic_) QTimer::singleShot(0, this, [this] { switch_->open(); });
}

void CBaudrate::onCommand(int id) {
    if (id == kSwitch) switch_->run(itemAs<QListWidget>(kList)->currentRow());
}

void CBaudrate::onTimer(int id) {
    if (id == 1) switch_->onTimer();
}

BaudSwitch::Result CBaudrate::SwitchToFastOrBack(QWidget* parent) {
    CBaudrate dialog(SwitchToFastOrBackOptions(Wire().port.baud), parent);
    dialog.exec();
    return dialog.result();
}

BaudSwitch::Result CBaudrate::ReapplyLocalBaud(QWidget* parent) {
    CBaudrate dialog(ReapplyLocalBaudOptions(), parent);
    dialog.exec();
    return dialog.result();
}
