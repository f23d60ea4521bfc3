// "Detector Network" without its window: pages of boxes over the address book.
#include <gtest/gtest.h>

#include "network/AddressBook.h"
#include "network/CNetworkIds.h"
#include "network/NetworkPage.h"
#include "shell/FakePanel.h"
#include "support/TempFolder.h"
#include "util/Profile.h"

using namespace netwin;

namespace {

int box(int index) { return kFirstBox + index; }

struct PageFixture : ::testing::Test {
    void SetUp() override { ResetBook(); }
    void TearDown() override { ResetBook(); }
    NetworkPage& make(bool modal) {
        page = std::make_unique<NetworkPage>(panel, modal, "Net.ini");
        page->init();
        return *page;
    }
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
    std::unique_ptr<NetworkPage> page;
};

TEST_F(PageFixture, PageRanges) {
    struct Case {
        bool modal;
        int index, first, last;
        int lastShownBox;  // the box of `last`; the boxes after it have no text
    } const cases[] = {{false, 0, 1, 50, 49},  {false, 1, 51, 100, 49}, {false, 4, 201, 247, 46},
                       {true, 4, 201, 246, 45}, {true, 2, 101, 150, 49}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.modal ? "modal " : "page ") << c.index);
        NetworkPage& p = make(c.modal);
        p.showPage(c.index);
        EXPECT_EQ(p.first(), c.first);
        EXPECT_EQ(p.last(), c.last);
        EXPECT_EQ(panel->text(box(0)), std::to_string(c.first));
        EXPECT_EQ(panel->text(box(c.lastShownBox)), std::to_string(c.last));
        for (int i = c.lastShownBox + 1; i < kBoxes; ++i) EXPECT_EQ(panel->text(box(i)), "") << i;
        for (int i = 0; i < kPages; ++i) EXPECT_EQ(panel->check(kPageButton + i), i == c.index ? 1 : 0);
    }
}

TEST_F(PageFixture, TheBoxesOf247) {
    // On the page 247 is the 47th box of the last page and box 3167 as well.
    NetworkPage& p = make(false);
    p.showPage(4);
    panel->setCheck(box(46), 1);
    p.command(box(46));
    EXPECT_EQ(panel->check(kBox247), 1);
    p.showPage(0);
    EXPECT_EQ(Book().state(247), AddressBook::Selected);
    panel->setCheck(kBox247, 0);
    p.command(kBox247);
    EXPECT_EQ(Book().state(247), AddressBook::NotSelected);

    // In the modal dialog 247 has only box 3167, collected with every page.
    NetworkPage& m = make(true);
    panel->setCheck(kBox247, 1);
    m.showPage(4);
    EXPECT_EQ(Book().state(247), AddressBook::Selected);
    EXPECT_EQ(Book().state(246), AddressBook::NotSelected);
}

TEST_F(PageFixture, ButtonsAndSave) {
    TempFolder folder;
    Book().setState(4, AddressBook::NotFound);
    Book().setState(5, AddressBook::Selected);
    Book().rebuildList();
    Book().setState(5, AddressBook::NotSelected);  // the list marks it selected again
    NetworkPage& p = make(false);
    EXPECT_EQ(panel->check(box(3)), 2);
    EXPECT_EQ(panel->check(box(4)), 1);

    p.command(kSetPage);
    panel->setCheck(box(9), 0);  // the user unticks 10
    p.command(box(9));
    EXPECT_FALSE(p.command(kSave));
    EXPECT_EQ(Book().selected().size(), 49u);
    EXPECT_TRUE(panel->disabled.count(kSave));
    p.command(kPageButton + 1);  // any click enables SAVE again
    EXPECT_FALSE(panel->disabled.count(kSave));

    p.command(kClearAllPages);
    p.command(kPageButton);
    for (unsigned a = 1; a <= 247; ++a) EXPECT_EQ(Book().state(a), AddressBook::NotSelected) << a;
    EXPECT_EQ(Book().selected().size(), 49u);  // until the next save
    panel->setCheck(box(1), 1);
    p.command(kSaveAsStartup);
    EXPECT_EQ(Book().selected(), (std::vector<uint8_t>{2}));
    EXPECT_EQ(ProfileGetInt("Net.ini", "Network", "detector0", -1), 2);
    EXPECT_TRUE(make(true).command(kSave));  // the modal dialog closes on SAVE
}

TEST_F(PageFixture, SearchResultsMerge) {
    struct Case {
        const char* what;
        bool accepted;
        unsigned lastProbed;
        std::vector<std::pair<unsigned, int>> states;  // address, state and box afterwards
    } const cases[] = {
        {"accepted", true, 50, {{3, 1}, {17, 1}, {20, 2}, {45, 2}, {1, 2}}},
        {"aborted after 40: the rest as before", true, 40, {{3, 1}, {17, 1}, {20, 2}, {45, 1}, {41, 0}}},
        {"declined: nothing changes", false, 50, {{3, 0}, {17, 0}, {20, 1}, {45, 1}, {1, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetBook();
        Book().setState(20, AddressBook::Selected);
        Book().setState(45, AddressBook::Selected);
        NetworkPage& p = make(false);
        EXPECT_EQ(p.beginSearch(), (std::pair<unsigned, unsigned>{1, 50}));
        for (int i = 0; i < kBoxes; ++i) EXPECT_EQ(panel->check(box(i)), 2);
        p.endSearch({3, 17}, c.lastProbed, c.accepted);
        for (const auto& [address, state] : c.states) {
            EXPECT_EQ(Book().state(address), state) << address;
            EXPECT_EQ(panel->check(box(static_cast<int>(address) - 1)), state) << address;
        }
    }
}

}  // namespace
