// The transport's judgement of record answers: a run of Gets, with command
// tags on or off, over the library context (its line a socket pair with the
// target answering) or the raw link's checker, each answer whatever the
// input says.
#include <fuzzer/FuzzedDataProvider.h>

#include <deque>
#include <memory>
#include <vector>

#include "link/Comproc.h"
#include "protocol/LinkBackend.h"
#include "protocol/Transport.h"
#include "support/SocketLine.h"

namespace {

// The raw link as the transport sees it, its bytes from the input instead of
// the driver's ring: the same checker and answer copy as the raw backend.
class RawAnswers final : public LinkBackend {
public:
    std::deque<std::vector<uint8_t>> answers;

    int mode() const override { return LINK_RAW; }
    bool ready() const override { return true; }
    bool selectSlave(unsigned) override { return true; }
    void flush() override { ResetComproc(); }
    int request(const RecordRequest&, uint8_t* buffer, unsigned size, unsigned, unsigned, bool* noAnswer) override {
        *noAnswer = true;
        flush();
        if (answers.empty()) return -1;
        const auto bytes = std::move(answers.front());
        answers.pop_front();
        int r = 0;
        for (size_t i = 0; i < bytes.size() && r == 0; ++i) r = comprocByte(bytes[i]);
        if (r != 1) return -1;
        const long n = ComprocCopyAnswer(buffer, size);
        return n < 0 ? 2 : static_cast<int>(n);
    }
    int post(const RecordRequest&) override { return -1; }
    int standard(const std::vector<uint8_t>&, uint8_t*, int, unsigned, unsigned) override { return -1; }
    int writeRegister(unsigned, unsigned) override { return -1; }
    bool reportsMissedAnswers() const override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool raw = in.ConsumeBool();
    const bool keepOpen = in.ConsumeBool();
    ResetWire();
    WireState& w = Wire();
    w.slave = in.ConsumeIntegralInRange<uint32_t>(1, 247);
    w.useCmdTags = in.ConsumeBool();
    w.tagsActive = in.ConsumeBool();
    w.tagCounter = in.ConsumeIntegral<uint8_t>();
    w.nonce = in.ConsumeIntegral<uint32_t>();

    struct Get {
        unsigned command, responseSize;
    };
    std::vector<Get> gets;
    std::vector<std::vector<uint8_t>> answers;
    const size_t count = in.ConsumeIntegralInRange<size_t>(1, 4);
    for (size_t i = 0; i < count && in.remaining_bytes(); ++i) {
        const unsigned command = in.ConsumeIntegralInRange<unsigned>(115, 163);
        const CommandInfo* info = commandInfo(command);
        const unsigned responseSize = in.ConsumeBool() && info && info->responseSize
                                          ? info->responseSize
                                          : in.ConsumeIntegralInRange<unsigned>(1, 1200);
        gets.push_back({command, responseSize});
        auto answer = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 1300));
        if (in.ConsumeBool()) SealRecord(answer);
        answers.push_back(std::move(answer));
    }

    RawAnswers rawLink;
    if (raw) {
        rawLink.answers.assign(answers.begin(), answers.end());
        LinkModeWord() = LINK_RAW;
        SetLinkBackend(&rawLink);
    }
    for (size_t i = 0; i < gets.size(); ++i) {
        const Get& g = gets[i];
        // A line of its own for each Get: an answer cut short ends at once
        // unless the line stays open.
        std::unique_ptr<SocketLine> line;
        if (!raw) {
            line = std::make_unique<SocketLine>();
            w.ctx = line->ctx();
            modbus_set_slave(w.ctx, static_cast<int>(w.slave));
            SetLinkBackend(&ModbusBackend());
            line->serve({answers[i]}, keepOpen);
        }
        std::vector<uint8_t> buffer(g.responseSize);  // exactly the caller's room
        const int r = ModbusGet(0, g.command, w.ctx, buffer.data(), g.responseSize, 0, 20);
        if (!raw) {
            // The context belongs to the line, which closes it.
            SetLinkBackend(nullptr);
            w.ctx = nullptr;
        }
        if (r <= 2) continue;
        // Taken as an answer: a whole record frame within the room, remembered.
        const size_t n = static_cast<size_t>(r);
        FUZZ_CHECK(n <= g.responseSize && n >= kFrameOverhead);
        FUZZ_CHECK(buffer[1] == 0xC8 && frameCrcOk(buffer.data(), n));
        FUZZ_CHECK(w.responded && w.lastResponder == buffer[0]);
        // Known faults, mended elsewhere: an answer to another command, or
        // from an address no detector has, is no answer.
        FUZZ_CHECK(buffer[4] == g.command);
        FUZZ_CHECK(buffer[0] <= 247);
    }
    SetLinkBackend(nullptr);
    ResetWire();
    return 0;
}
