#pragma once
#include <deque>
#include <string>

// The lines of one console list: past 4000 lines the oldest 1000 go at once,
// so the list does not trim on every line.
class LogList {
public:
    static constexpr size_t kMaxLines = 4000;
    static constexpr size_t kTrimLines = 1000;

    // Returns true when the list was trimmed (a view must redraw from scratch).
    bool append(std::string line) {
        lines_.push_back(std::move(line));
        if (lines_.size() <= kMaxLines) return false;
        lines_.erase(lines_.begin(), lines_.begin() + kTrimLines);
        return true;
    }
    void clear() { lines_.clear(); }
    size_t size() const { return lines_.size(); }
    const std::string& operator[](size_t i) const { return lines_[i]; }
    // Every line followed by CR LF, as the clipboard copy wants it.
    std::string joined() const {
        std::string out;
        for (const auto& l : lines_) out += l + "\r\n";
        return out;
    }

private:
    std::deque<std::string> lines_;
};
