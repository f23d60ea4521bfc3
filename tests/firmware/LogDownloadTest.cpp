// The log download against simulated detectors: where a download starts,
// which rings are refused, pages that wrap, fail or ask for too much, and
// what DetLog.txt holds.
#include <gtest/gtest.h>

#include "firmware/LogDownload.h"
#include "firmware/LogWindow.h"
#include "protocol/Commands.h"
#include "shell/FakePanel.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"
#include "util/PumpWait.h"

namespace {

LogRing ring(unsigned sectors, unsigned slots, unsigned current, unsigned max) {
    LogRing r;
    r.recordSize = 43;
    r.sectors = sectors;
    r.slotsPerSector = slots;
    r.maxGetRecs = max;
    r.sector = slots ? current / slots : 0;
    r.slot = slots ? current % slots : 0;
    return r;
}

TEST(LogWindow, AutomaticRowsAndSlowLine) {
    std::vector<uint8_t> blank(kLogRecordSize, 0xFF), kept(kLogRecordSize, 0);
    kept[8] = 240, kept[12] = 'n';
    const LogRing r = ring(2, 5, 0, 4);
    for (bool automatic : {false, true}) {
        LogRows rows(LogFamily::Ir, false, automatic);
        for (const auto* record : {&blank, &kept, &blank})
            EXPECT_EQ(!rows.take(*record, 1, r), automatic && record == &blank);
        EXPECT_EQ(rows.finish(), automatic ? "Detector Logfile: 2 empty records not displayed..." : "");
    }
    const struct {
        unsigned baud, records, total;
        const char* seconds;  // nullptr: no question
    } slow[] = {{9600, 2560, 2560, "120"}, {57600, 2560, 2560, nullptr}, {9600, 100, 300, nullptr},
                {9600, 46, 100, "60"}, {9600, 44, 100, "50"}, {9600, 5, 0, nullptr}};
    for (const auto& c : slow) {
        const auto text = LogSlowLineWarning(c.baud, c.records, c.total);
        ASSERT_EQ(text.has_value(), c.seconds != nullptr) << c.records;
        if (text) {
            EXPECT_EQ(text->rfind(std::string("This operation may take up to ") + c.seconds + " seconds", 0), 0u);
        }
    }
}

TEST(LogPlan, StartCountAndPage) {
    const struct {
        LogRing r;
        LogMode mode;
        unsigned count, from, start, total, page;
    } cases[] = {
        {ring(10, 10, 5, 30), LogMode::UpToCurrent, 10, 0, 95, 10, 10},
        {ring(10, 10, 5, 30), LogMode::UpToCurrent, 50, 0, 75, 30, 30},  // the newest 30, not 50 back
        {ring(2, 4, 3, 30), LogMode::UpToCurrent, 20, 0, 3, 8, 8},
        {ring(10, 10, 5, 30), LogMode::FromPosition, 70, 250, 50, 70, 30},
        {ring(10, 10, 5, 30), LogMode::FromPosition, 500, 7, 7, 100, 30},
        {ring(10, 10, 5, 30), LogMode::All, 20, 0, 0, 100, 30},
    };
    for (const auto& c : cases) {
        const auto plan = PlanLogDownload(c.r, c.mode, c.count, c.from, nullptr);
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->start, c.start) << c.count;
        EXPECT_EQ(plan->count, c.total) << c.count;
        EXPECT_EQ(plan->page, c.page) << c.count;
    }
    const LogRing r = ring(10, 10, 5, 30);
    EXPECT_EQ(MoveLogPosition(r, 95, 10, LogMove::PageDown), 4u);
    EXPECT_EQ(MoveLogPosition(r, 5, 10, LogMove::PageUp), 96u);
    EXPECT_EQ(MoveLogPosition(r, 99, 10, LogMove::LineDown), 0u);
    EXPECT_EQ(MoveLogPosition(r, 0, 10, LogMove::LineUp), 99u);
    EXPECT_EQ(MoveLogPosition(r, 0, 250, LogMove::PageUp), 51u);

    LogRing wrongSize = ring(8, 64, 0, 30), outside = ring(8, 64, 0, 30);
    wrongSize.recordSize = 44;
    outside.slot = 64;
    const std::pair<LogRing, const char*> refused[] = {
        {ring(0, 64, 0, 30), "0 sectors"}, {ring(8, 0, 0, 30), "0 slots"}, {ring(8, 64, 0, 0), "max_get_recs 0"},
        {outside, "slot 64"}, {wrongSize, "Host 43; Detector 44"},
    };
    for (const auto& [r, text] : refused) {
        std::string why;
        EXPECT_FALSE(PlanLogDownload(r, LogMode::All, 10, 0, &why));
        EXPECT_NE(why.find(text), std::string::npos) << why;
    }
}

class LogLine : public TestLine {
protected:
    void start(std::vector<wsim::DetectorConfig> detectors) {
        ASSERT_NO_FATAL_FAILURE(startLine(detectors));
        ASSERT_NO_FATAL_FAILURE(openWire(detectors[0].address));
        SetPumpWait([](unsigned) {});
    }
    void TearDown() override {
        SetPumpWait({});
        TestLine::TearDown();
    }
    LogDownloadResult download(LogDownloadRequest rq) {
        rows.clear();
        return RunLogDownload(panel, rq, [&](std::span<const uint8_t> r, unsigned row, const LogRing& g) {
            rows.push_back(LogListCells(r, LogFamily::Ir, g.halfSums(), false, row));
        });
    }
    static wsim::DetectorConfig det(bool uvir, unsigned written, uint8_t sectors, uint8_t slots, uint8_t max) {
        auto c = uvir ? testline::uvir(2) : testline::ir(1);
        c.logRecords = written;
        c.ringSectors = sectors;
        c.ringSlots = slots;
        c.maxRecs = max;
        return c;
    }
    TempFolder folder;
    FakePanel panel;
    std::vector<std::vector<std::string>> rows;
};

TEST_F(LogLine, NewestRecordsAcrossTheWrap) {
    start({det(false, 102, 10, 10, 4)});
    const auto result = download({LogMode::UpToCurrent, 10, 0, LogFamily::Ir, "DetLog.txt"});
    ASSERT_TRUE(result.ring);
    EXPECT_EQ(result.ring->current(), 2u);
    EXPECT_EQ(result.plan->count, 4u);  // cut to the detector's limit before the start
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows.front()[1], "98");
    EXPECT_EQ(rows.back()[1], "101");
    EXPECT_TRUE(panel.questions.empty());
    const std::string file = slurp("DetLog.txt");
    EXPECT_EQ(file.substr(0, file.find('\n') + 1), LogFileHeader(LogFamily::Ir));
    EXPECT_NE(file.find("\n4\t101\t25:15:00\t"), std::string::npos) << file;
}

TEST_F(LogLine, FailedPagesAndFilesEndInAnErrorBox) {
    start({det(false, 10, 8, 64, 5)});
    // The second page goes unanswered three times.
    auto result = RunLogDownload(panel, {LogMode::FromPosition, 10, 0, LogFamily::Ir, "DetLog.txt"},
                                 [&](std::span<const uint8_t>, unsigned row, const LogRing&) {
                                     bool ok = false;
                                     if (row == 1) wsim::runControlCommand(*line, "drop 3", &ok);
                                 });
    EXPECT_EQ(result.failedPages, 1u);
    EXPECT_EQ(result.records, 5u);
    EXPECT_TRUE(result.fileWritten);
    ASSERT_EQ(panel.questions.size(), 1u);
    EXPECT_EQ(panel.questions[0], "Error: 1 page of the log could not be read; 'DetLog.txt' holds the 5 records that came.");

    panel.questions.clear();
    result = download({LogMode::UpToCurrent, 5, 0, LogFamily::Ir, "missing/DetLog.txt"});
    EXPECT_FALSE(result.fileWritten);
    ASSERT_EQ(panel.questions.size(), 1u);
    EXPECT_EQ(panel.questions[0].rfind("Error: 'missing/DetLog.txt' could not be written", 0), 0u) << panel.questions[0];

    // A count over the limit gets the short answer with the geometry.
    const auto page = RequestLogPage(*result.ring, 0, 6);
    ASSERT_TRUE(page.geometry);
    EXPECT_EQ(page.geometry->maxGetRecs, 5u);
    EXPECT_EQ(page.failure, "nrec 6 > max_get_recs 5...");
}

TEST_F(LogLine, UvirHalfSumsAndErase) {
    auto c = det(true, 11, 2, 4, 30);
    c.logFlags = 2;
    start({c});
    const auto result = download({LogMode::All, 0, 0, LogFamily::Uvir, "DetLog.txt"});
    ASSERT_TRUE(result.ring && result.ring->halfSums());
    const std::string file = slurp("DetLog.txt");
    // Record 8 at position 0: sums of 1.0078125, HiVoltage 308 whole.
    EXPECT_NE(file.find("\n1\t8\t02:00:00\t"), std::string::npos) << file;
    EXPECT_NE(file.find("\t1007812.5\t1007812.5\t1007812.5\t  508\t  308\t-1.0\t0.0\t1.0\n"), std::string::npos) << file;
    std::vector<uint8_t> erase = {5, 1};  // Erase Logfile, keeping the operating time
    erase.resize(18);
    ASSERT_EQ(ModbusGet(2, D_MISC_CONTROL, Wire().ctx, erase.data(), 18, 100, 1000), 18);
    download({LogMode::All, 0, 0, LogFamily::Uvir, "DetLog.txt"});
    EXPECT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0][1], "-");
}

}  // namespace
