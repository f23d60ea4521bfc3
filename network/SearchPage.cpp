#include "network/SearchPage.h"

#include <cstdio>

#include "network/AddressBook.h"
#include "network/CSearchPageIds.h"
#include "network/Probe.h"
#include "protocol/Transport.h"
#include "shell/ShellState.h"
#include "util/PumpWait.h"

using namespace searchwin;

namespace {
std::string format(const char* f, unsigned a, unsigned b = 0) {
    char line[200];
    std::snprintf(line, sizeof line, f, a, b);
    return line;
}
}  // namespace

SearchPage::SearchPage(std::shared_ptr<Panel> panel, unsigned first, unsigned last, Found found, Probe probe)
    : panel_(std::move(panel)),
      first_(first),
      last_(last),
      foundHook_(std::move(found)),
      probe_(probe ? std::move(probe) : Probe(ProbeStatus)),
      next_(first) {}

bool SearchPage::begin() {
    if (first_ < 1 || last_ > AddressBook::kAddresses || first_ > last_) {
        // Probing nothing, or counting on past 247, would look like a search that found nobody.
        panel_->ask(format("Cannot search the address range %u - %u:\r\nthe first address must not be above the "
                           "last, and both must be in the range [1..247].",
                           first_, last_),
                    "Error", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    panel_->setText(kRange, format("Searching for detectors in the address range: %u - %u", first_, last_));
    panel_->setText(kButton, "Abort");
    started_ = true;
    return true;
}

void SearchPage::tick() {
    if (!started_ || finished_ || inTick_.exchange(true)) return;
    unsigned address;
    {
        std::lock_guard lock(mutex_);
        address = next_;
    }
    if (address > last_) {
        panel_->addLine(kList, "Aborted.");
        panel_->setText(kButton, "Close");
        finish();
        inTick_ = false;
        return;
    }
    Shell().detector.address = address;
    const std::optional<StatusRecord> answer = probe_(address);
    if (finished_) {
        // The window closed during the probe; its page has taken the results already.
        inTick_ = false;
        return;
    }
    lastProbed_ = address;
    if (!answer) {
        panel_->addLine(kList, format("No response from address %u", address));
    } else {
        const std::string model = ProbeModelName(*answer);
        char line[128];
        std::snprintf(line, sizeof line, "Model %s found at address %u", model.c_str(), address);
        panel_->addLine(kList, line);
        {
            std::lock_guard lock(mutex_);
            found_.push_back(address);
        }
        if (foundHook_) foundHook_(address);
    }
    PumpWait(kPauseMs);
    {
        // An abort meanwhile has moved next_ beyond the last address already.
        std::lock_guard lock(mutex_);
        if (next_ == address) next_ = address + 1;
    }
    // The host stays on what answered, or on the start of the range.
    const unsigned current = answer ? address : first_;
    Shell().detector.address = current;
    SelectSlave(current);
    if (address == last_) {
        panel_->addLine(kList, "Done.");
        panel_->setText(kButton, "Close");
        finish();
    }
    inTick_ = false;
}

void SearchPage::pressButton() {
    if (finished_ || !started_) {
        finish();
        panel_->close(addAll_ ? IDYES : IDNO, 0);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (next_ > last_) return;  // aborting already
        next_ = last_ + 1;
    }
    panel_->addLine(kList, "Aborting...");
}

void SearchPage::onFinish(std::function<void()> release) {
    {
        std::lock_guard lock(mutex_);
        if (!finished_) {
            release_ = std::move(release);
            return;
        }
    }
    release();
}

void SearchPage::finish() {
    std::function<void()> release;
    {
        std::lock_guard lock(mutex_);
        if (!finished_.exchange(true)) release = std::move(release_);
    }
    if (release) release();
    if (found().empty() || asked_.exchange(true)) return;
    addAll_ = panel_->ask("Add all detectors found to Network?", "Detectors found:", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::vector<unsigned> SearchPage::found() const {
    std::lock_guard lock(mutex_);
    return found_;
}
