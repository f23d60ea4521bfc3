// The trend page: fed by the main window's status poll whatever page is shown,
// its mouse zoom and pans, the exports, and a picture in the build folder.
#include <gtest/gtest.h>

#include <QMenu>
#include <cmath>

#include "MainWindowLine.h"
#include "app/monitor/CGraph.h"
#include "util/Profile.h"

namespace {

using namespace graphwin;

class TrendOnDemoLine : public MainWindowLine {
protected:
    void SetUp() override { openOn(testline::demo()); }
};

TEST_F(TrendOnDemoLine, EveryGoodAnswerIsOfferedToTheHistory) {
    auto* graph = dynamic_cast<CGraph*>(window->pageById(page::Trend));
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->history().size(), 60u);  // no "Trend" keys: an hour at one a minute
    EXPECT_EQ(ProfileGetInt("Param.ini", "Trend", "FreqUnits", 0), 1);
    // The Select page is shown; the first answer is stored at once, as the newest sample.
    ASSERT_TRUE(pumpUntil([&] { return graph->history().at(59).vin > 1; }));
    EXPECT_GT(graph->history().at(59).ma, 3.9f);
}

TEST(TrendPage, ZoomPanExportAndPicture) {
    resetShell();
    const std::filesystem::path buildFolder = std::filesystem::current_path();
    TempFolder folder;
    std::ofstream("Param.ini") << "[Trend]\nDuration=10\nDurationUnits=0\nFreq=1\nFreqUnits=0\n";
    std::time_t now = 1796479407;
    CGraph graph(nullptr, "Param.ini", [&] { return now; });
    graph.resize(640, 420);
    graph.show();
    for (int i = 0; i < 600; ++i, ++now)
        graph.history().add(24 + 2 * std::sin(i / 40.0f), 25 + i / 60.0f, 4 + 8 * (i % 200) / 200.0f);
    graph.onCommand(kTemp);
    EXPECT_EQ(graph.text(kTemp), ">  Temp  <");
    graph.grab().save(QString::fromStdString((buildFolder / "trend-page.png").string()));

    BoxRecorder boxes;
    graph.pickRange(300, 301);  // a pixel: too small a range
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].caption + ": " + boxes.calls[0].text, "Range too small: Try again...");
    EXPECT_FALSE(graph.isEnabled(kPanRight));
    graph.pickRange(400, 600);  // past the right end: clipped to it
    EXPECT_TRUE(graph.history().zoomed());
    EXPECT_EQ(graph.history().last(), 599u);
    EXPECT_EQ(graph.text(kLive), "Back to LIVE");
    EXPECT_TRUE(graph.isEnabled(kPanRight));
    graph.onCommand(kPanRight);
    EXPECT_EQ(graph.history().last(), 599u);
    graph.grab().save(QString::fromStdString((buildFolder / "trend-page-zoomed.png").string()));

    graph.onCommand(kExport);
    EXPECT_EQ(slurp("TrendLog.txt").rfind("#\tDate\tVin [V]\tTemperature [\u00B0C]\t4-20 [mA]\n0\t", 0), 0u);
    std::vector<std::string> entries;
    for (QAction* a : graph.exportMenu()->actions()) entries.push_back(a->text().toStdString());
    EXPECT_EQ(entries, (std::vector<std::string>{"With Notepad", "With Excel", "As CSV...", "As PNG..."}));
    graph.exportMenu()->hide();
    EXPECT_TRUE(graph.savePng("trend.png"));
    EXPECT_FALSE(graph.saveCsv("/nonexistent/trend.csv"));
    EXPECT_EQ(boxes.calls.back().text, "Failed opening \"/nonexistent/trend.csv\" for writing...");
    graph.onCommand(kLive);
    EXPECT_EQ(graph.text(kLive), "L I V E");
    EXPECT_FALSE(graph.history().zoomed());
}

}  // namespace
