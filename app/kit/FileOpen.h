#pragma once
#include <functional>
#include <string>

class QWidget;

// "Select File to Open" for one file type, starting in the folder last used
// under `key` of section "general" in Param.ini, which remembers the new one.
// Empty when the user cancelled.
std::string OpenFileDialog(const std::string& extension, const std::string& key, QWidget* parent = nullptr,
                           const std::string& title = "Select File to Open");

// Tests choose instead of a person: the answerer gets the title and returns
// the path (empty: Cancel); the folder is remembered as after a choice. An
// empty function brings the dialog back.
void SetOpenFileAnswerer(std::function<std::string(const std::string& title)> answerer);
