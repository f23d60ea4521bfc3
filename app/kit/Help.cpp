#include "app/kit/Help.h"

#include <QMessageBox>
#include <QToolTip>
#include <QWidget>

#include "app/kit/MessageBox.h"

void ShowHelp(const std::string& text, QWidget* parent) { MessageBox(text, "Help", MB_ICONINFORMATION, parent); }

void ShowHelpBeside(const std::string& text, QWidget* control) {
    QString shown = QString::fromStdString(text).remove('\r').trimmed();
    QToolTip::showText(control->mapToGlobal(QPoint(control->width(), 0)), shown, control, {}, 10000);
}
