// The simulator's side of the wire: its frame parser on host bytes arriving
// in bursts at any speed and time, and a detector handling every frame it
// delimits.
#include <fuzzer/FuzzedDataProvider.h>

#include "sim/Detector.h"
#include "sim/FrameParser.h"
#include "support/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    wsim::DetectorConfig config;
    config.address = in.ConsumeIntegralInRange<uint8_t>(1, 247);
    config.uvir = in.ConsumeBool();
    config.locked = in.ConsumeBool();
    config.maint = "maint";
    config.admin = "admin";
    int64_t now = 1000;
    wsim::Detector detector(config, now);
    wsim::FrameParser parser;
    static constexpr unsigned kBauds[] = {9600, 19200, 115200};
    while (in.remaining_bytes()) {
        auto burst = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(1, 300));
        if (in.ConsumeBool()) SealRecord(burst);
        now += in.ConsumeIntegralInRange<int64_t>(0, 40);
        parser.feed(burst.data(), burst.size(), in.PickValueInArray(kBauds), now);
        while (const auto f = parser.next(now)) {
            const auto& b = f->bytes;
            FUZZ_CHECK(b.size() >= 8 && b.size() <= wsim::FrameParser::kMaxFrame && frameCrcOk(b.data(), b.size()));
            detector.update(now);
            if (f->kind == wsim::Frame::Standard) {
                detector.handleStandard(b.data(), b.size() - 2, b[0] == 0, now);
                continue;
            }
            wsim::RecordRequest rq;
            rq.address = b[0];
            rq.tagged = b[1] == 0xCA;
            rq.isGet = f->kind == wsim::Frame::RecordGet;
            rq.id = b[4];
            rq.f4 = b[5];
            rq.f5 = b[6];
            rq.authOk = in.ConsumeBool();
            rq.payload = b.data() + 7;
            rq.payloadSize = b.size() - 9;
            detector.handleRecord(rq, now);
        }
    }
    return 0;
}
