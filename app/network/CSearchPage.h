#pragma once
#include <memory>

#include "app/kit/Dialog.h"
#include "network/SearchPage.h"
#include "shell/PollClock.h"

// "Search for Detectors in the RS485 LAN": probes an address range, one
// address per tick of the poll clock (or of its own timer when no clock
// runs), while the interface stays live.
class CSearchPage : public Dialog {
public:
    CSearchPage(unsigned first, unsigned last, SearchPage::Found found, QWidget* parent = nullptr);

    // A refused range ends at once (Rejected); otherwise the search runs
    // until the user closes the window.
    int exec() override;
    void done(int result) override;
    void onCommand(int id) override;
    void onTimer(int id) override;

    const SearchPage& search() const { return *logic_; }

private:
    std::shared_ptr<SearchPage> logic_;
};
