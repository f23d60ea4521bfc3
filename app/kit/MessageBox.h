#pragma once
#include <functional>
#include <string>
#include <vector>

#include "util/Panel.h"

class QWidget;

// The flags and answers are the logic's own (util/Panel.h).


struct MessageBoxCall {
    std::string text;
    std::string caption;
    unsigned icon;     // MB_ICON* bits
    unsigned buttons;  // MB_OK, MB_OKCANCEL...
    std::vector<std::string> labels;  // the three-button box's own buttons
};

// Every message box of the tool. Returns IDOK, IDCANCEL, IDYES or IDNO.
int MessageBox(const std::string& text, const std::string& caption, unsigned flags, QWidget* parent = nullptr);

// The box with three buttons of its own; returns 1, 2 or 3 (the button pressed,
// `defaultButton` for Esc or Enter).
int ThreeButtonBox(const std::string& text, const std::string& caption, const std::string& b1, const std::string& b2,
                   const std::string& b3, int defaultButton, QWidget* parent = nullptr);

// Tests answer boxes instead of a person: the answerer sees every call and
// returns the button. An empty function brings the real boxes back.
void SetMessageBoxAnswerer(std::function<int(const MessageBoxCall&)> answerer);
