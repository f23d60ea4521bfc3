#pragma once
#include <memory>

#include "app/kit/Dialog.h"
#include "shell/BaudSwitch.h"

// "Switch Baudrate": the user picks a speed, or a procedure opens it preset
// and it runs by itself. The switch runs on the link worker.
class CBaudrate : public Dialog {
public:
    CBaudrate(BaudSwitch::Options options, QWidget* parent = nullptr);

    void onCommand(int id) override;
    void onTimer(int id) override;
    BaudSwitch::Result result() const { return switch_->result(); }

    // To 921600 from 9600, else back to 9600 with retries. Returns the result.
    static BaudSwitch::Result SwitchToFastOrBack(QWidget* parent);
    // The slow-line question of a long transfer at 9600 baud: 1 keeps the
    // speed, 2 has switched to 57600 (whatever the switch's result), 3 is `dontText`.
    static int OfferTo57600(const std::string& text, const std::string& caption, const std::string& dontText,
                            QWidget* parent);
    // The host side alone goes to the other speed (after a firmware update).
    static BaudSwitch::Result ReapplyLocalBaud(QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::shared_ptr<BaudSwitch> switch_;
    bool started_ = false;
};
