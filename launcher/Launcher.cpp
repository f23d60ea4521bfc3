#include "launcher/Launcher.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "app/kit/MessageBox.h"

namespace {

// Empty when started, else why not.
std::string StartWexcon(const QString& folder) {
    QProcess process;
    const QFileInfo local(QDir(folder).filePath("Wexcon"));
    if (local.isFile() && local.isExecutable()) {
        process.setProgram(local.absoluteFilePath());
    } else {
        const QString installed = QStandardPaths::findExecutable("Wexcon");
        if (installed.isEmpty()) return "there is no Wexcon in " + folder.toStdString() + " nor on the search path";
        // An installed copy keeps its files in the user's folder, not in
        // whatever folder the installer happened to run in.
        process.setProgram(installed);
        process.setArguments({"--user-folder"});
    }
    process.setWorkingDirectory(folder);
    if (!process.startDetached()) return process.program().toStdString() + ": " + process.errorString().toStdString();
    return {};
}

}  // namespace

int RunLauncher(const std::string& folder) {
    if (MessageBox("Click 'Ok' to Launch 'Wexcon'\r\nOtherwise - click 'Cancel'", "Installation Concluded",
                   MB_OKCANCEL | MB_ICONINFORMATION | MB_TOPMOST) != IDOK)
        return 0;
    const std::string error = StartWexcon(QString::fromStdString(folder));
    if (!error.empty()) MessageBox("Wexcon could not be started: " + error, "LaunchWexcon", MB_OK | MB_ICONERROR);
    return 0;
}
