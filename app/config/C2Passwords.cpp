#include "app/config/C2Passwords.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/config/PasswordEdit.h"
#include "app/kit/PasswordsPrompt.h"
#include "config/C2PasswordsIds.h"

using namespace passwordswin;

namespace {
constexpr int kEdits[] = {kMaint, kMaintAgain, kAdmin, kAdminAgain};
}

C2Passwords::C2Passwords(std::span<uint8_t> maint, std::span<uint8_t> admin, QWidget* parent)
    : Dialog(parent, kTemplate), maint_(maint), admin_(admin), hint_(panel(), kHint, kHintTimer) {
    setWindowTitle("Detector Permissions");
    auto* layout = new QGridLayout(this);
    const char* captions[] = {"Maintenance (Manual BIT && Detector Reset)",
                              "Admin (Burn Setup, Firmware Update, ..."};
    for (int pair = 0; pair < 2; ++pair) {
        auto* group = new QGroupBox(captions[pair], this);
        auto* grid = new QGridLayout(group);
        grid->addWidget(new QLabel("Password:", group), 0, 0);
        grid->addWidget(add(kEdits[2 * pair], NewPasswordEdit(this, true)), 0, 1);
        grid->addWidget(new QLabel("Re-enter:", group), 1, 0);
        grid->addWidget(add(kEdits[2 * pair + 1], NewPasswordEdit(this, true)), 1, 1);
        if (pair == 1)
            grid->addWidget(
                new QLabel("... Fix 4-20 Value, Reset Detector & Parameters Update)", group), 2, 0,
                1, 2);
        layout->addWidget(group, pair, 0, 1, 3);
    }
    layout->addWidget(add(kShow, new QCheckBox("Show", this)), 2, 0);
    layout->addWidget(add(kHint, new QLabel(this)), 3, 0, 1, 3);
    layout->addWidget(addButton(IDOK, "OK"), 4, 1);
    layout->addWidget(addButton(IDCANCEL, "Cancel"), 4, 2);
    itemAs<QPushButton>(IDOK)->setDefault(true);
    for (int id : kEdits) {
        auto* edit = itemAs<QLineEdit>(id);
        connect(edit, &QLineEdit::textChanged, this,
                [this, edit] { hint_.typed(edit->text().size()); });
        edit->installEventFilter(this);
    }
}

bool C2Passwords::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* edit = qobject_cast<QLineEdit*>(watched)) hint_.typed(edit->text().size());
    return Dialog::eventFilter(watched, event);
}

void C2Passwords::onCommand(int id) {
    switch (id) {
        case kShow:
            for (int edit : kEdits)
                itemAs<QLineEdit>(edit)->setEchoMode(isChecked(kShow) ? QLineEdit::Normal
                                                                      : QLineEdit::Password);
            break;
        case IDOK:
            if (const int bad = ConfirmPasswords(*panel(), maint_, admin_)) {
                auto* edit = itemAs<QLineEdit>(bad);
                edit->setFocus();
                edit->selectAll();
                break;
            }
            confirmed_ = true;
            accept();
            break;
        case IDCANCEL:
            reject();
            break;
    }
}

void C2Passwords::onTimer(int id) {
    if (id == kHintTimer) hint_.onTimer();
}

bool C2Passwords::Ask(std::span<uint8_t> maint, std::span<uint8_t> admin, QWidget* parent) {
    C2Passwords dialog(maint, admin, parent);
    dialog.exec();
    return dialog.confirmed();
}

void C2Passwords::InstallAsPrompt() { SetPasswordsPrompt(&C2Passwords::Ask); }
