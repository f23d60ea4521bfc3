#pragma once
#include <string>

// LaunchWexcon's one job, at the end of an installation: ask whether to start
// Wexcon and, on OK, start it from `folder` when that holds one, else from the
// search path (then in the per-user folder, as from the menu). A start that
// fails is told in a message box. Needs a QApplication; returns the exit code,
// which is always 0.
int RunLauncher(const std::string& folder);
