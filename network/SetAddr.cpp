#include "network/SetAddr.h"

#include <cstdio>
#include <cstdlib>

#include "network/AddressBook.h"
#include "network/AddressChange.h"
#include "network/CSetAddrIds.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "util/Log.h"
#include "util/Profile.h"

using namespace setaddr;

namespace {
constexpr unsigned kExclamation = MB_OK | MB_ICONEXCLAMATION, kInformation = MB_OK | MB_ICONINFORMATION;

std::string format(const char* f, unsigned a, unsigned b = 0, const std::string& c = {}) {
    char out[200];
    std::snprintf(out, sizeof out, f, a, b, c.c_str());
    return out;
}
}  // namespace

SetAddr::SetAddr(std::shared_ptr<Panel> panel, SwitchNow switchNow, Options options)
    : panel_(std::move(panel)), switchNow_(std::move(switchNow)), options_(options) {}

void SetAddr::open() {
    DebugLog("g_hdlg[WND_ADDR:%u] = %u", kWindowSlot, options_.windowId);
    start_ = Shell().detector.address;
    namedOnly_ = ProfileGetInt(kParamIni, kAppSection, "fShowNamedDetectorsOnly", 0) != 0;
    hideFriendly_ = ProfileGetInt(kParamIni, kAppSection, "fHideFriendly", 1) != 0;
    if (hideFriendly_) {
        panel_->setText(kHeader, "Address");
        if (namedOnly_) ProfileWriteString(kParamIni, kAppSection, "fShowNamedDetectorsOnly", "0");
        namedOnly_ = false;
    } else {
        panel_->setText(kHeader, "Address    S/N      Friendly Name");
    }
    panel_->setCheck(kNamedOnly, namedOnly_ ? 1 : 0);
    panel_->setCheck(kSwitchRadio, 1);
    onRadio(kSwitchRadio);
}

std::vector<std::string> SetAddr::lines() const {
    std::vector<std::string> out;
    for (unsigned a = 1; a <= 247; ++a) {
        const auto name = Book().nameAt(a);
        const std::string text = name ? name->name : kNoFriendlyName;
        if (namedOnly_ && text == kNoFriendlyName) continue;
        char line[96];
        if (hideFriendly_)
            std::snprintf(line, sizeof line, "%3u", a);
        else
            std::snprintf(line, sizeof line, "%3u%6u   %s", a, name ? name->serial : 0u, text.c_str());
        out.push_back(line);
    }
    return out;
}

void SetAddr::fill() {
    panel_->clearLines(kCombo);
    const auto all = lines();
    const unsigned current = Shell().detector.address;
    const int wanted = static_cast<int>(current) + options_.step;
    for (const std::string& line : all) {
        panel_->addLine(kCombo, line);
        if (parseAddress(line) == static_cast<unsigned>(wanted)) panel_->setText(kCombo, line);
    }
}

void SetAddr::onNamedOnly(bool checked) {
    namedOnly_ = checked;
    ProfileWriteString(kParamIni, kAppSection, "fShowNamedDetectorsOnly", checked ? "1" : "0");
    fill();
}

void SetAddr::onRadio(int id) {
    if (id == kSwitchRadio) {
        panel_->setText(kAction, "Switch");
        fill();
    } else {
        panel_->setText(kAction, "Set New");
    }
}

void SetAddr::onComboFocus() {
    if (panel_->check(kNewRadio) != 1) return;
    if (const auto a = parseAddress(panel_->text(kCombo))) panel_->setText(kCombo, std::to_string(*a));
}

std::optional<unsigned> SetAddr::parseAddress(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const std::string word = text.substr(first, text.find(' ', first) - first);
    if (word.empty() || word.size() > 5 || word.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return static_cast<unsigned>(std::strtoul(word.c_str(), nullptr, 10));
}

void SetAddr::onAction() {
    const auto address = parseAddress(panel_->text(kCombo));
    if (!address || *address < 1 || *address > 247) {
        DebugLog("Bad address %u:", address.value_or(0));
        DebugLog("Address must be in range [1 - 247]...");
        return;
    }
    if (panel_->check(kNewRadio) == 1)
        newAddress(*address);
    else
        switchTo(*address);
}

void SetAddr::newAddress(unsigned address) {
    if (options_.masterMode) {
        panel_->ask("Address change is not allowed in Master mode...", "Error", kExclamation);
        return;
    }
    if (address == start_) {
        panel_->ask("No address change requested.", "Nothing done:", kInformation);
        return;
    }
    if (const auto taken = Book().nameAt(address); taken && taken->name != kNoFriendlyName) {
        panel_->ask(format("Address %u is already assigned to S/N %u, Name '%s'", address, taken->serial, taken->name),
                    format("Error: switching address %u to %u", start_, address), kInformation);
        return;
    }
    panel_->enable(kAction, false);
    RunProcedure(panel_, [start = start_, address, switchNow = switchNow_](Panel& p) {
        const AddressChangeOutcome o = ChangeAddressChecked(start, address, p);
        p.enable(kAction, true);
        if (o.result == AddressChange::Occupied) {
            p.ask(OccupiedText(o.version, address), "Operation aborted:", kExclamation);
        } else if (o.result == AddressChange::Failed) {
            p.ask(format("Address change from %u to %u failed...", start, address), "Error", kExclamation);
        } else if (o.result == AddressChange::Done) {
            if (const auto name = Book().nameAt(start)) Book().moveName(name->serial, address);
            Shell().detector.address = address;
            switchNow(address);
            p.close(IDOK, 0);
        }
    });
}

void SetAddr::switchTo(unsigned address) {
    if (address != Shell().detector.address) {
        Shell().detector.address = address;
        switchNow_(address);
    }
    if (ProfileGetInt(kParamIni, kAppSection, "slave_addr", -1) == -1 && address != 15 &&
        panel_->ask("Set as startup address?", "Click 'OK' to set", MB_OKCANCEL) == IDOK)
        ProfileWriteString(kParamIni, kAppSection, "slave_addr", std::to_string(address));
    panel_->close(IDOK, 0);
}
