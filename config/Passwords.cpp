#include "config/Passwords.h"

#include <algorithm>
#include <cstdio>

#include "config/C2PasswordsIds.h"
#include "util/PumpWait.h"

namespace {

constexpr unsigned long long kHintShownMs = 4000;

struct Pair {
    int first, again;
    const char* name;
};

}  // namespace

std::string FieldLimitHint(unsigned limit, unsigned used) {
    char text[96];
    std::snprintf(text, sizeof text,
                  used >= limit ? " * * * Field limited to %u characters; %u used * * * "
                                : "Field limited to %u characters; %u used.",
                  limit, used);
    return text;
}

FieldHint::FieldHint(std::shared_ptr<Panel> panel, int hintId, int timerId,
                     std::function<unsigned long long()> nowMs)
    : panel_(std::move(panel)),
      hintId_(hintId),
      timerId_(timerId),
      now_(nowMs ? std::move(nowMs) : std::function<unsigned long long()>(TickMs)) {}

void FieldHint::typed(unsigned used, unsigned limit) {
    last_ = now_();
    panel_->setText(hintId_, FieldLimitHint(limit, used));
    panel_->setTimer(timerId_, 100, false);
}

void FieldHint::onTimer() {
    if (now_() - last_ < kHintShownMs) return;
    panel_->setText(hintId_, "");
    panel_->stopTimer(timerId_);
}

void StorePassword(std::span<uint8_t> field, std::string_view text) {
    if (field.empty()) return;
    const size_t n = std::min({text.size(), size_t{kPasswordLimit}, field.size() - 1});
    std::fill(std::copy_n(text.begin(), n, field.begin()), field.end(), 0);
}

int ConfirmPasswords(Panel& panel, std::span<uint8_t> maint, std::span<uint8_t> admin) {
    using namespace passwordswin;
    const Pair pairs[] = {{kMaint, kMaintAgain, "Maintenance"}, {kAdmin, kAdminAgain, "Admin"}};
    for (const Pair& p : pairs) {
        const std::string first = panel.text(p.first), again = panel.text(p.again);
        if (first != again) {
            panel.ask("Re-entered password doesn't match", "Error", MB_OK | MB_ICONEXCLAMATION);
            return p.again;
        }
        if (first.empty()) {
            panel.ask(std::string("'") + p.name + "' password not entered", "Error",
                      MB_OK | MB_ICONEXCLAMATION);
            return p.first;
        }
    }
    StorePassword(maint, panel.text(kMaint));
    StorePassword(admin, panel.text(kAdmin));
    return 0;
}
