#include "app/kit/PasswordsPrompt.h"

namespace {
// Set and used on the interface thread only.
PasswordsPrompt g_prompt;
}  // namespace

void SetPasswordsPrompt(PasswordsPrompt prompt) { g_prompt = std::move(prompt); }

bool AskPasswordsPrompt(std::span<uint8_t> maint, std::span<uint8_t> admin, QWidget* parent) {
    return g_prompt && g_prompt(maint, admin, parent);
}
