#pragma once
// The status record: the answer to D_DATA2HOST, read by every status poll.
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/records/ResponseHeader.h"

struct StatusRecord {
    ResponseHeader header;
    uint8_t stateCode;  // 99: no state
    char mode;          // as sent, printable or not
    uint8_t outputs;    // relay and heater bits, see the accessors
    uint8_t level;      // 0..2
    float temperature;  // °C
    float voltage;      // input, V
    uint8_t analogTenths;
    uint8_t permission;  // 255 never set, 1 locked, anything else unlocked
    uint8_t pictureCode;
    uint8_t elevation;  // level in bits 7..6, minutes left in bits 5..0

    bool alternateSensor() const { return outputs & 0x08; }
    bool accessoryActive() const { return outputs & 0x10; }
    bool alarmActive() const { return outputs & 0x20; }
    // Energised while there is no fault.
    bool faultRelayEnergised() const { return outputs & 0x40; }
    bool heaterOn() const { return outputs & 0x80; }
    double milliamps() const { return analogTenths / 10.0; }
    bool permissionNeverSet() const { return permission == 255; }
    bool locked() const { return permission == 1; }
    unsigned elevationLevel() const { return elevation >> 6; }
    unsigned minutesLeft() const { return elevation & 0x3Fu; }
    // The state as the panel shows it: "no state" is 0.
    unsigned shownState() const { return stateCode == 99 ? 0u : stateCode; }
};

// nullopt unless the frame is exactly as long as the status answer.
std::optional<StatusRecord> DecodeStatus(std::span<const uint8_t> frame);
