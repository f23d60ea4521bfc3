// The firmware upload, from Start to the end message's answer, against a
// wexcon-sim process paced at the line speed, set against what the host
// prescribes: its waits (100 ms and the status read's 10 ms, 100 + 500 ms for
// the start message, 50 + 50 + 100 + 2,000 ms a block, 100 + 200 ms for the
// end) and every frame's time on the wire (10 bits a byte). Target: ratio at
// most 1.05; ratio_pty is the same against what the simulated line can pace
// (see below), the one that tells at 9600. The image is 16 blocks of 4096
// and a last block of 100 bytes (sent as 112).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "SimLink.h"
#include "firmware/CUploadIds.h"
#include "firmware/FirmwareUpdate.h"
#include "protocol/Commands.h"
#include "protocol/records/ByteOrder.h"
#include "shell/BaudSwitch.h"
#include "shell/FakePanel.h"
#include "util/WholeFile.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kBlock = 4096, kPayload = 16 * kBlock + 100;
constexpr double kStatusWaitMs = 100 + 10, kStartWaitMs = 100 + 500, kBlockWaitMs = 50 + 50 + 100 + 2000,
                 kEndWaitMs = 100 + 200;
constexpr size_t kGetHeader = 8;  // a record Get's header and CRC around its payload

// Notes the moment the start message goes out ("Abort") and the end's good answer.
class TimedPanel : public FakePanel {
public:
    void setText(int id, const std::string& t) override {
        if (id == upload::kStart && t == "Abort") start = Clock::now();
        if (id == upload::kStatusLine && t == "FW Update has concluded successfully!") end = Clock::now();
        FakePanel::setText(id, t);
    }
    Clock::time_point start, end;
};

// Newer than the simulated IR detector's 4.17, with the same-version flag so
// that every iteration is accepted.
std::string writeImage() {
    std::vector<uint8_t> b = {'W', 'X', 'I', 'R', '-', '5', '9', '0', 18, 4, 0, 0x80, 0, 0, 0, 0};
    for (unsigned i = 0; i < kPayload; ++i) b.push_back(static_cast<uint8_t>(i * 2654435761u >> 24));
    le::put32(b, 12, fw::PayloadCrc(std::span(b).subspan(16)));
    const std::string path = (std::filesystem::temp_directory_path() / "wexcon-firmware-bench.bin").string();
    return WriteWholeFile(path, b) ? path : std::string();
}

// The bytes the host sends and receives from Start to the end answer.
struct Traffic {
    double sent = 0, received = 0;
    unsigned blocks = 0;
};
Traffic traffic() {
    const unsigned full = kPayload / kBlock, last = (kPayload % kBlock + 15) / 16 * 16;
    Traffic t;
    t.blocks = full + (last ? 1 : 0);
    t.sent = (kGetHeader + 4) + (kGetHeader + 23) + (kGetHeader + 1) + full * (kGetHeader + 5.0 + kBlock) +
             (last ? kGetHeader + 5.0 + last : 0);
    t.received = 177 + 21 + 21 + t.blocks * 21.0;
    return t;
}

void BM_FirmwareUpload(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    const std::string image = writeImage();
    SimProcess sim({"--detector", "1:ir"});
    if (image.empty() || !sim.ready() || !OpenSimLink(sim, 9600) || !SelectSlave(1)) {
        state.SkipWithError("cannot set up the line");
        return;
    }
    double totalMs = 0;
    for (auto _ : state) {
        // The detector comes back from each update's restart at 9600.
        if (!SwitchBaudNow(baud)) {
            state.SkipWithError("the baud switch failed");
            break;
        }
        TimedPanel panel;
        FwUpdateOptions options;
        options.restore9600 = ReturnTo9600;
        FirmwareUpdate update(panel, options);
        if (update.run(image) != FwResult::Updated) {
            state.SkipWithError("the update failed");
            break;
        }
        totalMs += std::chrono::duration<double, std::milli>(panel.end - panel.start).count();
    }
    ResetWire();
    std::filesystem::remove(image);
    const double tookMs = totalMs / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    const Traffic t = traffic();
    const double waits = kStatusWaitMs + kStartWaitMs + t.blocks * kBlockWaitMs + kEndWaitMs;
    const double model = waits + WireMs(static_cast<size_t>(t.sent + t.received), baud);
    state.counters["took_ms"] = tookMs;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = tookMs / model;
    // A pseudo-terminal takes the host's bytes at once (its drain does not
    // wait for a line speed); only the simulator's answers are paced. Against
    // that line the same formula leaves the sent bytes' time out.
    state.counters["ratio_pty"] = tookMs / (waits + WireMs(static_cast<size_t>(t.received), baud));
}
BENCHMARK(BM_FirmwareUpload)->ArgName("baud")->Arg(921600)->Arg(9600)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
