#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The three fault words of a detector: bit n is set while state code n is active.
using FaultWords = std::array<uint32_t, 3>;

// Size of the detector's answer that carries the fault words, and where they sit in it.
constexpr unsigned kFaultWordsAnswerSize = 29;
constexpr unsigned kFaultWordsOffset = 15;

// One request for the fault words of the current detector. Returns what
// ModbusGet returned; `words` is filled only when it is the full answer.
int RequestFaultWords(FaultWords& words);

// The lines of the fault list for the given words: a header, one line per
// fault bit that is set (the two top bits are not faults and are left out),
// " >  None reported..." when there is none, and a closing rule.
std::vector<std::string> FaultListLines(const FaultWords& words);

// What the "Fault List" window shows, without the window: it asks the current
// detector for its fault words, up to three times, with the poll clock held
// off during each try through the busy hook.
class FaultList {
public:
    using BusyHook = std::function<void(bool busy)>;

    explicit FaultList(BusyHook busy = {});

    // Reads the words and builds the lines; after three failed tries the
    // list is empty (the window still opens). Returns the lines.
    const std::vector<std::string>& load();

    const std::vector<std::string>& lines() const { return lines_; }

    static constexpr int kTries = 3;
    static constexpr unsigned kRetryWaitMs = 100;

private:
    BusyHook busy_;
    std::vector<std::string> lines_;
};
