#pragma once
#include <optional>
#include <string>

#include "util/Panel.h"

// Giving the connected detector a new address without ever making a second
// copy of an address: shared by the Select page, the address dialog and the
// command line. Call on the link worker (or the command line's thread).

// Asks at `newAddress` for the version text (32 input registers from 256),
// then selects `current` again. Nothing when nothing answered there; any
// answer, even an exception or a reply of the wrong size, is a detector. The
// text is cut at the first zero and at the bytes that arrived.
std::optional<std::string> ProbeNewAddress(unsigned newAddress, unsigned current);

enum class AddressChange { Done, NotGranted, Occupied, Failed };
struct AddressChangeOutcome {
    AddressChange result = AddressChange::Failed;
    std::string version;  // of the detector found at the new address
};

// ADMIN elevation (prompting through `panel`), the probe of the new address,
// the change, which must report success, and the new address selected and
// read back (the detector's status answer from there). On
// anything but Done the current address stays selected.
AddressChangeOutcome ChangeAddressChecked(unsigned current, unsigned newAddress, Panel& panel,
                                          const std::string& caption = "Change Address");

// "A detector, version '%s', already exists at address %u..."
std::string OccupiedText(const std::string& version, unsigned address);
