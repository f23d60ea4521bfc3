#pragma once
#include <memory>

#include "shell/ScriptRunner.h"

// The window table as the script runner reaches it from its own thread: each
// call is done on the interface thread, and waits for it unless cancelled.
std::shared_ptr<ScriptWindows> MakeScriptWindows();
