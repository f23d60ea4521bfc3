#pragma once
// The logic of the password windows: the hint line under a limited edit, and
// the check of "Detector Permissions" before it stores the two passwords.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "util/Panel.h"

// What a password edit holds at most: the 17-byte field less its zero.
constexpr unsigned kPasswordLimit = 16;

// "Field limited to %u characters; %u used." or, once the limit is reached,
// " * * * Field limited to %u characters; %u used * * * ".
std::string FieldLimitHint(unsigned limit, unsigned used);

// The hint line of a window: shown on every keystroke, cleared by the
// window's 100 ms timer 4 s after the last one, when the timer stops itself.
class FieldHint {
public:
    FieldHint(std::shared_ptr<Panel> panel, int hintId, int timerId,
              std::function<unsigned long long()> nowMs = {});
    // A keystroke (or the focus) in an edit now holding `used` of `limit` characters.
    void typed(unsigned used, unsigned limit = kPasswordLimit);
    void onTimer();

private:
    std::shared_ptr<Panel> panel_;
    int hintId_, timerId_;
    std::function<unsigned long long()> now_;
    unsigned long long last_ = 0;
};

// Stores a typed password in a field: at most 16 characters (fewer when the
// field is smaller), the rest of the field zero.
void StorePassword(std::span<uint8_t> field, std::string_view text);

// OK in "Detector Permissions": the MAINT pair, then the ADMIN pair, read from
// the four edits. A failing pair shows its message under "Error" and gives the
// edit to select, and neither field is touched; when both pass both are stored
// and 0 is returned.
int ConfirmPasswords(Panel& panel, std::span<uint8_t> maint, std::span<uint8_t> admin);
