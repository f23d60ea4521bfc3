// "Detector Network" and the page search as windows: boxes as the user clicks
// them, the modal dialog's SAVE, and searches paced by the window's own timer
// or, inside the main window, by its clock.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QListWidget>

#include "GuiSupport.h"
#include "app/network/CNetwork.h"
#include "app/network/CSearchPage.h"
#include "app/shell/CTesselMain.h"
#include "network/AddressBook.h"
#include "network/CNetworkIds.h"
#include "network/CSearchPageIds.h"
#include "shell/StartUp.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"

using namespace netwin;
using Lines = std::vector<std::string>;

namespace {

void click(Dialog& w, int id) { qobject_cast<QAbstractButton*>(w.item(id))->click(); }

Lines listLines(const Dialog& w) {
    Lines lines;
    const auto* list = w.itemAs<QListWidget>(searchwin::kList);
    for (int i = 0; i < list->count(); ++i) lines.push_back(s(list->item(i)->text()));
    return lines;
}

// Runs the search window, pressing "Close" once it shows; `watch` sees each 20 ms.
void runSearch(CSearchPage& search, const std::function<void()>& watch = {}) {
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (watch) watch();
        if (search.text(searchwin::kButton) == "Close") click(search, searchwin::kButton);
    });
    timer.start(20);
    search.exec();
}

TEST(NetworkWindow, BoxesAndTheModalDialog) {
    resetShell();
    ResetBook();
    Book().setState(5, AddressBook::NotFound);
    CNetwork page(nullptr);
    page.show();
    click(page, kFirstBox + 4);  // indeterminate -> checked
    EXPECT_EQ(page.checkState(kFirstBox + 4), 1);
    click(page, kPageButton + 4);  // a box without an address is hidden
    EXPECT_TRUE(page.item(kFirstBox + 46)->isVisible());
    EXPECT_FALSE(page.item(kFirstBox + 47)->isVisible());

    // The modal dialog's SAVE closes it, and the page shows what it saved.
    CNetwork dialog(nullptr, true);
    dialog.show();
    click(dialog, kBox247);
    click(dialog, kSave);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(Book().selected(), (std::vector<uint8_t>{247, 5}));
    EXPECT_EQ(page.checkState(kBox247), 1);
    ResetBook();
}

class SearchWindow : public TestLine {
protected:
    void SetUp() override {
        resetShell();
        ResetBook();
    }
    void TearDown() override {
        ResetBook();
        resetShell();
        TestLine::TearDown();
    }
};

// Alone, the search window's timer paces it. Inside the main window, which
// shows the start-up selection of Param.ini, it takes the poll clock's ticks
// and gives them back.
TEST_F(SearchWindow, PacedByItsTimerOrTheMainWindowsClock) {
    TempFolder folder;
    startLine(testline::demo());
    std::ofstream("Param.ini") << "[DCB]\nszCom=" << line->slavePath()
                               << ":9600,n,8,1\n[VantorD]\niGood=1\n[Network]\ndetector0=17\naddress1=0\n";
    LoadHostSettings();
    ASSERT_TRUE(OpenDetectorLink([] { return false; }));
    BoxRecorder boxes(IDNO);
    boxes.next = {IDYES};
    {
        CSearchPage alone(1, 1, {});
        runSearch(alone);
        EXPECT_EQ(listLines(alone), (Lines{"Model QXD-S1 found at address 1", "Done."}));
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].caption, "Detectors found:");
        EXPECT_TRUE(alone.search().addAll());
    }

    auto window = std::make_unique<CTesselMain>(CTesselMain::Options{});
    window->show();
    CNetwork* page = nullptr;
    for (QDialog* child : window->findChildren<QDialog*>())
        if (!page) page = dynamic_cast<CNetwork*>(child);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->checkState(kFirstBox + 16), 1);
    EXPECT_EQ(page->checkState(kFirstBox + 1), 2);  // no key: not found

    auto polls = std::make_shared<std::atomic<int>>(0);
    window->poll().subscribe([polls](const PollOutcome&) { ++*polls; });
    ASSERT_TRUE(pumpUntil([&] { return *polls > 0; }));
    {
        CSearchPage search(1, 4, {}, window.get());
        int atFirstLine = -1, atDone = -1;
        runSearch(search, [&] {
            if (atFirstLine < 0 && !listLines(search).empty()) atFirstLine = *polls;
            if (search.text(searchwin::kButton) == "Close") atDone = *polls;
        });
        EXPECT_EQ(listLines(search).size(), 5u);
        ASSERT_GE(atFirstLine, 0);
        EXPECT_LE(atDone - atFirstLine, 1);  // two silent addresses, over two seconds, without a status poll
    }
    const int after = *polls;
    EXPECT_TRUE(pumpUntil([&] { return *polls > after + 2; }));  // the main window polls again
    window.reset();
}

}  // namespace
