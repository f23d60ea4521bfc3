#pragma once
#include <optional>
#include <string>

#include "sim/Detector.h"
#include "sim/Line.h"

namespace wsim {

// "ADDR:ir" or "ADDR:uvir", then ",serial=N", ",model=0xNNNN", ",picture=0xNN",
// ",locked", ",maint=TEXT", ",admin=TEXT", ",notags". Empty on a bad description,
// with the reason in *error.
std::optional<DetectorConfig> parseDetectorOption(const std::string& text, std::string* error);

// The line a program starts with when it is given no detectors.
std::vector<DetectorConfig> demoLine();

// One control command, as typed on standard input or given to --fault
// ("drop 3", "drop=3", "delay 200", "silent 17", "restart 2"). Returns the
// one-line reply; false in *ok for a command that was not understood.
std::string runControlCommand(Line& line, const std::string& command, bool* ok = nullptr);

// The commands runControlCommand understands, one per line.
const char* controlHelp();

}  // namespace wsim
