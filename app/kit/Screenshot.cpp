#include "app/kit/Screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "util/Log.h"
#include "util/Profile.h"

bool SaveScriptScreenshot(QWidget* window, const std::string& name) {
    if (!window) return false;
    QString base = QString::fromStdString(ProfileGetString(kParamIni, "general", "szSaveFolder", ""));
    if (base.isEmpty()) base = ".";
    const unsigned serial = Shell().detector.lastSerial;
    const QString folder = base + QString::asprintf("/%05u", serial);
    if (!QDir().mkpath(folder) || !window->grab().save(folder + "/" + QString::fromStdString(name) + ".png", "PNG"))
        return false;
    DebugLog("Screenshot \"%05u\\%s.png\"", serial, name.c_str());
    return true;
}
