#pragma once
#include <memory>
#include <optional>
#include <string>

#include "app/kit/Dialog.h"
#include "config/ScreenshotRun.h"

// The windows' side of the screenshot run: each detector's status as the main
// window's poll reads it (model, channel set, type byte), then its parameter
// view, which saves its picture and copies unattended and is closed.
class ParamViewShooter : public ScreenshotShooter {
public:
    ParamViewShooter();
    std::optional<DetectorShot> shoot(unsigned address, const std::string& folder) override;

private:
    std::unique_ptr<Dialog> pollWindow_;  // the status poll's panel; never shown
};

// `Wexcon --screenshot-run DIR`: the link from Param.ini, the address book's
// selection, the run, one line per detector on standard output. No message
// box is shown: one that would be goes to standard error. Returns the exit code.
int RunScreenshotRun(const std::string& folder);
