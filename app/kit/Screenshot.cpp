#include "app/kit/Screenshot.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>

#include "app/kit/MessageBox.h"
#include "app/util/CSaveFolder.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "util/Log.h"
#include "util/Profile.h"

namespace {

bool savePng(const QPixmap& picture, const std::string& path) {
    QSaveFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit();
}

// The base folder, empty when the user cancelled.
std::string baseFolder(const PictureTarget& t, bool script, QWidget* window) {
    if (!t.unattendedFolder.empty()) return t.unattendedFolder;
    if (script) {
        const std::string base = ProfileGetString(kParamIni, "general", "szSaveFolder", "");
        return base.empty() ? "." : base;
    }
    return CSaveFolder::Ask(window).value_or("");
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

SavedPicture SaveWindowPicture(QWidget* window, const PictureTarget& t, const QPixmap* given) {
    SavedPicture result;
    if (!window && !given) return result;
    const QPixmap picture = given ? *given : window->grab();
    if (!t.summaryPath.empty()) {
        WaitCursor wait;
        if (!savePng(picture, t.summaryPath)) {
            DebugLog("Screenshot \"%s\" not saved", t.summaryPath.c_str());
            return result;
        }
        DebugLog("Screenshot \"%s\"", t.summaryPath.c_str());
        result.outcome = SavedPicture::Saved;
        result.folder = QFileInfo(QString::fromStdString(t.summaryPath)).path().toStdString();
        return result;
    }
    const bool script = Shell().scriptRunning, quiet = script || !t.unattendedFolder.empty();
    const std::string base = baseFolder(t, script, window);
    if (base.empty()) {
        result.outcome = SavedPicture::Cancelled;
        return result;
    }
    char serial[16];
    std::snprintf(serial, sizeof serial, t.serialFormat, t.serial);
    const std::string folder = base + "/" + serial, file = folder + "/" + t.name + ".png";
    bool saved = false;
    {
        WaitCursor wait;
        saved = QDir().mkpath(QString::fromStdString(folder)) && savePng(picture, file);
    }
    if (!saved) {
        DebugLog("Screenshot \"%s\\%s.png\" not saved", serial, t.name.c_str());
        if (!quiet) MessageBox("Cannot write \"" + file + "\"", "Error", MB_OK | MB_ICONEXCLAMATION, window);
        return result;
    }
    DebugLog("Screenshot \"%s\\%s.png\"", serial, t.name.c_str());
    if (!quiet) MessageBox(t.showFile ? file : folder, "Screenshot saved to:", MB_OK | MB_ICONINFORMATION, window);
    result.outcome = SavedPicture::Saved;
    result.folder = folder;
    return result;
}

bool SaveScriptScreenshot(QWidget* window, const std::string& name) {
    PictureTarget t;
    t.name = name;
    t.serial = Shell().detector.lastSerial;
    return SaveWindowPicture(window, t).outcome == SavedPicture::Saved;
}
