#pragma once
// The detector log read in pages with D_GET_LOGFILE (GetFlashLogRecords):
// the ring information, the plan of a download, and the paging that fills the
// list and DetLog.txt.
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "firmware/LogRecord.h"

class Panel;

// The ring information, asked with the page size `n` the window offers. Tried
// three times; nullopt with *error (result of the last try) when none came.
std::optional<LogRing> RequestLogRing(unsigned n, int* error = nullptr);

// One page of `count` records from ring position `position`.
struct LogPage {
    std::vector<uint8_t> records;    // n x 43 bytes, n cut to the count asked
    std::optional<LogRing> geometry; // the 27-byte answer: the count was over the detector's limit
    std::string failure;             // empty when the page came
};
LogPage RequestLogPage(const LogRing& ring, unsigned position, unsigned count);

enum class LogMode { UpToCurrent, FromPosition, All };

// Where a download starts, how many records it reads and how many a page asks
// for. The count is cut to the ring, then to the detector's limit before the
// newest records' start is worked out; a typed position is taken modulo the ring.
struct LogPlan {
    unsigned start = 0, count = 0, page = 0;
};
// nullopt with *why (the "Error" box's text) for a ring no page can be read from.
std::optional<LogPlan> PlanLogDownload(const LogRing& ring, LogMode mode, unsigned count, unsigned from,
                                       std::string* why);

// The window's Page Down / Page Up (a page less one record, so one row stays in
// view) and Line Down / Line Up, around the ring; `n` is the page size.
enum class LogMove { PageDown, PageUp, LineDown, LineUp };
unsigned MoveLogPosition(const LogRing& ring, unsigned position, unsigned n, LogMove move);

struct LogDownloadRequest {
    LogMode mode = LogMode::UpToCurrent;
    unsigned count = 20;
    unsigned from = 0;
    LogFamily family = LogFamily::Ir;
    std::string file = "DetLog.txt";
    unsigned pageLimit = 0;  // records a page asks for at most; 0: the detector's limit alone
    int progressId = 0;      // the window's progress bar after each page, in percent (0: none)
    int remainingId = 0;     // the window's field of the records still to come (0: none)
};
struct LogDownloadResult {
    std::optional<LogRing> ring;
    std::optional<LogPlan> plan;
    unsigned records = 0, failedPages = 0;
    bool fileWritten = false;
};
// Every record in order, with its running number from 1, as it arrives.
using LogRecordSink = std::function<void(std::span<const uint8_t> record, unsigned row, const LogRing& ring)>;
// Get, or Get All: the ring information, then the pages. DetLog.txt holds what
// came, written whole at the end; failed pages or an unwritable file end with an
// "Error" box counting them. Stops after the current page once an abort is asked.
LogDownloadResult RunLogDownload(Panel& panel, const LogDownloadRequest& rq, const LogRecordSink& sink);
