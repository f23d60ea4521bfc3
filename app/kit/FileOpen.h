#pragma once
#include <string>

class QWidget;

// "Select File to Open" for one file type, starting in the folder last used
// under `key` of section "general" in Param.ini, which remembers the new one.
// Empty when the user cancelled.
std::string OpenFileDialog(const std::string& extension, const std::string& key, QWidget* parent = nullptr);
