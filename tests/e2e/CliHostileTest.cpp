// wexcon-cli against a detector that misbehaves in every way a line allows.
// Each run of the program gets a peer of its own on a fresh pseudo-terminal;
// it must end with the status the scenario calls for, within the time its
// command may take, and never report success for what did not happen.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/PtyPeer.h"
#include "support/RefCrc.h"
#include "support/TempFolder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kDetector = 1;  // the one the program asks; set-address moves it to 9, where nobody is
constexpr uint8_t kStatus = 120, kSetup = 119;

// What an honest, unlocked detector at kDetector answers; nothing to other
// addresses, except its status at 9, where set-address reads it back.
Bytes honest(const Bytes& rq) {
    if (rq.size() < 8) return {};
    const uint8_t fc = rq[1];
    const bool record = fc == 0xC8 || fc == 0xCA;
    if (rq[0] != kDetector && !(rq[0] == 9 && record && rq[4] == kStatus)) return {};
    if (record) {
        if (rq[4] != kStatus && rq[4] != kSetup) return {};
        Bytes data(rq[4] == kStatus ? 160 : 72, 0);
        if (rq[4] == kStatus) data[1] = 'N';
        return recordAnswer(rq[0], data, 0x01020304, rq[4]);
    }
    if (fc == 3 || fc == 4) {
        Bytes f{kDetector, fc, uint8_t(rq[5] * 2)};
        f.resize(3 + rq[5] * 2u, 0x11);
        return withCrc(f);
    }
    return fc == 6 ? Bytes(rq.begin(), rq.begin() + 8) : Bytes{};
}

Bytes recrc(Bytes f) {
    f.resize(f.size() - 2);
    return withCrc(f);
}

bool isRecord(const Bytes& f) { return f[1] == 0xC8; }

// Sets the frame's length field (records: bytes 2-3; register reads: the byte
// count) to what `value` makes of the honest one, CRC made good again. A write
// echo has no length: it echoes another value instead.
Bytes withLength(Bytes g, const std::function<unsigned(unsigned)>& value) {
    if (isRecord(g)) {
        const unsigned v = value(g[2] | g[3] << 8);
        g[2] = uint8_t(v);
        g[3] = uint8_t(v >> 8);
    } else if (g[1] == 6) {
        g[4] ^= 0xFF;
    } else {
        g[2] = uint8_t(std::min(value(g[2]), 0xFFu));
    }
    return recrc(g);
}

// A consistent frame, CRC and all, with `delta` bytes more or fewer of data.
Bytes resized(const Bytes& g, int delta) {
    if (g[1] == 6) return withLength(g, {});
    const size_t head = isRecord(g) ? 15 : 3;
    Bytes data(g.size() - head - 2 + delta, 0x22);
    if (isRecord(g)) return recordAnswer(g[0], data, 0x01020304, g[4]);
    Bytes f{g[0], g[1], uint8_t(data.size())};
    f.insert(f.end(), data.begin(), data.end());
    return withCrc(f);
}

Bytes randomBytes(size_t n) {
    static std::mutex m;
    static std::mt19937 random(15);
    std::lock_guard lock(m);
    Bytes b(n);
    for (auto& x : b) x = uint8_t(random());
    return b;
}

// One scenario: the answer to a request (from the honest one), or a stream
// that never stops (every 5 ms, or as the scenario says).
struct Scenario {
    const char* name;
    std::function<Bytes(const Bytes& request, const Bytes& honest)> answer;
    std::function<Bytes()> stream;
    int streamPeriodMs = 5;
    // Exit statuses of: get, poll, read-holding, write-register, set-address,
    // get --raw, poll --raw.
    int status[7];
};

Bytes onlyIfAnswered(const Bytes& g, const std::function<Bytes(Bytes)>& f) { return g.empty() ? g : f(g); }

const std::vector<Scenario>& scenarios() {
    using A = std::function<Bytes(const Bytes&, const Bytes&)>;
    auto mutate = [](std::function<Bytes(Bytes)> f) -> A {
        return [f](const Bytes&, const Bytes& g) { return onlyIfAnswered(g, f); };
    };
    auto length = [mutate](std::function<unsigned(unsigned)> v) {
        return mutate([v](Bytes g) { return withLength(g, v); });
    };
    auto from = [mutate](uint8_t address) {
        return mutate([address](Bytes g) {
            g[0] = address;
            return recrc(g);
        });
    };
    static const std::vector<Scenario> all = {
        {"random bytes", mutate([](Bytes g) { return randomBytes(g.size()); }), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"length field 0", length([](unsigned) { return 0u; }), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"length field 1", length([](unsigned) { return 1u; }), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"length field 0xFFFF", length([](unsigned) { return 0xFFFFu; }), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"length larger than sent", length([](unsigned v) { return v + 8; }), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"length smaller than sent", length([](unsigned v) { return v - 2; }), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"truncated", mutate([](Bytes g) { return Bytes(g.begin(), g.begin() + g.size() / 2); }), {}, 5,
         {1, 1, 1, 1, 1, 1, 1}},
        {"exception reply",
         [](const Bytes& rq, const Bytes& g) { return g.empty() ? g : withCrc({g[0], uint8_t(rq[1] | 0x80), 2}); },
         {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"fewer bytes than asked", mutate([](Bytes g) { return resized(g, -2); }), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"more bytes than asked", mutate([](Bytes g) { return resized(g, 2); }), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        // Within the register functions' 2 s, not within the records' 500 ms.
        {"answer 700 ms late",
         [](const Bytes&, const Bytes& g) {
             std::this_thread::sleep_for(std::chrono::milliseconds(g.empty() ? 0 : 700));
             return g;
         },
         {}, 5, {1, 1, 0, 0, 1, 1, 1}},
        {"duplicate answer", mutate([](Bytes g) {
             Bytes twice = g;
             twice.insert(twice.end(), g.begin(), g.end());
             return twice;
         }),
         {}, 5, {0, 0, 0, 0, 0, 0, 0}},
        // A record answer from another detector is taken (the main window
        // follows it); a register reply or write echo from one is no answer.
        {"from address 6", from(6), {}, 5, {0, 0, 1, 1, 1, 0, 0}},
        {"from address 0", from(0), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"from address 255", from(255), {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"another command", mutate([](Bytes g) {
             if (isRecord(g)) g[4] = g[4] == kStatus ? kSetup : kStatus;
             else g[1] = g[1] == 6 ? 16 : g[1] ^ 7;  // 3 and 4 swap
             return recrc(g);
         }),
         {}, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"endless random", {}, [] { return randomBytes(5); }, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"endless zeros", {}, [] { return Bytes(5, 0); }, 5, {1, 1, 1, 1, 1, 1, 1}},
        {"endless header then garbage", {},
         [] {
             static std::atomic<int> n{0};
             // Now and then a record header that claims the longest frame there is.
             return n++ % 40 ? randomBytes(5) : Bytes{kDetector, 0xC8, 0xFF, 0xFF, kSetup};
         },
         5, {1, 1, 1, 1, 1, 1, 1}},
        {"one byte every 30 ms", {}, [] { return randomBytes(1); }, 30, {1, 1, 1, 1, 1, 1, 1}},
    };
    return all;
}

// Starting the program on a busy machine (eight runs at once): a second, more
// under a sanitizer, whose start-up and slower code alone can take that long.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kStartMs = 3000;
#else
constexpr int kStartMs = 1000;
#endif

// The commands, with the longest each may take at 9600 baud: its waits and
// timeouts, the wire time of its buffer, a gap, and the program's start.
struct Command {
    const char* args;
    int boundMs;
};
const Command kCommands[7] = {
    {"get D_SETUP2HOST", 100 + 500 + 93 + 50 + kStartMs},
    {"poll", 100 + 500 + 185 + 50 + kStartMs},
    {"read-holding 40001 2", 200 + 2000 + 10 + 50 + kStartMs},
    {"write-register 40002 0001", 200 + 2000 + 10 + 50 + kStartMs},
    // The setup record, the probe of the new address (nobody answers there), the
    // change, and the status read back from there (two tries).
    {"set-address 9",
     (100 + 500 + 93 + 50) + (200 + 2000 + 70 + 50) + (1000 + 10 + 50) + (2 * (100 + 500 + 185) + 100) + kStartMs},
    {"--raw get D_SETUP2HOST", 500 + 1000 + kStartMs},
    {"--raw poll", 500 + 1000 + kStartMs},
};

struct CliRun {
    int status = -1;  // -1: killed or crashed
    long long tookMs = 0;
};

// Runs the program on `port`, killed at three times its bound.
CliRun runCli(const std::string& port, const Command& c, const std::string& output) {
    std::vector<std::string> words{WEXCON_CLI, "--port", port + ":9600,n,8,1", "--address", "1"};
    for (std::string rest = c.args; !rest.empty();) {
        const size_t blank = rest.find(' ');
        words.push_back(rest.substr(0, blank));
        rest = blank == std::string::npos ? "" : rest.substr(blank + 1);
    }
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    CliRun run;
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) return run;
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid) break;
        if (Clock::now() - start > std::chrono::milliseconds(3 * c.boundMs)) ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CliHostile, EveryScenarioAgainstEveryCommandOnBothLinks) {
    TempFolder folder;
    const auto& all = scenarios();
    const size_t tasks = all.size() * std::size(kCommands);
    std::atomic<size_t> next{0};
    std::mutex failures;
    // Most of a run is waiting on the line: several at once keep the table fast.
    std::vector<std::thread> workers;
    for (int w = 0; w < 8; ++w)
        workers.emplace_back([&] {
            for (size_t t; (t = next++) < tasks;) {
                const Scenario& s = all[t / std::size(kCommands)];
                const size_t k = t % std::size(kCommands);
                PtyPeer peer;
                if (s.stream)
                    peer.babble(s.stream, s.streamPeriodMs);
                else
                    peer.serve([&s](const Bytes& rq) { return s.answer(rq, honest(rq)); });
                const std::string output = "run" + std::to_string(t) + ".txt";
                const CliRun r = runCli(peer.path(), kCommands[k], output);
                peer.stop();
                std::lock_guard lock(failures);
                SCOPED_TRACE(std::string(s.name) + " | " + kCommands[k].args + "\n" + slurp(output));
                EXPECT_EQ(r.status, s.status[k]);
                EXPECT_LT(r.tookMs, kCommands[k].boundMs);
            }
        });
    for (auto& w : workers) w.join();
}

}  // namespace
