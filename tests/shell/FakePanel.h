#pragma once
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "util/Panel.h"

// The one stand-in for a window: what logic writes is kept by control
// number, questions take the next prepared answer. Safe from any thread.
class FakePanel : public Panel {
public:
    void setText(int id, const std::string& t) override {
        std::lock_guard lock(m);
        texts[id] = t;
    }
    std::string text(int id) const override {
        std::lock_guard lock(m);
        auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void enable(int id, bool on) override {
        std::lock_guard lock(m);
        if (on)
            disabled.erase(id);
        else
            disabled.insert(id);
    }
    void setIndicator(int id, int value) override {
        std::lock_guard lock(m);
        indicators[id] = value;
    }
    void setTitle(int window, const std::string& t) override {
        std::lock_guard lock(m);
        titles[window].push_back(t);
    }
    void setCheck(int id, int state) override {
        std::lock_guard lock(m);
        checks[id] = state;
    }
    int check(int id) const override {
        std::lock_guard lock(m);
        auto it = checks.find(id);
        return it == checks.end() ? 0 : it->second;
    }
    void addLine(int id, const std::string& line) override {
        std::lock_guard lock(m);
        lists[id].push_back(line);
    }
    void clearLines(int id) override {
        std::lock_guard lock(m);
        lists[id].clear();
    }
    void setProgress(int id, int percent) override {
        std::lock_guard lock(m);
        progress[id] = percent;
    }
    void setTimer(int id, unsigned, bool) override {
        std::lock_guard lock(m);
        timers.insert(id);
    }
    void stopTimer(int id) override {
        std::lock_guard lock(m);
        timers.erase(id);
    }
    void close(int result, unsigned) override {
        std::lock_guard lock(m);
        closedWith = result;
    }
    int ask(const std::string& text, const std::string& caption, unsigned) override {
        std::lock_guard lock(m);
        questions.push_back(caption + ": " + text);
        if (answers.empty()) return IDOK;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> askText(const std::string& prompt, const std::string& caption,
                                       bool secret) override {
        std::lock_guard lock(m);
        questions.push_back(prompt);
        captions.push_back(caption + (secret ? "" : " (plain)"));
        if (typed.empty()) return std::nullopt;
        std::string t = typed.front();
        typed.pop_front();
        return t;
    }

    int progressOf(int id) const {
        std::lock_guard lock(m);
        auto it = progress.find(id);
        return it == progress.end() ? 0 : it->second;
    }

    mutable std::mutex m;
    std::map<int, std::string> texts;
    std::map<int, int> indicators;
    std::map<int, int> checks;
    std::map<int, std::vector<std::string>> titles;  // by window, oldest first
    std::map<int, std::vector<std::string>> lists;
    std::map<int, int> progress;
    std::set<int> disabled, timers;
    int closedWith = 0;
    std::vector<std::string> questions;
    std::vector<std::string> captions;  // of askText(), " (plain)" when not secret
    std::deque<int> answers;          // for the next ask() calls, IDOK when none
    std::deque<std::string> typed;    // for the next askText() calls, Cancel when none
};
