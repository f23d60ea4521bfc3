#pragma once
#include <functional>
#include <string>

#include "app/shell/Pages.h"
#include "config/Passwords.h"

// "Device Info": the detector's device-information record, as a modal dialog
// or as the main window's Device Info page. config/DevInfo reads, checks and
// burns; this window shows the record, reads it back and reacts.
class CDevInfo : public Page {
public:
    CDevInfo(bool modal, QWidget* parent);

    void onCommand(int id) override;
    void onTimer(int id) override;
    // The page is shown again: the record is read again.
    void refresh() override;
    std::string helpText(int control) const override;

    // "Burn" and the main window's Enter: acts only while "Burn" is enabled.
    void burn();
    // The page: what follows a verified burn (the main window's first page).
    void setOnVerified(std::function<void()> hook) { onVerified_ = std::move(hook); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void open();
    void burned(bool verified);

    bool modal_;
    bool opened_ = false;
    FieldHint hint_;
    std::function<void()> onVerified_;
};
