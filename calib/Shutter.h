#pragma once
// The shutter commands of the automatic calibration: outside programs named
// by the user, started without a shell and not awaited; the procedure relies
// only on the fixed wait after them.
#include <optional>
#include <string>
#include <vector>

namespace autocal {

// Words at blanks; "double quotes" group blanks into one word and are dropped.
std::vector<std::string> SplitCommandLine(const std::string& line);

// Starts the command; nothing when it started, else the box text ("Error")
// in the form the original tool gave for a failed start:
// "WinExec(%s) error:\r\n\r\nThe specified file was not found." and the like.
std::optional<std::string> StartCommand(const std::string& line);

}  // namespace autocal
