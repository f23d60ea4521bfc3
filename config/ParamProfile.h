#pragma once
// The parameter record in the profile format: one key per value, in record
// order. Arrays are "name_i" with two decimals (so a reload may round them),
// other floats six decimals, integers whole; the hardware version byte is the
// two keys vHW_cpu (low nibble) and vHW_io (high nibble). Numbers are written
// and read the same in every locale.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/records/ParamRecord.h"

// A value its field cannot hold (a byte above 255, a negative count); the
// field kept what it had.
struct ParamRefusal {
    const ParamField* field;
    std::string key;
    uint32_t maximum;
};

// One value as its key holds it: "%5.2f" for array elements, "%f" for other
// floats, "%u" for the rest.
std::string ParamValueText(const ParamField& field, double value);
// The number at the start of `text` ("%f" or "%u" as the field's type asks,
// leading blanks skipped; an integer may carry a sign so that a negative one
// can be refused); nullopt when there is none.
std::optional<double> ParseParamValue(const ParamField& field, std::string_view text);

// Replaces the section's keys in one write of the file: all or none.
bool WriteParamSection(const std::string& ini, const std::string& section, const ParamRecord& record);
// Takes each key the section holds into `record`; a missing key, one reading
// "N/A..." or one with no number leaves its field. Values a field cannot
// hold leave it too, and are returned so that the caller can say so.
std::vector<ParamRefusal> LoadParamSection(const std::string& ini, const std::string& section, ParamRecord& record);
// "[section]" and one "key=value" line per key, each ending in "\n".
std::string ParamSectionText(const std::string& section, const ParamRecord& record);

// The path of the entry of `folder` named `name` in any mix of case (the exact
// name first); empty when there is none.
std::string FindFileNoCase(const std::string& folder, const std::string& name);
