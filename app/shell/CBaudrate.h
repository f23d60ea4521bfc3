#pragma once
#include <memory>

#include "shell/BaudSwitch.h"
#include "app/kit/Dialog.h"

// "Switch Baudrate": the user picks a speed, or a procedure opens it preset
// and it runs by itself.
class CBaudrate : public Dialog {
public:
    static constexpr int kList = 1000, kSwitch = 1001;
    CBaudrate(BaudSwitch::Options options, QWidget* parent = nullptr);

    void onCommand(int id) override;
    void onTimer(int id) override;
    BaudSwitch::Result result() const { return switch_->result(); }

    // To 921600 from 9600, else back to 9600 with retries. Returns the result.
    static BaudSwitch::Result SwitchToFastOrBack(QWidget* parent);
    // The host side alone goes to the other speed (after a firmware update).
    static BaudSwitch::Result ReapplyLocalBaud(QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<BaudSwitch> switch_;
    bool started_ = false;
    bool automatic_ = false;
};
