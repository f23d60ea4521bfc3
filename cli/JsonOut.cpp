#include "cli/JsonOut.h"

#include <cmath>
#include <cstdio>

#include "network/RegisterMap.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"

namespace {

// Floats as the detector sends them carry noise digits past what it measures.
double hundredths(double v) { return std::isfinite(v) ? std::round(v * 100.0) / 100.0 : 0.0; }

}  // namespace

nlohmann::ordered_json HeaderJson(const ResponseHeader& h, int pictureCode) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%04X", h.model);
    return {{"address", h.address}, {"model", code}, {"model_name", ModelName(h.model, pictureCode)},
            {"serial", h.serial}};
}

nlohmann::ordered_json StatusJson(const StatusRecord& s) {
    DetectorView& d = Shell().detector;
    d.uvirModel = IsUvirModelByte(static_cast<uint8_t>(s.header.model));
    d.alternateSensor = s.alternateSensor();
    nlohmann::ordered_json j = HeaderJson(s.header, s.pictureCode);
    const bool printable = s.mode >= 32 && s.mode < 127;
    j["mode"] = printable ? std::string(1, s.mode) : std::string();
    j["mode_text"] = ModeText(s.mode);
    j["state"] = s.stateCode;
    j["state_text"] = StateText(s.stateCode);
    j["status_text"] = StatusLine(s.mode, s.stateCode);
    j["fault"] = !s.faultRelayEnergised();
    j["relays"] = {{"alarm", s.alarmActive()}, {"accessory", s.accessoryActive()}, {"fault", s.faultRelayEnergised()}};
    j["heater"] = s.heaterOn();
    j["analog_ma"] = hundredths(s.milliamps());
    j["temperature_c"] = hundredths(s.temperature);
    j["voltage_v"] = hundredths(s.voltage);
    j["level"] = s.level;
    j["permission"] = s.permissionNeverSet() ? "never set" : s.locked() ? "locked" : "unlocked";
    j["elevation"] = {{"level", s.elevationLevel()}, {"minutes_left", s.minutesLeft()}};
    return j;
}

nlohmann::ordered_json FaultsJson(const FaultWords& words) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const unsigned code : ActiveFaultCodes(words)) {
        const std::string text = StateText(static_cast<int>(code));
        list.push_back({{"code", code}, {"text", text.empty() ? "Unknown" : text}});
    }
    return list;
}

nlohmann::ordered_json RegistersJson(bool input, unsigned first, const std::vector<uint16_t>& words) {
    bool uvir = Shell().detector.uvirModel;
    if (first == kInputRegisterBase && input && !words.empty()) uvir = IsUvirModelByte(static_cast<uint8_t>(words[0]));
    const auto labels = input ? InputRegisterLabels(uvir) : HoldingRegisterLabels(uvir);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (size_t i = 0; i < words.size(); ++i) {
        const unsigned reg = first + static_cast<unsigned>(i);
        std::string name;
        for (const std::string& label : labels)
            if (RegisterNumber(label) == reg) {
                const size_t gap = label.find("    ");
                name = gap == std::string::npos ? label : label.substr(label.find_first_not_of(' ', gap));
                break;
            }
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", words[i]);
        list.push_back({{"register", reg}, {"name", name}, {"value", words[i]}, {"hex", hex}});
    }
    return {{"table", input ? "input" : "holding"}, {"registers", list}};
}

void PrintJson(std::ostream& out, const nlohmann::ordered_json& object) {
    // Replacement characters rather than an exception for a detector's odd bytes.
    out << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
}
