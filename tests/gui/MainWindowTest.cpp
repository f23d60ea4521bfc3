// The main window on the demo line.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <filesystem>
#include <fstream>
#include <thread>

#include "MainWindowLine.h"
#include "app/network/CSelect.h"
#include "app/shell/CTesselMain.h"
#include "network/CSelectIds.h"
#include "protocol/SwitchComm.h"
#include "shell/StartUp.h"
#include "support/TempFolder.h"
#include "support/TestLine.h"

namespace {

class MainWindowOnDemoLine : public MainWindowLine {
protected:
    void SetUp() override { openOn(testline::demo()); }
    bool showsDetector(const std::string& address) {
        return pumpUntil([&] { return window->text(ctl::Address) == address && window->text(ctl::CommState) == "ONLINE"; });
    }
};

TEST_F(MainWindowOnDemoLine, PollsAndShowsTheDetector) {
    // The polls run off the interface thread. The listener outlives this body.
    struct Seen {
        std::atomic<bool> polled{false}, onInterface{false};
    };
    auto seen = std::make_shared<Seen>();
    window->poll().subscribe([seen, interface = std::this_thread::get_id()](const PollOutcome&) {
        if (std::this_thread::get_id() == interface) seen->onInterface = true;
        seen->polled = true;
    });
    ASSERT_TRUE(showsDetector("1"));
    ASSERT_TRUE(pumpUntil([&] { return seen->polled.load(); }));
    EXPECT_FALSE(seen->onInterface);
    EXPECT_EQ(window->text(ctl::Mode), "N");
    EXPECT_EQ(window->text(ctl::StatusText), "Normal");
    EXPECT_EQ(window->text(ctl::Model), "QXD-S1");
    EXPECT_EQ(window->windowTitle().toStdString(), "Harrow  -  Select");
    // A picture for people to look at.
    window->grab().save(QString::fromStdString((buildFolder / "main-window.png").string()));

    window->selectAddress(2, true);
    ASSERT_TRUE(showsDetector("2"));
    EXPECT_EQ(window->text(ctl::AddressLabel), "Address:");
    EXPECT_TRUE(Shell().detector.uvirModel);
}

TEST_F(MainWindowOnDemoLine, LocateFindsOnlyALoneDetector) {
    ASSERT_TRUE(showsDetector("1"));
    auto* select = static_cast<CSelect*>(window->pageById(page::Select));
    select->setChecked(selectpage::kLocate, true);
    select->onCommand(selectpage::kLocate);
    EXPECT_EQ(select->text(selectpage::kLocate), "L O C A T I N G . . .");
    EXPECT_FALSE(select->isEnabled(selectpage::kBit));
    // Three detectors answer the broadcast at once and garble each other.
    ASSERT_TRUE(pumpUntil([&] { return window->poll().consecutiveFailures() >= 3; }));
    EXPECT_TRUE(select->locating());
    onLink([] { EXPECT_EQ(Wire().slave, 0u); });

    line->setDetectorSilent(1, true);
    line->setDetectorSilent(2, true);
    ASSERT_TRUE(showsDetector("17"));
    ASSERT_TRUE(pumpUntil([&] { return !select->locating(); }));
    EXPECT_EQ(select->text(selectpage::kLocate), "Locate");
    EXPECT_TRUE(select->isEnabled(selectpage::kBit));
    EXPECT_EQ(Shell().detector.address, 17u);
}

TEST_F(MainWindowOnDemoLine, PollingSwitchAndPages) {
    ASSERT_TRUE(showsDetector("1"));
    window->setChecked(mainwin::kPolling, false);
    window->onCommand(mainwin::kPolling);
    EXPECT_EQ(window->text(mainwin::kPolling), "Polling: OFF");
    EXPECT_EQ(window->text(ctl::CommState), "---");

    window->onCommand(mainwin::kGroupButton + 2);
    EXPECT_EQ(window->windowTitle().toStdString(), "Harrow  -  Setup");
    EXPECT_EQ(window->text(mainwin::kSubButton + 1), "               -   Manager Settings");
    EXPECT_EQ(window->currentPage(), page::SetupTable);
    window->onCommand(mainwin::kSubButton + 2);
    window->onCommand(mainwin::kGroupButton + 0);
    window->onCommand(mainwin::kGroupButton + 2);
    EXPECT_EQ(window->currentPage(), page::Misc);  // each group returns to its last entry
}

TEST_F(MainWindowOnDemoLine, ExitSequence) {
    ASSERT_TRUE(showsDetector("1"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(window->isVisible());

    // As after a switch the user did not undo.
    onLink([] {
        Wire().port.baud = 19200;
        ReopenLink();
    });
    BoxRecorder boxes;
    boxes.next = {3};  // "Don't exit and leave the baudrate unchanged"
    window->reject();
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "The current baudrate isn't 9600...");
    EXPECT_EQ(boxes.calls[0].labels[1], "Restore the baudrate to 9600 and then exit");

    boxes.next = {1, IDCANCEL};  // leave the speed, then think better of it
    window->reject();
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(boxes.calls.size(), 3u);
    EXPECT_EQ(boxes.calls[2].text, "Are you sure you want to exit?\r\nClick 'OK' to exit, 'Cancel' to stay");
    EXPECT_FALSE(Shell().busy.load());

    boxes.next = {1, IDOK};
    window->reject();
    EXPECT_FALSE(window->isVisible());
    modbus_t* ctx = nullptr;
    onLink([&] { ctx = Wire().ctx; });
    EXPECT_EQ(ctx, nullptr);
}

TEST_F(MainWindowOnDemoLine, EscInAPageIsTheMainWindowsExit) {
    ASSERT_TRUE(showsDetector("1"));
    BoxRecorder boxes(IDCANCEL);
    QWidget* field = window->pageById(page::Select)->item(page::kAddressField);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(field, &esc);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "Are you sure you want to exit?\r\nClick 'OK' to exit, 'Cancel' to stay");
    EXPECT_TRUE(window->pageById(page::Select)->isVisible());
    EXPECT_TRUE(window->isVisible());
}

}  // namespace
