#pragma once
#include <functional>

// The keyboard state at this moment, as the logic asks it (Shift held stops
// the status poll, Ctrl keeps a failed baud-rate switch, Alt shows the
// quiet polls in the log). The windows install the real source; tests and
// the command line fix a state instead.
struct KeyState {
    bool shift = false;       // either Shift key
    bool leftShift = false;   // the sides only where the platform tells them apart
    bool rightShift = false;
    bool ctrl = false;
    bool alt = false;
};

// Safe from any thread.
KeyState CurrentKeys();
// An empty source reads as no key held.
void SetKeySource(std::function<KeyState()> source);
