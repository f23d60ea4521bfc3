#include "network/NetworkPage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "network/AddressBook.h"
#include "network/CNetworkIds.h"
#include "util/Log.h"

using namespace netwin;

namespace {
constexpr unsigned kLast = AddressBook::kAddresses;
// The modal dialog's last page ends before 247, which has only its own box there.
constexpr unsigned kPageFirst[kPages] = {1, 51, 101, 151, 201};
}  // namespace

std::vector<std::pair<int, std::string>> NetworkCaptions(int textVariant) {
    const bool short_ = textVariant == 0 || textVariant == 1;
    return {{kPageButton, "1 - 50"},
            {kPageButton + 1, "51 - 100"},
            {kPageButton + 2, "101 - 150"},
            {kPageButton + 3, "151 - 200"},
            {kPageButton + 4, "200 - 247"},
            {kBox247, "247"},
            {kSave, "SAVE"},
            {kClearAllPages, "Clear All Pages"},
            {kSetPage, short_ ? "Select All" : "Set Page"},
            {kClearPage, short_ ? "Clear All" : "Clear Page"},
            {kSaveAsStartup, "Save as Startup"},
            {kSearchPage, "Search Page"},
            {kRangeCaption, short_ ? "Address Range Detection" : "Detector Network"}};
}

NetworkPage::NetworkPage(std::shared_ptr<Panel> panel, bool modal, std::string iniFile)
    : panel_(std::move(panel)), modal_(modal), iniFile_(std::move(iniFile)) {}

int NetworkPage::boxOf(unsigned address) const { return kFirstBox + static_cast<int>(address) - first_; }

void NetworkPage::init() {
    // Nothing shown yet: what the boxes hold now is no selection.
    first_ = last_ = -1;
    for (uint8_t a : Book().selected()) Book().setState(a, AddressBook::Selected);
    showPage(0);
}

void NetworkPage::collect() {
    if (first_ < 0) return;
    for (int a = first_; a <= last_; ++a) Book().setState(static_cast<unsigned>(a), static_cast<uint8_t>(panel_->check(boxOf(a))));
    if (modal_) Book().setState(kLast, static_cast<uint8_t>(panel_->check(kBox247)));
}

void NetworkPage::showPage(int index) {
    if (index < 0 || index >= kPages) return;
    collect();
    first_ = static_cast<int>(kPageFirst[index]);
    last_ = index + 1 < kPages ? first_ + kBoxes - 1 : static_cast<int>(modal_ ? kLast - 1 : kLast);
    for (int i = 0; i < kPages; ++i) panel_->setCheck(kPageButton + i, i == index);
    showBoxes();
}

void NetworkPage::showBoxes() {
    for (int i = 0; i < kBoxes; ++i) {
        const int a = first_ + i;
        panel_->setText(kFirstBox + i, a <= last_ ? std::to_string(a) : std::string());
        if (a <= last_) panel_->setCheck(kFirstBox + i, Book().state(static_cast<unsigned>(a)));
    }
    panel_->setCheck(kBox247, Book().state(kLast));
}

void NetworkPage::setPageStates(int state) {
    for (int a = first_; a <= last_; ++a) {
        Book().setState(static_cast<unsigned>(a), static_cast<uint8_t>(state));
        panel_->setCheck(boxOf(a), state);
    }
    if (last_ == static_cast<int>(kLast)) panel_->setCheck(kBox247, state);
}

bool NetworkPage::command(int id) {
    if (id != kSave && !changed_) {
        changed_ = true;
        panel_->enable(kSave, true);
    }
    if (id >= kPageButton && id < kPageButton + kPages) {
        showPage(id - kPageButton);
    } else if (id == kSetPage || id == kClearPage) {
        setPageStates(id == kSetPage ? AddressBook::Selected : AddressBook::NotSelected);
    } else if (id == kClearAllPages) {
        for (unsigned a = 1; a <= kLast; ++a) Book().setState(a, AddressBook::NotSelected);
        showBoxes();
    } else if (id == kSave || id == kSaveAsStartup) {
        collect();
        Book().rebuildList();
        if (id == kSaveAsStartup) {
            if (!Book().saveAsStartup(iniFile_)) {
                const std::string reason = std::strerror(errno);
                DebugLog("Saving the start-up network to %s failed: %s", iniFile_.c_str(), reason.c_str());
                panel_->ask("Saving the network to " + iniFile_ + " failed:\r\n" + reason, "Error",
                            MB_OK | MB_ICONEXCLAMATION);
            }
            return false;
        }
        changed_ = false;
        panel_->enable(kSave, false);
        return modal_;
    } else if (!modal_ && (id == kBox247 || (last_ == static_cast<int>(kLast) && id == boxOf(kLast)))) {
        // On the page a click on the box of 247 counts at once, and on the
        // last page its two boxes show one state.
        const int state = panel_->check(id);
        Book().setState(kLast, static_cast<uint8_t>(state));
        if (last_ == static_cast<int>(kLast)) panel_->setCheck(id == kBox247 ? boxOf(kLast) : kBox247, state);
    }
    return false;
}

std::pair<unsigned, unsigned> NetworkPage::beginSearch() {
    collect();
    for (int a = first_; a <= last_; ++a) panel_->setCheck(boxOf(a), AddressBook::NotFound);
    return {static_cast<unsigned>(first_), static_cast<unsigned>(last_)};
}

void NetworkPage::endSearch(const std::vector<unsigned>& found, unsigned lastProbed, bool accepted) {
    if (accepted) {
        for (int a = first_; a <= last_ && a <= static_cast<int>(lastProbed); ++a) {
            const bool answered = std::find(found.begin(), found.end(), static_cast<unsigned>(a)) != found.end();
            Book().setState(static_cast<unsigned>(a), answered ? AddressBook::Selected : AddressBook::NotFound);
        }
    }
    showBoxes();
}
