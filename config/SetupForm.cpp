#include "config/SetupForm.h"

#include <charconv>
#include <optional>
#include <vector>

#include "config/SetupIds.h"
#include "shell/ShellState.h"
#include "util/Profile.h"

// The record's LockState names clash with the lock radios' numbers.
namespace w = setupwin;

namespace {

using List = std::vector<std::string>;

const List kDelays{"0", "A", "3", "5", "10", "15", "20", "30"};
const List kHeaterModes{"OFF", "AUTO", "ON"};
const List kHeaterPowers{"LOW", "HIGH"};
constexpr int kHeaterOff = 0, kHeaterAuto = 1;
constexpr int kHeaterOnLast = 6;  // the last index of the heater-on list

List SensitivityList(const SetupContext& c) {
    if (c.uvir) return c.usUnits ? List{"10", "50", "93"} : List{"3", "15", "28"};
    return c.usUnits ? List{"10", "50", "100", "150", "216", "300"}
                     : List{"3", "15", "30", "45", "65", "90"};
}

// Index i stands for 5 × i degrees Celsius, shown in the host's units.
List HeaterOnList(bool usUnits) {
    List list;
    for (int i = 0; i <= kHeaterOnLast; ++i)
        list.push_back(std::to_string(usUnits ? 32 + 9 * i : 5 * i));
    return list;
}

// The nearest entry; a detector may hold any temperature.
int HeaterOnIndex(uint8_t celsius) {
    int index = 0;
    for (int bound : {3, 7, 13, 17, 23, 27}) index += celsius >= bound;
    return index;
}

// The entry a "Core" tier detector refuses (-1: none).
int RefusedSensitivity(const SetupContext& c) {
    const bool tier = c.uvir ? c.core && c.lb : c.core;
    return tier ? int(SensitivityList(c).size()) - 1 : -1;
}
int RefusedPower(const SetupContext& c) { return c.core ? 0 : -1; }

int ValueOf(const Form& form, int id, int missing = 0) {
    const auto it = form.find(id);
    return it == form.end() ? missing : it->second.value;
}
bool Checked(const Form& form, int id) { return ValueOf(form, id) != 0; }

// The selected index while it is one of the entries the window shows (or,
// when the form carries none, of the list this context builds).
std::optional<int> Selected(const Form& form, int id, size_t listSize) {
    const auto it = form.find(id);
    if (it == form.end()) return std::nullopt;
    const size_t n = it->second.items.empty() ? listSize : it->second.items.size();
    const int v = it->second.value;
    if (v < 0 || size_t(v) >= n) return std::nullopt;
    return v;
}

std::optional<uint8_t> ParseByte(const Form& form, int id) {
    const auto it = form.find(id);
    if (it == form.end()) return std::nullopt;
    const std::string& text = it->second.text;
    const size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    unsigned v = 0;
    const char* end = text.data() + last + 1;
    const auto [p, ec] = std::from_chars(text.data() + first, end, v);
    if (ec != std::errc() || p != end || v > 255) return std::nullopt;
    return uint8_t(v);
}

// The states that follow other controls: heater rule, BIT edits, "Reset
// Passwords". A hidden "Reset Passwords" is also unchecked, so that it can
// never force a burn the user cannot see the reason for. Controls the form
// does not hold are left out.
void ApplyFollowRules(Form& f) {
    const auto follow = [&f](int id, auto change) {
        if (const auto it = f.find(id); it != f.end()) change(it->second);
    };
    const int heater = ValueOf(f, w::kHeaterMode);
    const bool autoBit = Checked(f, w::kAutoBit), locked = Checked(f, w::kLocked);
    follow(w::kHeaterOnTemp, [&](ControlState& s) { s.enabled = heater == kHeaterAuto; });
    follow(w::kHeaterPower, [&](ControlState& s) { s.enabled = heater != kHeaterOff; });
    follow(w::kFaultCount, [&](ControlState& s) { s.enabled = autoBit; });
    follow(w::kInterval, [&](ControlState& s) { s.enabled = autoBit; });
    follow(w::kResetPasswords, [&](ControlState& s) {
        s.visible = locked;
        if (!locked) s.value = 0;
    });
}

SetupRead Fail(int focus, std::string message) { return {false, std::move(message), focus}; }

SetupRead NotSelected(int id, const char* name) {
    return Fail(id, std::string("Please select a value for \"") + name + "\"");
}

SetupRead NotAByte(int id, const char* name) {
    return Fail(id, std::string("\"") + name + "\" must be a whole number from 0 to 255");
}

}  // namespace

SetupContext LoadSetupContext(const std::string& iniPath, bool uvir, int typeByte) {
    const char* section = "VantorD";
    const auto flag = [&](const char* key, bool fromType) {
        const int v = ProfileGetInt(iniPath, section, key, -1);
        return v == -1 ? typeByte >= 0 && fromType : v != 0;
    };
    SetupContext c;
    c.uvir = uvir;
    c.usUnits = Shell().host.usUnits != 0;
    c.textVariant = Shell().host.textVariant;
    c.check = ProfileGetInt(iniPath, section, "fCheck", 1) != 0;
    c.core = flag("fCore", (typeByte & 0xF0) == 0x80);
    c.lb = flag("fLB", (typeByte & 0x0F) == 2);
    c.lockPrivilege = ProfileGetInt(iniPath, section, "LockPrivilege", 0) != 0;
    return c;
}

Form FillSetupForm(const SetupRecord& r, const SetupContext& c) {
    Form f;
    const auto combo = [&](int id, List items, int value, int refused = -1) {
        ControlState& s = f[id];
        s.value = value < int(items.size()) ? value : 0;
        s.items = std::move(items);
        s.disabledItem = refused;
    };
    combo(w::kSensitivity, SensitivityList(c), r.Sensitivity, RefusedSensitivity(c));
    combo(w::kDelay, kDelays, r.Delay);
    combo(w::kHeaterMode, kHeaterModes, r.HeaterMode);
    combo(w::kHeaterOnTemp, HeaterOnList(c.usUnits), HeaterOnIndex(r.HeaterOnTemp));
    combo(w::kHeaterPower, kHeaterPowers, c.core ? 1 : r.HeaterPower, RefusedPower(c));
    f[w::kDistanceUnit].text = c.usUnits ? "ft" : "m";
    f[w::kTemperatureUnit].text = c.usUnits ? "° F" : "° C";

    const auto check = [&](int id, uint8_t field, bool enabled = true) {
        f[id].value = enabled && field != 0;
        f[id].enabled = enabled;
    };
    check(w::kAccessoryOnWarning, r.EnableAccessory);
    check(w::kAccessoryOnBit, r.AccessoryOnBIT);
    check(w::kAccessoryEol, r.EOL);
    check(w::kAlarmLatch, r.AlarmLatch);
    check(w::kAutoBit, r.EnableAutoBIT);
    check(w::kAlarmOnBit, r.AlarmOnBIT);
    for (const auto& [id, field] :
         {std::pair{w::kAccessoryFov, r.AccessoryOnFOV}, std::pair{w::kFov, r.EnableFOV},
          std::pair{w::kExplosion, r.Explosion}, std::pair{w::kFast, r.FastDetect}})
        check(id, field, !c.core);
    f[w::kReserved].value = r.Reserved != 0;
    f[w::kReserved].enabled = false;  // shown, never written but as 0

    f[w::kFaultCount].text = std::to_string(r.BitFaultCount);
    f[w::kInterval].text = std::to_string(r.BitPeriod);
    f[w::kPostManBit].text = std::to_string(r.post_manbit_duration);

    // IR models have no channels to choose: their radios stay empty and grey.
    int mode = 0;
    if (c.uvir)
        mode = c.core     ? w::kUvir
               : r.IROnly ? w::kIrOnly
               : r.UVOnly ? w::kUvOnly
               : r.UVIR   ? w::kUvir
                          : 0;
    for (int id : {w::kIrOnly, w::kUvOnly, w::kUvir}) {
        f[id].value = id == mode;
        f[id].enabled = c.uvir && (!c.core || id == w::kUvir);
    }

    const int lock = r.LockState == kLockNotSet  ? w::kNotSet
                     : r.LockState == kNotLocked ? w::kNotLocked
                     : r.LockState == kLocked    ? w::kLocked
                                                 : 0;
    for (int id : {w::kNotSet, w::kNotLocked, w::kLocked, w::kResetPasswords}) {
        f[id].value = id == lock;
        f[id].enabled = !c.lockPrivilege;
    }
    ApplyFollowRules(f);
    f[w::kApply].enabled = false;
    return f;
}

SetupRead ReadSetupForm(const Form& form, const SetupContext& c, SetupRecord& r) {
    const List sensitivities = SensitivityList(c);
    const auto sensitivity = Selected(form, w::kSensitivity, sensitivities.size());
    if (!sensitivity) return NotSelected(w::kSensitivity, "Sensitivity");
    r.Sensitivity = uint8_t(*sensitivity);
    if (c.check && *sensitivity == RefusedSensitivity(c))
        return Fail(w::kSensitivity,
                    "Sensitivity " + sensitivities.back() + " not supported in \"Core\" tier...");

    const auto delay = Selected(form, w::kDelay, kDelays.size());
    if (!delay) return NotSelected(w::kDelay, "Alarm Delay");
    r.Delay = uint8_t(*delay);
    const auto heater = Selected(form, w::kHeaterMode, kHeaterModes.size());
    if (!heater) return NotSelected(w::kHeaterMode, "Heater Mode");
    r.HeaterMode = uint8_t(*heater);

    const auto power = Selected(form, w::kHeaterPower, kHeaterPowers.size());
    if (!power) return NotSelected(w::kHeaterPower, "Heater Power");
    if (c.check && *power == RefusedPower(c))
        return Fail(w::kHeaterPower, "'Low' power not supported in \"Core\" tier...");
    r.HeaterPower = uint8_t(*power);

    auto heaterOn = Selected(form, w::kHeaterOnTemp, kHeaterOnLast + 1);
    if (!heaterOn) return NotSelected(w::kHeaterOnTemp, "Heater On at");
    if (c.check && *heaterOn > kHeaterOnLast) heaterOn = 0;
    r.HeaterOnTemp = uint8_t(5 * *heaterOn);

    r.AlarmLatch = Checked(form, w::kAlarmLatch);
    r.EnableAccessory = Checked(form, w::kAccessoryOnWarning);
    r.EnableAutoBIT = Checked(form, w::kAutoBit);
    r.AlarmOnBIT = Checked(form, w::kAlarmOnBit);
    r.AccessoryOnBIT = Checked(form, w::kAccessoryOnBit);
    r.EOL = Checked(form, w::kAccessoryEol);
    r.AccessoryOnFOV = Checked(form, w::kAccessoryFov);
    r.EnableFOV = Checked(form, w::kFov);
    r.Reserved = 0;

    // No lock radio selected (an unknown state was shown): the state stays.
    if (Checked(form, w::kNotSet))
        r.LockState = kLockNotSet;
    else if (Checked(form, w::kNotLocked))
        r.LockState = kNotLocked;
    else if (Checked(form, w::kLocked))
        r.LockState = kLocked;

    const auto faults = ParseByte(form, w::kFaultCount);
    if (!faults) return NotAByte(w::kFaultCount, "Fault Count");
    if (c.check && *faults > 10)
        return Fail(w::kFaultCount, "Consecutive BIT fault may not be > 10");
    r.BitFaultCount = *faults;
    const auto interval = ParseByte(form, w::kInterval);
    if (!interval) return NotAByte(w::kInterval, "Interval");
    if (c.check && (*interval < 1 || *interval > 60))
        return Fail(w::kInterval, "BIT interval may not be < 1 nor > 60");
    r.BitPeriod = *interval;
    const auto post = ParseByte(form, w::kPostManBit);
    if (!post) return NotAByte(w::kPostManBit, "Post Manual BIT Indication Duration");
    if (c.check && (*post < 3 || *post > 60))
        return Fail(w::kPostManBit,
                    "Post manBIT duration may not be less than 3 or greater than 60 seconds.");
    r.post_manbit_duration = *post;

    r.Explosion = Checked(form, w::kExplosion);
    r.FastDetect = Checked(form, w::kFast);
    if (c.uvir) {
        r.IROnly = Checked(form, w::kIrOnly);
        r.UVOnly = Checked(form, w::kUvOnly);
        r.UVIR = Checked(form, w::kUvir);
    }
    return {};
}

Form FollowSetupForm(const Form& form) {
    Form now = form;
    ApplyFollowRules(now);
    Form changed;
    for (const auto& [id, s] : now) {
        const ControlState& was = form.at(id);
        if (was.enabled == s.enabled && was.visible == s.visible && was.value == s.value) continue;
        changed[id] = s;
        changed[id].items.clear();  // the window keeps its entries
    }
    return changed;
}

std::string ExplosionDelayNote(const Form& form, int textVariant) {
    if (!Checked(form, w::kExplosion) || ValueOf(form, w::kDelay) <= 0) return {};
    return textVariant == 0
               ? "When “Explosion” is selected, the detector will consider 'Alarm Delay' as "
                 "null if explosion detection conditions are met.\r\n"
               : "When “Explosion” is selected and explosion detection conditions are met, the "
                 "detector will ignore the 'Alarm Delay' setting.\r\n";
}
