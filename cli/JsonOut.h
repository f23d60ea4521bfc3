#pragma once
// What --json prints: one object per line, with named fields decoded by the
// record codecs. Texts that depend on the detector's family follow the answer
// itself: as the status poll does, the shell's view of the detector is taken
// from the answer first.
#include <cstdint>
#include <ostream>
#include <vector>
#include <nlohmann/json.hpp>

#include "protocol/records/StatusRecord.h"
#include "shell/FaultList.h"

// address, model (code), model_name, serial.
nlohmann::ordered_json HeaderJson(const ResponseHeader& header, int pictureCode);
// The header's fields, then mode, state and their texts, the relays, fault,
// heater, analog output, temperature, voltage, level and permission.
nlohmann::ordered_json StatusJson(const StatusRecord& status);
// [{"code": n, "text": "..."}] for each fault bit set.
nlohmann::ordered_json FaultsJson(const FaultWords& words);

// {"table": "input"|"holding", "registers": [{"register", "name", "value", "hex"}...]}
// for the words read from `firstRegister` (30001.. or 40001..); names from the
// register map, for the family the model register tells when it was read.
nlohmann::ordered_json RegistersJson(bool input, unsigned firstRegister, const std::vector<uint16_t>& words);

// The object on one line.
void PrintJson(std::ostream& out, const nlohmann::ordered_json& object);
