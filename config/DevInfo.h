#pragma once
// The device-information window's logic: the record between the detector and
// the "Device Info" dialog and page, its controls as a Form (fill, read back
// with every check), the help texts, and the burn with its setup read, ADMIN
// prompt and compare. The read and the burn exchange with the detector: they
// run on the link worker inside a procedure (or on the command line's thread).
#include <array>
#include <cstdint>
#include <string>

#include "protocol/records/DevInfoRecord.h"
#include "util/Form.h"
#include "util/Panel.h"

// The manufacturer list: three fixed codes, then "??".
constexpr std::array<uint8_t, 3> kManufacturerCodes{0x60, 0x61, 0x62};
constexpr const char* kUnknownManufacturer = "??";

// What the window knows of the detector it read.
struct DevInfoState {
    DevInfoBytes record{};  // as last read or verified: the base of every burn
    uint32_t serial = 0;    // the answer header's serial number
    bool uvir = false;      // by the answer's type byte: the device revision
    bool loaded = false;
};
DevInfoState DevInfoNow();
void ResetDevInfoState();

enum class DevInfoOpened { NoDetector, NoAnswer, Read };
// Opening: nothing without a detector answered since start ("Burn" disabled);
// D_DEVINFO2HOST with three tries while nothing answers. On success the state
// is set, "Burn" enabled and the window's fill timer started.
DevInfoOpened OpenDevInfo(Panel& panel);

// Every control, filled from `state` (text limits: Tag 8, Long Tag 32,
// Descriptor 16, Message 32; device revision 2 for UV/IR, else 1).
Form FillDevInfoForm(const DevInfoState& state);

// The text limit of an edit (0: not a limited text field).
unsigned DevInfoTextLimit(int control);

struct DevInfoRead {
    bool ok = true;
    std::string message;  // shown with caption "Error" when not empty
    unsigned flags = 0;   // of that box
    int focus = 0;        // the control to focus, its text selected
    Form corrected;       // a text field with its refused characters shown as "?"
};
// Reads the controls into `record` (the record as read) in the window's order:
// tag, long tag, manufacturer, model, descriptor, message, poll address,
// preambles, date. Texts are cut to their limits first; a manufacturer or model
// that does not parse keeps the value read. Stops at the first failing check.
DevInfoRead ReadDevInfoForm(const Form& form, DevInfoBytes& record);

enum class DevInfoBurnResult {
    Cancelled,  // no ADMIN password: nothing sent
    NoSetup,    // the setup read failed: nothing sent
    Failed,     // no answer, a refusal or a short answer
    Mismatch,   // the stored record differs from the one sent
    Verified,
};
// Burns `edited` (from ReadDevInfoForm): the setup read for the lock state,
// the ADMIN prompt when locked, D_DEVINFO2DET, and the compare with the
// detector's bytes 98..100 taken over. Verified: the state's record becomes
// the stored one. "Burn" shows "Burning..." meanwhile.
DevInfoBurnResult BurnDevInfo(Panel& panel, const DevInfoBytes& edited);

// F1: the help text of a control (empty: none).
std::string DevInfoHelpText(int control);
