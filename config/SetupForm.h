#pragma once
// The setup dialog's controls as logic sees them: the lists by model and
// units, filling them from a record, and reading them back into a record
// with every check. Used by the window and, unchanged, by the command line,
// so both send exactly the same bytes.
#include <string>

#include "protocol/records/SetupRecord.h"
#include "util/Form.h"

// What the dialog knows besides the record.
struct SetupContext {
    bool uvir = false;         // UV/IR model: three sensitivities, ten levels, mode radios
    bool usUnits = false;      // feet and degrees Fahrenheit
    bool core = false;         // "Core" tier
    bool lb = false;           // LB flag (with core: the last UV/IR sensitivity is refused)
    bool check = true;         // Param.ini fCheck: range and tier checks
    bool lockPrivilege = false;
    int textVariant = 1;       // iGood
};

// Param.ini "VantorD" fCheck, fCore, fLB, LockPrivilege, with the Core and LB
// flags taken from the answer's type byte (header byte 5) where they read -1.
// `typeByte` < 0: none known (the record came from the file): both flags clear
// unless set in Param.ini. Units and text variant are the host's (Shell().host).
SetupContext LoadSetupContext(const std::string& iniPath, bool uvir, int typeByte);

// Every control of the dialog, lists included, filled from `record`. Text is
// given only to the edits and the unit labels: buttons keep their captions.
Form FillSetupForm(const SetupRecord& record, const SetupContext& context);

// The outcome of reading the controls.
struct SetupRead {
    bool ok = true;
    std::string message;  // shown with caption "Error" when !ok
    int focus = 0;        // the control to give the focus (its text selected)
};
// Reads `form` into `working`, field by field in the dialog's order; stops at
// the first failing check (fields before it are already updated). The
// 4-20 levels are not read here: they come from the 4-20 dialog.
SetupRead ReadSetupForm(const Form& form, const SetupContext& context, SetupRecord& working);

// After a user change, what else changes: the heater rule, Fault Count and
// Interval following "Automatic BIT", "Reset Passwords" shown only with
// "Locked" (and unchecked when hidden). Returns the controls whose state
// changed, without their entries (a combo keeps the ones it has).
Form FollowSetupForm(const Form& form);

// The pop-up beside "Explosion" or "Alarm Delay" when both are set (empty
// when it is not due).
std::string ExplosionDelayNote(const Form& form, int textVariant);

// F1 on the page: the help text of a control (empty: none).
std::string SetupHelpText(int control, int textVariant);
