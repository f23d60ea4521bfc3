#pragma once
// The three dial gauges of the Status page as the logic sees them: scales
// and working ranges by kind and units, and the text and colour of the value
// field. The window only paints what these give.
#include <array>
#include <cstdint>
#include <string>

namespace gauge {

enum Kind : int { Voltage = 0, Temperature = 1, Analog = 2 };
enum class Colour { Red, Green, Blue };

struct Scale {
    double initial, min, max;  // the needle's start and the dial's ends
    double low, high;          // the valid working range, bounds included
};

Scale ScaleOf(int kind, bool usUnits);
const char* Caption(int kind);

// The value field: "%.1f" coloured by the working range (the analog output
// always blue), or "---" on red while no detector answers.
struct Reading {
    std::string text;
    Colour colour;
};
Reading Classify(int kind, double value, bool present, bool usUnits);

// Where the needle points: the value held to the dial's ends, so that the
// start value below a scale and the 1001.0 of a lost detector stay on it.
double NeedleValue(const Scale& scale, double value);

std::array<uint8_t, 3> Rgb(Colour c);
const char* ColourName(Colour c);  // "red", "green", "blue"

// The Status page's mode field: white on red for 'A' and 'X', black on amber
// for 'W', black on white otherwise.
struct FieldColours {
    std::array<uint8_t, 3> text, back;
};
FieldColours ModeField(char mode);

// The value the status poll hands the temperature gauge, in the gauge's units.
inline double GaugeTemperature(double celsius, bool usUnits) { return usUnits ? celsius * 1.8 + 32 : celsius; }

}  // namespace gauge
