#include "config/Levels420.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace {

constexpr size_t kTypedLimit = 16;  // what the edit hands over
constexpr uint8_t kBitFault = 20;   // 2 mA, the only BIT fault level a detector accepts

std::string tenths(uint8_t level) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", level / 10.0 + 0.00000001);
    return text;
}

// The level indexes of the checks, by model.
struct Layout {
    size_t bitFault, uvBitFault, fov, reserved, normal, irLevel, uvLevel, preAlarm, alarm;
};
constexpr Layout kIr{1, 0, 2, 3, 4, 0, 0, 5, 6};
constexpr Layout kUvir{1, 2, 3, 4, 5, 6, 7, 8, 9};

LevelCheck fail(size_t index, std::string message) {
    return {false, std::move(message), static_cast<int>(index)};
}

}  // namespace

std::string LevelText(uint8_t level) { return tenths(level); }

std::optional<uint8_t> ParseLevel(const std::string& typed) {
    std::string_view text(typed.data(), std::min(typed.size(), kTypedLimit));
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(number))
        return std::nullopt;
    // A byte holds 0.0 to 25.5 mA; a negative level must not wrap to a high one.
    if (number < 0.0 || number > 25.5) return std::nullopt;
    return static_cast<uint8_t>(std::trunc(number * 10.0000001));
}

LevelCheck CheckLevels(Levels420& L, bool uvir, bool check, int textVariant) {
    if (!check) return {};
    const Layout& at = uvir ? kUvir : kIr;
    L[at.reserved] = L[at.fov];
    if (L[0] > 10) return fail(0, "The Fault 4-20 current may not be negative or greater than 1");
    if (L[at.bitFault] != kBitFault)
        return fail(at.bitFault, "The BIT Fault 4-20 current must be 2");
    if (uvir && (L[at.uvBitFault] < 20 || L[at.uvBitFault] > 30))
        return fail(at.uvBitFault, "The UV BIT Fault 4-20 current must be in the range [2, 3]");
    if (L[at.fov] < 30 || L[at.fov] > 50)
        return fail(
            at.fov,
            textVariant == 0
                ? "The FOV Fault 4-20 current must be a whole value within the range 3 \u2013 5."
                : "The FOV Fault 4-20 current must be in the range [3, 5]");
    if (L[at.fov] > L[at.normal])
        return fail(
            at.fov,
            "The FOV Fault 4-20 current must be less than or equal to the Normal 4-20 current");
    if (L[at.normal] != 40 && L[at.normal] != 50)
        return fail(at.normal, "The Normal 4-20 current must be 4 or 5");
    if (uvir) {
        for (size_t level : {at.irLevel, at.uvLevel})
            if (L[level] < L[at.normal] || L[level] >= L[at.preAlarm])
                return fail(level,
                            "The IR and UV Level 4-20 currents must be greater than or equal to "
                            "the Normal 4-20 "
                            "current and less than the Pre-Alarm 4-20 current");
    }
    const uint8_t preAlarmLow = uvir ? 130 : 100;
    if (L[at.preAlarm] < preAlarmLow || L[at.preAlarm] > 160 || L[at.preAlarm] >= L[at.alarm])
        return fail(at.preAlarm, std::string("The Pre-Alarm 4-20 current must be in the range [") +
                                     (uvir ? "13" : "10") +
                                     ", 16] and less than the Alarm 4-20 current");
    if (L[at.alarm] < 150 || L[at.alarm] > 200)
        return fail(at.alarm, "The Alarm 4-20 current must be in the range [15, 20]");
    return {};
}

std::string FixBitFaultLevel(Levels420& levels, bool check) {
    if (!check || levels[kIr.bitFault] == kBitFault) return {};
    const std::string old = tenths(levels[kIr.bitFault]);
    levels[kIr.bitFault] = kBitFault;
    return "Due to an unexpected settings error, the BIT Fault current has an incorrect value of " +
           old +
           "\r\nThe BIT Fault current in this dialog box has been reset to 2mA.\r\nTo 'Apply', "
           "'OK' the 4-20 "
           "settings fix -\r\n - and then\"Apply Settings\"...";
}

std::string LevelName(size_t index, bool uvir) {
    if (index >= LevelCount(uvir)) return {};
    return SetupFieldName(setupfield::Param420 + index, uvir);
}
