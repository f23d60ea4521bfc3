#pragma once
// The trend page's history of input voltage, temperature and analog output:
// one sample per sampling period P for a duration D, N = D x 60 / P samples
// in a ring, its settings in section "Trend" of Param.ini, the LIVE and ZOOM
// views with their pan and zoom rules, and the exports. No window here: the
// page draws what this holds and shows the texts it returns.
#include <cstdint>
#include <array>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class Panel;

namespace trend {

// Thirty-one days at one sample a second: more would not fit the page's use.
constexpr uint64_t kMaxSamples = 2678400;

struct Settings {
    int duration = 1;
    int durationUnits = 1;  // 0 minutes, 1 hours, 2 days
    int freq = 1;
    int freqUnits = 1;  // 0 seconds, 1 minutes

    uint64_t minutes() const;        // D
    uint64_t periodSeconds() const;  // P
    uint64_t samples() const;        // N = D x 60 / P
    bool operator==(const Settings&) const = default;
};

// The time-frame dialog's refusal: its text and the field that gets the focus
// back (0 none).
struct Refusal {
    std::string text;
    int field = 0;
};
// The dialog's rules in order; nothing when the settings may be applied.
std::optional<Refusal> CheckSettings(const Settings& s);

// "Reset" in the time-frame dialog: the rules, then the two questions, each
// through `panel`. Stay: a refusal was shown (its field, if any, in *focus);
// Keep: the user kept the current settings; Apply: `proposed` replaces them,
// and the history is lost.
enum class TimeFrameStep { Stay, Keep, Apply };
TimeFrameStep ResetTimeFrame(Panel& panel, const Settings& current, const Settings& proposed, int* focus);

// The four keys of `iniFile`, clamped as the page reads them; settings that
// break the dialog's rules give way to the defaults. Either way what is used
// is written back; `wroteBack` false when that write failed.
Settings LoadSettings(const std::string& iniFile, bool* wroteBack = nullptr);
bool SaveSettings(const std::string& iniFile, const Settings& s);

// The calendar form of a local time with the year and line feed cut off
// ("Mon Dec  7 05:57:52"), and the spreadsheet form ("2026-12-07 05:57:52").
std::string CalendarTime(std::time_t t);
std::string IsoTime(std::time_t t);

enum class Axis { Vin, Temp, Ma };

struct Sample {
    float vin = 0, temp = 0, ma = 0;
};

// One plot column: the lowest and highest value of the samples it covers.
struct Column {
    float low = 0, high = 0;
};

// What a pan or zoom did: moved as asked, held at an end (the page beeps), or
// refused with an information or error box.
enum class Move { Done, Clamped, Refused };

class TrendHistory {
public:
    // Whole seconds of the wall clock; tests give their own.
    using Clock = std::function<std::time_t()>;
    explicit TrendHistory(Clock clock = {});

    // Fresh zero-filled history for `s`, LIVE view, next sample stored at once.
    void apply(const Settings& s);
    const Settings& settings() const { return settings_; }
    uint64_t size() const { return n_; }
    uint64_t period() const { return period_; }
    // N x P: sample positions run from 0 to span() - 1.
    uint64_t span() const { return n_ * period_; }

    // A good status answer; stored when at least P seconds passed since the
    // last stored sample, or after an apply. True when stored.
    bool add(float vin, float temp, float ma);

    // The i-th sample from the oldest (0 .. N-1) of the whole ring.
    Sample at(uint64_t i) const;
    float value(uint64_t i, Axis axis) const;

    // The view.
    bool zoomed() const { return zoomed_; }
    uint64_t first() const { return zoomed_ ? first_ : 0; }  // positions
    uint64_t last() const { return zoomed_ ? last_ : span() - 1; }
    // How many samples the view shows, and the j-th of them.
    uint64_t shownSamples() const;
    Sample shown(uint64_t j) const;
    // Wall time of the view's right end: now in LIVE, fixed in ZOOM.
    std::time_t rightTime() const { return zoomed_ ? rightTime_ : clock_(); }
    void backToLive() { zoomed_ = false; }

    // A range picked with the mouse, in positions that may lie outside the
    // history. Refused ("Range too small") when both ends had to be clipped
    // or it spans 4 or less.
    Move zoomTo(int64_t a, int64_t b);
    Move panLeft();
    Move panRight();
    Move zoomOut();
    // "Zoom about": a centre time and a range in seconds; a refusal's text
    // for the "Error" box.
    std::optional<std::string> zoomAbout(std::time_t centre, uint64_t rangeSeconds);

    // The shown samples' minimum and maximum per plot column (oldest left).
    std::vector<Column> decimate(Axis axis, unsigned columns) const;

    // The export of the shown samples: TrendLog.txt's lines, or with commas
    // and ISO dates. Temperatures in degrees Fahrenheit when `fahrenheit`.
    std::string exportText(bool fahrenheit, bool csv = false) const;

private:
    void setZoom(uint64_t first, uint64_t last);
    uint64_t shownStart() const;  // ring index of the first shown sample

    Clock clock_;
    Settings settings_;
    uint64_t n_ = 0, period_ = 1;
    // Per axis: the samples, and the range of each block of kBlock samples,
    // so that a redraw of a long history reads the blocks, not every sample.
    static constexpr uint64_t kBlock = 1024;
    std::vector<float> data_[3];
    std::vector<Column> blocks_[3];
    void scan(int axis, uint64_t k, uint64_t run, float& low, float& high) const;
    uint64_t write_ = 0;
    std::time_t lastStored_ = 0;
    bool sampleNow_ = true;
    bool zoomed_ = false;
    uint64_t first_ = 0, last_ = 0;
    std::time_t rightTime_ = 0;
    uint64_t zoomRing_ = 0;
};

// Writes `text` whole to `path`; the "Error" box's text when it cannot.
std::optional<std::string> WriteExport(const std::string& path, const std::string& text);

}  // namespace trend
