#include "link/Comproc.h"

#include <algorithm>
#include <cstring>

#include "link/CommDriver.h"
#include "util/Log.h"

namespace {

ComprocState gFrame;

// The bytes of the last frame stay in the buffers; the counts say they are gone.
void restart() {
    gFrame.state = 0;
    gFrame.length = 0;
    gFrame.headerCount = 0;
    gFrame.dataCount = 0;
}

// The smallest length field that leaves room for the CRC after the header.
constexpr uint32_t kMinLength = 11;

}  // namespace

void ResetComproc() {
    restart();
    const int slot = CurrentCommPort();
    if (slot >= 0) EmptyCommRx(slot);
}

int comprocByte(uint8_t b) {
    ComprocState& f = gFrame;
    // A frame starts afresh here, also right after a good one, whose bytes
    // stay for the copy until then.
    if (f.state == 0) {
        f.crc.reset();
        f.headerCount = 0;
    }
    f.crc.add(b);
    if (f.state >= 0 && f.state < static_cast<int>(kComprocHeaderSize) &&
        f.headerCount < kComprocHeaderSize)
        f.header[f.headerCount++] = b;

    switch (f.state) {
        case 0:
            if (b > 247) {
                ProtocolLog("comproc: bad address %u", b);
                ResetComproc();
                return -1;
            }
            f.state = 1;
            return 0;
        case 1:
            if (b != 0xC8) {
                ProtocolLog("comproc: cmd (%u) not 0xC8...", b);
                ResetComproc();
                return -1;
            }
            f.state = 2;
            return 0;
        case 2:
            f.length = b;
            f.state = 3;
            return 0;
        case 3:
            f.length |= static_cast<uint32_t>(b) << 8;
            // Below 11 the data part could not even hold the CRC, and the end
            // of the frame would never be recognised.
            if (f.length < kMinLength) {
                ProtocolLog("comproc: length field %u below %u...", f.length, kMinLength);
                ResetComproc();
                return -1;
            }
            f.state = 4;
            return 0;
        case 4:
        case 5:
        case 6:
            ++f.state;
            return 0;
        case 7:
        case 8:
        case 9:
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
            f.dataCount = 0;
            ++f.state;
            return 0;
        case 15:
            if (f.dataCount == 65535) {
                ProtocolLog("comproc: net message length (cbData %u) cannot reach %u...", 65535u,
                            65535u);
                ResetComproc();
                return -1;
            }
            f.data[f.dataCount++] = b;
            if (f.dataCount == f.length - 9) {
                if (f.crc.good()) {
                    f.dataCount -= 2;
                    f.state = 0;
                    return 1;
                }
                ProtocolLog("comproc: CRC16 error... (Data bytes read %u)", f.dataCount);
                ResetComproc();
                return -1;
            }
            return 0;
        default:
            ProtocolLog("comproc: bad state %d", f.state);
            ResetComproc();
            return 0;
    }
}

int comproc() {
    const int slot = CurrentCommPort();
    if (slot < 0) return 0;
    uint8_t b;
    if (GetFromRXQueue(slot, &b, 1) != 1) return 0;
    return comprocByte(b);
}

const ComprocState& ComprocFrame() { return gFrame; }

long ComprocCopyAnswer(uint8_t* buf, size_t max) {
    const size_t body = kComprocHeaderSize + gFrame.dataCount;
    // The size returned is what the caller finds in its buffer, CRC included:
    // an answer without room for its CRC does not fit.
    if (!buf || gFrame.headerCount != kComprocHeaderSize || body + 2 > max) return -1;
    std::memcpy(buf, gFrame.header, kComprocHeaderSize);
    // The CRC bytes still follow the data in the buffer (a good frame keeps them).
    std::memcpy(buf + kComprocHeaderSize, gFrame.data, gFrame.dataCount + 2u);
    return static_cast<long>(body + 2);
}
