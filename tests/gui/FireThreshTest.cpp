// The live data windows on a simulated line: the Recording page records the
// selected detectors to Recordings/ and stops with an "Error" box when it
// cannot write; the console's dialog holds the ticks while it is open; a
// UV/IR detector gets its own page; the comment box edits the start line.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "MainWindowLine.h"
#include "app/kit/WindowTable.h"
#include "app/monitor/CComment.h"
#include "app/monitor/FireThresh.h"
#include "app/shell/CTesselDlg.h"
#include "monitor/FireThreshIds.h"
#include "network/AddressBook.h"
#include "shell/CTesselDlgIds.h"
#include "shell/WindowSlots.h"
#include "support/TempFolder.h"

using namespace firewin;
namespace fs = std::filesystem;

namespace {

constexpr int kStatusGroup = 1, kRecordingEntry = 2;

std::string lastLine(const std::string& path) {
    std::ifstream in(path);
    std::string line, last;
    while (std::getline(in, line)) last = line;
    return last;
}

class FireThreshOnLine : public MainWindowLine {
protected:
    void open(const std::vector<wsim::DetectorConfig>& detectors, std::vector<uint8_t> selected) {
        ResetBook();
        ASSERT_NO_FATAL_FAILURE(openOn(detectors));
        for (uint8_t a : selected) Book().setState(a, AddressBook::Selected);
        Book().rebuildList();
        ASSERT_TRUE(pumpUntil([&] { return window->poll().connected(); }));
    }
    void TearDown() override {
        MainWindowLine::TearDown();
        ResetBook();
    }
    // The Recording entry of the STATUS group, once it shows a record.
    FireThresh& recordingPage(int expectedPage) {
        window->showEntry(kStatusGroup, kRecordingEntry);
        auto* page = dynamic_cast<FireThresh*>(window->pageById(expectedPage));
        EXPECT_TRUE(pumpUntil([&] { return window->currentPage() == expectedPage && page->lastStep().record; }));
        return *page;
    }
    // Answers the comment box with `text` (Insert) or cancels it.
    static void answerComment(std::optional<std::string> text) {
        whenOpen<CComment>([text](CComment& box) {
            EXPECT_EQ(s(box.windowTitle()), "Insert Comment into Log");
            if (!text) return box.onCommand(IDCANCEL);
            box.itemAs<QLineEdit>(kCommentEdit)->setText(q(*text));
            box.onCommand(IDOK);
        });
    }
};

// Two IR detectors recorded 'fast' in turn, a comment, the separator at the
// stop, the ticks held while the page shows; nothing selected and an
// unwritable folder each end in their box with recording off.
TEST_F(FireThreshOnLine, RecordingPageRecordsAndStops) {
    ASSERT_NO_FATAL_FAILURE(open({testline::ir(1), testline::ir(2)}, {1, 2}));
    BoxRecorder boxes;
    FireThresh& page = recordingPage(page::Recording);
    EXPECT_EQ(window->clock()->period(), 50u);
    EXPECT_NE(window->clock()->target(), 0);
    EXPECT_EQ(page.text(kCaption + 0), "Address");
    EXPECT_FALSE(page.item(kPlay)->isVisible());

    page.onCommand(kFast);
    EXPECT_EQ(s(page.windowTitle()), "Recording: ON");
    ASSERT_EQ(page.recorder()->files().size(), 1u);
    const std::string log = page.recorder()->files()[0];
    EXPECT_EQ(fs::path(log).parent_path().filename(), "Recordings");
    EXPECT_EQ(fs::path(log).filename().string().rfind("VovaVULog_Y", 0), 0u);
    answerComment("roof two");
    page.onCommand(kComment);
    // Both addresses appear; the replay controls once 50 records have come.
    EXPECT_TRUE(pumpUntil([&] { return page.item(kPlay)->isVisible(); }, 30000));
    page.onCommand(kStop);
    EXPECT_EQ(s(page.windowTitle()), "Recording: OFF");
    const std::string text = slurp(log);
    EXPECT_NE(text.find("<> Start 'fast' recording\n"), std::string::npos);
    EXPECT_NE(text.find("<roof two> Start 'fast' recording\n"), std::string::npos);
    EXPECT_NE(text.find("\n1\t"), std::string::npos);
    EXPECT_NE(text.find("\n2\t"), std::string::npos);
    EXPECT_EQ(lastLine(log).rfind("========\t", 0), 0u);

    // The extended option is the host's setting.
    for (bool on : {true, false}) {
        page.setChecked(kExtendedLog, on);
        page.onCommand(kExtendedLog);
        EXPECT_EQ(ExtendedLogSetting(), on);
    }

    fs::remove_all("Recordings");
    std::ofstream("Recordings") << "a file where the folder goes";
    page.onCommand(kEveryMinute);
    ASSERT_FALSE(boxes.calls.empty());
    EXPECT_EQ(boxes.calls.back().caption, "Error");
    EXPECT_NE(boxes.calls.back().text.find("Recordings/VovaVULog_Y"), std::string::npos) << boxes.calls.back().text;
    EXPECT_EQ(s(page.windowTitle()), "Recording: OFF");
    EXPECT_FALSE(page.isChecked(kEveryMinute));

    ResetBook();
    page.onCommand(kEvery1500);
    EXPECT_EQ(boxes.calls.back().caption, "Network Empty:");
    EXPECT_EQ(boxes.calls.back().text, "'Select' an address or add an address to 'Network' to start recording...");
    EXPECT_FALSE(page.recorder()->on());

    // Leaving the page hands the ticks to the main window at 50 ms.
    window->showEntry(kStatusGroup, 0);
    EXPECT_TRUE(pumpUntil([&] { return window->clock()->target() == 0; }));
    EXPECT_EQ(window->clock()->period(), 50u);
}

// The console's "&Fire Thresholds" opens the dialog for the detector's
// family in slot 5; it has the ticks until it closes, then the console again.
// For a UV/IR detector the main window shows the UV/IR page.
TEST_F(FireThreshOnLine, ConsoleDialogAndUvirPage) {
    ASSERT_NO_FATAL_FAILURE(open({testline::uvir(1)}, {}));
    BoxRecorder boxes;
    ASSERT_TRUE(pumpUntil([&] { return Shell().detector.uvirModel.load(); }));
    {
        CTesselDlg console(window.get());
        console.show();
        ASSERT_TRUE(console.isEnabled(techdlg::kFireThresholds));
        ASSERT_TRUE(pumpUntil([&] { return window->clock()->target() != 0; }));
        const PollClock::Target consoleTicks = window->clock()->target();
        bool opened = false;
        whenOpen<UVIRFireThresh>([&](UVIRFireThresh& dialog) {
            opened = true;
            EXPECT_EQ(WindowAt(slot::FireThresholds), &dialog);
            EXPECT_EQ(s(dialog.windowTitle()), "UV/IR Fire Thresholds");
            EXPECT_EQ(dialog.item(kGradAlarm), nullptr);
            EXPECT_TRUE(pumpUntil([&] { return window->clock()->target() != consoleTicks && dialog.lastStep().record; }));
            EXPECT_EQ(dialog.text(kCaption + 5), "UV_Sum");
            dialog.onCommand(kEveryMinute);
            EXPECT_EQ(boxes.calls.back().text, "Exit dialog and select an address for recording...");
            dialog.reject();
        });
        console.onCommand(techdlg::kFireThresholds);
        EXPECT_TRUE(opened);
        EXPECT_EQ(WindowAt(slot::FireThresholds), nullptr);
        EXPECT_TRUE(pumpUntil([&] { return window->clock()->target() == consoleTicks; }));
        EXPECT_EQ(window->clock()->period(), 50u);
    }

    Book().setState(1, AddressBook::Selected);
    Book().rebuildList();
    FireThresh& page = recordingPage(page::UvirThresholds);
    answerComment(std::nullopt);
    page.onCommand(kComment);  // kept for the start line
    page.onCommand(kEvery1500);
    ASSERT_EQ(page.recorder()->files().size(), 1u);
    const std::string log = page.recorder()->files()[0];
    EXPECT_EQ(fs::path(log).filename().string().rfind("UVIRLog_Y", 0), 0u);
    EXPECT_EQ(slurp(log).rfind("<-> Start recording every 1.5 sec\nAddress\t", 0), 0u);
    EXPECT_TRUE(pumpUntil([&] { return lastLine(log).rfind("1\t", 0) == 0; }, 10000));
}

}  // namespace
