// "Detector Setup" against the simulator: what the windows add to the setup
// session. Every real burn waits 4 s by design, so only two are made.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolTip>

#include "MainWindowLine.h"
#include "app/config/C2Passwords.h"
#include "app/config/C420Settings.h"
#include "app/config/Setup.h"
#include "app/kit/WindowTable.h"
#include "config/C2PasswordsIds.h"
#include "config/Levels420Ids.h"
#include "config/SetupIds.h"
#include "shell/WindowSlots.h"

namespace w = setupwin;
namespace lw = levels420win;

namespace {

void click(Dialog& d, int id) { qobject_cast<QAbstractButton*>(d.item(id))->click(); }
QLineEdit* edit(Dialog& d, int id) { return d.itemAs<QLineEdit>(id); }
std::vector<std::string> texts(const BoxRecorder& boxes) {
    std::vector<std::string> all;
    for (const auto& call : boxes.calls) all.push_back(call.caption + ": " + call.text);
    return all;
}

class SetupWindow : public MainWindowLine {
protected:
    void SetUp() override {
        ResetSetupState();
        ASSERT_NO_FATAL_FAILURE(openOn({testline::ir(1)}));
        ASSERT_TRUE(pumpUntil([&] { return window->poll().connected(); }));
    }
    void TearDown() override {
        ResetSetupState();
        MainWindowLine::TearDown();
    }
    uint8_t detectorByte(size_t offset) {
        uint8_t value = 0;
        line->withDetector(1, [&](wsim::Detector& d, int64_t) { value = d.setup()[offset]; });
        return value;
    }
    static bool filled(Dialog& d) { return d.text(w::kInterval) == "15"; }
};

// The 4-20 levels come back only from a successful OK, and leaving them
// unburned is told once; a refused value keeps the focus and sends nothing;
// F3 during the burn starts no second one, the controls hold still, and
// the burn closes with OK.
TEST_F(SetupWindow, ModalDialog) {
    BoxRecorder boxes;
    ::Setup dialog(true, window.get());
    dialog.show();
    EXPECT_EQ(WindowAt(slot::Setup), nullptr);  // a script typing now would lose its text to the fill
    ASSERT_TRUE(pumpUntil([&] { return filled(dialog); }));
    EXPECT_EQ(WindowAt(slot::Setup), &dialog);

    const int preAlarm = lw::kFirstEdit + 5;
    std::string shown;
    bool bitFaultEnabled = true;
    whenOpen<C420Settings>([&](C420Settings& d) {
        shown = d.text(preAlarm);
        bitFaultEnabled = d.isEnabled(lw::kFirstEdit + 1);
        d.setText(preAlarm, "30");  // more than a byte holds: refused, checks or not
        d.onCommand(lw::kOk);
        d.onCommand(IDCANCEL);
    });
    click(dialog, w::k420Settings);
    EXPECT_EQ(std::tuple(shown, bitFaultEnabled, dialog.isEnabled(w::kApply)), std::tuple("16.0", false, true));
    EXPECT_EQ(texts(boxes),
              std::vector<std::string>{"Error: The Pre-Alarm Warning 4-20 current must be a number from 0.0 to 25.5"});
    EXPECT_EQ(std::tuple(SetupNow().working.Param420[5], SetupNow().pending420), std::tuple(160, false));
    whenOpen<C420Settings>([&](C420Settings& d) {
        d.setText(preAlarm, "15.5");
        d.onCommand(lw::kOk);
    });
    click(dialog, w::k420Settings);
    EXPECT_EQ(std::tuple(SetupNow().working.Param420[5], SetupNow().pending420), std::tuple(155, true));

    dialog.activateWindow();
    dialog.item(w::kInterval)->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return QApplication::focusWidget() == dialog.item(w::kInterval); }));
    QLineEdit elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    elsewhere.setFocus();
    ASSERT_TRUE(pumpUntil([&] { return boxes.calls.size() == 2; }));
    EXPECT_EQ(texts(boxes)[1], "Note: There was no burn...\r\nChanges to the 4-20 settings weren't saved");
    EXPECT_FALSE(SetupNow().pending420);

    click(dialog, w::kExplosion);  // with an alarm delay: the note beside it
    EXPECT_TRUE(QToolTip::text().startsWith("When \u201cExplosion\u201d is selected"));
    window->setChecked(mainwin::kPolling, false);  // from here on only the dialog sends
    window->onCommand(mainwin::kPolling);
    onLink([] {});  // the last tick is over
    const uint64_t before = line->stats().frames;
    edit(dialog, w::kInterval)->setText("61");
    click(dialog, w::kApply);
    EXPECT_EQ(texts(boxes).back(), "Error: BIT interval may not be < 1 nor > 60");
    EXPECT_EQ(std::tuple(edit(dialog, w::kInterval)->selectedText(), line->stats().frames), std::tuple("61", before));

    edit(dialog, w::kInterval)->setText("20");
    click(dialog, w::kApply);
    EXPECT_FALSE(dialog.isEnabled(w::kApply));
    EXPECT_FALSE(dialog.isEnabled(w::kInterval)) << "a change made during the burn would be lost";
    dialog.onCommand(w::kApplyKey);
    ASSERT_TRUE(pumpUntil([&] { return !dialog.isVisible(); }, 9000));
    EXPECT_EQ(std::tuple(dialog.result(), boxes.calls.size(), WindowAt(slot::Setup)), std::tuple(IDOK, 3u, nullptr));
    EXPECT_EQ(std::tuple(detectorByte(34), detectorByte(27)), std::tuple(1, 155)) << "one write, with the levels";
}

// The page: the main window's Enter applies it while "Apply Changes" is
// enabled; the detector lost on the third poll empties it, found again
// reloads it; a verified burn shows the first page.
TEST_F(SetupWindow, PageAppliesOnEnterAndFollowsThePoll) {
    BoxRecorder boxes;
    window->showEntry(2, 0);
    auto* page = dynamic_cast<::Setup*>(window->pageById(page::SetupTable));
    ASSERT_TRUE(page);
    ASSERT_TRUE(pumpUntil([&] { return filled(*page); }));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(boxes.calls.empty());  // nothing changed: Apply is disabled

    line->setSilent(true);
    ASSERT_TRUE(pumpUntil([&] { return page->text(w::kInterval).empty(); }, 8000));
    EXPECT_FALSE(page->isChecked(w::kNotSet) || page->isChecked(w::kAutoBit));
    line->setSilent(false);
    ASSERT_TRUE(pumpUntil([&] { return filled(*page); }, 10000));  // 3 s after the detector is back

    edit(*page, w::kFaultCount)->setText("4");
    QApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(pumpUntil([&] { return window->currentPage() == page::Select; }, 9000));
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(detectorByte(10), 4);  // BitFaultCount
}

// The 4-20 window on its own: empty without a detector; a BIT fault level
// other than 2 mA fixed, and said so once the window shows.
TEST(SetupLevelWindows, OpeningWithAndWithoutADetector) {
    BoxRecorder boxes;
    Levels420 levels{0, 25, 20, 40, 0, 40, 50, 50, 130, 200};
    C420Settings none(levels, true, false);
    EXPECT_EQ(std::tuple(none.text(lw::kFirstEdit), none.isEnabled(lw::kOk)), std::tuple("", false));
    EXPECT_EQ(none.item(lw::kFirstEdit + 7), nullptr);
    CUV420Settings uvir(levels, true, true);
    uvir.show();
    ASSERT_TRUE(pumpUntil([&] { return !boxes.calls.empty(); }));
    EXPECT_EQ(std::tuple(uvir.text(lw::kFirstEdit + 1), uvir.text(lw::kFirstEdit + 9), boxes.calls[0].caption),
              std::tuple("2", "20.0", "Error"));
}

// A procedure's password question: the window types into copies, which
// reach the fields only on a confirmed OK.
TEST(SetupPasswords, ConfirmedOnTheWindowCopiedBackToTheProcedure) {
    using namespace passwordswin;
    resetShell();
    C2Passwords::InstallAsPrompt();
    Dialog owner;
    std::array<uint8_t, 17> maint{}, admin{};
    for (const auto& [typed, ok] : {std::pair{"xpass", false}, {"mpass", true}}) {
        whenOpen<C2Passwords>([typed, ok](C2Passwords& p) {
            for (int id : {kMaint, kMaintAgain, kAdmin, kAdminAgain}) p.setText(id, typed);
            p.onCommand(ok ? IDOK : IDCANCEL);
        });
        bool confirmed = !ok;
        onLink([&] { confirmed = owner.panel()->askPasswords(maint, admin); });
        EXPECT_EQ(confirmed, ok);
        EXPECT_STREQ(reinterpret_cast<const char*>(admin.data()), ok ? typed : "");
    }
}

}  // namespace
