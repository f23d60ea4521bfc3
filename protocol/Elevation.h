#pragma once
// Elevation: a Locked detector refuses burns and other sensitive commands
// until the host presents its MAINT or ADMIN password with D_ELEVATE.
//
// These calls exchange with the detector, so they run on the link worker
// inside a procedure (or on the command line's thread). The poll clock must
// send no tick between the setup read and the elevation: RunProcedure holds
// it off for the whole procedure, which covers every request made here.
#include <functional>
#include <string>
#include <string_view>

#include "util/Panel.h"

constexpr int kElevationGranted = 2;

// One D_ELEVATE exchange, for callers with a prompt loop of their own: the
// level, then the password zero-padded to its 17-byte field (at most 16
// characters, so the field always ends in a zero). True when granted.
bool ElevateOnce(int level, std::string_view password);

// Level 1 MAINT, 2 ADMIN. 2 when the detector is elevated or needs no elevation (not Locked),
// 0 when it failed or the user gave up (Cancel). Prompts through panel.askText(prompt, caption,
// true) until granted or cancelled; errors through panel.ask(text, "Error",
// MB_OK|MB_ICONEXCLAMATION).
int RequestElevation(int level, const std::string& caption, Panel& panel);

// The register window's 30-second ADMIN hold: the password is asked once and
// presented again with every write while the hold lasts; each granted write
// extends it.
class AdminElevation {
public:
    // `locked`: the setup record read when the window opened was Locked.
    explicit AdminElevation(bool locked, std::function<unsigned long long()> nowMs = {});
    ~AdminElevation();
    AdminElevation(const AdminElevation&) = delete;
    AdminElevation& operator=(const AdminElevation&) = delete;

    // 1 when a holding-register write may proceed, 0 when the user cancelled.
    int ensure(Panel& panel);

private:
    bool locked_;
    std::function<unsigned long long()> now_;
    bool holding_ = false;
    unsigned long long until_ = 0;
    bool noted_ = false;  // the hold's note is shown once per window
    std::string password_;
};
