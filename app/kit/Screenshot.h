#pragma once
#include <string>

class QWidget;

// The picture of a window during a script run: "<base>/<serial>/<name>.png",
// the base folder being "szSaveFolder" of "general" in Param.ini (the working
// folder when empty) and the serial the current detector's, in five digits.
// False when the folder or the file cannot be written.
bool SaveScriptScreenshot(QWidget* window, const std::string& name);
