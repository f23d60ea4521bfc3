#pragma once
#include <string>

#include "app/shell/Pages.h"

// The version page: the detector's firmware text beside the program's own.
// The main window's "Version" page, and a window of its own when the console
// opens it ("Show Version"), which the script finds in its slot.
class CVersionInfo : public Page {
public:
    static constexpr int kDetectorText = 1000, kHostText = 1001;
    static constexpr int kPictureTimer = 10201, kRepaintTimer = 10101;

    explicit CVersionInfo(QWidget* parent, bool fromConsole = false);
    ~CVersionInfo() override;

    void refresh() override;
    // Refreshes, then saves the page's picture to exactly `pngPath`, without a box.
    bool refreshAndSave(const std::string& pngPath);
    // The page's picture "version" for the current detector (the shared picture routine).
    bool savePicture();

    void onTimer(int id) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showTexts(const std::string& detector);

    bool fromConsole_;
};
