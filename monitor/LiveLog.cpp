#include "monitor/LiveLog.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "shell/StartUp.h"
#include "util/Profile.h"

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// The IR columns between the serial number and Vin, with their values' format.
struct IrColumn {
    const char* name;
    LiveValue value;
    const char* format;
};
constexpr IrColumn kIrColumns[] = {
    {" Sum5", LiveValue::Sum5, "%.2f"},           {" Sum45", LiveValue::Sum45, "%.2f"},
    {" Sum4", LiveValue::Sum4, "%.2f"},           {" Sum44", LiveValue::Sum44, "%.2f"},
    {" Rat45to4", LiveValue::Rat45to4, "%.0f"},   {" Rat45to5", LiveValue::Rat45to5, "%.0f"},
    {" Cor45to4", LiveValue::Cor45to4, "%.0f"},   {" Cor45to5", LiveValue::Cor45to5, "%.0f"},
    {" Rat4to5", LiveValue::Rat4to5, "%.0f"},     {" Rat44to4", LiveValue::Rat44to4, "%.0f"},
    {" Rat44to5", LiveValue::Rat44to5, "%.0f"},   {" Cor44to4", LiveValue::Cor44to4, "%.0f"},
    {" Cor44to5", LiveValue::Cor44to5, "%.0f"},   {" Cor44to45", LiveValue::Cor44to45, "%.0f"},
    {" Rat44to45", LiveValue::Rat44to45, "%.0f"}, {" Noise45", LiveValue::Noise45, "%.2f"},
    {"  Noise44", LiveValue::Noise44, "%.2f"},    {" Noise4", LiveValue::Noise4, "%.2f"},
    {" Noise5 ", LiveValue::Noise5, "%.2f"},
};

constexpr char kStateLetters[] = "ABEGMNSZ";
constexpr unsigned kStateWeights[] = {16000, 2000, 8000, 12000, 10000, 1000, 4000, 14000};

// The second sensor variant's names: channel 44 is 3, channel 4 is 24.
std::string AlternateName(std::string name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const bool digitBefore = i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1]));
        if (name.compare(i, 2, "44") == 0 && !digitBefore) {
            out += '3';
            ++i;
        } else if (name[i] == '4' && !digitBefore &&
                   (i + 1 == name.size() || !std::isdigit(static_cast<unsigned char>(name[i + 1])))) {
            out += "24";
        } else {
            out += name[i];
        }
    }
    return out;
}

std::string TempColumn(const LogOptions& o) {
    return std::string(" Temp (\xC2\xB0") + (o.usUnits ? 'F' : 'C') + ")";
}

double Temperature(const LiveRecord& r, const LogOptions& o) {
    const double t = r.temperature();
    return o.usUnits ? t * 1.8 + 32 : t;
}

std::string Status(const LiveRecord& r, bool asReceived) {
    char mode = r.mode();
    if (!asReceived) mode = static_cast<char>(std::toupper(static_cast<unsigned char>(mode)));
    // A detector that sends no mode gets a blank, never a NUL in the text.
    if (mode == 0) mode = ' ';
    return std::string(1, mode) + std::to_string(r.state());
}

std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "\t" : "") + parts[i];
    return out + "\n";
}

}  // namespace

LogFamily FamilyOf(const LiveRecord& record) { return record.uvirModel() ? LogFamily::Uvir : LogFamily::Ir; }

std::string LogFileName(LogFamily family, const LogOptions& options, const std::tm& utc, const std::string& folder) {
    const char* stem = family == LogFamily::Ir ? "VovaVULog" : "UVIRLog";
    if (options.extended) return folder + "/" + stem + ".txt";
    char name[96];
    std::snprintf(name, sizeof name, "%s_Y%uM%02uD%02u_h%02um%02us%02u_gmt.txt", stem,
                  static_cast<unsigned>(utc.tm_year % 100), static_cast<unsigned>(utc.tm_mon + 1),
                  static_cast<unsigned>(utc.tm_mday), static_cast<unsigned>(utc.tm_hour),
                  static_cast<unsigned>(utc.tm_min), static_cast<unsigned>(utc.tm_sec));
    return folder + "/" + name;
}

std::string StartLine(unsigned periodMs, const std::string& comment) {
    std::string what;
    if (periodMs == 250) what = "Start 'fast' recording";
    else if (periodMs == 1500) what = "Start recording every 1.5 sec";
    else if (periodMs == 60000) what = "Start recording every minute";
    else what = "Start recording every " + std::to_string((periodMs + 30000) / 60000) + " minutes";
    return "<" + comment + "> " + what + "\n";
}

std::vector<std::string> LogColumns(LogFamily family, const LogOptions& o, bool alternateSensor) {
    std::vector<std::string> c;
    if (family == LogFamily::Uvir) {
        if (o.extended) c.push_back("Index");
        for (const char* n : {"Address", " Date", " Time", " Status", " SerNo", " UV_Sum"}) c.push_back(n);
        c.push_back(TempColumn(o));
        for (const char* n : {" AdjUV", " SumIR", " HiVoltage ", "Vin ", "Heater"}) c.push_back(n);
        return c;
    }
    if (o.extended) c.push_back(" Index");
    for (const char* n : {" Address", " Date", " Time", " Status", " SerNo"}) c.push_back(n);
    c.push_back(TempColumn(o));
    for (const auto& col : kIrColumns) c.push_back(alternateSensor ? AlternateName(col.name) : col.name);
    c.push_back("Vin ");
    if (o.extended)
        for (const char* n : {"Relays", "420", "Samp5", "Samp45", "Samp4", "Samp44", "N", "M", "E"}) c.push_back(n);
    c.push_back("Heater");
    return c;
}

std::string LogHeader(LogFamily family, const LogOptions& options, bool alternateSensor) {
    return Join(LogColumns(family, options, alternateSensor));
}

std::string SeparatorLine(LogFamily family, const LogOptions& options) {
    return Join(std::vector<std::string>(LogColumns(family, options).size(), "========"));
}

std::vector<std::string> LogValues(const LiveRecord& r, const LogOptions& o, const std::tm& t, unsigned index) {
    std::vector<std::string> v;
    if (o.extended) v.push_back(std::to_string(index));
    v.push_back(std::to_string(r.address()));
    v.push_back(Format("%02u/%02u/%02u", static_cast<unsigned>(t.tm_mday), static_cast<unsigned>(t.tm_mon + 1),
                       static_cast<unsigned>(t.tm_year % 100)));
    v.push_back(Format("%02u:%02u:%02u", static_cast<unsigned>(t.tm_hour), static_cast<unsigned>(t.tm_min),
                       static_cast<unsigned>(t.tm_sec)));
    const bool uvir = FamilyOf(r) == LogFamily::Uvir;
    v.push_back(Status(r, o.extended && !uvir));
    v.push_back(std::to_string(r.serial()));
    const char* heater = r.heaterOn() ? "ON" : "OFF";
    if (uvir) {
        const bool bit = r.bitPhase();
        v.push_back(Format("%.1f", r.f32(bit ? live::UvBitSum : live::UvSum)));
        v.push_back(Format("%.1f", Temperature(r, o)));
        v.push_back(Format("%.2f", r.f32(live::AdjUv)));
        v.push_back(Format("%.1f", r.f32(bit ? live::IrBitSum : live::SumIr)));
        v.push_back(Format("%.1f", r.f32(live::HiVoltage)));
        v.push_back(Format("%.1f", r.vin()));
        v.push_back(heater);
        return v;
    }
    v.push_back(Format("%.0f", Temperature(r, o)));
    for (const auto& col : kIrColumns) v.push_back(Format(col.format, r.shown(col.value)));
    v.push_back(Format("%.1f", r.vin()));
    if (o.extended) {
        v.push_back(std::to_string(r.relays()));
        v.push_back(Format("%.1f", r.analogTenths() / 10.0));
        for (size_t at : {live::Samp5, live::Samp45, live::Samp4, live::Samp44}) v.push_back(std::to_string(r.i32(at)));
        for (char letter : {'N', 'M', 'E'}) v.push_back(std::to_string(StateWeight(r.mode(), letter)));
    }
    v.push_back(heater);
    return v;
}

std::string LogLine(const LiveRecord& record, const LogOptions& options, const std::tm& localTime, unsigned index) {
    return Join(LogValues(record, options, localTime, index));
}

std::string ColumnName(const std::string& column) {
    std::string name;
    for (char ch : column) {
        if (ch == '(') break;
        if (ch != ' ') name += ch;
    }
    return name;
}

unsigned StateWeight(char mode, char letter) {
    if (mode != letter || mode == 0) return 0;
    const char* at = std::strchr(kStateLetters, letter);
    return at ? kStateWeights[at - kStateLetters] : 0;
}

bool ExtendedLogSetting(const std::string& iniPath) {
    return ProfileGetInt(iniPath, kAppSection, "fExtendedLog", 0) != 0;
}

bool SetExtendedLogSetting(bool on, const std::string& iniPath) {
    return ProfileWriteInt(iniPath, kAppSection, "fExtendedLog", on ? 1 : 0);
}

std::tm LocalNow() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}
