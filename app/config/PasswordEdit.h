#pragma once
#include <QLineEdit>

#include "config/Passwords.h"

// An edit of the password windows: at most 16 characters, masked with '*'
// unless `masked` is false.
inline QLineEdit* NewPasswordEdit(QWidget* parent, bool masked) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(kPasswordLimit);
    edit->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    edit->setStyleSheet("lineedit-password-character: 42");  // '*'
    return edit;
}
