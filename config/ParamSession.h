#pragma once
// The parameter record between the detector and its users (the parameter
// windows, the command line): the read that opens them, the checks a record
// must pass before it is sent, and the write with its elevation, file and
// read-back. The read and the write exchange with the detector: they run on
// the link worker inside a procedure (or on the command line's thread) and
// talk to their window through Panel.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/SanityCheck.h"
#include "protocol/records/ParamRecord.h"
#include "util/Panel.h"

// The raw record written after every sent write, in the working folder
// ("ir4_param.bin", "uv_param.bin"); the Shift-open reads it.
const char* ParamFileName(ParamKind kind);

// D_PARAM2HOST (wait 100 ms, time-out 500 ms; up to 3 tries while nothing
// answers). The record's kind is the answering model's (the type byte of the
// answer's header), and the answer must be exactly that kind's size (1001 or
// 241 bytes): a UV/IR model answering 1001 bytes is no record. Anything else
// logs "ModbusGet(PARAM2HOST) returned %d bytes instead of %u" (the size the
// model calls for; without a header, the one of the model the status poll
// last saw) and gives nothing. `result`: ModbusGet's last result.
std::optional<ParamRecord> ReadParams(int* result = nullptr);

// The first rule a record breaks before it may be sent.
struct ParamCheck {
    bool ok = true;
    std::string message;            // shown with `caption`
    std::string caption;            // "Error", or "Sanity Check Failure" for the benzene check
    int cell = 0;                   // the grid control to select; 0 for the benzene check
    std::vector<CellPair> benzene;  // the benzene check's failing pairs, for the window to mark
};
// In the order the window checks them: `tier` and `is_no_grad` 0 or 1,
// `warnfactor` 30..90 % (IR 0.30..0.90), the hardware date and version
// (month 1..12, year 2000..2100, both version nibbles 1..15), IR `sumsize`
// 90..255 or UV/IR `sum_array_size` (251 when the selected detector is a
// UV/IR model, else 90..255: a record edited for the patch editor), then the
// benzene check with factor 1.5.
// The warn factor's range: a percentage 30..90 (IR records store the fraction).
bool WarnFactorInRange(ParamKind kind, double stored);

ParamCheck CheckParamsForWrite(const ParamRecord& record, bool uvirModelSelected = true);

// "More than 2 minutes have elapsed..." is due: more than 115 000 ms since
// the record was read, outside a script.
constexpr unsigned long long kParamWriteWindowMs = 115'000;

struct ParamWriteOptions {
    bool script = false;                        // a script runs: the 2-minute rule does not apply
    std::string caption = "Parameters Update";  // of the ADMIN password prompt
    std::function<unsigned long long()> nowMs;  // the clock of readAtMs; empty: TickMs
};

enum class ParamWriteResult {
    TooLate,       // the 2-minute rule: nothing sent
    CheckFailed,   // a CheckParamsForWrite rule: nothing sent
    NotElevated,   // the ADMIN password was not given (or the lock state not read): nothing sent
    SendFailed,    // "'SET' command failed..."
    Verified,      // read back equal in all bytes
    VerifyFailed,  // "Verification failed...": read back different, or not at all
};
struct WriteOutcome {
    ParamWriteResult result = ParamWriteResult::TooLate;
    ParamCheck check;  // of CheckFailed
    int firstDifference =
        -1;  // VerifyFailed with a record read back: the first offset that differs
    bool verified() const { return result == ParamWriteResult::Verified; }
};

// "F3 - Save Parameters to Detector" once the window has read its grid into
// `working` (read from the detector at `readAtMs`): the 2-minute rule, the
// checks (their message shown), the record's `ordnum` noted as the current
// serial number, ADMIN elevation on a locked detector (which ignores
// unelevated writes), D_PARAM2DET, the file ParamFileName() when it was sent
// ("'ir4_param.bin' has been created..."), then the record read back (3 tries
// while nothing answers) and compared in all bytes. Every message goes to
// `panel`; the caller changes its reference copy only when verified().
WriteOutcome WriteParams(Panel& panel, const ParamRecord& working, unsigned long long readAtMs,
                         const ParamWriteOptions& options = {});
