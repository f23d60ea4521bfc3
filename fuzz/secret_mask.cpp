// The password mask of frame dumps, on any frame from either side: it only
// ever puts stars, and a shorter dump or one that starts at the function
// byte hides exactly what the whole dump hides there.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "protocol/SecretMask.h"
#include "support/Check.h"
#include "util/Log.h"

namespace {

std::vector<uint8_t> masked(std::vector<uint8_t> bytes, DumpFrom from, Side side, unsigned answerTo) {
    MaskSecrets(bytes, from, side, answerTo);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool once = [] {
        // A sink, so that the dump's lines are formatted as for a console.
        logs::attachLists({}, [](const std::string&) {});
        return true;
    }();
    (void)once;
    FuzzedDataProvider in(data, size);
    const Side side = in.ConsumeBool() ? Side::Request : Side::Answer;
    const unsigned answerTo = in.ConsumeIntegralInRange<unsigned>(115, 163);
    const size_t cut = in.ConsumeIntegral<uint16_t>();
    const auto frame = in.ConsumeRemainingBytes<uint8_t>();

    const auto whole = masked(frame, DumpFrom::Address, side, answerTo);
    FUZZ_CHECK(whole.size() == frame.size());
    for (size_t i = 0; i < frame.size(); ++i) FUZZ_CHECK(whole[i] == frame[i] || whole[i] == '*');

    const std::vector<uint8_t> head(frame.begin(), frame.begin() + std::min(cut, frame.size()));
    const auto shorter = masked(head, DumpFrom::Address, side, answerTo);
    FUZZ_CHECK(std::equal(shorter.begin(), shorter.end(), whole.begin()));

    if (!frame.empty()) {
        const auto fromFunction = masked({frame.begin() + 1, frame.end()}, DumpFrom::Function, side, answerTo);
        FUZZ_CHECK(std::equal(fromFunction.begin(), fromFunction.end(), whole.begin() + 1));
    }
    HexDumpMasked(frame.data(), frame.size(), DumpFrom::Address, side, answerTo);
    return 0;
}
