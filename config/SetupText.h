#pragma once
// The setup record as NAME=VALUE lines, one per field, named as the detector's
// register map names them and valued as the setup dialog shows them: what
// `wexcon-cli setup read` prints and `setup burn` takes. Edits go through the
// dialog's own form and checks, so the command line burns exactly what the
// dialog would.
#include <string>
#include <string_view>

#include "config/Levels420.h"
#include "config/SetupForm.h"

// Every field of `record` as the dialog shows it ("Sensitivity=15",
// "Delay=A", "HeaterMode=AUTO", "Param420[Fault]=0.0", "LockState=Not Set",
// "AdminPassword=***"), in record order, one line each. The detection mode
// radios (IROnly, UVOnly, UVIR) are listed for UV/IR models only.
std::string PrintSetupText(const SetupRecord& record, const SetupContext& context);

// Applies the NAME=VALUE lines of `text` (any subset, blank lines and '#'
// comments allowed) onto `form`, which FillSetupForm made, and onto `levels`.
// Lists take their entry's text, checks and radios 0 or 1, edits a number,
// levels a current in mA. address, LockState and the passwords stay the
// detector's: their lines must repeat `current` ("***" for a password), and
// so must a line for a control the dialog does not let the user change here.
// Empty on success, else "FILE:LINE: why".
std::string ApplySetupText(std::string_view text, const std::string& file, const SetupRecord& current,
                           const SetupContext& context, Form& form, Levels420& levels);

// A record from a file, with what the command line keeps from the detector's
// `current` record: address, lock state, passwords and reserved bytes.
SetupRecord KeepDetectorFields(SetupRecord fromFile, const SetupRecord& current);

// What a burn of the edited form sends: ReadSetupForm with all the dialog's
// checks into `working`, then the 4-20 dialog's checks on `levels` (focus
// on "4-20 Settings" when they fail), which then become working's levels.
SetupRead ReadSetupEdit(const Form& form, Levels420 levels, const SetupContext& context, SetupRecord& working);
