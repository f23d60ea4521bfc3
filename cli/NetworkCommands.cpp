// search, locate, elevate and set-address: the network page's, the Select
// page's and the password dialog's powers for scripts, on the same core calls.
#include <cstdio>

#include "cli/CliCommands.h"
#include "cli/JsonOut.h"
#include "network/AddressChange.h"
#include "network/Probe.h"
#include "protocol/Elevation.h"
#include "protocol/Transport.h"
#include "util/PumpWait.h"

namespace {
// After each probe the search page waits 100 ms, then the poll clock's next 50 ms tick.
constexpr unsigned kProbePauseMs = 100, kSearchTickMs = 50;
constexpr unsigned kLocateTries = 3, kLocatePauseMs = 100;

std::optional<unsigned> detectorAddress(const std::string& text) {
    const auto v = parseDecimal(text);
    if (!v || *v < 1 || *v > 247) return std::nullopt;
    return static_cast<unsigned>(*v);
}
}  // namespace

int CliSession::search(const std::vector<std::string>& args) {
    const auto first = args.size() == 3 ? detectorAddress(args[1]) : std::nullopt;
    const auto last = args.size() == 3 ? detectorAddress(args[2]) : std::nullopt;
    if (!first || !last || *first > *last) return usageError("search FIRST LAST, 1 <= FIRST <= LAST <= 247");
    const unsigned before = Wire().slave;
    unsigned found = 0;
    err_ << "Searching for detectors in the address range: " << *first << " - " << *last << "\n";
    for (unsigned a = *first; a <= *last; ++a) {
        if (a != *first) PumpWait(kSearchTickMs);
        if (const auto answer = ProbeStatus(a)) {
            const std::string model = ProbeModelName(*answer);
            err_ << "Model " << model << " found at address " << a << "\n";
            if (json_)
                PrintJson(out_, StatusJson(*answer));
            else
                out_ << a << '\t' << model << '\t' << answer->header.serial << std::endl;
            ++found;
        } else {
            err_ << "No response from address " << a << "\n";
        }
        PumpWait(kProbePauseMs);
    }
    err_ << "Done.\n";
    // Later lines of a script talk to the detector they talked to before.
    SelectSlave(before);
    return found ? kCliOk : kCliFailed;
}

int CliSession::locate(const std::vector<std::string>& args) {
    if (args.size() != 1) return usageError("locate takes no arguments");
    const unsigned before = Wire().slave;
    const auto address = LocateDetector(kLocateTries, kLocatePauseMs);
    if (!address) {
        SelectSlave(before);
        err_ << "locate: no single detector answered at the broadcast address\n";
        return kCliFailed;
    }
    // As the Select page does, the host switches to the detector it found.
    SelectSlave(*address);
    if (json_)
        PrintJson(out_, {{"address", *address}});
    else
        out_ << *address << "\n";
    return kCliOk;
}

int CliSession::elevate(const std::vector<std::string>& args) {
    const auto level = args.size() == 2 ? parseDecimal(args[1]) : std::nullopt;
    if (!level || *level < 1 || *level > 2) return usageError("elevate 1 (MAINT) or 2 (ADMIN)");
    panel_.newCommand();
    const int r = RequestElevation(static_cast<int>(*level), "Elevate", panel_);
    const CliPanel::Typed typed = panel_.typed();
    // Each elevate line of a script owns one line of input, asked for or not.
    if (inScript_ && typed == CliPanel::Typed::NotAsked) panel_.skipLine();
    if (typed == CliPanel::Typed::TooLong) return usageError("a password has at most 16 characters");
    if (r == kElevationGranted) {
        out_ << (typed == CliPanel::Typed::Given ? "granted" : "not needed") << "\n";
        return kCliOk;
    }
    if (typed == CliPanel::Typed::Given) out_ << "refused\n";
    else if (typed == CliPanel::Typed::Cancelled) err_ << "elevate: cancelled\n";
    else err_ << "elevate: the detector did not answer\n";
    return kCliFailed;
}

int CliSession::setAddress(const std::vector<std::string>& args) {
    const unsigned current = Wire().slave;
    const auto next = args.size() == 2 ? detectorAddress(args[1]) : std::nullopt;
    if (!next || *next == current) return usageError("Address must be different and in the range [1..247]");
    if (current < 1 || current > 247) return usageError("set-address needs a detector selected (--address 1..247)");
    panel_.newCommand();
    const AddressChangeOutcome outcome = ChangeAddressChecked(current, *next, panel_);
    switch (outcome.result) {
    case AddressChange::Done:
        // ChangeAddressChecked selected the new address: later lines of a
        // script talk to the detector where it now is.
        return kCliOk;
    case AddressChange::NotGranted:
        if (panel_.typed() == CliPanel::Typed::TooLong) return usageError("a password has at most 16 characters");
        err_ << "set-address: ADMIN elevation not granted\n";
        return kCliFailed;
    case AddressChange::Occupied:
        err_ << OccupiedText(outcome.version, *next) << "\n";
        return kCliFailed;
    case AddressChange::Failed:
        break;
    }
    err_ << "set-address: address change from " << current << " to " << *next << " failed\n";
    return kCliFailed;
}
