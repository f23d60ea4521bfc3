#include "app/Application.h"

#include <QApplication>
#include <QProcess>
#include <cstdlib>

#include "shell/HostSettings.h"
#include "app/shell/CTesselMain.h"
#include "app/shell/CSettings.h"
#include "shell/StartUp.h"
#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "app/kit/QtPump.h"
#include "link/CommDriver.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

void RestartProgram() {
    CloseModbusContext();
    ResetWire();
    ResetCommDriver();
    logs::closeFiles();
    QProcess::startDetached(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    // Straight out: the windows, and the poll clock's thread with them, are
    // still up, and running their destructors from here would stop on them.
    std::_Exit(1);
}

int RunWexcon(const StartOptions& options) {
    InstallQtPumpWait();
    SingleCopyGuard guard;
    if (!guard.acquire(20, 300, [](unsigned ms) { PumpWait(ms); })) {
        MessageBox("\"Harrow\" failed to exit...", "Restart Failed", MB_ICONEXCLAMATION);
        return 1;
    }
    LoadHostSettings();
    CSettings::SetRestart([] { RestartProgram(); });
    // The keys held at start-up, or their command-line stand-ins.
    if (options.console || options.rawDiagnostic)
        Keys::set(KeyState{true, options.rawDiagnostic, false, false});
    const bool rawDiagnostic = Keys::leftShift() && Keys::rightShift();

    const bool open = OpenDetectorLink([] {
        CSettings dialog(CSettings::StartUpForm);
        dialog.exec();
        return dialog.confirmed();
    });
    if (!open) {
        Keys::set(std::nullopt);
        return 0;
    }
    CTesselMain::Options o;
    o.rawDiagnostic = rawDiagnostic;
    CTesselMain window(o);
    window.setWindowTitle(QString::fromStdString(BaudTitle()));
    Keys::set(std::nullopt);
    window.exec();
    ResetWire();
    return 0;
}
