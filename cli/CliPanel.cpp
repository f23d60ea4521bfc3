#include "cli/CliPanel.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "protocol/records/ElevationRecord.h"

std::string CliPanel::text(int id) const {
    const auto it = texts_.find(id);
    return it == texts_.end() ? std::string() : it->second;
}

int CliPanel::check(int id) const {
    const auto it = checks_.find(id);
    return it == checks_.end() ? 0 : it->second;
}

int CliPanel::ask(const std::string& text, const std::string& caption, unsigned flags) {
    // One line per message: each run of the box's line breaks becomes one blank.
    std::string shown;
    for (char c : text) {
        const bool lineBreak = c == '\r' || c == '\n';
        if (!lineBreak) shown += c;
        else if (!shown.empty() && shown.back() != ' ') shown += ' ';
    }
    // Some captions carry their own colon ("Note:").
    err_ << caption << (!caption.empty() && caption.back() == ':' ? " " : ": ") << shown << "\n";
    const unsigned buttons = flags & 0xF;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

bool CliPanel::readLine(std::string* line, bool secret) {
    // A terminal shows nothing of a secret while it is typed.
    const bool terminal = &in_ == &std::cin && ::isatty(STDIN_FILENO);
    termios saved{};
    const bool hide = secret && terminal && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool got = static_cast<bool>(std::getline(in_, *line));
    if (hide) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err_ << "\n";
    }
    if (got && !line->empty() && line->back() == '\r') line->pop_back();
    return got;
}

void CliPanel::skipLine() {
    std::string line;
    readLine(&line, true);
    std::fill(line.begin(), line.end(), '\0');
}

std::optional<std::string> CliPanel::answerLine() {
    std::string line;
    if (!readLine(&line, false)) return std::nullopt;
    return line;
}

std::optional<std::string> CliPanel::askText(const std::string& prompt, const std::string& caption, bool secret) {
    if (typed_ != Typed::NotAsked && !(everyLine_ && typed_ == Typed::Given)) return std::nullopt;
    if (&in_ == &std::cin && ::isatty(STDIN_FILENO)) err_ << caption << ": " << prompt << " " << std::flush;
    std::string line;
    typed_ = Typed::Cancelled;
    if (!readLine(&line, secret) || line.empty()) return std::nullopt;
    if (secret && line.size() > kMaxPasswordChars) {
        std::fill(line.begin(), line.end(), '\0');
        typed_ = Typed::TooLong;
        return std::nullopt;
    }
    typed_ = Typed::Given;
    return line;
}
