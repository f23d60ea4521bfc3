#pragma once
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

// The window that asks for one line of text (QtPanel::askText). The kit has
// a plain input box; the application installs its own prompt window at start.
using TextPrompt = std::function<std::optional<std::string>(
    const std::string& prompt, const std::string& caption, bool secret, QWidget* parent)>;
void SetTextPrompt(TextPrompt prompt);  // empty: the plain input box again
std::optional<std::string> AskTextPrompt(const std::string& prompt, const std::string& caption,
                                         bool secret, QWidget* parent);
// The same with the "Maint" / "Admin" choice (QtPanel::askPasswordLevel);
// without one installed, a masked prompt answering Maint.
using LevelPrompt = std::function<std::optional<std::string>(const std::string& prompt, const std::string& caption,
                                                             bool* admin, QWidget* parent)>;
void SetLevelPrompt(LevelPrompt prompt);
std::optional<std::string> AskLevelPrompt(const std::string& prompt, const std::string& caption, bool* admin,
                                          QWidget* parent);
