#include "shell/StartUp.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "shell/ShellState.h"
#include "protocol/Dcb.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/Profile.h"

void LoadHostSettings() {
    HostSettings& h = Shell().host;
    h.usUnits = ProfileGetInt(kParamIni, kAppSection, "fUsUnits", 0);
    h.textVariant = ProfileGetInt(kParamIni, kAppSection, "iGood", 1);
    // Only three variants exist; anything else reads as the default one.
    if (h.textVariant < 0 || h.textVariant > 2) h.textVariant = 1;
    h.skinButtons = ProfileGetInt(kParamIni, kAppSection, "fSkinButton", 1) != 0;
    h.simulateTree = ProfileGetInt(kParamIni, kAppSection, "fSimulateTree", 1) != 0;
    h.largeFont = ProfileGetString(kParamIni, "default", "szLargeFont", "Calibri", 31);
    Wire().useCmdTags = ProfileGetInt(kParamIni, kAppSection, "fUseCmdTags", 0) != 0;
}

std::string ProgramName() { return Shell().host.textVariant == 2 ? "Vantor" : "Harrow"; }

std::string BaudTitle() { return ProgramName() + " (Baudrate " + std::to_string(Wire().port.baud) + ")"; }

std::string LibraryVersionText(const char* reported) {
    std::string v = reported ? reported : "";
    if (v.empty()) return "3.1.2";
    return v.substr(0, 15);
}

bool OpenDetectorLink(const std::function<bool()>& settingsDialog) {
    for (;;) {
        Shell().host.usUnits = ProfileGetInt(kParamIni, kAppSection, "fUsUnits", 0);
        const std::string com = ProfileGetString(kParamIni, "DCB", "szCom", "COM0:9600,n,8,1", 259);
        Wire().useCmdTags = ProfileGetInt(kParamIni, kAppSection, "fUseCmdTags", 0) != 0;
        // The form says why the port did not open; a description it cannot read is no such reason.
        Wire().openError.clear();
        if (!ParseDCB(com, &Wire().port)) {
            DebugLog("ParseDCB(%s) failed...", com.c_str());
        } else {
            Shell().host.libraryVersion = LibraryVersionText(modbus_library_version());
            if (OpenModbusContext()) {
                LinkModeWord() = LINK_MODBUS;
                return true;
            }
        }
        if (!settingsDialog()) return false;
    }
}

StartModes ChooseStartModes(bool consoleOption, bool rawDiagnosticOption, const KeyState& keys) {
    StartModes m;
    m.console = consoleOption || keys.shift;
    m.rawDiagnostic = rawDiagnosticOption || (keys.leftShift && keys.rightShift);
    return m;
}

std::string SingleCopyGuard::defaultPath() {
    if (const char* p = std::getenv("WEXCON_LOCK_FILE"); p && *p) return p;
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/wexcon-" + std::to_string(::getuid()) + ".lock";
}

bool SingleCopyGuard::acquire(int tries, unsigned pauseMs, const std::function<void(unsigned)>& wait) {
    for (int i = 0; i < tries; ++i) {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
        release();
        if (i + 1 < tries) {
            if (wait)
                wait(pauseMs);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    }
    return false;
}

void SingleCopyGuard::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}
