#pragma once
#include <memory>

#include "app/kit/Dialog.h"

class RegisterWindow;

// "Modbus": reads and writes the current detector's standard registers. It
// opens itself: the setup record is read on the link worker first, and
// without it the window deletes itself unseen. Every exchange runs on the
// link worker; the window only shows the controls and the results.
class CModbus : public Dialog {
public:
    explicit CModbus(QWidget* parent = nullptr);

    void onCommand(int id) override;

private:
    // The setup record arrived: the window shows itself.
    void opened();
    void showMap();

    std::shared_ptr<RegisterWindow> logic_;
    bool inputShown_ = false;  // which table the list holds
};
