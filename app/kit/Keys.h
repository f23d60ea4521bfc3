#pragma once
#include <optional>

// The keyboard state at this moment, as the tool asks it (Shift held at
// start-up opens the console, both Shifts the raw diagnostic...). Backed by
// Qt; tests and the command line set it instead.
struct KeyState {
    bool leftShift = false;
    bool rightShift = false;
    bool ctrl = false;
    bool alt = false;
};

class Keys {
public:
    static bool shift();
    // Qt reports one Shift; without a set state both sides read as that one.
    static bool leftShift();
    static bool rightShift();
    static bool ctrl();
    static bool alt();
    // A fixed state (tests, start-up options); nullopt returns to the keyboard.
    static void set(std::optional<KeyState> state);
};
