#include "network/AddressBook.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "util/Profile.h"

namespace {

bool inRange(unsigned address) { return address >= 1 && address <= AddressBook::kAddresses; }
size_t entryOf(unsigned address) { return address % AddressBook::kAddresses; }
// Anything but 0, 1 and 2 (a missing key reads -1) is "not found".
uint8_t clampState(int value) {
    return static_cast<uint8_t>(value < 0 || value > AddressBook::NotFound ? int{AddressBook::NotFound} : value);
}

std::string key(const char* prefix, unsigned n) { return prefix + std::to_string(n); }

// Profile writes replace the file one call at a time; deleting the section and
// writing it anew are two calls. Both run on a copy, which then replaces the
// file in one rename, so a failure halfway leaves the old section in place.
bool replaceSection(const std::string& file, const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& keys) {
    namespace fs = std::filesystem;
    const std::string copy = file + ".section" + std::to_string(::getpid());
    std::error_code ec;
    fs::remove(copy, ec);
    if (fs::exists(file, ec) && !fs::copy_file(file, copy, ec)) return false;
    if (ec) return false;
    if (ProfileDeleteSection(copy, section) && ProfileWriteStrings(copy, section, keys) &&
        std::rename(copy.c_str(), file.c_str()) == 0)
        return true;
    fs::remove(copy, ec);
    return false;
}

}  // namespace

uint8_t AddressBook::state(unsigned address) const {
    if (!inRange(address)) return NotSelected;
    std::lock_guard lock(mutex_);
    return states_[entryOf(address)];
}

void AddressBook::setState(unsigned address, uint8_t state) {
    if (!inRange(address)) return;
    std::lock_guard lock(mutex_);
    states_[entryOf(address)] = std::min<uint8_t>(state, NotFound);
}

void AddressBook::rebuildList() {
    std::lock_guard lock(mutex_);
    list_.clear();
    if (states_[0] == Selected) list_.push_back(static_cast<uint8_t>(kAddresses));
    for (unsigned a = 1; a < kAddresses; ++a)
        if (states_[a] == Selected) list_.push_back(static_cast<uint8_t>(a));
}

std::vector<uint8_t> AddressBook::selected() const {
    std::lock_guard lock(mutex_);
    return list_;
}

void AddressBook::noteAnswering(unsigned address) {
    std::lock_guard lock(mutex_);
    noted_ = address;
}

unsigned AddressBook::first() const {
    std::lock_guard lock(mutex_);
    return list_.empty() ? noted_ : list_.front();
}

void AddressBook::load(const std::string& iniFile) {
    // Read outside the lock: every key is a read of the file.
    std::vector<uint8_t> list;
    for (unsigned n = 0; n < kAddresses; ++n) {
        const int a = ProfileGetInt(iniFile, kSection, key("detector", n), -1);
        if (a < 1 || a > static_cast<int>(kAddresses)) break;
        list.push_back(static_cast<uint8_t>(a));
    }
    std::array<uint8_t, kAddresses> states{};
    for (unsigned e = 0; e < kAddresses; ++e) states[e] = clampState(ProfileGetInt(iniFile, kSection, key("address", e), -1));
    std::lock_guard lock(mutex_);
    list_ = std::move(list);
    states_ = states;
}

bool AddressBook::saveAsStartup(const std::string& iniFile) {
    std::vector<std::pair<std::string, std::string>> keys;
    {
        std::lock_guard lock(mutex_);
        for (size_t n = 0; n < list_.size(); ++n) keys.emplace_back(key("detector", static_cast<unsigned>(n)), std::to_string(list_[n]));
        for (unsigned e = 0; e < kAddresses; ++e) keys.emplace_back(key("address", e), std::to_string(states_[e]));
    }
    return replaceSection(iniFile, kSection, keys);
}

std::optional<FriendlyName> AddressBook::nameAt(unsigned address) const {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(names_.begin(), names_.end(), [&](const FriendlyName& r) { return r.address == address; });
    return it == names_.end() ? std::nullopt : std::optional(*it);
}

std::optional<FriendlyName> AddressBook::nameOf(uint16_t serial) const {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(names_.begin(), names_.end(), [&](const FriendlyName& r) { return r.serial == serial; });
    return it == names_.end() ? std::nullopt : std::optional(*it);
}

void AddressBook::setName(const FriendlyName& record) {
    FriendlyName r = record;
    if (r.name.size() > kMaxFriendlyName) r.name.resize(kMaxFriendlyName);
    std::lock_guard lock(mutex_);
    auto it = std::find_if(names_.begin(), names_.end(), [&](const FriendlyName& n) { return n.serial == r.serial; });
    if (it == names_.end())
        names_.push_back(std::move(r));
    else
        *it = std::move(r);
}

bool AddressBook::moveName(uint16_t serial, unsigned newAddress) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(names_.begin(), names_.end(), [&](const FriendlyName& n) { return n.serial == serial; });
    if (it == names_.end()) return false;
    it->address = static_cast<uint8_t>(newAddress);
    return true;
}

namespace {
AddressBook gBook;
}

AddressBook& Book() { return gBook; }

void ResetBook() {
    std::lock_guard lock(gBook.mutex_);
    gBook.states_.fill(AddressBook::NotSelected);
    gBook.list_.clear();
    gBook.noted_ = 0;
    gBook.names_.clear();
}
