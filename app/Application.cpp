#include "app/Application.h"

#include <QApplication>
#include <QProcess>
#include <cstdlib>

#include "shell/ShellState.h"
#include "app/config/C2Passwords.h"
#include "app/config/CReqInput.h"
#include "app/shell/CTesselMain.h"
#include "app/util/CDebugLog.h"
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
    CReqInput::InstallAsPrompt();
    C2Passwords::InstallAsPrompt();
    SingleCopyGuard guard;
    if (!guard.acquire(20, 300, [](unsigned ms) { PumpWait(ms); })) {
        MessageBox("\"Harrow\" failed to exit...", "Restart Failed", MB_ICONEXCLAMATION);
        return 1;
    }
    LoadHostSettings();
    CSettings::SetRestart([] { RestartProgram(); });
    Keys::install();
    const StartModes modes = ChooseStartModes(options.console, options.rawDiagnostic, CurrentKeys());
    const bool showConsole = modes.console;
    // The console exists from here on, so that the start-up's own lines reach
    // its lists and files; it stays hidden unless asked for.
    CDebugLog console;
    console.setWindowFlag(Qt::Window);
    if (showConsole) console.show();

    const bool open = OpenDetectorLink([] {
        CSettings dialog(CSettings::StartUpForm);
        dialog.exec();
        return dialog.confirmed();
    });
    if (!open) return 0;
    CTesselMain::Options o;
    o.rawDiagnostic = modes.rawDiagnostic;
    CTesselMain window(o);
    window.setConsole(&console);
    if (showConsole) window.showConsole();
    window.setWindowTitle(QString::fromStdString(BaudTitle()));
    window.exec();
    Shell().stopLink();
    ResetWire();
    return 0;
}
