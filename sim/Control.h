#pragma once
#include <optional>
#include <string>
#include <vector>

#include "sim/Detector.h"
#include "sim/Line.h"

namespace wsim {

// "ADDR:ir" or "ADDR:uvir", then ",serial=N", ",model=0xNNNN", ",picture=0xNN",
// ",locked", ",maint=TEXT", ",admin=TEXT", ",notags", ",altsensor". Empty on a bad description,
// with the reason in *error.
std::optional<DetectorConfig> parseDetectorOption(const std::string& text, std::string* error);

// "FIRST-LAST:ir" or "FIRST-LAST:uvir" with the options of a single detector:
// one detector at every address of the range. A given serial=N belongs to
// FIRST and counts up with the address, so that no two serials are the same.
std::optional<std::vector<DetectorConfig>> parseDetectorRange(const std::string& text, std::string* error);

// The reason a line cannot be built from these detectors (two at one address,
// or two with one serial number); empty when it can.
std::string lineConflict(const std::vector<DetectorConfig>& detectors);

// The line a program starts with when it is given no detectors.
std::vector<DetectorConfig> demoLine();

// One control command, as typed on standard input or given to --fault
// ("drop 3", "drop=3", "delay 200", "silent 17", "restart 2"). Returns the
// one-line reply; false in *ok for a command that was not understood.
std::string runControlCommand(Line& line, const std::string& command, bool* ok = nullptr);

// "dci ADDR F|dead45|dead44", "meter ADDR" (the reading, "%.3f"), "refuse420 ADDR N":
// "" when done, the reading, or "error: why".
std::string calibControl(Detector& d, const std::vector<std::string>& words, int64_t now);
// "explode ..." and "fm-fire ..." (sim/FieldTests.cpp), the words already split.
std::string runFieldTestCommand(Line& line, const std::vector<std::string>& words, bool* ok);

// "gain ADDR G[:G:G:G]", "bg ADDR B", "uvsum ADDR VALUE FROM TO" on the detector at
// `addr` (*found: it is there): "" when done, else why not.
std::string autoCalibControl(Line& line, uint8_t addr, const std::vector<std::string>& words, bool* found);

// The commands runControlCommand understands, one per line.
const char* controlHelp();

}  // namespace wsim
