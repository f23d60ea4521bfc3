// Standard register replies: reads, writes and the address change over the
// library context, each reply whatever the input says.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

#include "protocol/LinkBackend.h"
#include "protocol/Registers.h"
#include "protocol/Transport.h"
#include "support/SocketLine.h"
#include "util/PumpWait.h"

namespace {

constexpr uint16_t kUntouched = 0xA55A;

struct Call {
    uint8_t function;  // 3, 4, 6, 16, or 0 for the address change
    unsigned count, first;
    std::vector<uint16_t> values;
};

int run(const Call& c, std::vector<uint16_t>& words) {
    switch (c.function) {
        case 3: return ReadHoldingRegisters(c.count, c.first, words.data());
        case 4: return ReadInputRegisters(c.count, c.first, words.data());
        case 6: return WriteSingleRegister(c.values[0], c.first);
        case 16: return WriteMultipleRegisters(c.count, c.first, c.values.data());
        default: return ChangeDetectorAddress(c.first);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool once = [] {
        SetPumpWait([](unsigned) {});  // the peer answers at once
        return true;
    }();
    (void)once;
    FuzzedDataProvider in(data, size);
    ResetWire();
    WireState& w = Wire();
    w.slave = in.ConsumeIntegralInRange<uint32_t>(1, 247);

    std::vector<Call> calls;
    std::vector<std::vector<uint8_t>> answers;
    const size_t count = in.ConsumeIntegralInRange<size_t>(1, 4);
    for (size_t i = 0; i < count && in.remaining_bytes(); ++i) {
        static constexpr uint8_t kFunctions[] = {3, 4, 6, 16, 0};
        Call c{in.PickValueInArray(kFunctions), in.ConsumeIntegralInRange<unsigned>(1, kMaxReadRegisters),
               in.ConsumeIntegralInRange<unsigned>(0, 0xFFFF), {}};
        if (c.function == 16) c.count = std::min(c.count, kMaxWriteRegisters);
        for (unsigned k = 0; k < c.count; ++k) c.values.push_back(in.ConsumeIntegral<uint16_t>());
        auto answer = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 300));
        if (in.ConsumeBool()) SealFrame(answer, answer.size());
        calls.push_back(std::move(c));
        answers.push_back(std::move(answer));
    }

    const bool keepOpen = in.ConsumeBool();
    for (size_t i = 0; i < calls.size(); ++i) {
        const Call& c = calls[i];
        const std::vector<uint8_t>& reply = answers[i];  // what the host read is a prefix of it
        // A line of its own for each call: a reply cut short ends at once
        // unless the line stays open. Silence would cost the full timeout of
        // a register call; the transport's target tries it with a short one.
        SocketLine line;
        w.ctx = line.ctx();
        modbus_set_slave(w.ctx, static_cast<int>(w.slave));
        SetLinkBackend(&ModbusBackend());
        line.serve({reply}, keepOpen && !reply.empty());
        std::vector<uint16_t> words(c.count, kUntouched);
        const int rc = run(c, words);
        SetLinkBackend(nullptr);
        w.ctx = nullptr;
        const bool read = c.function == 3 || c.function == 4;
        // A read fills the caller's words only from a reply of the asked size.
        if (read && rc != static_cast<int>(c.count))
            FUZZ_CHECK(std::all_of(words.begin(), words.end(), [](uint16_t v) { return v == kUntouched; }));
        if (rc <= 0) continue;
        FUZZ_CHECK(reply.size() >= 5);
        // Known fault, mended elsewhere: a reply from another address is no answer.
        FUZZ_CHECK(reply[0] == w.slave);
        // A write succeeds only when the reply echoes it.
        if (c.function == 6 || c.function == 16) {
            FUZZ_CHECK(reply.size() >= 8 && reply[2] == (c.first >> 8) && reply[3] == (c.first & 0xFF));
            if (c.function == 6) FUZZ_CHECK(reply[4] == (c.values[0] & 0xFF) && reply[5] == (c.values[0] >> 8));
            else FUZZ_CHECK(rc == static_cast<int>(c.count));
        }
    }
    return 0;
}
