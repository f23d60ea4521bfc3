// The version page and the flash dump window against the simulator: what
// they show, and where the version page's picture goes (or why not).
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <filesystem>

#include "MainWindowLine.h"
#include "app/firmware/CDumpFlash1.h"
#include "app/kit/FolderDialog.h"
#include "app/util/CVersionInfo.h"
#include "firmware/CDumpFlash1Ids.h"
#include "shell/CTesselMainIds.h"
#include "sim/Control.h"

namespace {

namespace fs = std::filesystem;

class VersionFlashLine : public MainWindowLine {
protected:
    void SetUp() override {
        auto ir = testline::ir(1);
        ir.serial = 42;
        ASSERT_NO_FATAL_FAILURE(openOn({ir}));
        ASSERT_TRUE(pumpUntil([&] { return window->poll().connected() && Shell().detector.lastSerial == 42; }));
        window->setChecked(mainwin::kPolling, false);
        window->onCommand(mainwin::kPolling);
        onLink([] {});
    }
    void TearDown() override {
        SetFolderDialogAnswerer({});
        Shell().scriptRunning = false;
        MainWindowLine::TearDown();
    }
    void control(const std::string& command) { ASSERT_EQ(wsim::runControlCommand(*line, command, nullptr), "ok"); }
    std::string lastBox() const {
        return boxes.calls.empty() ? "" : boxes.calls.back().caption + ": " + boxes.calls.back().text;
    }
    BoxRecorder boxes;
};

TEST_F(VersionFlashLine, VersionPageAndItsPicture) {
    CVersionInfo page(nullptr, true);
    page.show();
    EXPECT_EQ(page.windowTitle().toStdString(), "Harrow Version Info");
    ASSERT_TRUE(pumpUntil([&] { return page.text(CVersionInfo::kDetectorText).find("4.17") != std::string::npos; }));
    EXPECT_NE(page.text(CVersionInfo::kHostText).find("\r\n\r\nModbus.Dll v"), std::string::npos);
    page.grab().save(q((buildFolder / "version.png").string()));

    const struct {
        const char* chosen;  // in the save-folder dialog; empty: Cancel
        bool script;
        const char* box;
        const char* file;
    } saves[] = {
        {"unused", true, "", "00042/version.png"},  // Param.ini has no szSaveFolder: the working folder
        {"shots", false, "Screenshot saved to:: shots/00042", "shots/00042/version.png"},
        {"", false, "", nullptr},
        {"/proc/none", false, "Error: Cannot write \"/proc/none/00042/version.png\"", nullptr},
    };
    for (const auto& s : saves) {
        SCOPED_TRACE(s.chosen);
        boxes.calls.clear();
        SetFolderDialogAnswerer([&](const std::string& title) { return title == "Save Folder" ? s.chosen : "?"; });
        Shell().scriptRunning = s.script;
        EXPECT_EQ(page.savePicture(), s.file != nullptr);
        EXPECT_EQ(lastBox(), s.box);
        EXPECT_TRUE(!s.file || fs::exists(s.file));
    }
    Shell().scriptRunning = false;

    fs::create_directory("summary");
    boxes.calls.clear();
    control("silent 1");
    page.refreshAndSave("summary/Version.png");
    EXPECT_TRUE(fs::exists("summary/Version.png"));
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(page.text(CVersionInfo::kDetectorText), "N / A");
    EXPECT_NE(page.text(CVersionInfo::kHostText).find("Wexcon, v"), std::string::npos);
}

TEST_F(VersionFlashLine, FlashDumpWindow) {
    using namespace dumpflash;
    for (bool failing : {false, true}) {
        SCOPED_TRACE(failing);
        boxes.calls.clear();
        if (failing) control("flash-silent 1 8043FF0");
        CDumpFlash1 dump;
        dump.show();
        const int last = failing ? kAppCode : kStoreInfo;
        ASSERT_TRUE(pumpUntil([&] { return !dump.text(last).empty() && (!failing || !boxes.calls.empty()); }, 10000));
        onLink([] {});
        EXPECT_EQ(dump.text(kSerial), "42   0x0000002A");
        EXPECT_TRUE(QFontInfo(dump.itemAs<QLabel>(kAppCode)->font()).fixedPitch());
        EXPECT_EQ(boxes.calls.size(), failing ? 1u : 0u);
        if (failing) {
            EXPECT_EQ(lastBox(), "Error: Failed reading APP Info from detector...");
            for (int id : {kAppInfo, kStoreCode, kStoreInfo}) EXPECT_EQ(dump.text(id), "");
        }
    }
}

}  // namespace
