#include "protocol/Commands.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

namespace {

constexpr uint8_t kGetTagged[] = {115, 116, 119, 120, 122, 125, 126, 128, 139, 144, 148, 149, 158, 162};
constexpr uint8_t kGetAuthorised[] = {118, 123, 141, 156, 163};
constexpr uint8_t kSetTagged[] = {117, 124, 126, 128, 130, 132, 139, 140, 156};
constexpr uint8_t kSetAuthorised[] = {118, 121};

constexpr CommandInfo kCommands[] = {
    {D_CALIBRATE_UV_BIT, "D_CALIBRATE_UV_BIT", 18, 100, 500},
    {D_DATA2HOST_SHORT, "D_DATA2HOST_SHORT", 24, 80, 150},
    {D_MANUAL_BIT, "D_MANUAL_BIT", 0, 0, 0},
    {D_SETUP2DET, "D_SETUP2DET", 89, 500, 3000},
    {D_SETUP2HOST, "D_SETUP2HOST", 89, 100, 500},
    {D_DATA2HOST, "D_DATA2HOST", 177, 100, 500},
    {D_PARAM2DET, "D_PARAM2DET", 0, 0, 0},
    {D_PARAM2HOST, "D_PARAM2HOST", 1001, 100, 500},
    {D_READ_FLASH, "D_READ_FLASH", 21, 10, 1500},
    {D_VERINFO2HOST, "D_VERINFO2HOST", 273, 100, 500},
    {D_RECORD_RAW_ADC, "D_RECORD_RAW_ADC", 18, 100, 500},
    {D_RECORD_100HZ_ADC, "D_RECORD_100HZ_ADC", 18, 100, 500},
    {D_SIMULATE_ALARM, "D_SIMULATE_ALARM", 0, 0, 0},
    {D_CALIBRATION, "D_CALIBRATION", 0, 0, 0},
    {D_CALIB_OBJECT, "D_CALIB_OBJECT", 1097, 100, 500},
    {D_SWITCH_BAUD, "D_SWITCH_BAUD", 0, 0, 0},
    {D_UPLOAD_FW, "D_UPLOAD_FW", 21, 200, 10000},
    {D_GET_LOGFILE, "D_GET_LOGFILE", 28, 500, 2000},
    {D_ELEVATE, "D_ELEVATE", 18, 100, 500},
    {D_MISC_CONTROL, "D_MISC_CONTROL", 18, 100, 500},
    {D_CALIB_SCALE, "D_CALIB_SCALE", 97, 100, 500},
    {D_DEVINFO2HOST, "D_DEVINFO2HOST", 125, 100, 500},
    {D_DEVINFO2DET, "D_DEVINFO2DET", 125, 500, 3000},
};

template <size_t N>
bool in(const uint8_t (&set)[N], unsigned id) {
    return std::find(std::begin(set), std::end(set), id) != std::end(set);
}

}  // namespace

GetGroup getGroupOf(unsigned id) {
    if (in(kGetTagged, id)) return GetGroup::Tagged;
    if (in(kGetAuthorised, id)) return GetGroup::Authorised;
    return GetGroup::None;
}

SetGroup setGroupOf(unsigned id) {
    if (in(kSetTagged, id)) return SetGroup::Tagged;
    if (in(kSetAuthorised, id)) return SetGroup::Authorised;
    return SetGroup::None;
}

const CommandInfo* commandInfo(unsigned id) {
    for (const auto& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

std::optional<unsigned> parseCommand(const std::string& text) {
    if (text.empty()) return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        if (text.size() > 3) return std::nullopt;
        const unsigned id = static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
        return id <= 255 ? std::optional<unsigned>(id) : std::nullopt;
    }
    std::string upper;
    for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const auto& c : kCommands)
        if (upper == c.name) return c.id;
    return std::nullopt;
}
