#pragma once
#include <string>

// Controls of a window addressed by their numbers, as the logic beside a
// window sees them. The window implements it over its widgets; tests over a map.
class ControlPanel {
public:
    virtual ~ControlPanel() = default;
    virtual void setText(int id, const std::string& text) = 0;
    virtual std::string text(int id) const = 0;
    virtual void enable(int id, bool on) = 0;
    // Relay indicators: 1 is drawn green, 0 red.
    virtual void setIndicator(int id, int value) = 0;
};
