#pragma once
#include "shell/WindowSlots.h"

// Controls of the address dialog (dialog template 140, caption "Address").
namespace setaddr {
constexpr int kTemplate = 140;
constexpr int kCombo = 3018, kHeader = 3240, kSwitchRadio = 3029, kNewRadio = 3030, kAction = 3027, kNamedOnly = 3117;
constexpr int kWindowSlot = slot::Address;  // in the script runner's window table
}  // namespace setaddr
