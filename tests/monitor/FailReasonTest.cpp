#include "monitor/FailReason.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "monitor/LiveFrames.h"

namespace {

const std::string kEnd = "\r\n----------------------------\r\n";
std::string State(char mode) { return std::string("state: '") + mode + "'\r\n============================\r\n"; }

// The parameters at sensitivity 2 that the records below are measured against.
FailInputs Known(uint8_t sensitivity = 2) {
    FailInputs in{sensitivity, ParamRecord::Defaults(ParamKind::Ir)};
    const std::pair<const char*, double> indexed[] = {
        {"sum45", 1000},     {"sum45benz", 2000},    {"sum44", 800},         {"sum44benz", 1600},
        {"ratio45to4", 2},   {"ratio45to5", 3},      {"ratio44to45", 1.5},   {"cor45to4", 0.5},
        {"cor45to5", 0.5},   {"cor44to45", 0.75},    {"ratio44to4", 2.5},    {"ratio44to5", 3.5},
        {"ratio44to45Hyd", 1.3}, {"ratio4to5Hyd", 2.5}, {"cor44to4", 0.5}, {"cor44to5", 0.5},
        {"cor44to45Hyd", 0.25}};
    for (auto [name, v] : indexed) EXPECT_TRUE(in.params.setValue(name, 2, v)) << name;
    for (auto [name, v] : {std::pair<const char*, double>{"warnfactor", 0.5}, {"RatFac", 2},
                           {"MAXratio44to45Factor", 4}, {"Rat5Per_EGZOZ", 9}})
        EXPECT_TRUE(in.params.setValue(name, 0, v)) << name;
    return in;
}

// A record with the sums above every limit unless given.
LiveRecord Record(char mode, std::initializer_list<std::pair<size_t, float>> values) {
    return LiveFrame(4, mode).set({{live::Sum45, 3000}, {live::Sum44, 2000}}).set(values).record();
}

TEST(FailReason, FirstTestThatHoldsInEachChain) {
    const struct {
        const char* what;
        LiveRecord record;
        bool gradAlarm;
        std::string text;
    } cases[] = {
        {"warn sums", Record('G', {{live::Sum45, 400}, {live::Sum44, 300}}), false,
         "vsum45(400) <= param.sum45warn[senslvl(2)](500)" + kEnd + "vsum44(300) <= param.sum44warn[senslvl(2)](400)" +
             kEnd + State('G')},
        {"benz sum in A, hydrogen ratio to 4", Record('A', {{live::Sum45, 1500}, {live::Rat44to4, 2}}), false,
         "vsum45(1500) <= param.sum45benz[senslvl(2)](2000)" + kEnd +
             "vratio44to4(2.0) <= param.ratio44to4[idxsens_hyd(2)](2.5)" + kEnd + State('A')},
        {"Gradalarm, ratios to 5",
         Record('G', {{live::Rat45to4, 5}, {live::Rat45to5, 2.5f}, {live::Rat44to4, 5}, {live::Rat44to5, 5},
                      {live::Rat44to45, 4.5f}}),
         true,
         "vratio45to5(2.5) <= param.ratio45to5[idxsens(2)](3.0)" + kEnd +
             "vratio45to5(2.5) <= param.ratio45to5Hyd[idxsens_hyd(2)](2.5)" + kEnd + State('G')},
        {"exhaust", Record('A', {{live::Rat45to4, 5}, {live::Rat45to5, 10}, {live::Rat44to4, 5}, {live::Rat44to5, 5},
                                 {live::Rat44to45, 4.5f}}),
         false,
         "vratio44to45(4.5) >= iparam.MAXratio44to45(4.0) && vratio45to5(10.0) >= iparam.MAXRat5_EGZOZ(9.0)" + kEnd +
             "vratio44to45(4.5) >= iparam.MAXratio44to45(4.0) && vratio45to5(10.0) >= iparam.MAXRat5_EGZOZ(9)" + kEnd +
             State('A')},
        {"ratio factor, hydrogen 44/45",
         Record('A', {{live::Rat45to4, 3}, {live::Rat45to5, 5}, {live::Rat44to4, 5}, {live::Rat44to5, 5},
                      {live::Rat44to45, 1}}),
         false,
         "vratio44to45(1.0) <= param.ratio44to45[idxsens(2)](1.5) && \r\n(vratio45to4(3.0) <= "
         "param.ratio45to4[idxsens(2)](2.0) * param.RatFac(2) \r\n || \r\n vratio45to5(5.0) <= "
         "param.ratio45to5[idxsens(2)](3.0) * param.RatFac(2))" + kEnd +
             "vratio44to45(1.0) <= param.ratio44to45Hyd[idxsens_hyd(2)](1.3)" + kEnd + State('A')},
        {"correlations; nothing in the hydrogen chain",
         Record('A', {{live::Rat45to4, 9}, {live::Rat45to5, 9}, {live::Rat44to4, 5}, {live::Rat44to5, 5},
                      {live::Rat44to45, 2}, {live::Cor45to4, 0.25f}, {live::Cor45to5, 0.75f}, {live::Cor44to4, 0.25f},
                      {live::Cor44to45, 0.5f}}),
         false,
         "((vcor45to4(0.25) <= param.cor45to4[idx45(2)](0.50) \r\n  || \r\n  vcor45to5(0.75) <= "
         "param.cor45to5[idx45(2)](0.50) \r\n ) \r\n&& \r\nvcor44to45(0.50) <= param.cor44to45[idx45(2)](0.75))" + kEnd +
             State('A')},
    };
    for (const auto& c : cases) EXPECT_EQ(FailReasonText(c.record, Known(), c.gradAlarm), c.text) << c.what;
    EXPECT_FALSE(FailReasonText(cases[0].record, Known(0xFF), false));
}

TEST(FailReason, FileReadsOncePerAddressAndStopsOnAFullDisk) {
    const auto dir = std::filesystem::temp_directory_path() / ("failreason_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    int reads = 0;
    FailReasonOptions o;
    o.path = (dir / "FailReason.txt").string();
    o.read = [&](unsigned address) {
        ++reads;
        return address == 4 ? std::optional(Known()) : std::optional(Known(0xFF));
    };
    FailReasons reasons(o);
    const auto warn = Record('G', {{live::Sum45, 400}, {live::Sum44, 300}});
    for (const auto& r : {warn, Record('N', {}), LiveFrame(6, 'A').record(), warn}) EXPECT_TRUE(reasons.analyse(r, false));
    EXPECT_EQ(reads, 2);  // address 4 once, address 6 (index 0xFF: skipped) once
    std::ifstream in(o.path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string once = "vsum45(400) <= param.sum45warn[senslvl(2)](500)" + kEnd +
                             "vsum44(300) <= param.sum44warn[senslvl(2)](400)" + kEnd + State('G');
    EXPECT_EQ(text.str(), once + once);

    o.path = "/dev/full";
    FailReasons full(o);
    EXPECT_FALSE(full.analyse(warn, false));
    EXPECT_EQ(full.errorFile(), "/dev/full");
    EXPECT_TRUE(full.analyse(warn, false));  // one box, not one a tick
    std::filesystem::remove_all(dir);
}

}  // namespace
