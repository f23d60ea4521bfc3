// "Upload FW" against the simulator: the speed question, the backup at
// opening, a file chosen and checked, the override box, one update with the
// link raised and brought back, and the poll running again afterwards.
#include <gtest/gtest.h>

#include <QListWidget>
#include <algorithm>

#include "MainWindowLine.h"
#include "app/firmware/CUpload.h"
#include "app/kit/FileOpen.h"
#include "firmware/CUploadIds.h"
#include "firmware/FirmwareFile.h"
#include "protocol/records/ByteOrder.h"
#include "util/WholeFile.h"

namespace {

using namespace upload;

class UploadWindowLine : public MainWindowLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openOn({testline::ir(1)}));
        ASSERT_TRUE(pumpUntil([&] { return window->poll().connected(); }));
        std::ofstream("Param.ini", std::ios::app) << "[FWUpdate]\nfVerifyParam=3\n";
    }
    void TearDown() override {
        SetOpenFileAnswerer({});
        MainWindowLine::TearDown();
    }
    static bool shows(const CUpload& w, const std::string& line) {
        auto* list = w.itemAs<QListWidget>(kMessages);
        return !list->findItems(q(line), Qt::MatchExactly).isEmpty();
    }
    BoxRecorder boxes;
};

TEST_F(UploadWindowLine, UpdateAt57600ThenBackTo9600AndPolling) {
    std::vector<uint8_t> bin = {'W', 'X', 'I', 'R', '-', '5', '9', '0', 18, 4, 0, 0, 0, 0, 0, 0};
    bin.resize(16 + 100, 0x5A);
    le::put32(bin, 12, fw::PayloadCrc(std::span(bin).subspan(16)));
    ASSERT_TRUE(WriteWholeFile("fw.bin", bin));
    const std::string path = std::filesystem::absolute("fw.bin").string();
    SetOpenFileAnswerer([&](const std::string& title) { return title == "Select BIN file: " ? path : ""; });
    boxes.next = {2};  // at 9600: "Increase the baudrate to 57600 and continue"

    CUpload upload(window.get());
    upload.show();
    ASSERT_TRUE(pumpUntil([&] { return upload.text(kStatusLine) == "Backing up parameters - done."; }, 20000));
    EXPECT_EQ(boxes.calls.front().caption, "Baudrate low - switching to 57600 is recommended...");
    EXPECT_EQ(LinkBaud(), 57600u);

    upload.onCommand(kChooseFile);
    ASSERT_TRUE(pumpUntil([&] { return shows(upload, "File OK!"); }));
    EXPECT_TRUE(upload.isEnabled(kStart));
    EXPECT_EQ(upload.text(kFilePath), path);
    EXPECT_EQ(upload.text(kFileVersion) + " " + upload.text(kDetectorVersion), "4.18 4.17");

    // The override box asks; Cancel unchecks it.
    boxes.next = {IDCANCEL};
    upload.setChecked(kAllowOlder, true);
    upload.onCommand(kAllowOlder);
    EXPECT_EQ(boxes.calls.back().caption, "Tech: Warning");
    EXPECT_FALSE(upload.isChecked(kAllowOlder));

    auto polls = std::make_shared<std::atomic<int>>(0);
    window->poll().subscribe([polls](const PollOutcome& o) { *polls += o.status.has_value(); });
    upload.onCommand(kStart);
    ASSERT_TRUE(pumpUntil([&] { return shows(upload, "Dialog will close automatically in 5 seconds..."); }, 60000));
    for (const char* line : {"Uploaded block 1 of 1 with 0 retransmits", "Detector has been restarted successfully.",
                             "Please wait: baudrate will be reset to 9600.", "Parameters verified successfully."})
        EXPECT_TRUE(shows(upload, line)) << line;
    EXPECT_EQ(upload.text(kStart), "Done!");
    EXPECT_EQ(upload.text(kDetectorVersion), "4.18");
    EXPECT_EQ(LinkBaud(), 9600u);
    EXPECT_NE(window->windowTitle().toStdString().find("(Baudrate 9600)"), std::string::npos);
    EXPECT_TRUE(pumpUntil([&] { return !upload.isVisible(); }, 7000));
    *polls = 0;
    EXPECT_TRUE(pumpUntil([&] { return *polls > 0; }));
}

}  // namespace
