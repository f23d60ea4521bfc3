// Log records as the list and DetLog.txt show them: times, missing values,
// odd mode bytes, signed temperatures, half-precision sums, blank records.
#include <gtest/gtest.h>

#include <vector>

#include "firmware/LogRecord.h"

namespace {

using Record = std::vector<uint8_t>;

Record record(uint32_t number, uint32_t seconds, uint16_t volts, uint16_t ma, uint8_t mode, uint8_t state, int8_t temp) {
    Record r(kLogRecordSize, 0x10);
    const auto put = [&](size_t at, uint32_t v, size_t n) {
        for (size_t i = 0; i < n; ++i) r[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(0, number, 4);
    put(4, seconds, 4);
    put(8, volts, 2);
    put(10, ma, 2);
    r[12] = mode;
    r[13] = state;
    r[14] = static_cast<uint8_t>(temp);
    put(16, 0x3C00, 2);  // 1.0 as a half, 15360 as a whole
    put(26, 0x1234, 2);  // HiVoltage
    r[40] = 0xFE;        // X axis -2
    return r;
}

TEST(LogRecord, ListAndFileCells) {
    const struct {
        Record r;
        const char *time, *volts, *ma, *status, *temp, *fileTemp, *fileStatus;
    } cases[] = {
        {record(7, 3661, 240, 120, 'n', 0, 25), "1:01:01", " 24.0", " 12.0", "N0", "25", "   25", "N0"},
        {record(8, 90061, 0xFFFF, 0xFFFF, 'A', 46, -5), "1 day, 1:01:01", "N/A", "N/A", "A46", "-5", "   -5",
         "A46 ignored"},
        {record(9, 172800, 1, 0, 0x07, 52, -40), "2 days, 0:00:00", "  0.1", "  0.0", "[0x07]52", "-40", "  -40",
         "[0x07]52 ignored"},
    };
    for (const auto& c : cases) {
        const auto cells = LogListCells(c.r, LogFamily::Ir, false, false, 3);
        ASSERT_EQ(cells.size(), LogListColumns(LogFamily::Ir).size());
        EXPECT_EQ(cells[0], "3");
        EXPECT_EQ(cells[2], c.time);
        EXPECT_EQ(cells[3], c.volts);
        EXPECT_EQ(cells[4], c.ma);
        EXPECT_EQ(cells[5], c.status);
        EXPECT_EQ(cells[6], c.temp);
        EXPECT_EQ(cells[7], "15360");
        EXPECT_EQ(cells.back(), "16.0");
        EXPECT_EQ(cells[cells.size() - 3], "-2.0");
        const std::string line = LogFileLine(c.r, LogFamily::Ir, false, 3);
        EXPECT_NE(line.find(std::string("\t") + c.volts + "\t" + c.ma + "\t" + c.fileStatus + "\t" + c.fileTemp + "\t"),
                  std::string::npos)
            << line;
    }
    EXPECT_EQ(LogFileLine(cases[1].r, LogFamily::Ir, false, 1).substr(0, 13), "1\t8\t25:01:01\t");
    EXPECT_EQ(LogListCells(cases[0].r, LogFamily::Ir, false, true, 1)[6], "77");
}

TEST(LogRecord, FamiliesAndHalfSums) {
    const Record r = record(1, 0, 0, 0, 'N', 0, 0);
    const auto uvir = LogListCells(r, LogFamily::Uvir, true, false, 1);
    const auto cols = LogListColumns(LogFamily::Uvir);
    ASSERT_EQ(cols.size(), 16u);
    EXPECT_EQ(cols[7], "UV_Sum");
    EXPECT_EQ(cols[12], "HiVoltage");
    EXPECT_EQ(uvir[8], "1000000.0");  // sum_first_pass, a half
    EXPECT_EQ(uvir[12], " 4660");     // HiVoltage whole, never a half
    EXPECT_NE(LogFileLine(r, LogFamily::Uvir, true, 1).find("\t 4660\t"), std::string::npos);
    EXPECT_EQ(LogListColumns(LogFamily::Ir).size(), 30u);
    EXPECT_EQ(LogFileHeader(LogFamily::Uvir),
              "\t Record\t Time\t Voltage\t 4-20\t status\t Temp\t UV_Sum\t sum_first_pass\t sum_lo_pass\t "
              "sum_hi_pass\t AdjUV\t HiVoltage\tX Axis\tY Axis\tZ Axis\n");
    EXPECT_FLOAT_EQ(HalfToFloat(0xC000), -2.0f);
    EXPECT_FLOAT_EQ(HalfToFloat(0x0001), 5.9604645e-8f);

    Record blank(kLogRecordSize, 0xFF), zeros(kLogRecordSize, 0);
    EXPECT_EQ(LogListCells(blank, LogFamily::Ir, false, false, 1)[1], "-");
    EXPECT_EQ(LogListCells(zeros, LogFamily::Ir, false, false, 1)[1], "-");
    std::string dashes = "4";
    for (int i = 0; i < 24; ++i) dashes += "\t-";
    EXPECT_EQ(LogFileLine(blank, LogFamily::Ir, false, 4), dashes + "\n");
    EXPECT_NE(LogFileLine(zeros, LogFamily::Ir, false, 4), dashes + "\n");
}

}  // namespace
