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

TEST(PasswordWindows, DetectorPermissions) {
    BoxRecorder boxes;
    Field maint{}, admin{};
    maint.fill('x');
    C2Passwords d(maint, admin);
    using namespace passwordswin;
    auto* edit = d.itemAs<QLineEdit>(kMaint);
    edit->insert("0123456789abcdefG");  // the 17th character is refused
    EXPECT_EQ(d.text(kMaint), "0123456789abcdef");
    EXPECT_EQ(d.text(kHint), " * * * Field limited to 16 characters; 16 used * * * ");
    EXPECT_TRUE(d.timerActive(kHintTimer));
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    d.itemAs<QAbstractButton>(kShow)->click();
    EXPECT_EQ(d.itemAs<QLineEdit>(kAdminAgain)->echoMode(), QLineEdit::Normal);
    d.itemAs<QAbstractButton>(kShow)->click();
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);

    d.itemAs<QLineEdit>(kMaintAgain)->insert("0123456789abcdef");
    d.onCommand(IDOK);  // no ADMIN pair
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "'Admin' password not entered");
    EXPECT_FALSE(d.confirmed());
    EXPECT_EQ(maint[0], 'x');

    d.setText(kAdmin, "a");
    d.setText(kAdminAgain, "a");
    d.onCommand(IDOK);
    EXPECT_TRUE(d.confirmed());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(maint.data())), "0123456789abcdef");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(admin.data())), "a");
}

TEST(PasswordWindows, CancelKeepsTheFields) {
    Field maint{}, admin{};
    C2Passwords d(maint, admin);
    for (int id : {passwordswin::kMaint, passwordswin::kMaintAgain, passwordswin::kAdmin,
                   passwordswin::kAdminAgain})
        d.setText(id, "p");
    d.onCommand(IDCANCEL);
    EXPECT_FALSE(d.confirmed());
    EXPECT_EQ(maint, Field{});
    EXPECT_EQ(admin, Field{});
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
    EXPECT_TRUE(levels.isChecked(kMaint));
    levels.setChecked(kAdmin, true);
    levels.onCommand(IDOK);
    EXPECT_TRUE(levels.confirmed() && levels.admin());
}

}  // namespace
