#pragma once
// The setup record between the detector and the setup windows: the copies the
// modal dialog and the main window's page share, the read that opens them and
// the burn with its elevation, read-back and file. The read and the burn
// exchange with the detector: they run on the link worker inside a procedure
// (or on the command line's thread) and talk to their window through Panel.
#include <functional>
#include <string>

#include "config/SetupForm.h"
#include "util/Panel.h"

// Written after every answered burn, in the working folder: 72 bytes,
// LockState always 0xFF, so that the file can never unlock a detector.
constexpr const char* kSetupFile = "current_ir4_setup.bin";

// Shared by the modal dialog and the page.
struct SetupState {
    SetupRecord reference;  // as last read from, or verified on, the detector
    SetupRecord working;    // being edited; the controls are read into it before any compare or burn
    uint8_t previousLock = kLockNotSet;  // the working LockState when the controls were last filled
    bool pending420 = false;             // the 4-20 dialog handed back levels not yet burned
    bool loaded = false;                 // a record was read (Apply may be enabled)
    SetupContext context;                // of the last read
};
// A copy, taken under the state's lock.
SetupState SetupNow();
// Changes the state under its lock.
void UpdateSetup(const std::function<void(SetupState&)>& change);
void ResetSetupState();

enum class SetupOpened { NoDetector, FromFile, FileError, NoAnswer, WrongAddress, Read };
// Opening the dialog. With no detector answered since start: disables Apply.
// `fromFile` (Shift held): the working copy from kSetupFile, which must be
// exactly 72 bytes (else an "Error" box and nothing is read), without
// contacting the detector. Otherwise D_SETUP2HOST, three tries while nothing
// answers; a short answer or one whose record address is not its sender's
// leaves the copies as they were, with Apply disabled and the log line (and
// "Invalid setup downloaded - reload..." for the address). On success the
// copies and the context are set, Apply is enabled, and the panel's fill
// timer (setupwin::kFillTimer, 150 ms, once) is started: the window fills its
// controls then from SetupNow().working.
SetupOpened OpenSetup(Panel& panel, bool fromFile, const std::string& iniPath = "Param.ini");

enum class BurnResult {
    NoChanges,         // "No changes made": nothing sent
    Cancelled,         // passwords, the "Not Locked" warning or the ADMIN password: nothing sent
    ElevationProblem,  // the detector answered status 0
    CommProblem,       // any other answer than the record
    Verified,
    Mismatch,          // the read-back differs (firstDifference says where)
    ShortReadback,     // 1..88 bytes came back
    NoReadback,
};
struct BurnOutcome {
    BurnResult result = BurnResult::NoChanges;
    int firstDifference = -1;  // record offset, for Mismatch
};
struct BurnRequest {
    bool resetPasswords = false;   // "Reset Passwords" checked
    bool modal = true;             // the modal dialog (closes through OK after a verified burn)
    std::string iniPath = "Param.ini";  // the VCAST_CORRUPT_SETUP test hook
};
// The burn of SetupNow().working, read from the controls and checked before:
// the "No changes" note, the "Detector Permissions" question
// (Panel::askPasswords), the "Not Locked" warning, ADMIN elevation with its
// own prompt, D_SETUP2DET, the read-back D_SETUP2HOST (no payload), the
// comparison below setupfield::FirstUncompared, and kSetupFile. The
// reference copy and the previous lock state change only on a verified burn.
// "Apply Changes" (control 1) is disabled while it runs and shows
// "Applying Changes...", then "Apply Settings".
BurnOutcome BurnSetup(Panel& panel, const BurnRequest& request);
