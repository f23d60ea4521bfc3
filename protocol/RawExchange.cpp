#include "protocol/RawExchange.h"

#include <cstring>
#include <vector>

#include "link/CommDriver.h"
#include "link/Comproc.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

bool send(uint32_t slave, const uint8_t* block, size_t blockLength) {
    std::vector<uint8_t> frame(blockLength + 3);
    frame[0] = static_cast<uint8_t>(slave);
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

}  // namespace

int RawGet(uint32_t slave, const uint8_t* block, size_t blockLength, uint8_t* buffer,
           unsigned responseSize, unsigned timeoutMs) {
    // The checker starts clean before the request leaves, so an answer that
    // arrives at once is not thrown away with stale bytes.
    ResetComproc();
    if (!send(slave, block, blockLength)) return -1;
    const unsigned long long deadline = TickMs() + timeoutMs;
    int result = 0;
    for (;;) {
        result = collectWaiting();
        if (result != 0 || TickMs() >= deadline) break;
        PumpWait(10);
    }
    if (result != 1) return -1;
    const long n = ComprocCopyAnswer(buffer, responseSize);
    return n < 0 ? 2 : static_cast<int>(n);
}

bool RawSet(uint32_t slave, const uint8_t* block, size_t blockLength) {
    ResetComproc();
    return send(slave, block, blockLength);
}
