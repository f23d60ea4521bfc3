#include "monitor/Gauges.h"

#include <algorithm>
#include <cstdio>

namespace gauge {

Scale ScaleOf(int kind, bool usUnits) {
    switch (kind) {
        case Voltage: return {11, 12, 38, 18, 32};
        case Temperature: return usUnits ? Scale{131, -76, 248, -22, 212} : Scale{55, -60, 120, -30, 100};
        default: return {4, 0, 21, 1, 20};
    }
}

const char* Caption(int kind) {
    static const char* const kCaptions[] = {"Input Voltage [V]", "Temperature (Internal)", "Analog Output (4-20) [mA]"};
    return kCaptions[std::clamp(kind, 0, 2)];
}

Reading Classify(int kind, double value, bool present, bool usUnits) {
    if (!present) return {"---", Colour::Red};
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", value);
    if (kind == Analog) return {b, Colour::Blue};
    const Scale s = ScaleOf(kind, usUnits);
    return {b, value >= s.low && value <= s.high ? Colour::Green : Colour::Red};
}

double NeedleValue(const Scale& scale, double value) {
    // NaN from a garbled record rests at the start like a value below the scale.
    if (!(value > scale.min)) return scale.min;
    return std::min(value, scale.max);
}

std::array<uint8_t, 3> Rgb(Colour c) {
    switch (c) {
        case Colour::Red: return {225, 0, 12};
        case Colour::Green: return {140, 203, 69};
        default: return {91, 155, 213};
    }
}

FieldColours ModeField(char mode) {
    constexpr std::array<uint8_t, 3> kWhite{255, 255, 255}, kBlack{0, 0, 0};
    if (mode == 'A' || mode == 'X') return {kWhite, Rgb(Colour::Red)};
    if (mode == 'W') return {kBlack, {240, 220, 10}};
    return {kBlack, kWhite};
}

const char* ColourName(Colour c) { return c == Colour::Red ? "red" : c == Colour::Green ? "green" : "blue"; }

}  // namespace gauge
