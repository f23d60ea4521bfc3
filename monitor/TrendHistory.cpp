#include "monitor/TrendHistory.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "monitor/CGraphIds.h"
#include "util/Panel.h"
#include "util/Profile.h"
#include "util/WholeFile.h"

namespace trend {

namespace {
constexpr const char* kSection = "Trend";
constexpr uint64_t kMinutesPer[] = {1, 60, 1440};
constexpr uint64_t kSecondsPer[] = {1, 60};

std::time_t systemSeconds() {
    return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
}

bool unitsValid(const Settings& s) {
    return s.durationUnits >= 0 && s.durationUnits <= 2 && s.freqUnits >= 0 && s.freqUnits <= 1;
}
}  // namespace

uint64_t Settings::minutes() const {
    return duration > 0 && unitsValid(*this) ? static_cast<uint64_t>(duration) * kMinutesPer[durationUnits] : 0;
}

uint64_t Settings::periodSeconds() const {
    return freq > 0 && unitsValid(*this) ? static_cast<uint64_t>(freq) * kSecondsPer[freqUnits] : 0;
}

uint64_t Settings::samples() const {
    const uint64_t p = periodSeconds();
    return p ? minutes() * 60 / p : 0;
}

std::optional<Refusal> CheckSettings(const Settings& s) {
    if (s.duration <= 0) return Refusal{"Enter non-zero duration", graphwin::kDuration};
    if (s.freq <= 0) return Refusal{"Enter non-zero frequency", graphwin::kFreq};
    if (!unitsValid(s)) return Refusal{"Duration must be larger than 10 x the sampling rate...", 0};
    if (s.periodSeconds() * 10 >= s.minutes() * 60)
        return Refusal{"Duration must be larger than 10 x the sampling rate...", 0};
    if (s.samples() > kMaxSamples) return Refusal{"Duration must be at most 2678400 x the sampling rate...", 0};
    return std::nullopt;
}

TimeFrameStep ResetTimeFrame(Panel& panel, const Settings& current, const Settings& proposed, int* focus) {
    if (const auto refusal = CheckSettings(proposed)) {
        panel.ask(refusal->text, "Error", MB_OK | MB_ICONEXCLAMATION);
        if (focus) *focus = refusal->field;
        return TimeFrameStep::Stay;
    }
    const std::string choice =
        "\r\n\r\nClick 'OK' to proceed\r\nClick 'Cancel' to continue with the current durarion and frequency";
    if (proposed == current &&
        panel.ask("No change to duration or frequency..." + choice, "Warning", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return TimeFrameStep::Keep;
    if (panel.ask("All trend history will be lost..." + choice, "Resetting", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return TimeFrameStep::Keep;
    return TimeFrameStep::Apply;
}

Settings LoadSettings(const std::string& iniFile, bool* wroteBack) {
    Settings s;
    s.duration = std::max(1, ProfileGetInt(iniFile, kSection, "Duration", 1));
    s.durationUnits = std::min(2, ProfileGetInt(iniFile, kSection, "DurationUnits", 1));
    s.freq = std::max(1, ProfileGetInt(iniFile, kSection, "Freq", 1));
    s.freqUnits = std::min(1, ProfileGetInt(iniFile, kSection, "FreqUnits", 1));
    if (CheckSettings(s)) s = Settings{};
    const bool saved = SaveSettings(iniFile, s);
    if (wroteBack) *wroteBack = saved;
    return s;
}

bool SaveSettings(const std::string& iniFile, const Settings& s) {
    return ProfileWriteStrings(iniFile, kSection,
                               {{"Duration", std::to_string(s.duration)},
                                {"DurationUnits", std::to_string(s.durationUnits)},
                                {"Freq", std::to_string(s.freq)},
                                {"FreqUnits", std::to_string(s.freqUnits)}});
}

std::string CalendarTime(std::time_t t) {
    // The C library's calendar form, spelled here so that the user's locale
    // cannot change the names.
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.3s %.3s%3d %.2d:%.2d:%.2d", days[tm.tm_wday % 7], months[tm.tm_mon % 12],
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string IsoTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

TrendHistory::TrendHistory(Clock clock) : clock_(clock ? std::move(clock) : Clock(systemSeconds)) {
    apply(Settings{});
}

void TrendHistory::apply(const Settings& s) {
    settings_ = CheckSettings(s) ? Settings{} : s;
    n_ = settings_.samples();
    period_ = settings_.periodSeconds();
    for (int a = 0; a < 3; ++a) {
        data_[a].assign(n_, 0.f);
        blocks_[a].assign((n_ + kBlock - 1) / kBlock, Column{});
    }
    write_ = 0;
    zoomed_ = false;
    sampleNow_ = true;
}

bool TrendHistory::add(float vin, float temp, float ma) {
    const std::time_t now = clock_();
    // A clock set back counts as time passed, or sampling would stop for as long.
    const bool due = sampleNow_ || now < lastStored_ || static_cast<uint64_t>(now - lastStored_) >= period_;
    if (!due) return false;
    const float values[3] = {vin, temp, ma};
    const uint64_t block = write_ / kBlock, from = block * kBlock, to = std::min(from + kBlock, n_);
    for (int a = 0; a < 3; ++a) {
        data_[a][write_] = values[a];
        // The slot may have held the block's extreme: the block is measured afresh.
        const auto [low, high] = std::minmax_element(data_[a].begin() + static_cast<ptrdiff_t>(from),
                                                     data_[a].begin() + static_cast<ptrdiff_t>(to));
        blocks_[a][block] = {*low, *high};
    }
    write_ = (write_ + 1) % n_;
    lastStored_ = now;
    sampleNow_ = false;
    return true;
}

Sample TrendHistory::at(uint64_t i) const {
    const uint64_t k = (write_ + i) % n_;
    return {data_[0][k], data_[1][k], data_[2][k]};
}

float TrendHistory::value(uint64_t i, Axis axis) const {
    const Sample s = at(i);
    return axis == Axis::Vin ? s.vin : axis == Axis::Temp ? s.temp : s.ma;
}

uint64_t TrendHistory::shownSamples() const { return last() / period_ - first() / period_ + 1; }

void TrendHistory::setZoom(uint64_t first, uint64_t last) {
    zoomed_ = true;
    first_ = first;
    last_ = last;
    rightTime_ = clock_() - static_cast<std::time_t>(span() - 1 - last);
    // Sampling goes on while zoomed: the view keeps to the samples it showed.
    zoomRing_ = (write_ + first / period_) % n_;
}

uint64_t TrendHistory::shownStart() const { return zoomed_ ? zoomRing_ : write_; }

Sample TrendHistory::shown(uint64_t j) const {
    const uint64_t k = (shownStart() + j) % n_;
    return {data_[0][k], data_[1][k], data_[2][k]};
}

Move TrendHistory::zoomTo(int64_t a, int64_t b) {
    if (a > b) std::swap(a, b);
    const int64_t end = static_cast<int64_t>(span()) - 1;
    const int64_t ca = std::clamp<int64_t>(a, 0, end), cb = std::clamp<int64_t>(b, 0, end);
    if ((ca != a && cb != b) || cb - ca <= 4) return Move::Refused;
    setZoom(static_cast<uint64_t>(ca), static_cast<uint64_t>(cb));
    return Move::Done;
}

Move TrendHistory::panLeft() {
    if (!zoomed_) return Move::Refused;
    const uint64_t width = last_ - first_, half = std::max<uint64_t>(width / 2, 1);
    if (first_ < half) {
        setZoom(0, width);
        return Move::Clamped;
    }
    setZoom(first_ - half, last_ - half);
    return Move::Done;
}

Move TrendHistory::panRight() {
    if (!zoomed_) return Move::Refused;
    const uint64_t width = last_ - first_, half = std::max<uint64_t>(width / 2, 1), end = span() - 1;
    if (last_ + half > end) {
        setZoom(end - width, end);
        return Move::Clamped;
    }
    setZoom(first_ + half, last_ + half);
    return Move::Done;
}

Move TrendHistory::zoomOut() {
    if (!zoomed_) return Move::Refused;
    const uint64_t width = last_ - first_, left = width / 2, right = width - left;
    if (first_ < left || last_ + right > span() - 1) return Move::Refused;
    setZoom(first_ - left, last_ + right);
    return Move::Done;
}

std::optional<std::string> TrendHistory::zoomAbout(std::time_t centre, uint64_t rangeSeconds) {
    const std::time_t now = clock_();
    const std::time_t oldest = now - static_cast<std::time_t>(span());
    const auto half = static_cast<std::time_t>(rangeSeconds / 2);
    if (centre > now) return "Center time specified hasn't been recorded yet...";
    if (centre < oldest) return "Center time specified has already been overwritten...";
    if (centre + half > now) return "Range time specified includes times not yet recorded...";
    if (centre - half < oldest) return "Range time specified includes times that have already been overwritten...";
    // A time t sits at position span - 1 - (now - t); the oldest second is position -1.
    const auto position = [&](std::time_t t) {
        return static_cast<uint64_t>(std::max<int64_t>(0, static_cast<int64_t>(span()) - 1 - (now - t)));
    };
    setZoom(position(centre - half), position(centre + half));
    return std::nullopt;
}

std::vector<Column> TrendHistory::decimate(Axis axis, unsigned columns) const {
    const uint64_t count = shownSamples();
    const uint64_t out = std::min<uint64_t>(count, std::max(columns, 1u));
    std::vector<Column> result(out);
    const int a = static_cast<int>(axis);
    const uint64_t start = shownStart();
    for (uint64_t c = 0; c < out; ++c) {
        const uint64_t begin = c * count / out, end = (c + 1) * count / out;
        float low = data_[a][(start + begin) % n_], high = low;
        // The column's samples lie in at most two runs of the ring.
        for (uint64_t j = begin; j < end;) {
            const uint64_t k = (start + j) % n_, run = std::min(end - j, n_ - k);
            scan(a, k, run, low, high);
            j += run;
        }
        result[c] = {low, high};
    }
    return result;
}

void TrendHistory::scan(int a, uint64_t k, uint64_t run, float& low, float& high) const {
    const uint64_t end = k + run;
    auto take = [&](float lo, float hi) {
        low = std::min(low, lo);
        high = std::max(high, hi);
    };
    while (k < end) {
        if (k % kBlock == 0 && k + kBlock <= end) {
            const Column& b = blocks_[a][k / kBlock];
            take(b.low, b.high);
            k += kBlock;
        } else {
            take(data_[a][k], data_[a][k]);
            ++k;
        }
    }
}

std::string TrendHistory::exportText(bool fahrenheit, bool csv) const {
    const char sep = csv ? ',' : '\t';
    std::string text = std::string("#") + sep + "Date" + sep + "Vin [V]" + sep + "Temperature [" +
                       (fahrenheit ? "\u00B0F" : "\u00B0C") + "]" + sep + "4-20 [mA]\n";
    const uint64_t count = shownSamples();
    const std::time_t right = rightTime();
    text.reserve(text.size() + count * 48);
    char line[160];
    for (uint64_t j = 0; j < count; ++j) {
        const Sample s = shown(j);
        const std::time_t t = right - static_cast<std::time_t>((count - 1 - j) * period_);
        const double temp = fahrenheit ? s.temp * 1.8 + 32 : s.temp;
        const std::string date = csv ? IsoTime(t) : CalendarTime(t);
        const int len = std::snprintf(line, sizeof line, "%u%c%s%c%.1f%c%.1f%c%.1f\n", static_cast<unsigned>(j), sep,
                                      date.c_str(), sep, static_cast<double>(s.vin), sep, temp, sep,
                                      static_cast<double>(s.ma));
        text.append(line, static_cast<size_t>(std::clamp(len, 0, static_cast<int>(sizeof line) - 1)));
    }
    return text;
}

std::optional<std::string> WriteExport(const std::string& path, const std::string& text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (WriteWholeFile(path, std::span(bytes, text.size()))) return std::nullopt;
    return "Failed opening \"" + path + "\" for writing...";
}

}  // namespace trend
