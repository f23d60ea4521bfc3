#pragma once
#include <functional>
#include <string>

class QWidget;

// The save-folder dialog: the folder chosen, empty when the user cancelled.
std::string SelectFolderDialog(const std::string& title, QWidget* parent = nullptr);

// Tests choose instead of a person: the answerer gets the title and returns
// the folder (empty: Cancel). An empty function brings the dialog back.
void SetFolderDialogAnswerer(std::function<std::string(const std::string& title)> answerer);
