#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A detector's friendly name, kept in memory only.
struct FriendlyName {
    uint16_t serial = 0;
    std::string name;  // at most kMaxFriendlyName characters
    uint8_t address = 0;
};
constexpr size_t kMaxFriendlyName = 64;
// What the windows show for an address without a name.
constexpr const char* kNoFriendlyName = "N/A";

// The addresses the user works with: a selection state for each of the 247
// addresses, the list of the selected ones that procedures walk, and the
// friendly names. Windows write it, procedures read it, so every member locks.
class AddressBook {
public:
    enum : uint8_t { NotSelected = 0, Selected = 1, NotFound = 2 };
    static constexpr unsigned kAddresses = 247;
    static constexpr const char* kSection = "Network";

    // 1..247 (247 is entry 0); other addresses read as NotSelected.
    uint8_t state(unsigned address) const;
    // Above NotFound is stored as NotFound; addresses outside 1..247 are ignored.
    void setState(unsigned address, uint8_t state);
    // The list from the states: 247 first when selected, then 1..246 ascending.
    void rebuildList();
    std::vector<uint8_t> selected() const;
    // While the list is empty the status poll keeps the last answering address first.
    void noteAnswering(unsigned address);
    // list[0], or the noted address, or 0.
    unsigned first() const;

    // The start-up selection from the file's "Network" section.
    void load(const std::string& iniFile);
    // Replaces the section with the list and all 247 states; the file is
    // written whole or left as it was.
    bool saveAsStartup(const std::string& iniFile);

    std::optional<FriendlyName> nameAt(unsigned address) const;
    std::optional<FriendlyName> nameOf(uint16_t serial) const;
    // Adds or replaces the record of that serial number (the name cut to 64).
    void setName(const FriendlyName& record);
    // False when no record has that serial number.
    bool moveName(uint16_t serial, unsigned newAddress);

private:
    friend void ResetBook();

    mutable std::mutex mutex_;
    std::array<uint8_t, kAddresses> states_{};  // entry a for address a, entry 0 for 247
    std::vector<uint8_t> list_;
    unsigned noted_ = 0;
    std::vector<FriendlyName> names_;
};

AddressBook& Book();
// Tests start clean.
void ResetBook();
