#include "shell/VersionInfo.h"

#include <array>

#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "shell/ShellState.h"
#include "util/Version.h"
#include "wire/Frame.h"

namespace {
constexpr size_t kTextBytes = 256;
constexpr size_t kAnswerSize = kFrameOverhead + kTextBytes;  // 273
constexpr unsigned kWaitMs = 100, kTimeoutMs = 500;
}  // namespace

std::string VersionTextFromAnswer(std::span<const uint8_t> answer, int got) {
    if (got != static_cast<int>(kAnswerSize) || answer.size() < kAnswerSize) return kNoVersion;
    std::string text;
    for (size_t i = kHeaderSize; i < kHeaderSize + kTextBytes && answer[i] != 0; ++i)
        text += static_cast<char>(answer[i]);
    return text;
}

std::string ReadDetectorVersion() {
    std::array<uint8_t, kAnswerSize> answer{};
    int got = -1;
    // The poll must not step in between the tries.
    const bool wasBusy = Shell().busy.exchange(true);
    for (int attempt = 0; attempt < 3 && got == -1; ++attempt) {
        answer[0] = 0;
        got = ModbusGet(1, D_VERINFO2HOST, Wire().ctx, answer.data(), kAnswerSize, kWaitMs, kTimeoutMs);
    }
    Shell().busy = wasBusy;
    return VersionTextFromAnswer(answer, got);
}

std::string HostVersionText() {
    return std::string("Wexcon, v") + WexconVersion() + "\r\n\r\nModbus.Dll v" +
           Shell().host.libraryVersion;
}
