#pragma once
// The detector's log record (43 bytes, little-endian) and ring information,
// and the texts the log window's list and DetLog.txt make of them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/records/LogFamily.h"

constexpr size_t kLogRecordSize = 43;
constexpr size_t kLogRingInfoSize = 11;

// The reply to the information request.
struct LogRing {
    unsigned slot = 0, sector = 0;  // where the next record goes
    unsigned recordSize = 0;        // the detector's idea of a record; must be kLogRecordSize
    unsigned sectors = 0, slotsPerSector = 0;
    unsigned maxGetRecs = 0;        // most records one page request may ask for
    uint32_t time = 0;              // operating seconds of the latest record
    uint8_t flags = 0;              // bit 1: the sums are half-precision

    unsigned total() const { return sectors * slotsPerSector; }
    unsigned current() const { return sector * slotsPerSector + slot; }
    bool halfSums() const { return (flags & 2) != 0; }
};
// Eleven data bytes; nullopt when fewer came.
std::optional<LogRing> ParseLogRing(std::span<const uint8_t> data);


// The list's column titles for the family.
std::vector<std::string> LogListColumns(LogFamily family);
// One list row; `row` is the running number from 1. Records whose bytes 8 to
// 23 are all 0xFF or all 0x00 are a row of "-".
std::vector<std::string> LogListCells(std::span<const uint8_t> record, LogFamily family, bool halfSums,
                                      bool fahrenheit, unsigned row);
bool LogRecordBlank(std::span<const uint8_t> record);

// DetLog.txt: the header line and one line per record, each ending in "\n".
std::string LogFileHeader(LogFamily family);
std::string LogFileLine(std::span<const uint8_t> record, LogFamily family, bool halfSums, unsigned row);

// "%u:%02u:%02u" below a day, "%u day%s, %u:%02u:%02u" from one day on.
std::string LogOperatingTime(uint32_t seconds);
// An IEEE 754 half-precision value.
float HalfToFloat(uint16_t half);
