#include "protocol/Elevation.h"

#include <algorithm>
#include <array>

#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "protocol/records/ElevationRecord.h"
#include "protocol/records/SetupRecord.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

constexpr size_t kMaxCaption = 17;
constexpr unsigned long long kHoldMs = 30'000;

}  // namespace

bool ElevateOnce(int level, std::string_view password) {
    std::array<uint8_t, kElevationRecordSize> buffer = EncodeElevation(level, password);
    // The answer is as long as the request: the header, the result byte and the CRC.
    const auto size = static_cast<unsigned>(buffer.size());
    const int got = ModbusGetShort(size, buffer.data(), D_ELEVATE, size);
    const bool granted =
        got > 0 && ElevationGranted(std::span(buffer.data(), static_cast<size_t>(got)));
    buffer.fill(0);
    return granted;
}

int RequestElevation(int level, const std::string& caption, Panel& panel) {
    std::array<uint8_t, kSetupAnswerSize> setup{};
    const int got =
        ModbusGetShort(static_cast<unsigned>(setup.size()), setup.data(), D_SETUP2HOST, 0);
    if (got < static_cast<int>(setup.size())) {
        DebugLog("ModbusGet(D_SETUP2HOST) returned %d bytes instead of %u", got,
                 static_cast<unsigned>(setup.size()));
        panel.ask("RequestElevation failed - try again...", "Error", MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    const bool locked = SetupLocked(setup);
    setup.fill(0);  // it carries both passwords
    if (!locked) return kElevationGranted;

    const std::string prompt =
        std::string("Please Enter the ") + (level == 1 ? "Maintenance" : "Admin") + " Password:";
    const std::string title = caption.substr(0, kMaxCaption);
    for (;;) {
        const std::optional<std::string> typed = panel.askText(prompt, title, true);
        if (!typed) return 0;
        if (ElevateOnce(level, *typed)) {
            PumpWait(100);
            return kElevationGranted;
        }
    }
}

AdminElevation::AdminElevation(bool locked, std::function<unsigned long long()> nowMs)
    : locked_(locked),
      now_(nowMs ? std::move(nowMs) : std::function<unsigned long long()>(TickMs)) {}

AdminElevation::~AdminElevation() { std::fill(password_.begin(), password_.end(), '\0'); }

int AdminElevation::ensure(Panel& panel) {
    if (!locked_) return 1;
    bool ask = !holding_ || now_() >= until_;
    for (;; ask = true) {
        if (ask) {
            std::optional<std::string> typed = panel.askText(
                "Please Enter the current ADMIN Password:", "Write Holding Registers", true);
            if (!typed) {
                DebugLog("Current ADMIN Password not entered. Write canceled...");
                panel.ask("Current ADMIN Password not entered.\r\nWrite canceled...", "Error",
                          MB_OK | MB_ICONEXCLAMATION);
                return 0;
            }
            std::fill(password_.begin(), password_.end(), '\0');
            password_ = std::move(*typed);
        }
        if (ElevateOnce(2, password_)) break;
    }
    if (!noted_) {
        noted_ = true;
        panel.ask("Admin privilege will hold for 30 seconds - or until dialog closed...",
                  "Please Note:", MB_OK | MB_ICONINFORMATION);
    }
    holding_ = true;
    until_ = now_() + kHoldMs;
    return 1;
}
