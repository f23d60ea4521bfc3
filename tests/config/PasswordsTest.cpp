// The password windows' logic: the hint line and the check before storing.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "config/C2PasswordsIds.h"
#include "config/Passwords.h"
#include "shell/FakePanel.h"

namespace {

using namespace passwordswin;
using Field = std::array<uint8_t, 17>;

Field fieldOf(const std::string& text, uint8_t rest = 0) {
    Field f;
    f.fill(rest);
    std::copy(text.begin(), text.end(), f.begin());
    return f;
}

TEST(Passwords, HintLineAndItsClearing) {
    EXPECT_EQ(FieldLimitHint(16, 3), "Field limited to 16 characters; 3 used.");
    EXPECT_EQ(FieldLimitHint(16, 16), " * * * Field limited to 16 characters; 16 used * * * ");

    auto panel = std::make_shared<FakePanel>();
    unsigned long long now = 0;
    FieldHint hint(panel, kHint, kHintTimer, [&] { return now; });
    hint.typed(1);
    now = 2000;
    hint.typed(2);  // the 4 s count from the last keystroke
    EXPECT_EQ(panel->text(kHint), "Field limited to 16 characters; 2 used.");
    now = 5999;
    hint.onTimer();
    EXPECT_EQ(panel->timers.count(kHintTimer), 1u);
    EXPECT_FALSE(panel->text(kHint).empty());
    now = 6000;
    hint.onTimer();
    EXPECT_EQ(panel->text(kHint), "");
    EXPECT_EQ(panel->timers.count(kHintTimer), 0u);
}

// A shorter entry leaves no trace of an earlier, longer one.
TEST(Passwords, StoreZeroFillsTheField) {
    struct Case {
        std::string typed;
        size_t fieldSize;
        Field want;
    } const cases[] = {
        {"ab", 17, fieldOf("ab")},
        {"0123456789abcdefXYZ", 17, fieldOf("0123456789abcdef")},
        {"0123456789", 5, fieldOf(std::string("0123\0", 5), 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Field f = fieldOf("", 'x');
        StorePassword(std::span(f).first(c.fieldSize), c.typed);
        EXPECT_EQ(f, c.want);
    }
}

TEST(Passwords, Confirm) {
    const std::string mismatch = "Error: Re-entered password doesn't match";
    struct Case {
        const char* name;
        std::array<std::string, 4> edits;  // MAINT, again, ADMIN, again
        int result;
        std::vector<std::string> boxes;
    } const cases[] = {
        {"both pairs", {"Maint1", "Maint1", "Adm", "Adm"}, 0, {}},
        {"case differs", {"maint", "MAINT", "Adm", "Adm"}, kMaintAgain, {mismatch}},
        {"no MAINT", {"", "", "Adm", "Adm"}, kMaint, {"Error: 'Maintenance' password not entered"}},
        {"no ADMIN pair", {"Maint1", "Maint1", "", ""}, kAdmin, {"Error: 'Admin' password not entered"}},
        {"ADMIN differs", {"Maint1", "Maint1", "Adm", "adm"}, kAdminAgain, {mismatch}},
    };
    const Field before = fieldOf("old");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePanel panel;
        for (int i = 0; i < 4; ++i) panel.setText(kMaint + i, c.edits[i]);
        Field maint = before, admin = before;
        EXPECT_EQ(ConfirmPasswords(panel, maint, admin), c.result);
        EXPECT_EQ(panel.questions, c.boxes);
        // Neither field changes unless both pairs pass.
        EXPECT_EQ(maint, c.result ? before : fieldOf(c.edits[0]));
        EXPECT_EQ(admin, c.result ? before : fieldOf(c.edits[2]));
    }
}

}  // namespace
