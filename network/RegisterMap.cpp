#include "network/RegisterMap.h"

#include <cctype>
#include <cstdio>

namespace {

// One row of a table: the UV/IR label, when there is one, replaces the IR label.
struct Row {
    const char* ir;
    const char* uvir = nullptr;
};

const Row kInputRows[] = {
    {"30,001    Detector Type"},
    {"30,002    Serial No.[LSW]"},
    {"30,003    Serial No.[MSW]"},
    {"30,004    Status(4-20)*10"},
    {"30,005    Detailed Status"},
    {"30,006    Reserved"},
    {"30,007    SUM4[LSW]", "30,007    SUMHiPass[LSW]"},
    {"30,008    SUM4[MSW]", "30,008    SUMHiPass[MSW]"},
    {"30,009    SUM45[LSW]", "30,009    SUM1stPass[LSW]"},
    {"30,010    SUM45[MSW]", "30,010    SUM1stPass[MSW]"},
    {"30,011    SUM5[LSW]", "30,011    SUMLoPass[LSW]"},
    {"30,012    SUM5[MSW]", "30,012    SUMLoPass[MSW]"},
    {"30,013    SUM44[LSW]", "30,013    Reserved"},
    {"30,014    SUM44[MSW]", "30,014    Reserved"},
    {"30,015    Temperature"},
    {"30,016    Voltage"},
    {"30,017    Noise4", "30,017    Reserved"},
    {"30,018    Noise45", "30,018    Reserved"},
    {"30,019    Noise5", "30,019    Reserved"},
    {"30,020    Noise44", "30,020    Reserved"},
    {"30,021    BITSum4[LSW]", "30,021    BITSumHiPass[LSW]"},
    {"30,022    BITSum4[MSW]", "30,022    BITSumHiPass[MSW]"},
    {"30,023    BITSum45[LSW]", "30,023    BITSum1stPass[LSW]"},
    {"30,024    BITSum45[MSW]", "30,024    BITSum1stPass[MSW]"},
    {"30,025    BITSum5[LSW]", "30,025    BITSumLoPass[LSW]"},
    {"30,026    BITSum5[MSW]", "30,026    SUMLoPass[MSW]"},
    {"30,027    BITSum44[LSW]", "30,027    Reserved"},
    {"30,028    BITSum44[MSW]", "30,028    Reserved"},
    {"30,029    Fault Relay Status"},
    {"30,030    Acc. Relay Status"},
    {"30,031    Alarm Relay Status"},
    {"30,032    Window Heater Status"},
};

const Row kHoldingRows[] = {
    {"40,001    Detector Address"},
    {"40,002    Setup.AlarmLatch"},
    {"40,003    Setup.EnableAccessory"},
    {"40,004    Setup.EnableAutoBIT"},
    {"40,005    Setup.AlarmOnBIT"},
    {"40,006    Setup.AccessoryOnBIT"},
    {"40,007    Setup.EOL"},
    {"40,008    Setup.Sensitivity"},
    {"40,009    Setup.Delay"},
    {"40,010    Setup.HeaterMode"},
    {"40,011    Setup.HeaterOnTemp"},
    {"40,012    Setup.HeaterPower"},
    {"40,013    Setup.Param420[Fault]"},
    {"40,014    Setup.Param420[BITFault]"},
    {"40,015    Setup.Param420[UVBITFault]", "40,015    Setup.Reserved(UVIR)"},
    {"40,016    Setup.Param420[FOVWarn]"},
    {"40,017    Setup.Param420[ASCWarn]"},
    {"40,018    Setup.Param420[Normal]"},
    {"40,019    Setup.Param420[AlarmIR]", "40,019    Setup.Reserved(UVIR)"},
    {"40,020    Setup.Param420[AlarmUV]", "40,020    Setup.Reserved(UVIR)"},
    {"40,021    Setup.Param420[Warning]"},
    {"40,022    Setup.Param420[Alarm]"},
    {"40,023    Setup.BitPeriod"},
    {"40,024    Setup.BitFaultCount"},
    {"40,025    Setup.post_manbit_duration"},
    {"40,026    Setup.EnableFOV"},
    {"40,027    Setup.Reserved"},
    {"40,028    Setup.IROnly"},
    {"40,029    Setup.UVOnly"},
    {"40,030    Setup.UVIR"},
    {"40,031    Setup.FastDetect"},
    {"40,032    Setup.Explosion"},
    {"40,033    ManualBITTrigger"},
    {"40,257    Param.ordnum, 2 registers (W/O)"},
    {"50,001    Init Log File Record Download (R/W)"},
    {nullptr},  // 50,002: its counts are filled in
    {"50,003    Elevate, 9 registers (W/O)"},
};

std::string logReadLabel() {
    char text[80];
    std::snprintf(text, sizeof text, "50,002    Download %u records, %u registers (R/O)", kLogReadRecords,
                  kLogReadRegisters);
    return text;
}

template <size_t N>
std::vector<std::string> labels(const Row (&rows)[N], bool uvir) {
    std::vector<std::string> out;
    out.reserve(N);
    for (const Row& r : rows) out.emplace_back(!r.ir ? logReadLabel() : uvir && r.uvir ? r.uvir : r.ir);
    return out;
}

}  // namespace

std::vector<std::string> InputRegisterLabels(bool uvir) { return labels(kInputRows, uvir); }
std::vector<std::string> HoldingRegisterLabels(bool uvir) { return labels(kHoldingRows, uvir); }

std::optional<unsigned> RegisterNumber(std::string_view label) {
    unsigned number = 0;
    size_t digits = 0;
    for (char c : label) {
        if (c == ',') continue;
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        if (++digits > 6) return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (!digits) return std::nullopt;
    return number;
}

std::optional<unsigned> RegisterAddress(std::string_view label, bool input) {
    const auto number = RegisterNumber(label);
    const unsigned base = input ? kInputRegisterBase : kHoldingRegisterBase;
    if (!number || *number < base) return std::nullopt;
    return *number - base;
}
