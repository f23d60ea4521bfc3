// The main window against a detector that misbehaves at random for a while:
// afterwards it is alive, back at the address the technician chose, and it
// has not grown. WEXCON_SOAK_SECONDS sets the time under faults (15 by
// default, so that every run of the suite can afford it; 60 for a full soak),
// WEXCON_SOAK_SEED the faults' seed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "MainWindowLine.h"
#include "app/shell/CTesselMain.h"
#include "shell/StartUp.h"
#include "support/TempFolder.h"
#include "support/TestLine.h"

namespace {

long envNumber(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

long residentBytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

class FaultSoak : public MainWindowLine {
protected:
    // A lone detector: an answer "from another address" names one nobody is at.
    void SetUp() override { openOn({testline::ir(1)}); }
    // One random fault, in the simulator's own control language; what undoes it.
    std::string fault(std::mt19937& random) {
        auto pick = [&](int lo, int hi) { return std::to_string(std::uniform_int_distribution<int>(lo, hi)(random)); };
        switch (random() % 8) {
            case 0: return control("drop " + pick(1, 15), "");
            case 1: return control("corrupt " + pick(1, 5), "");
            case 2: return control("delay " + pick(100, 900), "delay 0");
            case 3: return control("silent", "talk");
            case 4: return control("restart 1", "");
            case 5: return control("hang 1 " + pick(200, 1500), "");
            case 6: return control("wrong-address " + pick(1, 3), "");
            default: return control("short " + pick(1, 5), "");
        }
    }
    std::string control(const std::string& command, const std::string& undo) {
        bool ok = false;
        EXPECT_EQ(wsim::runControlCommand(*line, command, &ok), "ok") << command;
        return undo;
    }
    bool detectorAlive() {
        bool alive = false;
        line->withDetector(1, [&](wsim::Detector& d, int64_t now) { alive = d.alive(now); });
        return alive;
    }

};

TEST_F(FaultSoak, RandomFaultsThenNone) {
    struct Seen {
        std::atomic<int> polls{0}, firstGoodAfterFaults{-1};
        std::atomic<bool> faultsOver{false};
    };
    auto seen = std::make_shared<Seen>();
    window->poll().subscribe([seen](const PollOutcome& o) {
        const int n = ++seen->polls;
        if (seen->faultsOver && o.connected && o.status->header.address == 1 && seen->firstGoodAfterFaults < 0)
            seen->firstGoodAfterFaults = n;
    });
    ASSERT_TRUE(pumpUntil([&] { return window->text(ctl::Address) == "1"; }));

    const long seconds = envNumber("WEXCON_SOAK_SECONDS", 15);
    std::mt19937 random(static_cast<unsigned>(envNumber("WEXCON_SOAK_SEED", 15)));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const auto warm = std::chrono::steady_clock::now() + std::chrono::seconds(seconds / 4);
    long before = 0;
    while (std::chrono::steady_clock::now() < end) {
        const std::string undo = fault(random);
        pumpUntil([] { return false; }, std::uniform_int_distribution<int>(100, 800)(random));
        if (!undo.empty()) control(undo, "");
        if (!before && std::chrono::steady_clock::now() > warm) before = residentBytes();
    }
    for (const char* none : {"drop 0", "corrupt 0", "wrong-address 0", "short 0", "delay 0", "talk"}) control(none, "");
    ASSERT_TRUE(pumpUntil([&] { return detectorAlive(); }));
    const int pollsAtEnd = seen->polls;
    seen->faultsOver = true;

    // A followed address gives way after eleven failures; a back-off of
    // twenty silent ticks may be running; then the chosen one answers.
    ASSERT_TRUE(pumpUntil([&] { return seen->firstGoodAfterFaults >= 0; }, (11 + 20 + 10) * 100 + 2000));
    EXPECT_LE(seen->firstGoodAfterFaults - pollsAtEnd, 11 + 1) << "polls before the chosen address answered";
    EXPECT_TRUE(pumpUntil([&] { return window->text(ctl::Address) == "1" && window->text(ctl::CommState) == "ONLINE"; }));
    EXPECT_TRUE(window->isVisible());
    unsigned slave = 0;
    onLink([&] { slave = Wire().slave; });
    EXPECT_EQ(slave, 1u);
    const long growth = residentBytes() - before;
    EXPECT_LT(growth, 4L << 20) << "resident memory grew by " << growth << " bytes";
    std::printf("soak: %ld s of faults, %d polls, memory %+ld KiB after warm-up\n", seconds, seen->polls.load(),
                growth / 1024);
}

}  // namespace
