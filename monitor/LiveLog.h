#pragma once
// The text of the recording logs: file names, start lines, headers, record
// lines and the closing separator, for IR and UV/IR detectors, plain and
// extended, in metric or US units. Pure functions: the recorder and the
// command line's `live` both build their output here.
#include <ctime>
#include <string>
#include <vector>

#include "protocol/records/LiveRecord.h"
// A log holds the lines of one detector family only.
#include "protocol/records/LogFamily.h"

struct LogOptions {
    bool extended = false;  // index column, the extra IR columns, fixed appended file names
    bool usUnits = false;   // temperature in degrees Fahrenheit (t x 1.8 + 32)
};

// The family whose line a record gets (a UV/IR model in the IR window included).
LogFamily FamilyOf(const LiveRecord& record);

// "Recordings/VovaVULog_Y26M12D05_h14m03s27_gmt.txt" from the start's UTC
// time, or the fixed "Recordings/VovaVULog.txt" / "Recordings/UVIRLog.txt" in
// extended mode. `folder` replaces "Recordings".
std::string LogFileName(LogFamily family, const LogOptions& options, const std::tm& utcStart,
                        const std::string& folder = "Recordings");
// Extended logs are appended to; the others are created new.
inline bool LogAppends(const LogOptions& options) { return options.extended; }

// "<comment> Start recording every minute\n" and the other three forms
// (periodMs 250 'fast', 1500, 60000 minute, anything else whole minutes).
std::string StartLine(unsigned periodMs, const std::string& comment);

// The header columns as written (blanks and unit included), in line order.
std::vector<std::string> LogColumns(LogFamily family, const LogOptions& options, bool alternateSensor = false);
// The columns joined by tabs, ending "\n".
std::string LogHeader(LogFamily family, const LogOptions& options, bool alternateSensor = false);
// One "========" per header column, tab separated, ending "\n".
std::string SeparatorLine(LogFamily family, const LogOptions& options);

// The values of a record's line, one per column of LogColumns(FamilyOf(record)),
// `localTime` giving the date and time columns and `index` the extended index.
std::vector<std::string> LogValues(const LiveRecord& record, const LogOptions& options,
                                   const std::tm& localTime, unsigned index);
// The values joined by tabs, ending "\n".
// The wall clock as the log lines show it (local time).
std::tm LocalNow();

std::string LogLine(const LiveRecord& record, const LogOptions& options, const std::tm& localTime,
                     unsigned index);

// A column's name for `Name=value` output: blanks and the unit removed
// (" Temp (°C)" gives "Temp").
std::string ColumnName(const std::string& column);

// The weight of state letter `letter` ("ABEGMNSZ") in a record of mode
// `mode`: the letter's weight when they are the same, else 0.
unsigned StateWeight(char mode, char letter);

// The host setting of the extended log: "fExtendedLog" in section "VantorD"
// of the settings file, default off.
bool ExtendedLogSetting(const std::string& iniPath = "Param.ini");
bool SetExtendedLogSetting(bool on, const std::string& iniPath = "Param.ini");
