#include "network/SelectPage.h"

#include <cstdio>

#include "network/AddressBook.h"
#include "network/AddressChange.h"
#include "network/CSelectIds.h"
#include "network/SetAddr.h"
#include "protocol/Elevation.h"
#include "protocol/Transport.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/PumpWait.h"

using namespace selectpage;

namespace {

constexpr unsigned kOk = MB_OK | MB_ICONEXCLAMATION;

}  // namespace

SelectPage::SelectPage(std::shared_ptr<Panel> panel, Hooks hooks) : panel_(std::move(panel)), hooks_(std::move(hooks)) {}

std::string SelectPage::locateCaption(bool searching) {
    const bool search = Shell().host.textVariant == 2;
    if (searching) return search ? "S E A R C H I N G . . ." : "L O C A T I N G . . .";
    return search ? "Search" : "Locate";
}

void SelectPage::refresh() {
    if (!locating_) panel_->setText(kAddress, std::to_string(Shell().detector.address.load()));
}

void SelectPage::onRadio(int id) { panel_->setText(kAction, id == kNewRadio ? "Set New" : "Switch"); }

void SelectPage::onAction() {
    const unsigned number = SetAddr::parseAddress(panel_->text(kAddress)).value_or(0);
    const bool newAddress = panel_->check(kNewRadio) == 1;
    Shell().link().post([] { Wire().lastResponder = 255; });
    if (!newAddress) {
        hooks_.select(number >= 1 && number <= 247 ? number : 1, true);
    } else if (const unsigned current = Shell().detector.address; number >= 1 && number <= 247 && number != current) {
        RunProcedure(panel_, [current, number](Panel& p) {
            const AddressChangeOutcome o = ChangeAddressChecked(current, number, p);
            if (o.result == AddressChange::Occupied) {
                p.setTimer(kBurningTimer, 1000, true);
                p.ask(OccupiedText(o.version, number), "Operation aborted:", kOk);
            } else if (o.result == AddressChange::Failed) {
                char b[96];
                std::snprintf(b, sizeof b, "Address change from %u to %u failed...", current, number);
                p.ask(b, "Error", kOk);
            } else if (o.result == AddressChange::Done) {
                Shell().detector.address = number;
                if (const auto name = Book().nameAt(current)) Book().moveName(name->serial, number);
                p.enable(kAction, false);
                p.setText(kAction, "Burning");
                p.setTimer(kBurningTimer, 1000, true);
            }
        });
    } else {
        panel_->ask("Address must be different and in the range [1..247]", "Error", kOk);
    }
    panel_->setCheck(kNewRadio, 0);
    panel_->setCheck(kSwitchRadio, 1);
}

void SelectPage::onBurningTimer() {
    panel_->stopTimer(kBurningTimer);
    panel_->setCheck(kNewRadio, 0);
    panel_->setCheck(kSwitchRadio, 1);
    panel_->enable(kAction, true);
    panel_->setText(kAction, "Switch");
}

void SelectPage::onSpinReleased() {
    if (panel_->check(kSwitchRadio) != 1) return;
    const unsigned number = SetAddr::parseAddress(panel_->text(kAddress)).value_or(0);
    if (number >= 1 && number <= 247 && number != hooks_.lastResponder()) hooks_.select(number, false);
}

void SelectPage::setLocateState(bool on) {
    locating_ = on;
    panel_->setCheck(kLocate, on ? 1 : 0);
    panel_->setText(kLocate, locateCaption(on));
    for (int id : {kSwitchRadio, kNewRadio, kAddress, kSpin, kAction, kBit}) panel_->enable(id, !on);
}

void SelectPage::onLocate(bool checked) {
    if (checked == locating_) return;
    if (checked) beforeLocate_ = Shell().detector.address;
    setLocateState(checked);
    // Given up without an answer, the host goes back to the detector it had:
    // left at 0 every later command would be a broadcast.
    const unsigned address = checked ? 0 : beforeLocate_;
    Shell().detector.address = address;
    hooks_.switchNow(address);
}

void SelectPage::located(unsigned address) {
    if (!locating_) return;
    setLocateState(false);
    Shell().detector.address = address;
    hooks_.switchNow(address);
    panel_->setText(kAddress, std::to_string(address));
}

void SelectPage::onBit() {
    RunProcedure(panel_, [](Panel& p) { ManualBit(p); });
}

void ManualBit(Panel& panel) {
    if (RequestElevation(1, "Perform Manual BIT", panel) != kElevationGranted) {
        panel.ask("Requesting MAINT elevation failed:\r\n\r\nBIT request aborted...", "Error", kOk);
        return;
    }
    std::lock_guard lock(LinkLock());
    ModbusSet(0, nullptr, Wire().ctx, D_MANUAL_BIT);
    PumpWait(50);
    modbus_flush(Wire().ctx);
}
