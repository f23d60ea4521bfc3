#include "calib/CalibrateTexts.h"

#include <cstdio>

namespace autocal {

const char* const kUvBurnQuestion =
    "The minimal UV Sum failed to pass threshold for one or more detectors:\r\n  o  The calibration scaling operation "
    "is triggered \r\n       by a broadcast;\r\n  o  The FW doesn't enable excluding detectors from \r\n       the "
    "burn...\r\n\r\nClick 'Ok' to proceed with burn anyway;\r\nOtherwise, click 'Cancel'.";

std::string NotRespondedText(const std::vector<unsigned>& addresses) {
    std::string text = addresses.size() > 1 ? "The following addresses have not responded:\r\n"
                                            : "The following address has not responded:\r\n";
    for (size_t i = 0; i < addresses.size(); ++i)
        text += std::to_string(addresses[i]) + (i + 1 < addresses.size() ? "," : ".\r\n\r\n") + " ";
    return text + "Click 'Ok' to proceed anyway.\r\n Click 'Cancel' to abort.";
}

std::string MismatchText(ParamKind kind, const std::string& masterModel, const std::string& slaveModel,
                         unsigned masterVariant, unsigned slaveVariant, std::string* caption) {
    if (kind == ParamKind::Uvir) {
        *caption = "Error";
        return "Slave model '" + slaveModel + "' is different from Master model '" + masterModel + "'...";
    }
    *caption = "Master / Slave Model or I / M mismatch";
    return "Model:   Master \"" + masterModel + "\", Slave \"" + slaveModel + "\"\r\nVariant: Master \"" +
           std::to_string(masterVariant) + "\", Slave \"" + std::to_string(slaveVariant) + "\"\r\n";
}

const char* const kModeStillOnText =
    "ModbusSet(mdbs, D_CALIBRATION Off...) failed...\r\n\r\nThe detectors may still be in calibration mode: "
    "end it with 'wexcon-cli calib off' or reset them.";

std::string IncompleteText(unsigned notVerified, unsigned responding) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "The calibration of %u of %u slave detector(s) is incomplete...\r\n\r\nClick 'OK' to exit "
                  "anyway\r\nClick 'Cancel' to complete the calibration\r\n",
                  notVerified, responding);
    return buf;
}

}  // namespace autocal
