#pragma once
#include <memory>

#include "app/kit/Dialog.h"
#include "network/SetAddr.h"

// The address dialog: switch to a detector of the list, or give the
// connected one a new address. It only shows and reacts; SetAddr decides.
class CSetAddr : public Dialog {
public:
    CSetAddr(QWidget* parent, SetAddr::SwitchNow switchNow, SetAddr::Options options = {});
    void onCommand(int id) override;
    // During a script the dialog leaves its picture behind when it closes.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<SetAddr> logic_;
};
