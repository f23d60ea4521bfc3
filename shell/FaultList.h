#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "util/Panel.h"

// The three fault words of a detector: bit n is set while state code n is active.
using FaultWords = std::array<uint32_t, 3>;

// One request for the fault words of the current detector. Returns what
// ModbusGet returned; `words` is filled only when it is the full answer.
int RequestFaultWords(FaultWords& words);

// The state codes of the fault bits set in the words, lowest first (the two
// top bits are not faults and are left out).
std::vector<unsigned> ActiveFaultCodes(const FaultWords& words);

// The lines of the fault list for the given words: a header, one line per
// fault bit that is set (the two top bits are not faults and are left out),
// " >  None reported..." when there is none, and a closing rule.
std::vector<std::string> FaultListLines(const FaultWords& words);

// What the "Fault List" window shows, without the window: it asks the current
// detector for its fault words, up to three times, with the poll clock held
// off during each try, and puts the lines into the window's list. Runs on
// the link worker.
class FaultList {
public:
    // After three failed tries the list stays empty (the window still opens).
    static void Load(Panel& panel);

    static constexpr int kTries = 3;
    static constexpr unsigned kRetryWaitMs = 100;
};
