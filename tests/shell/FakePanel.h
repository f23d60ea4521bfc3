#pragma once
#include <map>
#include <set>
#include <string>

#include "shell/ControlPanel.h"

// A window's controls as a map, for logic tested without a screen.
class FakePanel : public ControlPanel {
public:
    void setText(int id, const std::string& t) override {
        texts[id] = t;
        ++writes[id];
    }
    std::string text(int id) const override {
        auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void enable(int id, bool on) override {
        if (on)
            disabled.erase(id);
        else
            disabled.insert(id);
    }
    void setIndicator(int id, int value) override { indicators[id] = value; }

    std::map<int, std::string> texts;
    std::map<int, int> writes;
    std::map<int, int> indicators;
    std::set<int> disabled;
};
