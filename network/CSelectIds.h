#pragma once
#include "shell/PagesIds.h"

// Controls and timers of the Select page (dialog template 225).
namespace selectpage {
constexpr int kTemplate = page::Select;
constexpr int kAddress = page::kAddressField, kSpin = 3400, kSwitchRadio = 3029, kNewRadio = 3030, kAction = 3027,
              kLocate = 3266, kBit = page::kBitButton;
constexpr int kBurningTimer = 90709;  // one second after an address change
}  // namespace selectpage
