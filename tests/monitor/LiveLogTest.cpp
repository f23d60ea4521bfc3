#include "monitor/LiveLog.h"

#include "monitor/LiveFrames.h"

namespace {

// An IR record in mode `mode`: a few sums, one ratio, Noise4, the heater on.
LiveRecord Ir(char mode) {
    return LiveFrame(5, mode)
        .set({{live::Temperature, 25}, {live::Sum5, 1.5f}, {live::Sum45, 2.25f}, {live::Sum4, 3}, {live::Sum44, 4},
              {live::BitSum45, 8}, {live::BitSum5, 9}, {live::BitSum4, 10}, {live::BitSum44, 11},
              {live::Rat45to4, 1.2f}, {live::Cor44to45, 0.5f}, {live::Noise4, 0.015f}, {live::Vin, 24}})
        .setByte(live::Outputs, 0xB0)
        .setByte(live::Analog, 120)
        .setI32(live::Samp5, 100).setI32(live::Samp45, -200).setI32(live::Samp4, 300).setI32(live::Samp44, 400)
        .record();
}

LiveRecord Uvir() {
    return LiveFrame(9, 'N', true)
        .set({{live::UvSum, 10.5f}, {live::Temperature, 25}, {live::AdjUv, 0.5f}, {live::SumIr, 7.5f},
              {live::HiVoltage, 300}, {live::Vin, 24}})
        .record();
}

const std::string kIrTail = "\t12\t0\t0\t0\t0\t0\t0\t0\t0\t50\t0\t0.00\t0.00\t1.50\t0.00\t24.0";

TEST(LiveLog, LinesOfEveryKind) {
    const struct {
        const char* what;
        LiveRecord record;
        LogOptions options;
        std::string line;
    } cases[] = {
        {"IR, 'n' upper-cased", Ir('n'), {}, "5\t05/12/26\t14:03:27\tN3\t123456\t25\t1.50\t2.25\t3.00\t4.00" + kIrTail + "\tON\n"},
        {"BIT sums in mode B", Ir('B'), {}, "5\t05/12/26\t14:03:27\tB3\t123456\t25\t9.00\t8.00\t10.00\t11.00" + kIrTail + "\tON\n"},
        {"US units", Ir('N'), {false, true}, "5\t05/12/26\t14:03:27\tN3\t123456\t77\t1.50\t2.25\t3.00\t4.00" + kIrTail + "\tON\n"},
        {"extended, mode as received", Ir('n'), {true, false},
         "7\t5\t05/12/26\t14:03:27\tn3\t123456\t25\t1.50\t2.25\t3.00\t4.00" + kIrTail +
             "\t11\t12.0\t100\t-200\t300\t400\t0\t0\t0\tON\n"},
        {"extended, state weight of M", Ir('M'), {true, false},
         "7\t5\t05/12/26\t14:03:27\tM3\t123456\t25\t9.00\t8.00\t10.00\t11.00" + kIrTail +
             "\t11\t12.0\t100\t-200\t300\t400\t0\t10000\t0\tON\n"},
        {"UV/IR in the IR window", Uvir(), {}, "9\t05/12/26\t14:03:27\tN3\t123456\t10.5\t25.0\t0.50\t7.5\t300.0\t24.0\tOFF\n"},
        {"UV/IR extended", Uvir(), {true, true}, "7\t9\t05/12/26\t14:03:27\tN3\t123456\t10.5\t77.0\t0.50\t7.5\t300.0\t24.0\tOFF\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LogLine(c.record, c.options, DecemberFifth(), 7), c.line) << c.what;
        // Every value has its column.
        EXPECT_EQ(LogValues(c.record, c.options, DecemberFifth(), 7).size(),
                  LogColumns(FamilyOf(c.record), c.options).size()) << c.what;
    }
}

TEST(LiveLog, HeadersNamesAndStartLines) {
    EXPECT_EQ(LogHeader(LogFamily::Ir, {}),
              " Address\t Date\t Time\t Status\t SerNo\t Temp (°C)\t Sum5\t Sum45\t Sum4\t Sum44\t Rat45to4\t Rat45to5\t "
              "Cor45to4\t Cor45to5\t Rat4to5\t Rat44to4\t Rat44to5\t Cor44to4\t Cor44to5\t Cor44to45\t Rat44to45\t "
              "Noise45\t  Noise44\t Noise4\t Noise5 \tVin \tHeater\n");
    const std::string extended = LogHeader(LogFamily::Ir, {true, true});
    EXPECT_EQ(extended.substr(0, 22), " Index\t Address\t Date\t");
    EXPECT_NE(extended.find("Temp (°F)"), std::string::npos);
    EXPECT_EQ(extended.substr(extended.find("Vin ")),
              "Vin \tRelays\t420\tSamp5\tSamp45\tSamp4\tSamp44\tN\tM\tE\tHeater\n");
    EXPECT_EQ(LogHeader(LogFamily::Uvir, {true, false}),
              "Index\tAddress\t Date\t Time\t Status\t SerNo\t UV_Sum\t Temp (°C)\t AdjUV\t SumIR\t HiVoltage \tVin "
              "\tHeater\n");
    const std::string alternate = LogHeader(LogFamily::Ir, {}, true);
    for (const char* name : {" Sum24\t", " Sum3\t", " Rat45to24\t", " Rat24to5\t", " Rat3to24\t", " Cor3to45\t",
                             " Rat3to45\t", "  Noise3\t", " Noise24\t", " Sum45\t"})
        EXPECT_NE(alternate.find(name), std::string::npos) << name;
    EXPECT_EQ(SeparatorLine(LogFamily::Uvir, {}),
              "========\t========\t========\t========\t========\t========\t========\t========\t========\t========\t"
              "========\t========\n");
    EXPECT_EQ(ColumnName(" Temp (°F)"), "Temp");

    EXPECT_EQ(LogFileName(LogFamily::Ir, {}, DecemberFifth()), "Recordings/VovaVULog_Y26M12D05_h14m03s27_gmt.txt");
    EXPECT_EQ(LogFileName(LogFamily::Uvir, {}, DecemberFifth()), "Recordings/UVIRLog_Y26M12D05_h14m03s27_gmt.txt");
    EXPECT_EQ(LogFileName(LogFamily::Uvir, {true, false}, DecemberFifth()), "Recordings/UVIRLog.txt");
    EXPECT_EQ(StartLine(60000, ""), "<> Start recording every minute\n");
    EXPECT_EQ(StartLine(900000, "roof"), "<roof> Start recording every 15 minutes\n");
    EXPECT_EQ(StartLine(1500, "-"), "<-> Start recording every 1.5 sec\n");
    EXPECT_EQ(StartLine(250, ""), "<> Start 'fast' recording\n");
}

}  // namespace
