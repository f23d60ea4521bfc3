#include "firmware/LogDownload.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "protocol/records/ByteOrder.h"
#include "util/Log.h"
#include "util/Panel.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

constexpr unsigned kTries = 3, kRetryPauseMs = 100, kPagePauseMs = 10;
constexpr unsigned kInfoWait = 500, kInfoTimeout = 2000, kPageWait = 1000, kPageTimeout = 6000;
constexpr unsigned kPageData = 4;                               // slot, sector, n (16-bit)
constexpr unsigned kOverLimitAnswer = kFrameOverhead + 10;      // 27 bytes: ring bytes 0 to 9
constexpr unsigned kMaxPageRecords = 255;                       // max_get_recs is a byte

// Up to three tries, 100 ms apart after a failure; the last try's result.
int exchange(std::vector<uint8_t>& buffer, unsigned payload, unsigned answer, unsigned wait, unsigned timeout) {
    int got = 0;
    for (unsigned t = 0; t < kTries; ++t) {
        if (t > 0) PumpWait(kRetryPauseMs);
        got = ModbusGet(payload, D_GET_LOGFILE, Wire().ctx, buffer.data(), answer, wait, timeout);
        if (got > 0) break;
    }
    return got;
}

void errorBox(Panel& panel, const std::string& text) {
    DebugLog("%s", text.c_str());
    panel.ask(text, "Error", MB_OK | MB_ICONEXCLAMATION);
}

std::string format(const char* f, unsigned a, unsigned b) {
    char text[128];
    std::snprintf(text, sizeof text, f, a, b);
    return text;
}

}  // namespace

std::optional<LogRing> RequestLogRing(unsigned n, int* error) {
    const unsigned answer = kFrameOverhead + kLogRingInfoSize;
    std::vector<uint8_t> buffer(answer);
    buffer[0] = buffer[1] = 0xFF;
    le::put16(buffer, 2, static_cast<uint16_t>(n));
    buffer[4] = 1;
    const int got = exchange(buffer, 5, answer, kInfoWait, kInfoTimeout);
    if (error) *error = got;
    if (got != static_cast<int>(answer)) return std::nullopt;
    return ParseLogRing(std::span(buffer).subspan(kHeaderSize, kLogRingInfoSize));
}

LogPage RequestLogPage(const LogRing& ring, unsigned position, unsigned count) {
    LogPage page;
    if (ring.total() == 0 || ring.total() > 0xFFFF) {
        page.failure = "No log ring to read from...";
        return page;
    }
    position %= ring.total();
    const unsigned answer = static_cast<unsigned>(kFrameOverhead) + kPageData + count * kLogRecordSize;
    std::vector<uint8_t> buffer(answer);
    buffer[0] = static_cast<uint8_t>(position % ring.slotsPerSector);
    buffer[1] = static_cast<uint8_t>(position / ring.slotsPerSector);
    le::put16(buffer, 2, static_cast<uint16_t>(count));
    const int got = exchange(buffer, 4, answer, kPageWait, kPageTimeout);
    if (got == static_cast<int>(kOverLimitAnswer) && answer != kOverLimitAnswer) {
        std::vector<uint8_t> info(buffer.begin() + kHeaderSize, buffer.begin() + kHeaderSize + 10);
        info.push_back(ring.flags);
        page.geometry = ParseLogRing(info);
        page.geometry->recordSize = ring.recordSize;
        page.failure = format("nrec %u > max_get_recs %u...", count, page.geometry->maxGetRecs);
        return page;
    }
    if (got != static_cast<int>(answer)) {
        page.failure = "ModbusGet(D_GET_LOGFILE) returned " + std::to_string(got) + " bytes instead of " +
                       std::to_string(answer);
        return page;
    }
    const auto data = std::span(buffer).subspan(kHeaderSize);
    const unsigned n = std::min<unsigned>(*le::u16(data, 2), count);
    page.records.assign(data.begin() + kPageData, data.begin() + kPageData + n * kLogRecordSize);
    return page;
}

std::optional<LogPlan> PlanLogDownload(const LogRing& ring, LogMode mode, unsigned count, unsigned from,
                                       std::string* why) {
    auto refuse = [&](std::string text) -> std::optional<LogPlan> {
        if (why) *why = std::move(text);
        return std::nullopt;
    };
    if (ring.recordSize != kLogRecordSize)
        return refuse(format("sizeof(T_logDatatype): Host %u; Detector %u", unsigned(kLogRecordSize), ring.recordSize));
    if (ring.sectors == 0 || ring.slotsPerSector == 0 || ring.maxGetRecs == 0)
        return refuse(format("The detector reports an unusable log ring: %u sectors x %u slots",
                             ring.sectors, ring.slotsPerSector) +
                      ", max_get_recs " + std::to_string(ring.maxGetRecs) + "...");
    if (ring.slot >= ring.slotsPerSector || ring.sector >= ring.sectors)
        return refuse(format("The detector reports a current position outside its ring: sector %u, slot %u...",
                             ring.sector, ring.slot));
    const unsigned total = ring.total();
    LogPlan plan;
    switch (mode) {
    case LogMode::UpToCurrent:
        plan.count = std::min({count, total, ring.maxGetRecs});
        plan.start = (ring.current() + total - plan.count) % total;
        break;
    case LogMode::FromPosition:
        plan.count = std::min(count, total);
        plan.start = from % total;
        break;
    case LogMode::All:
        plan.count = total;
        break;
    }
    plan.page = std::min({plan.count, ring.maxGetRecs, kMaxPageRecords});
    return plan;
}

unsigned MoveLogPosition(const LogRing& ring, unsigned position, unsigned n, LogMove move) {
    const unsigned total = ring.total();
    if (total == 0) return 0;
    const unsigned step = move == LogMove::PageDown || move == LogMove::PageUp ? (n > 0 ? n - 1 : 0) % total : 1;
    const bool back = move == LogMove::PageUp || move == LogMove::LineUp;
    return (position % total + (back ? total - step : step)) % total;
}

LogDownloadResult RunLogDownload(Panel& panel, const LogDownloadRequest& rq, const LogRecordSink& sink) {
    LogDownloadResult result;
    int error = 0;
    result.ring = RequestLogRing(rq.count, &error);
    if (!result.ring) {
        errorBox(panel, "Failed reading the log information from the detector: " +
                            TransportResultText(error, errno) + "...");
        return result;
    }
    LogRing ring = *result.ring;
    std::string why;
    result.plan = PlanLogDownload(ring, rq.mode, rq.count, rq.from, &why);
    if (!result.plan) {
        errorBox(panel, why);
        return result;
    }
    if (rq.pageLimit) result.plan->page = std::min(result.plan->page, rq.pageLimit);
    DebugLog("GetFlashLogRecords> sector %u, slot %u, rec_num %u", ring.sector, ring.slot, result.plan->start);

    std::string text = LogFileHeader(rq.family);
    unsigned start = result.plan->start, remaining = result.plan->count, page = result.plan->page;
    const unsigned total = ring.total();
    while (remaining > 0 && !AbortRequested()) {
        page = std::min(page, remaining);
        DebugLog("irec %u, nrec %u, page %u", start, remaining, page);
        const LogPage got = RequestLogPage(ring, start, page);
        if (!got.failure.empty()) {
            // The detector's refusal of a count is the technician's to see.
            if (got.geometry) errorBox(panel, got.failure);
            else DebugLog("%s", got.failure.c_str());
            // The detector said what it takes: the same records again in
            // pages it accepts (the page shrinks, so this ends).
            if (got.geometry && got.geometry->maxGetRecs > 0 && got.geometry->maxGetRecs < page) {
                page = got.geometry->maxGetRecs;
                continue;
            }
            ++result.failedPages;
        }
        for (size_t at = 0; at < got.records.size(); at += kLogRecordSize) {
            const auto record = std::span(got.records).subspan(at, kLogRecordSize);
            ++result.records;
            text += LogFileLine(record, rq.family, ring.halfSums(), result.records);
            if (sink) sink(record, result.records, ring);
        }
        start = (start + page) % total;
        remaining -= page;
        if (rq.progressId)
            panel.setProgress(rq.progressId, static_cast<int>((result.plan->count - remaining) * 100ull /
                                                              result.plan->count));
        if (rq.remainingId) panel.setText(rq.remainingId, std::to_string(remaining));
        PumpWait(kPagePauseMs);
    }
    // An Abort ends the paging, not the report: failed pages still get their box.
    panel.clearAbort();
    result.fileWritten =
        WriteWholeFile(rq.file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    const int writeErrno = errno;
    if (result.failedPages == 0 && result.fileWritten) {
        DebugLog("'%s' was written to disk...", rq.file.c_str());
        return result;
    }
    std::string message;
    if (result.failedPages)
        message = std::to_string(result.failedPages) + (result.failedPages > 1 ? " pages" : " page") +
                  " of the log could not be read; '" + rq.file + "' holds the " + std::to_string(result.records) +
                  " records that came.";
    if (!result.fileWritten)
        message += std::string(message.empty() ? "" : "\r\n") + "'" + rq.file +
                   "' could not be written: " + std::strerror(writeErrno);
    errorBox(panel, message);
    return result;
}
