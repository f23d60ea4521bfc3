#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Detector command ids.
enum DetectorCommand : uint8_t {
    D_CALIBRATE_UV_BIT = 115,
    D_DATA2HOST_SHORT = 116,
    D_MANUAL_BIT = 117,
    D_SETUP2DET = 118,
    D_SETUP2HOST = 119,
    D_DATA2HOST = 120,
    D_PARAM2DET = 121,
    D_PARAM2HOST = 122,
    D_READ_FLASH = 123,
    D_VERINFO2HOST = 125,
    D_RECORD_RAW_ADC = 126,
    D_RECORD_100HZ_ADC = 128,
    D_SIMULATE_ALARM = 130,
    D_CALIBRATION = 132,
    D_CALIB_OBJECT = 139,
    D_SWITCH_BAUD = 140,
    D_UPLOAD_FW = 141,
    D_GET_LOGFILE = 144,
    D_ELEVATE = 148,
    D_MISC_CONTROL = 156,
    D_CALIB_SCALE = 158,
    D_DEVINFO2HOST = 162,
    D_DEVINFO2DET = 163,
};

// How the transport frames a command, by the group it belongs to.
enum class GetGroup { None, Tagged, Authorised };
enum class SetGroup { None, Tagged, Authorised };
GetGroup getGroupOf(unsigned id);
SetGroup setGroupOf(unsigned id);

// The usual exchange of a command: the first response size and the wait and
// timeout most callers use. Zero size for commands that are only sent.
struct CommandInfo {
    uint8_t id;
    const char* name;
    unsigned responseSize;
    unsigned waitMs;
    unsigned timeoutMs;
};
const CommandInfo* commandInfo(unsigned id);
// A name ("D_SETUP2HOST") or a decimal id; nullopt when it is neither.
std::optional<unsigned> parseCommand(const std::string& text);
