// The raw link's frame checker and answer copy: a byte stream from the line,
// copied out into buffers of every size a caller may give.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "link/Comproc.h"
#include "support/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t room = in.ConsumeIntegralInRange<size_t>(0, 600);
    ResetComproc();
    for (const uint8_t b : in.ConsumeRemainingBytes<uint8_t>()) {
        if (comprocByte(b) != 1) continue;
        const ComprocState& f = ComprocFrame();
        // Exactly as long as the caller's buffer, so that ASan sees any byte past it.
        std::vector<uint8_t> buf(room);
        const long n = ComprocCopyAnswer(buf.data(), buf.size());
        if (n < 0) {
            FUZZ_CHECK(kComprocHeaderSize + f.dataCount + 2 > room);
            continue;
        }
        // A whole frame: its length field, a record function, a unicast or
        // broadcast address, and the CRC over all of it.
        FUZZ_CHECK(static_cast<size_t>(n) <= room);
        FUZZ_CHECK(static_cast<size_t>(n) == (buf[2] | buf[3] << 8) + 6u);
        FUZZ_CHECK(buf[0] <= 247 && buf[1] == 0xC8);
        FUZZ_CHECK(frameCrcOk(buf.data(), static_cast<size_t>(n)));
    }
    return 0;
}
