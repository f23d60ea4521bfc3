#pragma once
#include <functional>
#include <string>
#include <vector>

class QWidget;

// Win32-style flags and answers, so callers keep the original's meaning.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_TOPMOST = 0x40000,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

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
