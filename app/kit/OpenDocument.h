#pragma once
#include <functional>
#include <string>

// Opens a file with the desktop's program for its type (the shell verb
// "Open"); false when none took it. Tests answer instead of the desktop.
bool OpenDocument(const std::string& path);
// An empty function brings the desktop back.
void SetDocumentOpener(std::function<bool(const std::string&)> opener);
