// The password windows, and every panel's text prompt being CReqInput.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTimer>
#include <array>

#include "GuiSupport.h"
#include "app/config/C2Passwords.h"
#include "app/config/CReqInput.h"
#include "app/kit/TextPrompt.h"
#include "config/C2PasswordsIds.h"
#include "config/CReqInputIds.h"

namespace {

using Field = std::array<uint8_t, 17>;

std::string textOf(const Field& f) { return reinterpret_cast<const char*>(f.data()); }

TEST(PasswordWindows, DetectorPermissions) {
    using namespace passwordswin;
    BoxRecorder boxes;
    Field maint{}, admin{};
    {
        C2Passwords cancelled(maint, admin);
        for (int id : {kMaint, kMaintAgain, kAdmin, kAdminAgain}) cancelled.setText(id, "p");
        cancelled.onCommand(IDCANCEL);
        EXPECT_FALSE(cancelled.confirmed());
        EXPECT_EQ(maint, Field{});
        EXPECT_EQ(admin, Field{});
    }
    C2Passwords d(maint, admin);
    auto* edit = d.itemAs<QLineEdit>(kMaint);
    edit->insert("0123456789abcdefG");  // the 17th character is refused
    EXPECT_EQ(d.text(kMaint), "0123456789abcdef");
    EXPECT_EQ(d.text(kHint), " * * * Field limited to 16 characters; 16 used * * * ");
    EXPECT_TRUE(d.timerActive(kHintTimer));
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    d.itemAs<QAbstractButton>(kShow)->click();
    EXPECT_EQ(d.itemAs<QLineEdit>(kAdminAgain)->echoMode(), QLineEdit::Normal);

    d.setText(kMaintAgain, "0123456789abcdef");
    d.setText(kAdmin, "a");
    d.setText(kAdminAgain, "a");
    d.onCommand(IDOK);
    EXPECT_TRUE(d.confirmed());
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(textOf(maint), "0123456789abcdef");
    EXPECT_EQ(textOf(admin), "a");
}

TEST(PasswordWindows, EveryPromptIsReqInput) {
    using namespace reqinputwin;
    CReqInput::InstallAsPrompt();
    Dialog owner;
    std::string title, prompt;
    bool levelsShown = true;
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    // Fills in the prompt once it is open, as the user would.
    auto answer = [&](const QString& typed, int button) {
        QTimer::singleShot(100, [&, typed, button] {
            auto* d = dynamic_cast<CReqInput*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->templateId(), kTemplate);
            title = s(d->windowTitle());
            prompt = d->text(kPrompt);
            levelsShown = d->item(kAdmin)->isVisibleTo(d);
            echo = d->itemAs<QLineEdit>(kEdit)->echoMode();
            d->itemAs<QLineEdit>(kEdit)->insert(typed);
            d->onCommand(button);
        });
    };
    answer("0123456789abcdefXYZ", IDOK);
    EXPECT_EQ(owner.panel()->askText("Please Enter the Admin Password:", "Burn", true),
              "0123456789abcdef");
    EXPECT_EQ(title, "Burn");
    EXPECT_EQ(prompt, "Please Enter the Admin Password:");
    EXPECT_FALSE(levelsShown);
    EXPECT_EQ(echo, QLineEdit::Password);
    answer("x", IDCANCEL);
    EXPECT_EQ(owner.panel()->askText("Name:", "Plain", false), std::nullopt);
    EXPECT_EQ(echo, QLineEdit::Normal);
    SetTextPrompt({});

    CReqInput levels("t", "p", true, true);
    EXPECT_TRUE(levels.item(kAdmin)->isVisibleTo(&levels));
    levels.setChecked(kAdmin, true);
    levels.onCommand(IDOK);
    EXPECT_TRUE(levels.confirmed() && levels.admin());
}

}  // namespace
