// Wexcon: the service tool for detector networks.
#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "app/Application.h"
#include "app/calib/CCalibrate.h"
#include "app/config/ParamViewShooter.h"
#include "app/kit/MessageBox.h"
#include "util/UserFolder.h"
#include "util/Version.h"

namespace {

const char kUsage[] =
    "Usage: Wexcon [--console] [--raw-diagnostic] [--user-folder] [--screenshot-run DIR]\n"
    "              [--auto-calibration ir|uvir --serials LIST [--retries N]]\n"
    "The service tool for RS-485 networks of flame detectors. It keeps Param.ini,\n"
    "its logs and its results in the working folder.\n"
    "\n"
    "  --console          open the log console at start (as holding Shift)\n"
    "  --raw-diagnostic   start the raw port diagnostic (as holding both Shift keys)\n"
    "  --user-folder      work in $XDG_DATA_HOME/wexcon (by default\n"
    "                     ~/.local/share/wexcon), made on first start; the menu\n"
    "                     entry uses this\n"
    "  --screenshot-run DIR\n"
    "                     unattended: for each selected detector of the address\n"
    "                     book (else the current address) save the parameter\n"
    "                     view's picture and copies in DIR/SERIAL/ and check the\n"
    "                     record against its type's master in Masters/ (results\n"
    "                     in ScreenshotOutput.ini); exit 0 when all passed, else 1.\n"
    "                     No message boxes; without a display it runs offscreen\n"
    "  --auto-calibration ir|uvir --serials LIST [--retries N]\n"
    "                     unattended: the calibration window in automatic mode\n"
    "                     for the master (247) and slaves of the address book;\n"
    "                     LIST the slaves' serial numbers (or scanned labels) in\n"
    "                     row order; boxes go to standard error answered OK; per\n"
    "                     row ADDR, SERIAL, CODE, STATE and the results file on\n"
    "                     standard output; exit 0 all calibrated, 4 some out of\n"
    "                     tolerance or not read back equal, 1 otherwise, 2 bad\n"
    "                     command line, port or Results folder, 3 refused\n"
    "  --help             print this help and exit\n"
    "  --version          print the version and exit\n"
    "\n"
    "Qt's own options (-platform NAME, -display DISPLAY...) are taken as well.\n";

}  // namespace

int main(int argc, char** argv) {
    // Before any window exists, so that both work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << kUsage;
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "Wexcon " << WexconVersion() << "\n";
            return 0;
        }
    }
    // The screenshot run is unattended, also where no display is: the windows
    // it opens need no screen to draw their pictures.
    for (int i = 1; i < argc; ++i)
        if ((std::strcmp(argv[i], "--screenshot-run") == 0 || std::strcmp(argv[i], "--auto-calibration") == 0) &&
            !std::getenv("QT_QPA_PLATFORM") &&
            !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    StartOptions options;
    bool userFolder = false;
    std::string screenshotRun, autoKind, serials;
    long retries = 0;
    bool retriesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc && *argv[i + 1];
        if (std::strcmp(argv[i], "--screenshot-run") == 0 && value) {
            screenshotRun = argv[++i];
        } else if (std::strcmp(argv[i], "--auto-calibration") == 0 && value &&
                   (std::strcmp(argv[i + 1], "ir") == 0 || std::strcmp(argv[i + 1], "uvir") == 0)) {
            autoKind = argv[++i];
        } else if (std::strcmp(argv[i], "--serials") == 0 && value) {
            serials = argv[++i];
        } else if (std::strcmp(argv[i], "--retries") == 0 && value) {
            char* end = nullptr;
            retriesGiven = true;
            retries = std::strtol(argv[++i], &end, 10);
            if (*end || retries < 0 || retries > 100) {
                std::cerr << kUsage;
                return 2;
            }
        } else if (std::strcmp(argv[i], "--console") == 0) {
            options.console = true;
        } else if (std::strcmp(argv[i], "--raw-diagnostic") == 0) {
            options.rawDiagnostic = true;
        } else if (std::strcmp(argv[i], "--user-folder") == 0) {
            userFolder = true;
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    std::string error;
    if (userFolder && !EnterUserFolder(&error)) {
        // Started from the menu nobody reads standard error.
        MessageBox("The working folder could not be made: " + error, "Error", MB_OK | MB_ICONERROR);
        return 1;
    }
    if (!screenshotRun.empty()) return RunScreenshotRun(screenshotRun);
    if (autoKind.empty() != serials.empty() || (autoKind.empty() && retriesGiven)) {
        std::cerr << kUsage;
        return 2;
    }
    if (!autoKind.empty())
        return RunAutoCalibrationWindow(autoKind == "ir" ? ParamKind::Ir : ParamKind::Uvir, serials,
                                        static_cast<unsigned>(retries));
    return RunWexcon(options);
}
