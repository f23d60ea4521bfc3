#pragma once
// The "Logfile" page's logic beside the download itself: the information
// request as the page opens, what the list makes of the records as they come,
// and the automatic mode's warning.
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "firmware/LogDownload.h"

// The information request with the page size `n` the list has room for. Shows
// the page size (cut to max_get_recs) and the position after the newest record
// in the count and position fields; nullopt, with the reason in the log or an
// "Error" box, for a ring no page can be read from.
std::optional<LogRing> OpenLogWindow(Panel& panel, unsigned n);

// The list's rows as the records come. In the automatic mode empty records are
// counted instead of listed, and a record older than the one before is logged.
class LogRows {
public:
    LogRows(LogFamily family, bool fahrenheit, bool automatic)
        : family_(family), fahrenheit_(fahrenheit), automatic_(automatic) {}
    // The row's cells; nullopt for a record the list does not show.
    std::optional<std::vector<std::string>> take(std::span<const uint8_t> record, unsigned row, const LogRing& ring);
    unsigned skipped() const { return skipped_; }
    // After the download: the title that counts the skipped records (logged too), empty when none were.
    std::string finish() const;

private:
    LogFamily family_;
    bool fahrenheit_, automatic_;
    unsigned skipped_ = 0;
    std::optional<uint32_t> previousTime_;
};

// The automatic mode's question before reading `records` of a ring of `total`
// at `baud`: only at 9600 baud when more than 40 seconds are expected.
std::optional<std::string> LogSlowLineWarning(unsigned baud, unsigned records, unsigned total);
