#pragma once
// The short status answer (D_DATA2HOST_SHORT): the detector's condition and
// the test timer it has been counting since the last start broadcast.
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/records/ResponseHeader.h"

constexpr size_t kShortStatusFrameSize = 24;

struct ShortStatus {
    ResponseHeader header;
    uint8_t stateCode;
    char mode;
    uint8_t outputs;
    uint32_t timerMs;  // since the last D_MISC_CONTROL 0 broadcast

    bool alarmRelayOn() const { return outputs & 0x02; }
    bool inAlarm() const { return mode == 'A' || mode == 'X'; }
};

// nullopt for a frame shorter than the short status answer.
std::optional<ShortStatus> DecodeShortStatus(std::span<const uint8_t> frame);
