#include "firmware/LogWindow.h"

#include <cmath>
#include <cstdio>

#include "firmware/CFlashIds.h"
#include "protocol/records/ByteOrder.h"
#include "util/Log.h"
#include "util/Panel.h"

std::optional<LogRing> OpenLogWindow(Panel& panel, unsigned n) {
    const auto ring = RequestLogRing(n);
    if (!ring) {
        DebugLog("GetFlashLogRecords> no log information from the detector");
        return std::nullopt;
    }
    std::string why;
    const auto plan = PlanLogDownload(*ring, LogMode::UpToCurrent, n, 0, &why);
    if (!plan) {
        DebugLog("%s", why.c_str());
        panel.ask(why, "Error", MB_OK | MB_ICONEXCLAMATION);
        return std::nullopt;
    }
    DebugLog("GetFlashLogRecords> sector %u, slot %u, rec_num %u", ring->sector, ring->slot, plan->start);
    panel.setText(flashwin::kCount, std::to_string(plan->count));
    panel.setText(flashwin::kPosition, std::to_string((plan->start + plan->count) % ring->total()));
    return ring;
}

std::optional<std::vector<std::string>> LogRows::take(std::span<const uint8_t> record, unsigned row,
                                                      const LogRing& ring) {
    if (automatic_) {
        if (LogRecordBlank(record)) {
            ++skipped_;
            return std::nullopt;
        }
        const uint32_t time = le::u32(record, 4).value_or(0);
        if (previousTime_ && time < *previousTime_) DebugLog("p->time %u < prev_time %u", time, *previousTime_);
        previousTime_ = time;
    }
    return LogListCells(record, family_, ring.halfSums(), fahrenheit_, row);
}

std::string LogRows::finish() const {
    if (skipped_ == 0) return {};
    DebugLog("%u empty records not displayed...", skipped_);
    char title[96];
    std::snprintf(title, sizeof title, "Detector Logfile: %u empty record%s not displayed...", skipped_,
                  skipped_ > 1 ? "s" : "");
    return title;
}

std::optional<std::string> LogSlowLineWarning(unsigned baud, unsigned records, unsigned total) {
    if (baud != 9600 || total == 0) return std::nullopt;
    const double estimate = records * 120.0 / total;
    if (estimate <= 40) return std::nullopt;
    char text[192];
    std::snprintf(text, sizeof text,
                  "This operation may take up to %u seconds to complete...\r\n\r\nClick 'OK' to proceed,\r\n"
                  "otherwise - click 'Cancel'",
                  static_cast<unsigned>(std::floor(estimate / 10 + 0.5)) * 10);
    return text;
}
