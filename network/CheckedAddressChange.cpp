// The checked change needs elevation, which the access layer provides.
#include "network/AddressChange.h"
#include "network/Probe.h"
#include "protocol/Elevation.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

AddressChangeOutcome ChangeAddressChecked(unsigned current, unsigned newAddress, Panel& panel,
                                          const std::string& caption) {
    AddressChangeOutcome out;
    if (RequestElevation(2, caption, panel) != kElevationGranted) {
        out.result = AddressChange::NotGranted;
        return out;
    }
    if (auto version = ProbeNewAddress(newAddress, current)) {
        out.result = AddressChange::Occupied;
        out.version = *version;
        return out;
    }
    std::lock_guard lock(LinkLock());
    if (ChangeDetectorAddress(newAddress) != 1) {
        DebugLog("Address change from %u to %u failed...", current, newAddress);
        out.result = AddressChange::Failed;
        return out;
    }
    PumpWait(10);
    DebugLog(SelectSlave(newAddress) ? "modbus_set_slave(%u) success." : "modbus_set_slave(%u) failure...",
             newAddress);
    // Read back: only the detector answering at its new address proves the change.
    const auto answer = ProbeStatus(newAddress);
    if (!answer || answer->header.address != newAddress) {
        DebugLog("Address change from %u to %u failed: no answer at %u...", current, newAddress, newAddress);
        SelectSlave(current);
        out.result = AddressChange::Failed;
        return out;
    }
    out.result = AddressChange::Done;
    return out;
}
