#include <filesystem>
#include <fstream>

#include "e2e/CliLine.h"

namespace {

namespace fs = std::filesystem;

// wexcon-cli live on the demo line (IR at 1, UV/IR at 2), in a folder of its own.
class CliLive : public CliLine {
protected:
    void SetUp() override {
        startLine(testline::demo());
        openWire(1);
        home = fs::current_path();
        dir = fs::temp_directory_path() / ("clilive_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(home);
        fs::remove_all(dir);
        CliLine::TearDown();
    }
    fs::path home, dir;
};

TEST_F(CliLive, OneCasePerExitStatus) {
    // 0: both families recorded, extended, one line per record.
    ASSERT_EQ(run(1, "live --addresses 1,2 --count 10 --record fast --extended --comment roof"), 0) << err.str();
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("Address=1 Date=", 0), 0u) << text;
    // The simulated temperature wanders around 24.5 degrees, shown whole.
    EXPECT_TRUE(text.find(" Temp=24 ") != std::string::npos || text.find(" Temp=25 ") != std::string::npos) << text;
    EXPECT_NE(text.find(" Relays="), std::string::npos);
    EXPECT_NE(text.find("\nAddress=2 Date="), std::string::npos);
    EXPECT_EQ(text.find("Index"), std::string::npos);
    std::ifstream ir("Recordings/VovaVULog.txt"), uvir("Recordings/UVIRLog.txt");
    std::string first;
    std::getline(ir, first);
    EXPECT_EQ(first, "<roof> Start 'fast' recording");
    EXPECT_TRUE(uvir.good());

    ASSERT_EQ(run(1, "live --count 1 --csv --units us"), 0) << err.str();
    EXPECT_EQ(out.str().rfind("Address,Date,Time,Status,SerNo,Temp,Sum5,Sum45,", 0), 0u) << out.str();

    // 1: nobody answered.
    EXPECT_EQ(run(9, "live --addresses 9 --count 1"), 1);
    EXPECT_EQ(out.str().rfind("Address=9 Failed=", 0), 0u) << out.str();

    // 2: a recording mode that does not exist.
    EXPECT_EQ(run(1, "live --record hourly"), 2);

    // 3: the log cannot be created where a file named Recordings stands.
    fs::remove_all("Recordings");
    std::ofstream("Recordings") << "x";
    EXPECT_EQ(run(1, "live --record minute --count 1"), 3);
    EXPECT_NE(err.str().find("Recordings/VovaVULog_Y"), std::string::npos) << err.str();
}

}  // namespace
