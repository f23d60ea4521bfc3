// LaunchWexcon: run by an installation at its end to offer starting Wexcon.
// It shows no window of its own, reads no settings and writes no files.
#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "launcher/Launcher.h"
#include "util/Version.h"

int main(int argc, char** argv) {
    // Any other argument is ignored, as an installer may pass its own.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << "Usage: LaunchWexcon\n"
                         "Asks whether to start Wexcon now and, on OK, starts the Wexcon of the working\n"
                         "folder, or else the one on the search path (which then works in the user's\n"
                         "folder, as from the menu). Always exits with 0.\n"
                         "\n"
                         "  --help       print this help and exit\n"
                         "  --version    print the version and exit\n";
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "LaunchWexcon " << WexconVersion() << "\n";
            return 0;
        }
    }
    // As when its window cannot be made: it ends at once, asking nothing.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        std::cerr << "LaunchWexcon: no display\n";
        return 0;
    }
    QApplication app(argc, argv);
    return RunLauncher(QDir::currentPath().toStdString());
}
