#pragma once
#include <functional>
#include <string>

#include "app/shell/Pages.h"
#include "config/MiscOps.h"

// "Misc" (template 253): the 4-20 calibration, MODBUS and firmware windows,
// make the detector hang, reset it, Parameters Update and Parameters
// Download. The operations run on the link worker (config/MiscOps).
class CMisc : public Page {
public:
    using SavePicture = std::function<bool(const std::string& pngPath)>;
    // `saveVersionPicture`: the version page pictured to exactly that path
    // (the summary's Version.png); `locked`: the last status said Locked.
    CMisc(QWidget* parent, SavePicture saveVersionPicture, std::function<bool()> locked = {});

    void onCommand(int id) override;
    std::string helpText(int focusedControl) const override;

private:
    bool locked() const { return locked_ && locked_(); }
    void busy(bool on);

    SavePicture savePicture_;
    std::function<bool()> locked_;
};
