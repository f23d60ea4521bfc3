#include "app/kit/MessageBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <mutex>

namespace {
std::mutex g_mutex;
std::function<int(const MessageBoxCall&)> g_answerer;

std::function<int(const MessageBoxCall&)> answerer() {
    std::lock_guard lock(g_mutex);
    return g_answerer;
}

QMessageBox::Icon iconOf(unsigned flags) {
    switch (flags & 0xF0) {
        case MB_ICONERROR: return QMessageBox::Critical;
        case MB_ICONQUESTION: return QMessageBox::Question;
        case MB_ICONEXCLAMATION: return QMessageBox::Warning;
        case MB_ICONINFORMATION: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}
}  // namespace

void SetMessageBoxAnswerer(std::function<int(const MessageBoxCall&)> a) {
    std::lock_guard lock(g_mutex);
    g_answerer = std::move(a);
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags, QWidget* parent) {
    const unsigned buttons = flags & 0xF;
    if (auto a = answerer()) return a({text, caption, flags & 0xF0, buttons, {}});
    // Original texts end lines with CR LF; a bare CR would show as a box.
    QString body = QString::fromStdString(text);
    body.replace("\r\n", "\n").replace('\r', '\n');
    QMessageBox box(iconOf(flags), QString::fromStdString(caption), body, QMessageBox::NoButton, parent);
    if (flags & MB_TOPMOST) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (buttons) {
        case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MB_YESNOCANCEL: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
        default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok: return IDOK;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        default: return buttons == MB_OK ? IDOK : IDCANCEL;
    }
}

int ThreeButtonBox(const std::string& text, const std::string& caption, const std::string& b1, const std::string& b2,
                   const std::string& b3, int defaultButton, QWidget* parent) {
    if (auto a = answerer()) return a({text, caption, MB_ICONEXCLAMATION, 3, {b1, b2, b3}});
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, parent);
    QPushButton* buttons[3] = {box.addButton(QString::fromStdString(b1), QMessageBox::AcceptRole),
                               box.addButton(QString::fromStdString(b2), QMessageBox::AcceptRole),
                               box.addButton(QString::fromStdString(b3), QMessageBox::RejectRole)};
    if (defaultButton >= 1 && defaultButton <= 3) box.setDefaultButton(buttons[defaultButton - 1]);
    box.exec();
    for (int i = 0; i < 3; ++i)
        if (box.clickedButton() == buttons[i]) return i + 1;
    return defaultButton;
}
