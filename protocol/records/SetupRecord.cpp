#include "protocol/records/SetupRecord.h"

#include "wire/Frame.h"

bool SetupLocked(std::span<const uint8_t> setupAnswer) {
    return setupAnswer.size() >= kSetupAnswerSize &&
           setupAnswer[kHeaderSize + setupfield::LockState] == kLocked;
}
