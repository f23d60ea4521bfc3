#include "shell/FaultList.h"

#include <cstdio>
#include <utility>

#include "shell/Catalogue.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

constexpr uint8_t kFaultWordsRequest = 3;  // D_MISC_CONTROL sub-command
constexpr unsigned kWaitMs = 100;
constexpr unsigned kTimeoutMs = 500;
// Bits 94 and 95 are used by the detector for itself; they are no faults.
constexpr unsigned kShownBits = 94;
constexpr const char* kRule = "====================";

uint32_t u32At(const uint8_t* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

}  // namespace

int RequestFaultWords(FaultWords& words) {
    uint8_t buffer[kFaultWordsAnswerSize] = {kFaultWordsRequest};
    const int r = ModbusGet(1, D_MISC_CONTROL, Wire().ctx, buffer, sizeof buffer, kWaitMs, kTimeoutMs);
    // Anything but the whole answer leaves the words alone: a shorter frame
    // would put them past what arrived.
    if (r != static_cast<int>(kFaultWordsAnswerSize)) return r;
    for (size_t i = 0; i < words.size(); ++i) words[i] = u32At(buffer + kFaultWordsOffset + 4 * i);
    return r;
}

std::vector<std::string> FaultListLines(const FaultWords& words) {
    std::vector<std::string> lines{"QXD State Faults:", kRule};
    for (unsigned bit = 0; bit < kShownBits; ++bit) {
        if (!(words[bit / 32] & (1u << (bit % 32)))) continue;
        std::string text = StateText(static_cast<int>(bit));
        if (text.empty()) text = "Unknown";
        char line[300];
        std::snprintf(line, sizeof line, "Fault %2u, \"%s\"", bit, text.c_str());
        lines.emplace_back(line);
    }
    if (lines.size() == 2) lines.emplace_back(" >  None reported...");
    lines.emplace_back(kRule);
    return lines;
}

FaultList::FaultList(BusyHook busy) : busy_(std::move(busy)) {}

const std::vector<std::string>& FaultList::load() {
    lines_.clear();
    FaultWords words{};
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        // The poll clock must not put a status request between ours and its answer.
        if (busy_) busy_(true);
        const int r = RequestFaultWords(words);
        if (busy_) busy_(false);
        if (r == static_cast<int>(kFaultWordsAnswerSize)) {
            DebugLog("QXD State Faults: 0x%08X 0x%08X 0x%08X.", words[0], words[1], words[2]);
            lines_ = FaultListLines(words);
            break;
        }
        DebugLog("D_MISC_CONTROL(3) returned %u - not %u", static_cast<unsigned>(r), kFaultWordsAnswerSize);
        if (attempt < kTries) PumpWait(kRetryWaitMs);
    }
    return lines_;
}
