#pragma once
// The boxes of the calibration windows' manual mode, worded as the windows
// show them, so that the windows and their tests share one place.
#include <string>
#include <vector>

#include "protocol/records/ParamRecord.h"

namespace autocal {

// "Warning", OK/Cancel: the addresses that have not responded (Cancel closes the window).
std::string NotRespondedText(const std::vector<unsigned>& addresses);
// A slave of another model than the master's: the text; *caption gets its title.
std::string MismatchText(ParamKind kind, const std::string& masterModel, const std::string& slaveModel,
                         unsigned masterVariant, unsigned slaveVariant, std::string* caption);
// "Warning", OK/Cancel before a UV/IR burn after a UV sum below the threshold.
extern const char* const kUvBurnQuestion;
// "Warning" after the window has gone, when the end broadcast failed.
extern const char* const kModeStillOnText;
// "Calibration Incomplete", OK/Cancel at closing.
std::string IncompleteText(unsigned notVerified, unsigned responding);

}  // namespace autocal
