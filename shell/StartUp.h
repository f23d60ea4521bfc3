#pragma once
#include <functional>
#include <string>

#include "util/Keyboard.h"

// The settings file of the tool, in its working folder.
constexpr const char* kParamIni = "Param.ini";
constexpr const char* kAppSection = "VantorD";

// Reads the general keys into Shell().host and the command-tag switch into the wire.
void LoadHostSettings();

// "%s (Baudrate %u)" with the variant's program name.
std::string ProgramName();
std::string BaudTitle();

// The library's version text as the tool shows it: at most 15 characters,
// "3.1.2" when the library reports none.
std::string LibraryVersionText(const char* reported);

// Opens the detector link from Param.ini, looping through the Host Settings
// dialog (`settingsDialog` returns false for Exit) until a port opens. Returns
// false when the user chose Exit.
bool OpenDetectorLink(const std::function<bool()>& settingsDialog);

// What the keys held at start-up (or their command-line stand-ins) ask for:
// Shift shows the console; the raw port diagnostic, which stops all polling,
// wants both Shift keys told apart, or its option.
struct StartModes {
    bool console = false;
    bool rawDiagnostic = false;
};
StartModes ChooseStartModes(bool consoleOption, bool rawDiagnosticOption, const KeyState& keys);

// Only one copy of the tool may drive the line. A lock file held for the life
// of the process; a second copy tries 20 times, 300 ms apart, giving up its
// own attempt between tries so that a restarting copy can take it.
class SingleCopyGuard {
public:
    // The lock file: $WEXCON_LOCK_FILE, else one per user in the temporary folder.
    static std::string defaultPath();
    explicit SingleCopyGuard(std::string path = defaultPath()) : path_(std::move(path)) {}
    ~SingleCopyGuard() { release(); }
    SingleCopyGuard(const SingleCopyGuard&) = delete;
    SingleCopyGuard& operator=(const SingleCopyGuard&) = delete;

    // `wait` is the pause between tries (the interface's pumping wait).
    bool acquire(int tries = 20, unsigned pauseMs = 300, const std::function<void(unsigned)>& wait = {});
    void release();
    bool held() const { return fd_ >= 0; }

private:
    std::string path_;
    int fd_ = -1;
};
