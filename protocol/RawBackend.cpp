// The serial driver and the frame checker as a link backend: record frames
// only, with the address and CRC added here.
#include <algorithm>
#include <cstring>
#include <vector>

#include "link/CommDriver.h"
#include "link/Comproc.h"
#include "protocol/LinkBackend.h"
#include "protocol/SecretMask.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

bool send(const uint8_t* block, size_t blockLength) {
    std::vector<uint8_t> frame(blockLength + 3);
    frame[0] = static_cast<uint8_t>(Wire().slave);
    std::memcpy(frame.data() + 1, block, blockLength);
    appendCrc16(frame.data(), blockLength + 1);
    return CommWrite(frame.data(), frame.size()) == 1;
}

// Runs every byte waiting in the ring through the checker; a tick that took
// only a hundred bytes could never finish answers longer than a few hundred.
int collectWaiting() {
    for (;;) {
        if (CommBytesAvail() == 0) return 0;
        const int r = comproc();
        if (r != 0) return r;
    }
}

class Raw final : public LinkBackend {
public:
    int mode() const override { return LINK_RAW; }
    bool ready() const override { return true; }
    // Every frame carries the current slave address.
    bool selectSlave(unsigned) override { return true; }
    void flush() override { ResetComproc(); }

    int request(const RecordRequest& rq, uint8_t* buffer, unsigned size, unsigned, unsigned timeoutMs,
                bool* noAnswer) override {
        *noAnswer = true;
        // The checker starts clean before the request leaves, so an answer that
        // arrives at once is not thrown away with stale bytes.
        flush();
        if (!send(rq.block->data(), rq.length)) return -1;
        const unsigned long long deadline = TickMs() + timeoutMs;
        int result = 0;
        for (;;) {
            result = collectWaiting();
            if (result != 0 || TickMs() >= deadline) break;
            PumpWait(10);
        }
        if (result != 1) return -1;
        const long n = ComprocCopyAnswer(buffer, size);
        return n < 0 ? 2 : static_cast<int>(n);
    }

    int post(const RecordRequest& rq) override {
        flush();
        const bool sent = send(rq.block->data(), rq.length);
        WaitOutRecord(rq.length);
        HexDumpMasked(rq.block->data(), std::min<size_t>(rq.length, 20), DumpFrom::Function, Side::Request);
        return sent ? 0 : -1;
    }

    // Standard functions need the library's framing; the raw link carries records only.
    int standard(const std::vector<uint8_t>&, uint8_t*, int, unsigned, unsigned) override { return -1; }
    int writeRegister(unsigned, unsigned) override { return -1; }

    // The procedures that run the raw link watch their own answers.
    bool reportsMissedAnswers() const override { return false; }
};

}  // namespace

LinkBackend& RawBackend() {
    static Raw backend;
    return backend;
}
