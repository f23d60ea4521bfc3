#pragma once
#include <istream>
#include <map>
#include <ostream>

#include "util/Panel.h"

// The command line as the window of a procedure: questions go to standard
// error and are answered OK or Yes; a typed text (a password) is one line of
// standard input, never echoed and never logged. Each command gets at most one
// line: a second question is a Cancel, so that a refused password is not
// followed by the next line of input.
class CliPanel : public Panel {
public:
    enum class Typed { NotAsked, Given, Cancelled, TooLong };

    CliPanel(std::istream& in, std::ostream& err) : in_(in), err_(err) {}

    // Before each command: the next question may read a line again.
    void newCommand() { typed_ = Typed::NotAsked; }
    // What became of this command's question.
    Typed typed() const { return typed_; }
    // A command that asks again after a refused password: each question takes
    // the next line (end of input is Cancel).
    void askEveryLine(bool on) { everyLine_ = on; }
    // Reads and drops one line, so that later commands take the lines meant for them.
    void skipLine();
    // The technician's next answer, a line of any content; nothing at end of input.
    std::optional<std::string> answerLine();
    // The technician's answers, for a command that reads them as actions.
    std::istream& input() { return in_; }

    void setText(int id, const std::string& text) override { texts_[id] = text; }
    std::string text(int id) const override;
    void enable(int, bool) override {}
    void setIndicator(int, int) override {}
    void setTitle(int, const std::string&) override {}
    void setCheck(int id, int state) override { checks_[id] = state; }
    int check(int id) const override;
    void addLine(int, const std::string& line) override { err_ << line << "\n"; }
    void clearLines(int) override {}
    void setProgress(int, int) override {}
    void setTimer(int, unsigned, bool) override {}
    void stopTimer(int) override {}
    void close(int, unsigned) override {}
    int ask(const std::string& text, const std::string& caption, unsigned flags) override;
    // Empty line or end of input: Cancel. Longer than a password may be: Cancel, noted as TooLong.
    std::optional<std::string> askText(const std::string& prompt, const std::string& caption, bool secret) override;

private:
    bool readLine(std::string* line, bool secret);

    std::istream& in_;
    std::ostream& err_;
    Typed typed_ = Typed::NotAsked;
    bool everyLine_ = false;
    std::map<int, std::string> texts_;
    std::map<int, int> checks_;
};
