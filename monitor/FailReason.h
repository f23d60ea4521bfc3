#pragma once
// Why an IR detector in 'G' or 'A' has not (yet) alarmed: the two chains of
// fire criteria (channel 45 and the hydrogen channel 44) of its parameter
// record checked against the live record, the first criterion of each chain
// that holds written to FailReason.txt, then the state line.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "monitor/LineSink.h"
#include "protocol/records/LiveRecord.h"
#include "protocol/records/ParamRecord.h"

// What the analysis reads of a detector besides its live record: the setup's
// Sensitivity (the level and every index) and the IR parameter record.
struct FailInputs {
    uint8_t sensitivity = 0;
    ParamRecord params = ParamRecord::Defaults(ParamKind::Ir);
};

// The texts for one record: each chain's first criterion that holds, each
// closed by "\r\n----------------------------\r\n", then
// "state: 'G'\r\n============================\r\n". nullopt (with one
// DebugLog line) when the Sensitivity lies outside 0..5 or the record is
// not an IR parameter record.
std::optional<std::string> FailReasonText(const LiveRecord& record, const FailInputs& inputs, bool gradAlarm);

// Reads an address's setup and parameter record (three tries each) on the
// link worker; nullopt when either cannot be read.
std::optional<FailInputs> ReadFailInputs(unsigned address);

// The analysis as the IR window runs it in extended mode: inputs read at an
// address's first 'G'/'A' record and kept for the life of the object (a read
// that failed is tried again at the next 'G'/'A'), the file created on first
// use and kept open.
struct FailReasonOptions {
    std::string path = "FailReason.txt";
    SinkOpener open;                                              // empty: OpenLineFile
    std::function<std::optional<FailInputs>(unsigned)> read;  // empty: ReadFailInputs
};

class FailReasons {
public:
    using Options = FailReasonOptions;
    explicit FailReasons(Options options = {});

    // Analyses a record in 'G' or 'A' (others are ignored). False once, when
    // FailReason.txt cannot be created or written (errorFile() names it);
    // the analysis stays off after that.
    bool analyse(const LiveRecord& record, bool gradAlarm);
    const std::string& errorFile() const { return errorFile_; }

private:
    Options options_;
    std::unique_ptr<LineSink> sink_;
    std::map<unsigned, FailInputs> inputs_;
    std::string errorFile_;
};
