#include "cli/PollLine.h"

#include <cstdio>

#include "protocol/records/StatusRecord.h"

std::optional<std::string> PollLine(std::span<const uint8_t> frame) {
    const auto status = DecodeStatus(frame);
    if (!status) return std::nullopt;
    const char mode = status->mode >= 32 && status->mode < 127 ? status->mode : '?';
    char line[120];
    std::snprintf(line, sizeof line, "address %u serial %u model 0x%04X mode %c state %u", status->header.address,
                  static_cast<unsigned>(status->header.serial), status->header.model, mode, status->stateCode);
    return line;
}
