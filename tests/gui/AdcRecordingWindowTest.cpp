// The ADC recording windows offscreen against the simulator: each records,
// refuses the plot program while it does, and on closing stops the detector
// and takes the line back to 9600 baud.
#include <gtest/gtest.h>

#include <QPointer>
#include <filesystem>

#include "GuiSupport.h"
#include "app/monitor/CInfo.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"

namespace {

using namespace adcwin;

class AdcWindow : public TestLine {
protected:
    void SetUp() override {
        resetShell();
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(1)}));
        ASSERT_NO_FATAL_FAILURE(openWire(1));
    }
    void TearDown() override {
        resetShell();
        TestLine::TearDown();
    }
    const std::filesystem::path pictures = std::filesystem::current_path();  // before the folder moves there
    TempFolder folder;
};

TEST_F(AdcWindow, RecordsAndStopsOnClosing) {
    for (const bool pulled : {false, true}) {
        SCOPED_TRACE(pulled ? "CRec100Hz" : "CInfo");
        QPointer<CInfo> window = pulled ? new CRec100Hz(nullptr, false) : new CInfo(nullptr, 2, false);
        window->show();
        // The opening reads name the detector, and only then may a start go out;
        // scripts find the dialog by its name.
        EXPECT_FALSE(window->isEnabled(kStart));
        ASSERT_TRUE(pumpUntil([&] { return window->isEnabled(kStart); }, 10000));
        EXPECT_EQ(window->text(kDetector).rfind("Address 1, S/N 21030001, ", 0), 0u) << window->text(kDetector);
        EXPECT_NE(window->text(kDetector).find("; parameters read; setup read"), std::string::npos);
        EXPECT_EQ(window->objectName().toStdString(), pulled ? "Make 100Hz IR4 ADC Recording" : "Make 2.3KHz IR4 ADC Recording");
        window->setText(kName, "w");
        window->onCommand(kStart);
        EXPECT_FALSE(window->isEnabled(kStart));  // one start at a time
        ASSERT_TRUE(pumpUntil([&] { return !window->text(kState).empty(); }, 20000)) << window->text(kStatus);
        EXPECT_EQ(Shell().busy.load(), !pulled);  // the stream keeps the poll aside
        EXPECT_EQ(window->text(kState).substr(0, 2), "N ");
        EXPECT_EQ(window->text(kStatus).rfind("Current blk", 0), 0u);
        window->grab().save(QString::fromStdString((pictures / (pulled ? "rec100hz.png" : "info.png")).string()));
        BoxRecorder boxes;
        window->onCommand(kPlot);
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].text, "Recording is ongoing...");
        window->close();
        ASSERT_TRUE(pumpUntil([&] { return window->text(kStatus).find("suceeded") != std::string::npos; }, 15000));
        ASSERT_TRUE(pumpUntil([&] { return LinkBaud() == 9600; }, 15000));
        bool streaming = true;
        line->withDetector(1, [&](wsim::Detector& d, int64_t) { streaming = d.streaming(); });
        EXPECT_FALSE(streaming);
        EXPECT_TRUE(std::filesystem::exists(pulled ? "Recordings/w.100" : "Recordings/w.bin"));
        delete window;
    }
}

}  // namespace
