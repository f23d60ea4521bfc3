#include "app/kit/TextPrompt.h"

#include <QInputDialog>

#include "app/kit/Dialog.h"

namespace {
// Set and used on the interface thread only.
TextPrompt g_prompt;
LevelPrompt g_levelPrompt;
}  // namespace

void SetLevelPrompt(LevelPrompt prompt) { g_levelPrompt = std::move(prompt); }

std::optional<std::string> AskLevelPrompt(const std::string& prompt, const std::string& caption, bool* admin,
                                          QWidget* parent) {
    if (g_levelPrompt) return g_levelPrompt(prompt, caption, admin, parent);
    *admin = false;
    return AskTextPrompt(prompt, caption, true, parent);
}

void SetTextPrompt(TextPrompt prompt) { g_prompt = std::move(prompt); }

std::optional<std::string> AskTextPrompt(const std::string& prompt, const std::string& caption,
                                         bool secret, QWidget* parent) {
    if (g_prompt) return g_prompt(prompt, caption, secret, parent);
    bool ok = false;
    const QString text = QInputDialog::getText(
        parent, q(caption), q(prompt), secret ? QLineEdit::Password : QLineEdit::Normal, {}, &ok);
    if (!ok) return std::nullopt;
    return s(text);
}
