#include "app/config/CReqInput.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/config/PasswordEdit.h"
#include "app/kit/TextPrompt.h"
#include "config/CReqInputIds.h"

using namespace reqinputwin;

CReqInput::CReqInput(const std::string& title, const std::string& prompt, bool masked,
                     bool chooseLevel, QWidget* parent)
    : Dialog(parent, kTemplate), hint_(panel(), kHint, kHintTimer) {
    setWindowTitle(q(title));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(add(kPrompt, new QLabel(q(prompt), this)));
    auto* edit = add(kEdit, NewPasswordEdit(this, masked));
    layout->addWidget(edit);
    auto* levels = new QHBoxLayout;
    for (auto [id, text] : {std::pair{kMaint, "Maint"}, std::pair{kAdmin, "Admin"}}) {
        auto* radio = add(id, new QRadioButton(text, this));
        radio->setVisible(chooseLevel);
        levels->addWidget(radio);
    }
    setChecked(kMaint, true);
    layout->addLayout(levels);
    layout->addWidget(add(kHint, new QLabel(this)));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton(IDOK, "OK"));
    buttons->addWidget(addButton(IDCANCEL, "Cancel"));
    layout->addLayout(buttons);
    itemAs<QPushButton>(IDOK)->setDefault(true);
    connect(edit, &QLineEdit::textChanged, this,
            [this, edit] { hint_.typed(edit->text().size()); });
    edit->installEventFilter(this);
    setTimer(kFocusTimer, 50, true);
}

bool CReqInput::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* edit = qobject_cast<QLineEdit*>(watched)) hint_.typed(edit->text().size());
    return Dialog::eventFilter(watched, event);
}

void CReqInput::onCommand(int id) {
    if (id == IDOK) {
        entered_ = text(kEdit).substr(0, kPasswordLimit);
        admin_ = isChecked(kAdmin);
        confirmed_ = true;
        accept();
    } else if (id == IDCANCEL) {
        reject();
    }
}

void CReqInput::onTimer(int id) {
    if (id == kHintTimer) hint_.onTimer();
    if (id == kFocusTimer) item(kEdit)->setFocus();
}

std::optional<std::string> CReqInput::Ask(const std::string& prompt, const std::string& title,
                                          bool masked, QWidget* parent) {
    CReqInput dialog(title, prompt, masked, false, parent);
    dialog.exec();
    if (!dialog.confirmed()) return std::nullopt;
    return dialog.entered();
}

std::optional<std::string> CReqInput::AskLevel(const std::string& prompt, const std::string& title, bool* admin,
                                               QWidget* parent) {
    CReqInput dialog(title, prompt, true, true, parent);
    dialog.exec();
    *admin = dialog.confirmed() && dialog.admin();
    if (!dialog.confirmed()) return std::nullopt;
    return dialog.entered();
}

void CReqInput::InstallAsPrompt() {
    SetTextPrompt(&CReqInput::Ask);
    SetLevelPrompt(&CReqInput::AskLevel);
}
