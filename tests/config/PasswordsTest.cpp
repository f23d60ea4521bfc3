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

Field fieldOf(const std::string& text) {
    Field f{};
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

TEST(Passwords, StoreZeroFillsTheField) {
    struct Case {
        std::string typed;
        size_t fieldSize;
        std::string kept;
    } cases[] = {
        {"ab", 17, "ab"},
        {"0123456789abcdefXYZ", 17, "0123456789abcdef"},
        {"0123456789", 5, "0123"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Field f;
        f.fill('x');  // an earlier, longer entry
        StorePassword(std::span(f).first(c.fieldSize), c.typed);
        Field want = fieldOf(c.kept);
        std::fill(want.begin() + c.fieldSize, want.end(), 'x');
        EXPECT_EQ(f, want);
    }
}

TEST(Passwords, Confirm) {
    const Field before = fieldOf("old");
    struct Case {
        const char* name;
        std::array<std::string, 4> edits;  // MAINT, again, ADMIN, again
        int result;
        std::vector<std::string> boxes;
    } cases[] = {
        {"both pairs", {"Maint1", "Maint1", "Adm", "Adm"}, 0, {}},
        {"case differs",
         {"maint", "MAINT", "Adm", "Adm"},
         kMaintAgain,
         {"Error: Re-entered password doesn't match"}},
        {"no MAINT", {"", "", "Adm", "Adm"}, kMaint, {"Error: 'Maintenance' password not entered"}},
        {"no ADMIN pair",
         {"Maint1", "Maint1", "", ""},
         kAdmin,
         {"Error: 'Admin' password not entered"}},
        {"ADMIN differs",
         {"Maint1", "Maint1", "Adm", "adm"},
         kAdminAgain,
         {"Error: Re-entered password doesn't match"}},
    };
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
