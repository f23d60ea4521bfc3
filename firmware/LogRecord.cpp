#include "firmware/LogRecord.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "protocol/records/ByteOrder.h"

namespace {

// A channel cell: where it lies in the record and how wide it is; sums may be
// half-precision.
struct Channel {
    const char* name;
    uint8_t offset, width;
    bool sum;
};

constexpr Channel kIrChannels[] = {
    {"sum45", 16, 2, true},      {"sum5", 18, 2, true},       {"sum4", 20, 2, true},
    {"sum44", 22, 2, true},      {"ratio45to4", 24, 1, false}, {"ratio45to5", 25, 1, false},
    {"ratio44to4", 26, 1, false}, {"ratio44to5", 27, 1, false}, {"ratio44to45", 28, 1, false},
    {"ratio4to5", 29, 1, false}, {"cor45to4", 30, 1, false},   {"cor45to5", 31, 1, false},
    {"cor44to4", 32, 1, false},  {"cor44to5", 33, 1, false},   {"cor44to45", 34, 1, false},
    {"cor4to5", 35, 1, false},   {"avNoise45", 36, 1, false},  {"avNoise44", 37, 1, false},
    {"avNoise4", 38, 1, false},  {"avNoise5", 39, 1, false},
};
constexpr Channel kUvirChannels[] = {
    {"UV_Sum", 29, 1, false},    {"sum_first_pass", 16, 2, true}, {"sum_lo_pass", 18, 2, true},
    {"sum_hi_pass", 20, 2, true}, {"AdjUV", 24, 2, false},        {"HiVoltage", 26, 2, false},
};
constexpr const char* kLeadColumns[] = {"#", "Record", "Operating Time", "Voltage", "4-20", "Status", "Temp"};
constexpr const char* kAxisColumns[] = {"X Axis", "Y Axis", "Z Axis"};
constexpr size_t kAxes = 40, kFileDashes = 24;
constexpr uint16_t kNotAvailable = 0xFFFF;

std::span<const Channel> channels(LogFamily f) {
    if (f == LogFamily::Ir) return kIrChannels;
    return kUvirChannels;
}

template <typename... A>
std::string format(const char* f, A... a) {
    char text[64];
    std::snprintf(text, sizeof text, f, a...);
    return text;
}

uint16_t u16(std::span<const uint8_t> r, size_t at) { return *le::u16(r, at); }

std::string channelText(std::span<const uint8_t> r, const Channel& c, bool halfSums) {
    if (c.width == 1) return format("%5.0f", double(r[c.offset]));
    if (c.sum && halfSums) return format("%.1f", double(HalfToFloat(u16(r, c.offset))) * 1e6);
    return format("%5.0f", double(u16(r, c.offset)));
}

std::string tenthsText(uint16_t v) { return v == kNotAvailable ? "N/A" : format("%5.1f", v * 0.1); }

std::string statusText(uint8_t mode, uint8_t state) {
    const int upper = std::toupper(mode);
    if (upper >= 'A' && upper <= 'Z') return format("%c%u", upper, unsigned(state));
    return format("[0x%02X]%u", unsigned(mode), unsigned(state));
}

bool ignoredState(uint8_t s) { return s == 46 || (s >= 51 && s <= 60) || (s >= 71 && s <= 75); }

bool all(std::span<const uint8_t> b, uint8_t v) {
    return std::all_of(b.begin(), b.end(), [v](uint8_t x) { return x == v; });
}

}  // namespace

std::optional<LogRing> ParseLogRing(std::span<const uint8_t> d) {
    if (d.size() < kLogRingInfoSize) return std::nullopt;
    LogRing r;
    r.slot = d[0];
    r.sector = d[1];
    r.recordSize = d[2];
    r.sectors = d[3];
    r.slotsPerSector = d[4];
    r.maxGetRecs = d[5];
    r.time = *le::u32(d, 6);
    r.flags = d[10];
    return r;
}

float HalfToFloat(uint16_t h) {
    const int exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
    const float sign = (h & 0x8000) ? -1.0f : 1.0f;
    if (exponent == 0) return sign * std::ldexp(float(mantissa), -24);
    if (exponent == 31) return mantissa ? NAN : sign * INFINITY;
    return sign * std::ldexp(float(mantissa + 1024), exponent - 25);
}

std::string LogOperatingTime(uint32_t s) {
    const unsigned days = s / 86400, h = s / 3600 % 24, m = s / 60 % 60, sec = s % 60;
    if (days == 0) return format("%u:%02u:%02u", h, m, sec);
    return format("%u day%s, %u:%02u:%02u", days, days > 1 ? "s" : "", h, m, sec);
}

std::vector<std::string> LogListColumns(LogFamily family) {
    std::vector<std::string> cols(std::begin(kLeadColumns), std::end(kLeadColumns));
    for (const Channel& c : channels(family)) cols.emplace_back(c.name);
    cols.insert(cols.end(), std::begin(kAxisColumns), std::end(kAxisColumns));
    return cols;
}

bool LogRecordBlank(std::span<const uint8_t> r) {
    const auto middle = r.subspan(8, 16);
    return all(middle, 0xFF) || all(middle, 0x00);
}

std::vector<std::string> LogListCells(std::span<const uint8_t> r, LogFamily family, bool halfSums, bool fahrenheit,
                                      unsigned row) {
    if (r.size() < kLogRecordSize || LogRecordBlank(r)) return std::vector<std::string>(LogListColumns(family).size(), "-");
    const double celsius = static_cast<int8_t>(r[14]);
    std::vector<std::string> cells = {
        format("%u", row),
        format("%u", *le::u32(r, 0)),
        LogOperatingTime(*le::u32(r, 4)),
        tenthsText(u16(r, 8)),
        tenthsText(u16(r, 10)),
        statusText(r[12], r[13]),
        format("%.0f", fahrenheit ? celsius * 1.8 + 32 : celsius),
    };
    for (const Channel& c : channels(family)) cells.push_back(channelText(r, c, halfSums));
    for (size_t i = 0; i < 3; ++i) cells.push_back(format("%.1f", double(static_cast<int8_t>(r[kAxes + i]))));
    return cells;
}

std::string LogFileHeader(LogFamily family) {
    std::string line = "\t Record\t Time\t Voltage\t 4-20\t status\t Temp\t";
    for (const Channel& c : channels(family)) line += std::string(" ") + c.name + "\t";
    return line + "X Axis\tY Axis\tZ Axis\n";
}

std::string LogFileLine(std::span<const uint8_t> r, LogFamily family, bool halfSums, unsigned row) {
    std::string line = format("%u", row);
    if (r.size() < kLogRecordSize || all(r.first(kLogRecordSize), 0xFF)) {
        for (size_t i = 0; i < kFileDashes; ++i) line += "\t-";
        return line + "\n";
    }
    const uint32_t t = *le::u32(r, 4);
    line += format("\t%u\t%02u:%02u:%02u", *le::u32(r, 0), t / 3600, t / 60 % 60, t % 60);
    line += "\t" + tenthsText(u16(r, 8)) + "\t" + tenthsText(u16(r, 10));
    line += "\t" + statusText(r[12], r[13]) + (ignoredState(r[13]) ? " ignored" : "");
    line += "\t" + format("%5.0f", double(static_cast<int8_t>(r[14])));
    for (const Channel& c : channels(family)) line += "\t" + channelText(r, c, halfSums);
    for (size_t i = 0; i < 3; ++i) line += "\t" + format("%.1f", double(static_cast<int8_t>(r[kAxes + i])));
    return line + "\n";
}
