#pragma once
#include <functional>
#include <optional>
#include <string>

class QWidget;

// The save-folder dialog: the folder chosen, empty when the user cancelled.
std::string SelectFolderDialog(const std::string& title, QWidget* parent = nullptr, const std::string& start = {});
// What the tests' answerer says for a dialog titled `title`; nullopt when none is installed.
std::optional<std::string> FolderDialogAnswer(const std::string& title);

// Tests choose instead of a person: the answerer gets the title and returns
// the folder (empty: Cancel). An empty function brings the dialog back.
void SetFolderDialogAnswerer(std::function<std::string(const std::string& title)> answerer);
