#include "shell/Catalogue.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>

#include "shell/ShellState.h"

namespace {

struct ModeEntry {
    char mode;
    const char* text;
};

// Case matters: only the three level modes have a lower-case form.
constexpr ModeEntry kModes[] = {
    {'B', "Automatic BIT"}, {'E', "End of BIT"},      {'G', "Gradient"},   {'g', "Gradient"},
    {'I', "IR level"},      {'i', "IR level"},        {'U', "UV level"},   {'u', "UV level"},
    {'K', "Low temperature"}, {'N', "Normal"},        {'M', "Manual BIT"}, {'W', "Warning"},
    {'A', "Alarm"},         {'L', "Latch"},           {'X', "Explosion"},  {'Z', "Post Alarm"},
};

// A few codes mean different things on the two sensor families, or depend on
// which sensor set the detector carries; `text` applies when the flag is set.
enum class DependsOn { Nothing, UvirModel, AlternateSensor };

struct StateEntry {
    int code;
    const char* text;
    const char* otherwise = nullptr;
    DependsOn dependsOn = DependsOn::Nothing;
};

constexpr StateEntry kStates[] = {
    {1, "Constant external BIT"},
    {2, "Temperature measurement fault"},
    {3, "4-20mA circuit fault"},
    {4, "Faulty FAULT relay"},
    {5, "Faulty ACCESSORY relay"},
    {6, "Faulty ALARM relay"},
    {7, "Heater fault"},
    {8, "BIT fault"},
    {9, "IR BIT lamp fault"},
    {10, "UV BIT lamp fault"},
    {11, "FOV fault"},
    {12, "IR ADC data missed fault"},
    {13, "Analog out fault"},
    {18, "FOV warning"},
    {19, "ASC warning"},
    {20, "Setup updated"},
    {21, "DevInfo updated"},
    {31, "Sensor 4.52 circuit fault - no signal"},
    {32, "Sensor 5.12 circuit fault - no signal"},
    {33, "Sensor 2.4 circuit fault - no signal", "Sensor 4.02 circuit fault - no signal",
     DependsOn::AlternateSensor},
    {34, "Sensor 3.05 circuit fault - no signal", "Sensor 4.45 circuit fault - no signal",
     DependsOn::AlternateSensor},
    {38, "AFE voltage offset fault"},
    {39, "Corvid UART communication error"},
    {40, "Low 12V input voltage"},
    {41, "Constant UV level"},
    {42, "Noisy UV level"},
    {43, "UV High voltage fault"},
    {44, "IR level fault"},
    {45, "IR Short on amplifying path"},
    {46, "Constant IR sensor output"},
    {47, "IR locked high fault", "Analog front end (sigma delta) fault", DependsOn::UvirModel},
    {48, "UV sensor stuck at 1 fault", "SPI to sigma delta fault", DependsOn::UvirModel},
    {49, "faulty Digi POT"},
    {51, "UV sensor break", "4.5um sensor noise fault", DependsOn::UvirModel},
    {52, "Analog front end (sigma delta) fault", "5um sensor noise fault", DependsOn::UvirModel},
    {53, "SPI to sigma delta fault", "4um sensor noise fault", DependsOn::UvirModel},
    {54, "4.4um sensor noise fault"},
    {55, "4.5um & 5um sensors shorted"},
    {56, "4.5um & 4um sensors shorted"},
    {57, "4um & 5um sensors shorted"},
    {58, "4.4um & 4.5um sensors shorted"},
    {59, "4um & 4.4um sensors shorted"},
    {60, "5um & 4.4um sensors shorted"},
    {71, "Program image in flash CRC error"},
    {72, "'Parameters' CRC error"},
    {73, "'Setup' CRC error"},
    {74, "RAM CRC error"},
    {75, "No parameters, or settings"},
    {76, "Settings in RAM CRC error"},
    {81, "Incorrect 5V input voltage"},
    {82, "Incorrect 9V input voltage"},
    {83, "Incorrect Vin voltage"},
    {90, "Startup - power on"},
    {91, "Startup - after parameter update"},
    {92, "Startup - restore from voltage fault"},
};

// Model names by picture code: one family prefix and the four model suffixes;
// the series letter goes between them.
struct ModelFamily {
    int pictureCode;
    const char* prefix;
    std::array<const char*, 4> suffixes;
};

constexpr ModelFamily kDefaultFamily{0xDB, "QX", {"-S1", "-S2", "-S3", "-S4"}};
constexpr ModelFamily kFamilies[] = {
    kDefaultFamily,
    {0x26, "RB", {"-T1", "-T2", "-T3", "-T4"}},
    {0x52, "Sentra", {" 3100", " 3200", " 3300", " 3400"}},
};

// Offsets from the first model code of the two series; the second series
// repeats the first 16 codes further on.
constexpr unsigned kFirstModelCode = 0x580;
constexpr unsigned kLastModelCode = 0x598;
constexpr unsigned kModelOffsets[] = {0, 2, 5, 8};

constexpr uint8_t kUvirModelBytes[] = {0x82, 0x88, 0x92, 0x98};

}  // namespace

std::string ModeText(char mode) {
    const auto* e = std::find_if(std::begin(kModes), std::end(kModes),
                                 [mode](const ModeEntry& m) { return m.mode == mode; });
    if (e == std::end(kModes)) return {};
    // Text variant 0 is the one that keeps the normal state quiet.
    if (mode == 'N' && Shell().host.textVariant == 0) return {};
    return e->text;
}

std::string StateText(int code) {
    const auto* e = std::find_if(std::begin(kStates), std::end(kStates),
                                 [code](const StateEntry& s) { return s.code == code; });
    if (e == std::end(kStates)) return {};
    switch (e->dependsOn) {
        case DependsOn::UvirModel:
            return Shell().detector.uvirModel ? e->text : e->otherwise;
        case DependsOn::AlternateSensor:
            return Shell().detector.alternateSensor ? e->text : e->otherwise;
        case DependsOn::Nothing:
            break;
    }
    return e->text;
}

std::string StatusLine(char mode, int code) {
    const std::string m = ModeText(mode);
    const std::string s = StateText(code);
    if (!m.empty() && !s.empty()) return m + " - " + s;
    return m.empty() ? s : m;
}

std::string ModelName(unsigned modelCode) { return ModelName(modelCode, Shell().detector.pictureCode); }

std::string ModelName(unsigned modelCode, int picture) {
    if (modelCode >= kFirstModelCode && modelCode <= kLastModelCode) {
        const unsigned offset = (modelCode - kFirstModelCode) % 16;
        const auto* row = std::find(std::begin(kModelOffsets), std::end(kModelOffsets), offset);
        if (row != std::end(kModelOffsets)) {
            const auto* family = std::find_if(std::begin(kFamilies), std::end(kFamilies),
                                              [picture](const ModelFamily& f) { return f.pictureCode == picture; });
            const ModelFamily& f = family == std::end(kFamilies) ? kDefaultFamily : *family;
            const char series = ((modelCode >> 4) & 0xF) == 0x9 ? 'D' : 'C';
            return std::string(f.prefix) + series + f.suffixes[static_cast<size_t>(row - std::begin(kModelOffsets))];
        }
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", modelCode);
    return hex;
}

bool IsUvirModelByte(uint8_t lowByte) {
    return std::find(std::begin(kUvirModelBytes), std::end(kUvirModelBytes), lowByte) != std::end(kUvirModelBytes);
}

namespace {
int textVariant() {
    const int v = Shell().host.textVariant;
    return v >= 0 && v <= 2 ? v : 1;
}
}  // namespace

std::string ConnectedText() {
    static const char* const kTexts[] = {"Connected", "ONLINE", "COMM OK"};
    return kTexts[textVariant()];
}

std::string NotConnectedText() {
    static const char* const kTexts[] = {"Disconnected", "OFFLINE", "NO COMM"};
    return kTexts[textVariant()];
}
