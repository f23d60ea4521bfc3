#pragma once
// The 4-20 mA levels of the setup record: tenths of a milliampere, seven for
// IR models and ten for UV/IR models, with the checks of the 4-20 dialogs.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/records/SetupRecord.h"

using Levels420 = std::array<uint8_t, setupfield::Param420Count>;

constexpr size_t LevelCount(bool uvir) { return uvir ? 10 : 7; }

// "%.1f" of a level, as the edits show it.
std::string LevelText(uint8_t level);
// A typed level: nullopt when it is not a number or cannot be stored in a
// byte (below 0.0 or above 25.5 mA).
std::optional<uint8_t> ParseLevel(const std::string& text);

struct LevelCheck {
    bool ok = true;
    std::string message;  // caption "Error"
    int index = -1;       // the level the message is about
};
// The checks of OK, in order; forces the reserved level first (IR: 3 := 2,
// UV/IR: 4 := 3). Nothing is checked or forced when `check` is false.
LevelCheck CheckLevels(Levels420& levels, bool uvir, bool check, int textVariant);

// Opening with checks on: a BIT fault level other than 2 mA is set to 20 and
// this message is returned (empty when nothing was wrong).
std::string FixBitFaultLevel(Levels420& levels, bool check);

// The register map names: "Param420[Fault]" ... in the model's order.
std::string LevelName(size_t index, bool uvir);
