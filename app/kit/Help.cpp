#include "app/kit/Help.h"

#include <QMessageBox>

#include "app/kit/MessageBox.h"

void ShowHelp(const std::string& text, QWidget* parent) { MessageBox(text, "Help", MB_ICONINFORMATION, parent); }
