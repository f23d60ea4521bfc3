#pragma once
// The Miscellaneous page's operations: make the detector hang, reset it,
// apply a patch (Parameters Update) and collect its records into a summary
// folder (Parameters Download). Each exchanges with the detector, so it runs
// on the link worker inside a procedure (or on the command line's thread) and
// talks to its window through Panel.
#include <cstdint>
#include <functional>
#include <string>

#include "util/Panel.h"

// The elevation in front of a sensitive command, on a detector whose last
// status said it is locked.
struct ElevationStep {
    std::string title, prompt;
    bool chooseLevel = false;  // the "Maint" / "Admin" choice is offered
    int level = 2;             // without the choice: 1 MAINT, 2 ADMIN
};
// True at once when not `locked`; else asks until D_ELEVATE grants the
// level or the user cancels ("Current MAINT/ADMIN Password not entered...").
bool RunElevationStep(Panel& panel, bool locked, const ElevationStep& step);

// The two D_MISC_CONTROL commands of the page.
enum class MiscCommand : uint8_t { Hang = 1, Reset = 2 };
struct MiscOutcome {
    bool elevated = false;  // false: nothing was sent
    int result = 0;         // ModbusGet's count
    int status = -1;        // byte 15 of an 18-byte answer
    bool acknowledged() const { return result == 18 && status == 1; }
};
// `step`: MiscStep(command) with the level the caller allows.
ElevationStep MiscStep(MiscCommand command, bool chooseLevel, int level = 1);
MiscOutcome RunMiscCommand(Panel& panel, bool locked, MiscCommand command, const ElevationStep& step);

enum class UpdateResult {
    NotElevated,   // nothing sent
    ReadFailed,    // the current record did not come: nothing sent
    NoFile,        // the choice was cancelled: nothing sent
    FileRefused,   // size or CRC: nothing sent
    SendFailed,
    ReadBackFailed,
    Differs,
    Updated,
};
// Parameters Update: ADMIN elevation, the current record, the patch chosen
// by `choosePatch` (empty: cancelled) checked against the record's kind,
// applied, sent, read back and compared. Every message goes to `panel`.
UpdateResult UpdateParameters(Panel& panel, bool locked, const std::function<std::string()>& choosePatch);

// Parameters Download: the parameter, setup and device-information records,
// all three read before any file is written, into
// `base`/Summary/<serial>/param.bin, setup.bin, DevInfo.bin. The folder
// (empty on failure) is returned; a failure shows its message and leaves the
// files as they were.
std::string DownloadSummary(Panel& panel, const std::string& base);
