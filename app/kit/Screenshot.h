#pragma once
#include <string>

class QPixmap;
class QWidget;

// Where a window's picture goes. In this order: a settings summary's exact
// path; an unattended run's folder; during a script run "szSaveFolder" of
// "general" in Param.ini (the working folder when empty); else the folder the
// user picks in the save-folder dialog. Below each base folder the picture is
// "<serial>/<name>.png".
struct PictureTarget {
    std::string name;                // file name without ".png"
    unsigned serial = 0;             // the current detector's
    const char* serialFormat = "%05u";
    std::string summaryPath;         // set: save exactly there, no box
    std::string unattendedFolder;    // set: the base folder, no box
    bool showFile = false;           // the saved box names the file rather than its folder
};

struct SavedPicture {
    enum Outcome { Saved, Cancelled, Failed } outcome = Failed;
    std::string folder;  // where it went
};

// Saves `picture` (the window's own when null) as PNG, logs it, and outside
// summaries, scripts and unattended runs tells the user: "Screenshot saved
// to:" or, when the folder or file cannot be written, an "Error" box.
SavedPicture SaveWindowPicture(QWidget* window, const PictureTarget& target, const QPixmap* picture = nullptr);

// A script run's picture of `window` named `name` for the current detector.
bool SaveScriptScreenshot(QWidget* window, const std::string& name);
