#include "config/SetupSession.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>

#include "config/SetupIds.h"
#include "protocol/Elevation.h"
#include "protocol/LinkBackend.h"
#include "protocol/Transport.h"
#include "protocol/records/ResponseHeader.h"
#include "shell/Catalogue.h"
#include "util/Log.h"
#include "util/Profile.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

std::mutex g_mutex;
SetupState g_state;

using Answer = std::array<uint8_t, kSetupAnswerSize>;
constexpr unsigned kAnswerSize = kSetupAnswerSize;
// A refused burn: the header, the status byte and the CRC.
constexpr int kStatusAnswerSize = static_cast<int>(kFrameOverhead) + 1;
constexpr unsigned kErrorBox = MB_OK | MB_ICONEXCLAMATION;
constexpr int kAdminLevel = 2;

constexpr const char* kNotLockedWarning =
    "The detector has been set as \"Not Locked\".\r\nBIT, Burn and Update functionality may become "
    "unavailable if some unauthorized user later sets the detector as \"Locked\"...";

void logShort(const char* command, int got) {
    DebugLog("ModbusGet(%s) returned %d bytes instead of %u", command, got, kAnswerSize);
}

int readSetup(Answer& answer, unsigned waitMs) {
    return ModbusGet(0, D_SETUP2HOST, Wire().ctx, answer.data(), kAnswerSize, waitMs, 500);
}

SetupOpened openFile(Panel& panel, const std::string& iniPath) {
    const auto bytes = ReadWholeFile(kSetupFile, kSetupRecordSize + 1);
    const auto record = bytes ? DecodeSetup(*bytes) : std::nullopt;
    if (!record) {
        std::error_code error;
        const auto size = std::filesystem::file_size(kSetupFile, error);
        const std::string text = std::string("'") + kSetupFile + "' " +
                                 (error ? std::string("cannot be read")
                                        : "holds " + std::to_string(size) + " bytes instead of " +
                                              std::to_string(kSetupRecordSize)) +
                                 " - nothing loaded...";
        DebugLog("%s", text.c_str());
        panel.ask(text, "Error", kErrorBox);
        return SetupOpened::FileError;
    }
    // The file does not say which detector it came from: the reference, the
    // model and the tier stay those of the last read; before any read the
    // record's own detection mode bytes tell a UV/IR record, and the tier
    // counts as neither Core nor LB.
    const SetupState before = SetupNow();
    const SetupContext context =
        before.loaded ? before.context
                      : LoadSetupContext(iniPath, (record->IROnly | record->UVOnly | record->UVIR) != 0, -1);
    UpdateSetup([&](SetupState& s) {
        s.working = *record;
        s.context = context;
        s.loaded = true;
    });
    panel.setTimer(setupwin::kFillTimer, 150, true);
    return SetupOpened::FromFile;
}

// The burn's own ADMIN prompt: asked again while the detector refuses.
bool elevateAdmin(Panel& panel) {
    for (;;) {
        std::optional<std::string> typed =
            panel.askText("Please Enter the current ADMIN Password:", "BURN Setup to Detector", true);
        if (!typed) return false;
        const bool granted = ElevateOnce(kAdminLevel, *typed);
        std::fill(typed->begin(), typed->end(), '\0');
        if (granted) return true;
    }
}

BurnOutcome cancelled(Panel& panel, const std::string& what) {
    DebugLog("%s Burn canceled...", what.c_str());
    panel.ask(what + "\r\nBurn canceled...", "Error", kErrorBox);
    panel.enable(setupwin::kApply, true);
    return {BurnResult::Cancelled};
}

// Param.ini [VCAST_CORRUPT_SETUP]: a test rig can have the detector receive
// another byte than the one the window shows, to see the read-back catch it.
void corruptForTest(SetupBytes& bytes, const std::string& iniPath) {
    const int at = ProfileGetInt(iniPath, "VCAST_CORRUPT_SETUP", "ByteNum", -1);
    if (at < 0 || at >= static_cast<int>(setupfield::FirstUncompared)) return;
    const int value = ProfileGetInt(iniPath, "VCAST_CORRUPT_SETUP", "ByteVal", 0) & 0xFF;
    DebugLog("VCAST_CORRUPT_SETUP: byte %d sent as %d", at, value);
    bytes[static_cast<size_t>(at)] = static_cast<uint8_t>(value);
}

BurnOutcome verify(int got, const Answer& answer, const SetupRecord& working, bool uvir) {
    const auto stored = got >= static_cast<int>(kAnswerSize) ? DecodeSetupAnswer(answer) : std::nullopt;
    if (!stored) {
        logShort("D_SETUP2HOST", got);
        return {got > 0 ? BurnResult::ShortReadback : BurnResult::NoReadback};
    }
    // The detector's own words and the passwords lie past the compared bytes.
    const int at = FirstSetupDifference(*stored, working);
    if (at < 0 || at >= static_cast<int>(setupfield::FirstUncompared)) return {BurnResult::Verified};
    DebugLog("Setup verification: %s reads %u, %u was burned", SetupFieldName(static_cast<size_t>(at), uvir).c_str(),
             EncodeSetup(*stored)[static_cast<size_t>(at)], EncodeSetup(working)[static_cast<size_t>(at)]);
    logShort("D_SETUP2HOST", 0);
    return {BurnResult::Mismatch, at};
}

void flushLink() {
    std::lock_guard lock(LinkLock());
    if (LinkBackend* link = UsableLinkBackend()) link->flush();
}

void writeSetupFile(SetupRecord record) {
    // A file can be burned later; it must never lock or unlock a detector.
    record.LockState = kLockNotSet;
    if (WriteWholeFile(kSetupFile, EncodeSetup(record), true))
        DebugLog("'%s' has been created...", kSetupFile);
    else
        DebugLog("'%s' could not be written: %s", kSetupFile, std::strerror(errno));
}

}  // namespace

SetupState SetupNow() {
    std::lock_guard lock(g_mutex);
    return g_state;
}

void UpdateSetup(const std::function<void(SetupState&)>& change) {
    std::lock_guard lock(g_mutex);
    change(g_state);
}

void ResetSetupState() {
    std::lock_guard lock(g_mutex);
    g_state = SetupState{};
}

SetupOpened OpenSetup(Panel& panel, bool fromFile, const std::string& iniPath) {
    bool answered = false;
    {
        std::lock_guard lock(LinkLock());
        answered = Wire().responded;
    }
    if (!answered) {
        panel.enable(setupwin::kApply, false);
        return SetupOpened::NoDetector;
    }
    if (fromFile) return openFile(panel, iniPath);

    Answer answer{};
    int got = -1;
    for (int attempt = 0; attempt < 3 && got == -1; ++attempt) got = readSetup(answer, 100);
    const auto record = got >= static_cast<int>(kAnswerSize) ? DecodeSetupAnswer(answer) : std::nullopt;
    if (!record) {
        logShort("D_SETUP2HOST", got);
        panel.enable(setupwin::kApply, false);
        return SetupOpened::NoAnswer;
    }
    const ResponseHeader header = *DecodeHeader(answer);  // a whole answer holds it
    if (header.address != record->address) {
        DebugLog("Invalid setup downloaded: buf[0] %u != st.address %u", header.address, record->address);
        panel.enable(setupwin::kApply, false);
        panel.ask("Invalid setup downloaded - reload...", "Error", kErrorBox);
        return SetupOpened::WrongAddress;
    }
    const auto typeByte = static_cast<uint8_t>(header.model);  // header byte 5
    const SetupContext context = LoadSetupContext(iniPath, IsUvirModelByte(typeByte), typeByte);
    UpdateSetup([&](SetupState& s) {
        s.reference = s.working = *record;
        s.previousLock = record->LockState;
        s.context = context;
        s.loaded = true;
    });
    panel.enable(setupwin::kApply, true);
    panel.setTimer(setupwin::kFillTimer, 150, true);
    return SetupOpened::Read;
}

BurnOutcome BurnSetup(Panel& panel, const BurnRequest& request) {
    SetupState now;
    UpdateSetup([&](SetupState& s) {
        s.pending420 = false;
        now = s;
    });
    SetupRecord working = now.working;
    const uint8_t lock = working.LockState, previous = now.previousLock;
    panel.enable(setupwin::kApply, false);

    if (working == now.reference && !request.resetPasswords) {
        panel.ask("No changes made\r\n\r\nSetup not burned", "Note:", MB_OK | MB_ICONEXCLAMATION);
        return {BurnResult::NoChanges};
    }
    if (lock == kLocked && (previous != kLocked || request.resetPasswords) &&
        !panel.askPasswords(working.MaintPassword, working.AdminPassword))
        return cancelled(panel, "Passwords not entered.");
    if (previous == kLockNotSet && lock == kNotLocked &&
        panel.ask(kNotLockedWarning, "Warning:", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) {
        panel.enable(setupwin::kApply, true);
        return {BurnResult::Cancelled};
    }
    if (previous == kLocked) {
        if (!elevateAdmin(panel)) return cancelled(panel, "Current ADMIN Password not entered.");
        if (lock == kNotLocked) {
            working.MaintPassword.fill(0);
            working.AdminPassword.fill(0);
        }
    }
    UpdateSetup([&](SetupState& s) { s.working = working; });

    panel.setText(setupwin::kApply, "Applying Changes...");
    SetupBytes sent = EncodeSetup(working);
    corruptForTest(sent, request.iniPath);
    Answer answer{};
    std::copy(sent.begin(), sent.end(), answer.begin());
    const int got = ModbusGet(static_cast<unsigned>(sent.size()), D_SETUP2DET, Wire().ctx, answer.data(),
                              kAnswerSize, 500, 3000);
    if (got != static_cast<int>(kAnswerSize)) {
        const bool notElevated =
            got == kStatusAnswerSize && AnswerStatus(std::span(answer.data(), kStatusAnswerSize)) == 0;
        logShort("D_SETUP2DET", got);
        logShort("D_SETUP2HOST", got);
        panel.setText(setupwin::kApply, "Apply Settings");
        panel.ask(notElevated ? "Elevation problem: Burn failed..." : "Comm. problem: Burn failed...", "Error",
                  kErrorBox);
        panel.enable(setupwin::kApply, true);
        return {notElevated ? BurnResult::ElevationProblem : BurnResult::CommProblem};
    }

    // The detector is busy writing its flash meanwhile.
    PumpWait(3000);
    Answer back{};
    const int readBack = readSetup(back, 0);
    panel.setText(setupwin::kApply, "Apply Settings");
    const BurnOutcome outcome = verify(readBack, back, working, now.context.uvir);
    const bool verified = outcome.result == BurnResult::Verified;
    if (verified) {
        UpdateSetup([&](SetupState& s) {
            s.reference = working;
            s.previousLock = working.LockState;
        });
    } else {
        panel.ask("Verification failed...", "Error", kErrorBox);
    }

    PumpWait(1000);
    flushLink();
    writeSetupFile(working);
    if (verified && request.modal) panel.close(IDOK, 0);
    if (!verified) panel.enable(setupwin::kApply, true);
    return outcome;
}
