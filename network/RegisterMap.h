#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The registers the "Modbus" window offers, as the detectors number them:
// input registers from 30,001, holding registers from 40,001, and the
// log and elevation block from 50,001 (holding addresses from 10000).
constexpr unsigned kInputRegisterBase = 30001;
constexpr unsigned kHoldingRegisterBase = 40001;

// The holding addresses of the block at 50,001.
constexpr unsigned kLogInitAddress = 10000;   // 50,001
constexpr unsigned kLogReadAddress = 10001;   // 50,002
constexpr unsigned kElevateAddress = 10002;   // 50,003
constexpr unsigned kLogReadRecords = 5, kLogReadRegisters = 108, kLogRecordBytes = 43;
constexpr unsigned kElevateRegisters = 9;

// The labels of each table, in list order; some input and holding registers
// mean something else on a UV/IR detector.
std::vector<std::string> InputRegisterLabels(bool uvir);
std::vector<std::string> HoldingRegisterLabels(bool uvir);

// The register number a label starts with ("40,257    Param..." is 40257);
// nullopt when it starts with none.
std::optional<unsigned> RegisterNumber(std::string_view label);

// The wire address of a label's register in the table shown (input or
// holding); nullopt for a label without a number or below the table's base.
std::optional<unsigned> RegisterAddress(std::string_view label, bool input);
