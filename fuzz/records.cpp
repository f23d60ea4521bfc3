// The record codecs on answers of any size: header, status, fault words,
// elevation result, setup record and lock state, parameter record.
#include <algorithm>
#include <vector>

#include "protocol/records/ElevationRecord.h"
#include "protocol/records/FaultWords.h"
#include "protocol/records/ParamRecord.h"
#include "protocol/records/SetupRecord.h"
#include "protocol/records/StatusRecord.h"
#include "support/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> frame(data, data + size);  // a heap copy, so ASan sees its end
    const std::span<const uint8_t> bytes(frame);
    if (const auto h = DecodeHeader(bytes)) FUZZ_CHECK(size >= kHeaderSize && h->address == frame[0]);
    if (const auto s = DecodeStatus(bytes)) {
        FUZZ_CHECK(s->level <= 2 && s->elevationLevel() <= 3 && s->minutesLeft() < 64);
        FUZZ_CHECK(s->header.nonce == DecodeHeader(bytes)->nonce);
    }
    if (DecodeFaultWords(bytes)) FUZZ_CHECK(size == kFaultWordsFrameSize);
    if (ElevationGranted(bytes)) FUZZ_CHECK(size == kElevationRecordSize);
    if (SetupLocked(bytes)) FUZZ_CHECK(size >= kSetupAnswerSize);
    if (const auto setup = DecodeSetup(bytes)) {
        const SetupBytes again = EncodeSetup(*setup);
        FUZZ_CHECK(size == kSetupRecordSize && std::equal(again.begin(), again.end(), frame.begin()));
    }
    if (const auto setup = DecodeSetupAnswer(bytes))
        FUZZ_CHECK(size >= kSetupAnswerSize && setup->LockState == frame[kHeaderSize + setupfield::LockState]);
    if (const auto p = ParamRecord::FromBytes(bytes))
        FUZZ_CHECK(std::ranges::equal(p->bytes(), frame) && ParamSize(p->kind()) == size &&
                   p->ordnum() == *p->value("ordnum"));
    return 0;
}
