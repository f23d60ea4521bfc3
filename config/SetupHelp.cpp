// The help texts of the setup page, one per control.
#include "config/SetupForm.h"
#include "config/SetupIds.h"

namespace {

struct Help {
    int control;
    const char* text;
    const char* other = nullptr;  // the wording of text variants other than 0, when it differs
};

using namespace setupwin;  // kNotLocked and kLocked also name LockState values: qualified below

const Help kHelp[] = {
    {kApply,
     "Sends these settings to the detector (F3), then reads them back to check that they were "
     "stored."},
    {kSensitivity,
     "Detection range: the distance at which the detector reports a reference fire. A greyed "
     "entry is not supported by this detector's tier."},
    {kDelay,
     "How long a fire must last before the alarm is signalled, in seconds. \"A\" (anti-flare) "
     "filters "
     "out short flashes."},
    {kAlarmLatch,
     "When checked, an alarm stays signalled after the fire is gone, until the setup is burned "
     "again or a manual BIT is done."},
    {kAutoBit, "When checked, the detector tests itself every \"Interval\" minutes."},
    {kAlarmOnBit, "When checked, the alarm relay operates when a manual BIT succeeds."},
    {kAccessoryOnBit, "When checked, the accessory relay operates when a manual BIT succeeds."},
    {kHeaterMode,
     "Window heater: OFF, AUTO (on below the \"Heater On at\" temperature) or ON (always on)."},
    {kHeaterOnTemp, "In AUTO heater mode, the temperature below which the heater switches on."},
    {kHeaterPower, "Heater power. LOW is not supported in \"Core\" tier."},
    {kFaultCount,
     "How many automatic BITs in a row (0 to 10) must fail before a BIT fault is reported."},
    {kInterval, "Minutes between automatic BITs (1 to 60)."},
    {kPostManBit, "Seconds (3 to 60) the detector keeps showing the result of a manual BIT."},
    {kAccessoryOnWarning, "When checked, the accessory relay operates on a warning (pre-alarm)."},
    {kAccessoryEol,
     "When checked, the accessory relay marks this detector as the end-of-line detector."},
    {kAccessoryFov,
     "When checked, the accessory relay operates when the field-of-view integrity test fails. Not "
     "supported in \"Core\" tier."},
    {kFov,
     "When checked, the detector checks that its window and field of view are clear. Not supported "
     "in "
     "\"Core\" tier."},
    {kReserved, "Reserved: always sent as unchecked."},
    {kExplosion,
     "When checked, the detector also reacts to explosions (events within 50 ms) and then "
     "considers the alarm "
     "delay as null. Not supported in \"Core\" tier.",
     "When checked, the detector also reacts to explosions (events within 50 ms) and then ignores "
     "the alarm "
     "delay. Not supported in \"Core\" tier."},
    {kFast,
     "When checked, the detector decides on at most 2 s of history instead of up to 6 s. Not "
     "supported "
     "in \"Core\" tier."},
    {kIrOnly, "Detect with the IR channel only."},
    {kUvOnly, "Detect with the UV channel only."},
    {kUvir, "Detect with both the UV and the IR channel."},
    {kNotSet, "The lock option has not been chosen yet."},
    {setupwin::kNotLocked, "BIT, burn and update work without a password."},
    {setupwin::kLocked,
     "BIT, burn and update need a password. Burning asks for the new MAINT and ADMIN passwords."},
    {kResetPasswords, "Check to set new MAINT and ADMIN passwords with the next burn."},
    {k420Settings,
     "The 4-20 mA output current for each detector state. New levels are sent with the next burn."},
};

}  // namespace

std::string SetupHelpText(int control, int textVariant) {
    for (const Help& h : kHelp)
        if (h.control == control) return textVariant != 0 && h.other ? h.other : h.text;
    return {};
}
