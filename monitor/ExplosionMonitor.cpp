#include "monitor/ExplosionMonitor.h"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <mutex>

#include "monitor/CMonitorExplosionsIds.h"
#include "network/AddressBook.h"
#include "protocol/Transport.h"
#include "protocol/records/MiscControl.h"

namespace explosion {

using namespace explosionwin;

namespace {

constexpr const char* kCondition = "Detection Cond:";
constexpr const char* kNegative = "nNegative: ";
constexpr const char* kTimePhrase = "Detection time: ";
constexpr size_t kViewMax = 4096;

std::string format(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* f, ...) {
    char buf[kViewMax + 1];
    va_list ap;
    va_start(ap, f);
    std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

// One exchange with the detector at `address` (link lock held): the answer of
// exactly `size` bytes, or nothing.
std::optional<std::vector<uint8_t>> exchange(unsigned address, std::vector<uint8_t> request, size_t size,
                                             unsigned waitMs, unsigned timeoutMs) {
    std::lock_guard lock(LinkLock());
    const auto payload = static_cast<unsigned>(request.size());
    request.resize(size, 0);
    if (!SelectSlave(address)) return std::nullopt;
    const int r = ModbusGet(payload, D_MISC_CONTROL, Wire().ctx, request.data(), static_cast<unsigned>(size), waitMs,
                            timeoutMs);
    if (r != static_cast<int>(size)) return std::nullopt;
    return request;
}

}  // namespace

Scan ScanMessage(const std::string& text) {
    Scan s;
    size_t from = 0;
    while (from < text.size()) {
        const size_t lf = std::min(text.find('\n', from), text.size());
        const std::string line = text.substr(from, lf - from);
        from = lf + 1;
        if (line.find(kCondition) != std::string::npos) {
            s.lines.push_back("    " + line.substr(line.find('D')));
            continue;
        }
        if (line.find(kNegative) != std::string::npos) {
            s.failCode = FalseExplosion;
            continue;
        }
        const size_t phrase = line.find(kTimePhrase);
        if (phrase == std::string::npos) continue;
        s.lines.push_back("    " + line.substr(phrase));
        s.lines.push_back("");
        if (line.find("too long") != std::string::npos) s.failCode |= TooLong;
        const size_t colon = line.find(':', phrase);
        const size_t m = line.find('m', colon);
        if (m == std::string::npos) continue;
        s.timeMs = std::strtod(line.substr(colon + 1, m - colon - 1).c_str(), nullptr);
        return s;
    }
    s.lines.push_back("    Explosion not reported...");
    s.lines.push_back("");
    s.failCode = NoDetection;
    return s;
}

std::string ViewLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\t') out += "    ";
        else out += c == '\n' ? ' ' : c;
        if (out.size() >= kViewMax) break;
    }
    out.resize(std::min(out.size(), kViewMax));
    return out;
}

ExplosionMonitor::ExplosionMonitor(std::shared_ptr<Panel> panel, Options options)
    : panel_(std::move(panel)), opt_(std::move(options)), rows_(kMaxRows) {}

ExplosionMonitor::~ExplosionMonitor() {
    if (file_) std::fclose(file_);
}

void ExplosionMonitor::log(const std::string& text) { panel_->addLine(kView, ViewLine(text)); }

unsigned ExplosionMonitor::rowLimit() const {
    return static_cast<unsigned>(std::min<size_t>(addresses_.size(), kMaxRows));
}

void ExplosionMonitor::showRow(unsigned i) {
    const Row& r = rows_[i];
    panel_->setText(Cell(static_cast<int>(i), Address), std::to_string(r.address));
    panel_->setText(Cell(static_cast<int>(i), Serial), r.serial ? std::to_string(*r.serial) : "");
    panel_->setText(Cell(static_cast<int>(i), Time), r.time);
    panel_->setText(Cell(static_cast<int>(i), Fail), r.fail);
}

void ExplosionMonitor::clearCells(unsigned i) {
    rows_[i] = Row{};
    for (int c = 0; c < kColumns; ++c) panel_->setText(Cell(static_cast<int>(i), c), "");
}

void ExplosionMonitor::next() {
    ++index_;
    retries_ = 0;
}

void ExplosionMonitor::startErase() {
    addresses_ = opt_.addresses ? opt_.addresses() : Book().selected();
    index_ = handled_ = retries_ = 0;
    gaveUp_ = false;
    log("");
    panel_->setTimer(kEraseTimer, kTickMs, false);
}

bool ExplosionMonitor::eraseTick() {
    if (inErase_.exchange(true)) return true;
    struct Leave {
        std::atomic<bool>& flag;
        ~Leave() { flag = false; }
    } leave{inErase_};
    if (index_ >= rowLimit()) {
        panel_->stopTimer(kEraseTimer);
        for (unsigned i = index_; i < kMaxRows; ++i) clearCells(i);
        log("Erase: done.");
        panel_->enable(kGenerate, true);
        return false;
    }
    Row& row = rows_[index_];
    const unsigned address = addresses_[index_];
    if (retries_ == 0) {
        row.address = address;
        panel_->setText(Cell(static_cast<int>(index_), Address), std::to_string(address));
    }
    const auto answer = exchange(address, {misc::EraseMessages}, kMiscAckFrameSize, 100, 500);
    if (answer) {
        row = Row{address, DecodeHeader(*answer)->serial, "", ""};
        showRow(index_);
        log(format("MISC_ERASEMSG suceeded on Address %u, S/N %u with %u retries", address, *row.serial, retries_));
        ++handled_;
        next();
        return true;
    }
    log(format("MISC_ERASEMSG failed on address %u with %u retries", address, retries_));
    if (retries_ < kMaxRetries) {
        ++retries_;
        return true;
    }
    log("Retries exhausted...");
    gaveUp_ = true;
    // The retrieval names this row by the serial of its own answer, not a stale one.
    row = Row{address, std::nullopt, "", ""};
    showRow(index_);
    ++handled_;
    next();
    return true;
}

void ExplosionMonitor::generated() { panel_->enable(kRetrieve, true); }

bool ExplosionMonitor::startRetrieve() {
    if (file_) std::fclose(file_);
    file_ = std::fopen(opt_.logPath.c_str(), "a");
    if (!file_) {
        panel_->ask("Failed opening \"" + opt_.logPath + "\"...\r\nRetrieval aborted.\r\n", "Error",
                    MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    logFailed_ = false;
    const std::time_t t = opt_.now ? opt_.now() : std::time(nullptr);
    char stamp[32] = "";
    std::tm local{};
    localtime_r(&t, &local);
    std::strftime(stamp, sizeof stamp, "%a %b %e %H:%M:%S %Y\n", &local);
    writeLog("-----------------------------------------------------\n");
    writeLog(stamp);
    log("");
    index_ = retries_ = 0;
    panel_->setTimer(kRetrieveTimer, kTickMs, false);
    return true;
}

void ExplosionMonitor::writeLog(const std::string& line) {
    if (!file_) return;
    // Flushed per line: a crash keeps every row already judged.
    if (std::fputs(line.c_str(), file_) < 0 || std::fflush(file_) != 0) logFailed_ = true;
}

bool ExplosionMonitor::retrieveTick() {
    if (inRetrieve_.exchange(true)) return true;
    struct Leave {
        std::atomic<bool>& flag;
        ~Leave() { flag = false; }
    } leave{inRetrieve_};
    if (index_ >= handled_ || index_ >= kMaxRows) {
        endRetrieve();
        return false;
    }
    Row& row = rows_[index_];
    if (retries_ == 0) panel_->setText(Cell(static_cast<int>(index_), Address), std::to_string(row.address));
    const auto answer = exchange(row.address, {misc::GetMessage, 0}, kMessageFrameSize, 500, 2000);
    if (!answer) {
        log(format("MISC_GETMSG failed on address %u with %u retries", row.address, retries_));
        if (retries_ >= kMaxRetries) {
            log("Retries exhausted...");
            gaveUp_ = true;
            next();
        } else {
            ++retries_;
        }
    } else {
        if (!row.serial) row.serial = DecodeHeader(*answer)->serial;
        log(format("MISC_GETMSG succeeded on Address %u, S/N %u, with %u retries", row.address, *row.serial,
                   retries_));
        const Scan scan = ScanMessage(DecodeMessageText(*answer, false));
        for (const std::string& l : scan.lines) log(l);
        if (scan.timeMs) {
            writeLog(format("Addr %u, S/N %u, Detection time: %.1f ms\n", row.address, *row.serial, *scan.timeMs));
            char cell[8];
            std::snprintf(cell, sizeof cell, "%.1f", *scan.timeMs);
            row.time = cell;
        } else {
            writeLog(format("Addr %u, S/N %u, Explosion not reported...\n", row.address, *row.serial));
        }
        row.fail = std::to_string(scan.failCode);
        showRow(index_);
        next();
    }
    if (index_ >= handled_) {
        endRetrieve();
        return false;
    }
    return true;
}

void ExplosionMonitor::endRetrieve() {
    panel_->stopTimer(kRetrieveTimer);
    panel_->enable(kSummary, true);
    if (file_) std::fclose(file_);
    file_ = nullptr;
    log("Retrieve: done.");
}

void ExplosionMonitor::summary() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace explosion
