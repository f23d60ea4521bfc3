#include "monitor/Recorder.h"

#include <algorithm>

namespace {
constexpr auto kTypeRefresh = std::chrono::minutes(15);
}

Recorder::Recorder(RecorderOptions options) : options_(std::move(options)) {
    if (!options_.open) options_.open = OpenLineFile;
}

Recorder::~Recorder() { stop(); }

std::chrono::system_clock::time_point Recorder::now() const {
    return options_.clock ? options_.clock() : std::chrono::system_clock::now();
}

std::tm Recorder::utc(std::chrono::system_clock::time_point t) const {
    const std::time_t s = std::chrono::system_clock::to_time_t(t);
    std::tm out{};
    gmtime_r(&s, &out);
    return out;
}

std::tm Recorder::local(std::chrono::system_clock::time_point t) const {
    const std::time_t s = std::chrono::system_clock::to_time_t(t);
    std::tm out{};
    localtime_r(&s, &out);
    return out;
}

bool Recorder::start(unsigned periodMs, LogFamily family, bool alternateSensor) {
    std::lock_guard lock(mutex_);
    stopLocked();
    errorFile_.clear();
    files_.clear();
    lastMode_.clear();
    toTake_ = 0;
    runPos_ = 0;
    const auto t = now();
    startUtc_ = utc(t);
    nextPeriod_ = t + std::chrono::milliseconds(periodMs);
    nextTypeRefresh_ = t + kTypeRefresh;
    periodMs_ = periodMs;
    alternateSensor_ = alternateSensor;
    on_ = true;
    return openLog(family, alternateSensor);
}

bool Recorder::stop() {
    std::lock_guard lock(mutex_);
    return stopLocked();
}

bool Recorder::stopLocked() {
    bool written = true;
    for (auto& [family, log] : logs_)
        if (!log.sink->write(SeparatorLine(family, options_.log))) {
            written = false;
            if (errorFile_.empty()) errorFile_ = log.sink->name();
        }
    logs_.clear();
    on_ = false;
    periodMs_ = 0;
    toTake_ = 0;
    return written;
}

bool Recorder::on() const {
    std::lock_guard lock(mutex_);
    return on_;
}

unsigned Recorder::periodMs() const {
    std::lock_guard lock(mutex_);
    return periodMs_;
}

std::string Recorder::title() const { return on() ? "Recording: ON" : "Recording: OFF"; }

std::string Recorder::errorFile() const {
    std::lock_guard lock(mutex_);
    return errorFile_;
}

std::vector<std::string> Recorder::files() const {
    std::lock_guard lock(mutex_);
    return files_;
}

void Recorder::fail(const std::string& file) {
    errorFile_ = file;
    // The failed log gets no separator; the other family's log is closed properly.
    for (auto it = logs_.begin(); it != logs_.end();) it = it->second.sink->name() == file ? logs_.erase(it) : ++it;
    stopLocked();
}

bool Recorder::openLog(LogFamily family, bool alternateSensor) {
    const std::string name = LogFileName(family, options_.log, startUtc_, options_.folder);
    files_.push_back(name);
    auto sink = options_.open(name, LogAppends(options_.log));
    if (!sink) {
        fail(name);
        return false;
    }
    logs_[family] = Log{std::move(sink), 0};
    return writeTo(family, StartLine(periodMs_, comment_) + LogHeader(family, options_.log, alternateSensor));
}

bool Recorder::writeTo(LogFamily family, const std::string& text) {
    Log& log = logs_.at(family);
    if (log.sink->write(text)) return true;
    fail(log.sink->name());
    return false;
}

bool Recorder::writeRecord(const LiveRecord& record) {
    const LogFamily family = FamilyOf(record);
    if (!logs_.count(family) && !openLog(family, record.alternateSensor())) return false;
    Log& log = logs_.at(family);
    return writeTo(family, LogLine(record, options_.log, local(now()), ++log.index));
}

void Recorder::advance(size_t selectedCount) {
    std::lock_guard lock(mutex_);
    if (!on_ || periodMs_ == 0) return;
    const auto t = now();
    while (t >= nextPeriod_) {
        toTake_ = std::max<size_t>(selectedCount, 1);
        nextPeriod_ += std::chrono::milliseconds(periodMs_);
    }
}

void Recorder::moveRun(const std::vector<uint8_t>& selected) {
    ++runPos_;
    if (toTake_ > 0) --toTake_;
    if (selected.size() <= 1) toTake_ = 0;
}

RecordStep Recorder::offer(const LiveRecord& record, const std::vector<uint8_t>& selected) {
    std::lock_guard lock(mutex_);
    RecordStep step;
    if (!on_) return step;
    const unsigned address = record.address();
    const char mode = record.mode();
    const auto seen = lastMode_.find(address);
    const bool changed = seen != lastMode_.end() && seen->second != mode;
    lastMode_[address] = mode;
    if (changed && periodMs_ != recperiod::Fast) {
        step.stateChange = true;
    } else if (toTake_ > 0 && !selected.empty() && address == selected[runPos_ % selected.size()]) {
        moveRun(selected);
    } else {
        return step;
    }
    step.written = writeRecord(record);
    step.failed = !step.written;
    return step;
}

void Recorder::missed(unsigned address, const std::vector<uint8_t>& selected) {
    std::lock_guard lock(mutex_);
    if (on_ && toTake_ > 0 && !selected.empty() && address == selected[runPos_ % selected.size()]) moveRun(selected);
}

bool Recorder::typeRefreshDue() {
    std::lock_guard lock(mutex_);
    if (!on_ || now() < nextTypeRefresh_) return false;
    nextTypeRefresh_ += kTypeRefresh;
    return true;
}

bool Recorder::insertComment(const std::string& comment, LogFamily current) {
    std::lock_guard lock(mutex_);
    comment_ = comment;
    if (!on_) return true;
    if (!logs_.count(current)) return openLog(current, alternateSensor_);
    std::vector<LogFamily> open;
    for (const auto& entry : logs_) open.push_back(entry.first);
    for (LogFamily family : open)
        if (!writeTo(family, StartLine(periodMs_, comment_))) return false;
    return true;
}

size_t Recorder::stillToTake() const {
    std::lock_guard lock(mutex_);
    return toTake_;
}

unsigned Recorder::runAddress(const std::vector<uint8_t>& selected) const {
    std::lock_guard lock(mutex_);
    return selected.empty() ? 0 : selected[runPos_ % selected.size()];
}
