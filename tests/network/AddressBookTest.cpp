// The address book: its states, its list, the "Network" section and the friendly names.
#include <gtest/gtest.h>

#include <fstream>

#include "network/AddressBook.h"
#include "support/TempFolder.h"
#include "util/Profile.h"

namespace {

using List = std::vector<uint8_t>;

TEST(AddressBook, LoadsTheStartUpSelection) {
    struct Case {
        const char* what;
        std::string file;
        List list;
        std::vector<std::pair<unsigned, uint8_t>> states;  // address, state
    } const cases[] = {
        {"no section: nothing selected, every address not found", "[Other]\nk=1\n", {}, {{1, 2}, {5, 2}, {247, 2}}},
        {"the list stops at the first address outside 1..247",
         "[Network]\ndetector0=247\ndetector1=5\ndetector2=248\ndetector3=9\naddress0=1\naddress5=1\naddress8=0\n",
         {247, 5},
         {{247, 1}, {5, 1}, {8, 0}, {9, 2}}},
        {"a state outside 0..2 reads as not found", "[Network]\naddress7=7\naddress3=-1\naddress4=2\n", {},
         {{7, 2}, {3, 2}, {4, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        std::ofstream("Param.ini") << c.file;
        ResetBook();
        Book().setState(9, AddressBook::Selected);
        Book().load("Param.ini");
        EXPECT_EQ(Book().selected(), c.list);
        for (const auto& [address, state] : c.states) EXPECT_EQ(Book().state(address), state) << address;
    }
    TempFolder folder;
    std::ofstream many("Param.ini");
    many << "[Network]\n";
    for (int n = 0; n < 250; ++n) many << "detector" << n << "=" << n % 246 + 1 << "\n";
    many.close();
    Book().load("Param.ini");
    EXPECT_EQ(Book().selected().size(), 247u);
    ResetBook();
}

TEST(AddressBook, SaveReplacesTheSectionWhole) {
    TempFolder folder;
    std::ofstream("Param.ini") << "[VantorD]\niGood=1\n[Network]\ndetector0=9\ndetector1=12\ndetector2=3\nold=1\n"
                                  "address9=1\n[Later]\nk=v\n";
    ResetBook();
    Book().setState(247, AddressBook::Selected);
    Book().setState(5, AddressBook::Selected);
    Book().setState(8, AddressBook::NotFound);
    Book().rebuildList();
    ASSERT_TRUE(Book().saveAsStartup("Param.ini"));
    const auto get = [](const char* section, const std::string& key) {
        return ProfileGetString("Param.ini", section, key, "-");
    };
    const std::pair<const char*, const char*> network[] = {
        {"detector0", "247"}, {"detector1", "5"}, {"detector2", "-"}, {"old", "-"},     {"address0", "1"},
        {"address5", "1"},    {"address8", "2"},  {"address9", "0"},  {"address246", "0"}, {"address247", "-"}};
    for (const auto& [key, value] : network) EXPECT_EQ(get("Network", key), value) << key;
    EXPECT_EQ(get("VantorD", "iGood"), "1");
    EXPECT_EQ(get("Later", "k"), "v");
    // A file that cannot be replaced is left alone.
    EXPECT_FALSE(Book().saveAsStartup("NoFolder/Param.ini"));
    ResetBook();
}

TEST(AddressBook, ListNamesAndFirstAddress) {
    ResetBook();
    Book().noteAnswering(12);
    EXPECT_EQ(Book().first(), 12u);  // the detector shown while nothing is selected
    for (unsigned a : {3u, 247u, 1u, 0u, 248u}) Book().setState(a, AddressBook::Selected);
    Book().setState(2, 7);
    EXPECT_EQ(Book().state(2), AddressBook::NotFound);
    Book().rebuildList();
    EXPECT_EQ(Book().selected(), (List{247, 1, 3}));
    EXPECT_EQ(Book().first(), 247u);

    Book().setName({100, std::string(70, 'x'), 3});
    EXPECT_EQ(Book().nameAt(3)->name.size(), kMaxFriendlyName);
    Book().setName({100, "Stack", 3});  // the same serial number: replaced
    EXPECT_TRUE(Book().moveName(100, 9));
    EXPECT_FALSE(Book().nameAt(3));
    EXPECT_EQ(Book().nameOf(100)->address, 9);
    EXPECT_EQ(Book().nameAt(9)->name, "Stack");
    EXPECT_FALSE(Book().moveName(555, 9));
    ResetBook();
}

}  // namespace
