#pragma once
#include <optional>

#include "util/Keyboard.h"

// The keyboard as the windows see it. install() makes CurrentKeys() follow
// the real keyboard through a copy the interface thread keeps fresh, so any
// thread may ask. Left and right Shift are told apart only on X11 (its key
// map knows them); elsewhere both sides read as not held.
class Keys {
public:
    static void install();
    static bool shift() { return CurrentKeys().shift; }
    // A fixed state (tests, start-up options); nullopt returns to the keyboard.
    static void set(std::optional<KeyState> state);
};
