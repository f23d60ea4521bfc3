#pragma once
// What a window's numbered controls show, as plain data: logic fills a Form
// and reads one back, the window (or the command line) maps it onto controls.
#include <map>
#include <string>
#include <vector>

struct ControlState {
    std::string text;                // edits and labels
    int value = 0;                   // combos: the selected index (-1 none); checks and radios: 0/1
    std::vector<std::string> items;  // combos: the entries (empty: keep the entries it has)
    int disabledItem = -1;           // combos: the one entry shown grey and refused
    bool enabled = true;
    bool visible = true;
};

// By control number.
using Form = std::map<int, ControlState>;
