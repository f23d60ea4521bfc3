#include "app/kit/Screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "util/Log.h"
#include "util/Profile.h"

bool SaveScriptScreenshot(QWidget* window, const std::string& name) {
    if (!window) return false;
    std::string base = ProfileGetString(kParamIni, "general", "szSaveFolder", "");
    if (base.empty()) base = ".";
    const unsigned serial = Shell().detector.lastSerial;
    char serialFolder[16];
    std::snprintf(serialFolder, sizeof serialFolder, "%05u", serial);
    const QString folder = QString::fromStdString(base) + "/" + serialFolder;
    if (!QDir().mkpath(folder) || !window->grab().save(folder + "/" + QString::fromStdString(name) + ".png", "PNG"))
        return false;
    DebugLog("Screenshot \"%05u\\%s.png\"", serial, name.c_str());
    return true;
}
