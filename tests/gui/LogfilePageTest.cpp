// The "Logfile" page in the main window against a simulated detector: the
// opening, Get, Get All behind the 9600-baud question with its switch to
// 57600, the texts while it runs and after, DetLog.txt, "Open Last" as an
// argument list, and the poll going on (at 9600 again) once the page is left.
#include <gtest/gtest.h>

#include <QMenu>
#include <QProgressBar>
#include <QTreeWidget>

#include "MainWindowLine.h"
#include "app/firmware/CFlash.h"

namespace {

using namespace flashwin;

class LogfilePage : public MainWindowLine {
protected:
    void SetUp() override {
        auto ir = testline::ir(1);
        ir.logRecords = 13;  // a ring of 2 x 5: the next record goes to 3
        ir.ringSectors = 2;
        ir.ringSlots = 5;
        ir.maxRecs = 4;
        ASSERT_NO_FATAL_FAILURE(openOn({ir}));
        ASSERT_TRUE(pumpUntil([&] { return window->poll().connected(); }));
        flash = dynamic_cast<CFlash*>(window->pageById(page::Logfile));
        ASSERT_NE(flash, nullptr);
        window->showEntry(1, 3);
        ASSERT_TRUE(pumpUntil([&] { return flash->ring().has_value(); }));
    }
    void TearDown() override {
        CFlash::SetLauncher({});
        MainWindowLine::TearDown();
    }
    QTreeWidget* list() const { return flash->itemAs<QTreeWidget>(kList); }
    CFlash* flash = nullptr;
};

TEST_F(LogfilePage, GetGetAllAndThePollAfter) {
    EXPECT_EQ(flash->text(kPosition), "3");
    EXPECT_EQ(flash->text(kCount), "4");  // the rows that fit, cut to max_get_recs
    EXPECT_NE(flash->text(kWorkTime), "");

    flash->setText(kCount, "3");
    flash->onCommand(kGet);
    ASSERT_TRUE(pumpUntil([&] { return !flash->running(); }, 10000));
    ASSERT_EQ(list()->topLevelItemCount(), 3);
    EXPECT_EQ(list()->topLevelItem(2)->text(1), "12");  // the newest record, just before position 3
    EXPECT_EQ(flash->text(kPosition), "0");
    list()->setCurrentItem(list()->topLevelItem(0));
    EXPECT_EQ(flash->text(kStatus).rfind("Status: ", 0), 0u);

    BoxRecorder boxes;
    boxes.next = {3, 2};  // "Don't show all records...", then up to 57600
    flash->onCommand(kGetAll);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "Baudrate too low...   Recommend switching to 57600 baud");
    EXPECT_EQ(boxes.calls[0].labels, (std::vector<std::string>{"Continue leaving the baudrate unchanged",
                                                                "Increase the baudrate to 57600 and continue",
                                                                "Don't show all records..."}));
    EXPECT_FALSE(flash->running());
    flash->onCommand(kGetAll);
    EXPECT_EQ(LinkBaud(), 57600u);
    ASSERT_TRUE(flash->running());
    EXPECT_EQ(flash->text(kGetAll), "Abort");
    EXPECT_FALSE(flash->isEnabled(kGet));
    EXPECT_TRUE(flash->isEnabled(kGetAll));
    ASSERT_TRUE(pumpUntil([&] { return !flash->running(); }, 15000));
    EXPECT_EQ(list()->topLevelItemCount(), 10);
    window->grab().save(q((buildFolder / "logfile-page.png").string()));
    EXPECT_EQ(flash->text(kGetAll), "Get All Records");
    EXPECT_TRUE(flash->isEnabled(kGet));
    EXPECT_EQ(flash->windowTitle().toStdString(), "Logfile");
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(std::ifstream("DetLog.txt").rdbuf()), {}, '\n'), 11);
    EXPECT_TRUE(pumpUntil([&] { return flash->itemAs<QProgressBar>(kProgress)->value() == 0; }));
    flash->onCommand(kGetAll);  // at 57600 now: no question
    flash->onCommand(kGetAll);  // "Abort": before the procedure's turn, or after its first page
    ASSERT_TRUE(pumpUntil([&] { return !flash->running(); }, 10000));
    EXPECT_LT(list()->topLevelItemCount(), 10);

    std::vector<std::string> launched;
    CFlash::SetLauncher([&](const std::string& program, const std::vector<std::string>& args) {
        launched = {program};
        launched.insert(launched.end(), args.begin(), args.end());
        return true;
    });
    flash->openLastMenu()->actions().at(1)->trigger();  // "With Excel"
    ASSERT_EQ(launched.size(), 3u);
    EXPECT_EQ(launched[1], "--calc");
    EXPECT_EQ(launched[2], (std::filesystem::current_path() / "DetLog.txt").string());

    auto polls = std::make_shared<std::atomic<int>>(0);
    window->poll().subscribe([polls](const PollOutcome& o) { *polls += o.connected; });
    EXPECT_TRUE(pumpUntil([&] { return *polls > 0; }));
    window->showEntry(1, 0);
    EXPECT_EQ(LinkBaud(), 9600u);
    const int before = *polls;
    EXPECT_TRUE(pumpUntil([&] { return *polls > before; }));
}

}  // namespace
