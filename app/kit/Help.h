#pragma once
#include <string>

class QWidget;

// A help pop-up with the original's text (lines end with CR LF there).
void ShowHelp(const std::string& text, QWidget* parent = nullptr);
// The same text as a pop-up beside `control`, gone at the next click or key.
void ShowHelpBeside(const std::string& text, QWidget* control);
