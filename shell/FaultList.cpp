#include "shell/FaultList.h"

#include <cstdio>

#include "shell/CFaultListIds.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"
#include "protocol/Transport.h"
#include "protocol/records/FaultWords.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

constexpr unsigned kWaitMs = 100;
constexpr unsigned kTimeoutMs = 500;
// Bits 94 and 95 are used by the detector for itself; they are no faults.
constexpr unsigned kShownBits = 94;
constexpr const char* kRule = "====================";

}  // namespace

int RequestFaultWords(FaultWords& words) {
    uint8_t buffer[kFaultWordsFrameSize] = {kFaultWordsSubCommand};
    const int r = ModbusGet(1, D_MISC_CONTROL, Wire().ctx, buffer, sizeof buffer, kWaitMs, kTimeoutMs);
    // Anything but the whole answer leaves the words alone: a shorter frame
    // would put them past what arrived.
    if (r < 0) return r;
    if (const auto decoded = DecodeFaultWords(std::span<const uint8_t>(buffer, static_cast<size_t>(r)))) words = *decoded;
    return r;
}

std::vector<unsigned> ActiveFaultCodes(const FaultWords& words) {
    std::vector<unsigned> codes;
    for (unsigned bit = 0; bit < kShownBits; ++bit)
        if (words[bit / 32] & (1u << (bit % 32))) codes.push_back(bit);
    return codes;
}

std::vector<std::string> FaultListLines(const FaultWords& words) {
    std::vector<std::string> lines{"QXD State Faults:", kRule};
    for (const unsigned bit : ActiveFaultCodes(words)) {
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

void FaultList::Load(Panel& panel) {
    panel.clearLines(faultwin::kList);
    FaultWords words{};
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        // The poll clock must not put a status request between ours and its answer.
        Shell().busy = true;
        const int r = RequestFaultWords(words);
        Shell().busy = false;
        if (r == static_cast<int>(kFaultWordsFrameSize)) {
            DebugLog("QXD State Faults: 0x%08X 0x%08X 0x%08X.", words[0], words[1], words[2]);
            for (const std::string& line : FaultListLines(words)) panel.addLine(faultwin::kList, line);
            return;
        }
        DebugLog("D_MISC_CONTROL(3) returned %u - not %u", static_cast<unsigned>(r), static_cast<unsigned>(kFaultWordsFrameSize));
        if (attempt < kTries) PumpWait(kRetryWaitMs);
    }
}
