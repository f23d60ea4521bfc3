// "Detector Setup" against the simulator: the modal dialog and the main
// window's page, the 4-20 windows and the password question. Every real burn
// waits 4 s by design, so only two are made.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
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

namespace {

void click(Dialog& d, int id) { qobject_cast<QAbstractButton*>(d.item(id))->click(); }
QLineEdit* edit(Dialog& d, int id) { return d.itemAs<QLineEdit>(id); }
std::vector<std::string> texts(const BoxRecorder& boxes) {
    std::vector<std::string> all;
    for (const auto& call : boxes.calls) all.push_back(call.caption + ": " + call.text);
    return all;
}

// Acts on the next modal window of type W as soon as it is open.
template <class W>
void whenOpen(std::function<void(W&)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* window = dynamic_cast<W*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*window);
        }
    });
    timer->start(20);
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
    void pollingOff() {
        window->setChecked(mainwin::kPolling, false);
        window->onCommand(mainwin::kPolling);
        onLink([] {});  // the last tick is over
    }
    uint8_t detectorByte(size_t offset) {
        uint8_t value = 0;
        line->withDetector(1, [&](wsim::Detector& d, int64_t) { value = d.setup()[offset]; });
        return value;
    }
    uint64_t frames() { return line->stats().frames; }
    static bool filled(Dialog& d) { return d.text(w::kInterval) == "15"; }
};

TEST_F(SetupWindow, ModalDialogBurnsOnceAndClosesWithOk) {
    BoxRecorder boxes;
    C2Passwords::InstallAsPrompt();
    ::Setup dialog(true, window.get());
    dialog.show();
    EXPECT_EQ(WindowAt(slot::Setup), nullptr);  // a script typing now would lose its text to the fill
    ASSERT_TRUE(pumpUntil([&] { return filled(dialog); }));
    EXPECT_EQ(WindowAt(slot::Setup), &dialog);
    EXPECT_EQ(dialog.text(w::kSensitivity), "30");
    EXPECT_EQ(dialog.text(w::kFaultCount), "3");
    EXPECT_TRUE(dialog.isChecked(w::kNotSet));
    EXPECT_FALSE(dialog.isEnabled(w::kApply));
    EXPECT_FALSE(dialog.isEnabled(w::kIrOnly));  // IR model: no channels to choose
    click(dialog, w::kExplosion);                // with an alarm delay: the note beside it
    EXPECT_TRUE(QToolTip::text().startsWith("When \u201cExplosion\u201d is selected"));
    pollingOff();

    // A refused value: the message, the focus on its text, nothing sent.
    const uint64_t before = frames();
    edit(dialog, w::kInterval)->setText("61");
    EXPECT_TRUE(dialog.isEnabled(w::kApply));
    click(dialog, w::kApply);
    EXPECT_EQ(texts(boxes),
              std::vector<std::string>{"Error: BIT interval may not be < 1 nor > 60"});
    EXPECT_EQ(edit(dialog, w::kInterval)->selectedText(), "61");

    // "Locked" asks for the passwords; a Cancel sends nothing either.
    edit(dialog, w::kInterval)->setText("20");
    click(dialog, w::kLocked);
    EXPECT_TRUE(dialog.item(w::kResetPasswords)->isVisibleTo(&dialog));
    whenOpen<C2Passwords>([](C2Passwords& p) { p.onCommand(IDCANCEL); });
    click(dialog, w::kApply);
    ASSERT_TRUE(pumpUntil([&] { return boxes.calls.size() == 2; }));
    EXPECT_EQ(texts(boxes)[1], "Error: Passwords not entered.\r\nBurn canceled...");
    ASSERT_TRUE(pumpUntil([&] { return dialog.isEnabled(w::kApply); }));
    EXPECT_EQ(frames(), before);

    // The burn: Apply is disabled while it runs, so F3 does nothing then.
    click(dialog, w::kNotSet);
    click(dialog, w::kApply);
    EXPECT_FALSE(dialog.isEnabled(w::kApply));
    dialog.onCommand(w::kApplyKey);
    ASSERT_TRUE(pumpUntil([&] { return !dialog.isVisible(); }, 9000));
    EXPECT_EQ(dialog.result(), IDOK);
    EXPECT_EQ(texts(boxes).size(), 2u);
    EXPECT_EQ(detectorByte(11), 20);  // BitPeriod
    EXPECT_EQ(detectorByte(34), 1);   // one write
    EXPECT_EQ(SetupNow().reference.BitPeriod, 20);
    EXPECT_EQ(WindowAt(slot::Setup), nullptr);
}

TEST_F(SetupWindow, LevelsComeBackOnlyFromASuccessfulOk) {
    BoxRecorder boxes;
    ::Setup dialog(true, window.get());
    dialog.show();
    ASSERT_TRUE(pumpUntil([&] { return filled(dialog); }));
    const int preAlarm = levels420win::kFirstEdit + 5;
    std::string shown;
    bool bitFaultEnabled = true;
    whenOpen<C420Settings>([&](C420Settings& d) {
        shown = d.text(preAlarm);
        bitFaultEnabled = d.isEnabled(levels420win::kFirstEdit + 1);
        d.setText(preAlarm, "30");  // more than a byte holds: refused, checks or not
        d.onCommand(levels420win::kOk);
        d.onCommand(IDCANCEL);
    });
    click(dialog, w::k420Settings);
    EXPECT_EQ(shown, "16.0");
    EXPECT_FALSE(bitFaultEnabled);
    EXPECT_EQ(texts(boxes),
              std::vector<std::string>{
                  "Error: The Pre-Alarm Warning 4-20 current must be a number from 0.0 "
                  "to 25.5"});
    EXPECT_EQ(SetupNow().working.Param420[5], 160);
    EXPECT_FALSE(SetupNow().pending420);
    EXPECT_TRUE(dialog.isEnabled(w::kApply));  // the click was a change

    whenOpen<C420Settings>([&](C420Settings& d) {
        d.setText(preAlarm, "15.5");
        d.onCommand(levels420win::kOk);
    });
    click(dialog, w::k420Settings);
    EXPECT_EQ(SetupNow().working.Param420[5], 155);
    EXPECT_TRUE(SetupNow().pending420);

    // Leaving the window with levels not burned says so, once.
    dialog.activateWindow();
    dialog.item(w::kInterval)->setFocus();
    ASSERT_TRUE(
        pumpUntil([&] { return QApplication::focusWidget() == dialog.item(w::kInterval); }));
    QLineEdit elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    elsewhere.setFocus();
    ASSERT_TRUE(pumpUntil([&] { return boxes.calls.size() == 2; }));
    EXPECT_EQ(texts(boxes)[1],
              "Note: There was no burn...\r\nChanges to the 4-20 settings weren't saved");
    EXPECT_FALSE(SetupNow().pending420);
}

TEST(SetupLevelWindows, OpeningWithAndWithoutADetector) {
    BoxRecorder boxes;
    Levels420 levels{0, 25, 20, 40, 0, 40, 50, 50, 130, 200};
    C420Settings none(levels, true, false);
    EXPECT_EQ(none.text(levels420win::kFirstEdit), "");
    EXPECT_FALSE(none.isEnabled(levels420win::kOk));
    EXPECT_EQ(none.item(levels420win::kFirstEdit + 7), nullptr);

    CUV420Settings uvir(levels, true, true);
    uvir.show();
    ASSERT_TRUE(pumpUntil([&] { return !boxes.calls.empty(); }));
    EXPECT_EQ(uvir.text(levels420win::kFirstEdit + 1), "2");
    EXPECT_EQ(uvir.text(levels420win::kFirstEdit + 9), "20.0");
    EXPECT_EQ(boxes.calls[0].caption, "Error");  // the fix, told once the window shows
    uvir.onCommand(levels420win::kOk);
    ASSERT_TRUE(uvir.result());
    EXPECT_EQ((*uvir.result())[1], 20);
}

// A procedure's password question: the window types into copies, which
// reach the fields only on a confirmed OK.
TEST(SetupPasswords, ConfirmedOnTheWindowCopiedBackToTheProcedure) {
    using namespace passwordswin;
    resetShell();
    C2Passwords::InstallAsPrompt();
    Dialog owner;
    std::array<uint8_t, 17> maint{}, admin{};
    for (const char* typed : {"", "mpass"}) {
        whenOpen<C2Passwords>([typed](C2Passwords& p) {
            for (int id : {kMaint, kMaintAgain, kAdmin, kAdminAgain}) p.setText(id, typed);
            p.onCommand(*typed ? IDOK : IDCANCEL);
        });
        bool confirmed = false;
        onLink([&] { confirmed = owner.panel()->askPasswords(maint, admin); });
        EXPECT_EQ(confirmed, *typed != 0);
        EXPECT_STREQ(reinterpret_cast<const char*>(admin.data()), typed);
    }
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
    EXPECT_FALSE(page->isChecked(w::kNotSet));
    EXPECT_FALSE(page->isChecked(w::kAutoBit));
    line->setSilent(false);
    ASSERT_TRUE(pumpUntil([&] { return filled(*page); }, 10000));  // 3 s after the detector is back

    edit(*page, w::kFaultCount)->setText("4");
    QApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(pumpUntil([&] { return window->currentPage() == page::Select; }, 9000));
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(detectorByte(10), 4);  // BitFaultCount
}

}  // namespace
