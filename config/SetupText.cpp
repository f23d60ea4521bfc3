#include "config/SetupText.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "config/SetupIds.h"

namespace {

using namespace setupwin;

enum class Kind { Address, Combo, Check, Edit, Radio, Lock, Password };
struct Field {
    size_t offset;
    int control;  // 0: none
    Kind kind;
};
// In record order; the levels (offsets 22..31) come before LockState.
constexpr Field kFields[] = {
    {0, 0, Kind::Address},
    {1, kSensitivity, Kind::Combo},
    {2, kDelay, Kind::Combo},
    {3, kAlarmLatch, Kind::Check},
    {4, kHeaterMode, Kind::Combo},
    {5, kHeaterOnTemp, Kind::Combo},
    {6, kHeaterPower, Kind::Combo},
    {7, kAlarmOnBit, Kind::Check},
    {8, kAccessoryOnBit, Kind::Check},
    {9, kAutoBit, Kind::Check},
    {10, kFaultCount, Kind::Edit},
    {11, kInterval, Kind::Edit},
    {12, kAccessoryOnWarning, Kind::Check},
    {13, kAccessoryEol, Kind::Check},
    {14, kAccessoryFov, Kind::Check},
    {15, kFov, Kind::Check},
    {16, kReserved, Kind::Check},
    {17, kExplosion, Kind::Check},
    {18, kFast, Kind::Check},
    {19, kIrOnly, Kind::Radio},
    {20, kUvOnly, Kind::Radio},
    {21, kUvir, Kind::Radio},
    {setupfield::LockState, 0, Kind::Lock},
    {33, kPostManBit, Kind::Edit},
    {setupfield::MaintPassword, 0, Kind::Password},
    {setupfield::AdminPassword, 0, Kind::Password},
};

// Disabled only until another field changes (Automatic BIT, the heater mode):
// a text may change them together with that field.
bool followsAnother(int control) {
    return control == kFaultCount || control == kInterval || control == kHeaterOnTemp || control == kHeaterPower;
}

const ControlState& at(const Form& form, int id) {
    static const ControlState none;
    const auto it = form.find(id);
    return it == form.end() ? none : it->second;
}

std::string lockText(uint8_t lock) {
    switch (lock) {
    case ::kLockNotSet: return "Not Set";
    case ::kNotLocked: return "Not Locked";
    case ::kLocked: return "Locked";
    default: return std::to_string(lock);
    }
}

// What the dialog shows for a field.
std::string shown(const Field& f, const Form& form, const SetupRecord& record) {
    const ControlState& c = at(form, f.control);
    switch (f.kind) {
    case Kind::Address: return std::to_string(record.address);
    case Kind::Combo: return c.value >= 0 && size_t(c.value) < c.items.size() ? c.items[size_t(c.value)] : "";
    case Kind::Check:
    case Kind::Radio: return c.value ? "1" : "0";
    case Kind::Edit: return c.text;
    case Kind::Lock: return lockText(record.LockState);
    case Kind::Password: return "***";
    }
    return {};
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Sets the control of `f` from the typed value; the reason when it cannot.
std::string setControl(const Field& f, const std::string& value, ControlState& c) {
    switch (f.kind) {
    case Kind::Combo: {
        const auto it = std::find_if(c.items.begin(), c.items.end(), [&](const auto& i) { return sameText(i, value); });
        if (it != c.items.end()) {
            c.value = static_cast<int>(it - c.items.begin());
            return {};
        }
        std::string list;
        for (const auto& i : c.items) list += (list.empty() ? "" : ", ") + i;
        return "'" + value + "' is not one of " + list;
    }
    case Kind::Check:
    case Kind::Radio:
        if (value != "0" && value != "1") return "'" + value + "' is not 0 or 1";
        c.value = value == "1";
        return {};
    case Kind::Edit:
        if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos)
            return "'" + value + "' is not a number";
        c.text = std::to_string(std::stoul(value));
        return {};
    default:
        return {};
    }
}

}  // namespace

std::string PrintSetupText(const SetupRecord& record, const SetupContext& context) {
    const Form form = FillSetupForm(record, context);
    std::string out;
    for (const Field& f : kFields) {
        if (f.offset == setupfield::LockState)
            for (size_t i = 0; i < LevelCount(context.uvir); ++i)
                out += LevelName(i, context.uvir) + "=" + LevelText(record.Param420[i]) + "\n";
        if (f.kind == Kind::Radio && !context.uvir) continue;
        out += SetupFieldName(f.offset, context.uvir) + "=" + shown(f, form, record) + "\n";
    }
    return out;
}

std::string ApplySetupText(std::string_view text, const std::string& file, const SetupRecord& current,
                           const SetupContext& context, Form& form, Levels420& levels) {
    const Form filled = form;  // as the dialog showed it before any line
    const bool uvir = context.uvir;
    int lineNumber = 0, radioLine = 0;
    std::istringstream in{std::string(text)};
    for (std::string raw; std::getline(in, raw);) {
        ++lineNumber;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        auto bad = [&](const std::string& why) { return file + ":" + std::to_string(lineNumber) + ": " + why; };
        const auto eq = line.find('=');
        if (eq == std::string::npos) return bad("expected NAME=VALUE");
        const std::string name = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));

        size_t level = 0;
        while (level < LevelCount(uvir) && LevelName(level, uvir) != name) ++level;
        if (level < LevelCount(uvir)) {
            const auto v = ParseLevel(value);
            if (!v) return bad(name + ": '" + value + "' is not a current of 0.0 to 25.5 mA");
            levels[level] = *v;
            continue;
        }
        const auto f = std::find_if(std::begin(kFields), std::end(kFields),
                                    [&](const Field& x) { return SetupFieldName(x.offset, uvir) == name; });
        if (f == std::end(kFields)) return bad("unknown field '" + name + "'");
        const std::string before = shown(*f, filled, current);
        switch (f->kind) {
        case Kind::Address:
        case Kind::Lock:
            if (value != before)
                return bad(name + " stays " + before + ": the command line keeps the detector's " +
                           (f->kind == Kind::Lock ? "lock state" : "address"));
            continue;
        case Kind::Password: {
            // Only the stars: a line that takes the password itself would let
            // the command line try guesses against it.
            if (value != before)
                return bad(name + ": the command line keeps the detector's passwords (write ***)");
            continue;
        }
        case Kind::Radio:
            if (!uvir) return bad(name + " applies to UV/IR models only");
            radioLine = lineNumber;
            break;
        default:
            break;
        }
        const std::string why = setControl(*f, value, form[f->control]);
        if (!why.empty()) return bad(name + ": " + why);
        // Grey for good (the display-only Reserved, a Core detector's checks): as shown.
        const bool fixed = !at(filled, f->control).enabled && !followsAnother(f->control);
        if (fixed && shown(*f, form, current) != before) return bad(name + " cannot be changed on this detector");
    }
    if (radioLine && at(form, kIrOnly).value + at(form, kUvOnly).value + at(form, kUvir).value != 1)
        return file + ":" + std::to_string(radioLine) + ": exactly one of IROnly, UVOnly and UVIR must be 1";
    return {};
}

SetupRecord KeepDetectorFields(SetupRecord fromFile, const SetupRecord& current) {
    fromFile.address = current.address;
    fromFile.LockState = current.LockState;
    fromFile.MaintPassword = current.MaintPassword;
    fromFile.AdminPassword = current.AdminPassword;
    fromFile.reserved34 = current.reserved34;
    fromFile.reserved70 = current.reserved70;
    return fromFile;
}

SetupRead ReadSetupEdit(const Form& form, Levels420 levels, const SetupContext& context, SetupRecord& working) {
    SetupRead read = ReadSetupForm(form, context, working);
    if (!read.ok) return read;
    const LevelCheck check = CheckLevels(levels, context.uvir, context.check, context.textVariant);
    if (!check.ok) return {false, check.message, k420Settings};
    std::copy_n(levels.begin(), LevelCount(context.uvir), working.Param420.begin());
    return read;
}
