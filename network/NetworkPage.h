#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "util/Panel.h"

// The texts of the page's controls for a text variant (captions of the
// buttons, the box of 247 and the range caption).
std::vector<std::pair<int, std::string>> NetworkCaptions(int textVariant);

// What "Detector Network" does, without the window: pages of up to 50
// address boxes over the address book's states. The same logic runs the
// page inside the main window and the modal dialog, whose last page stops at
// 246 (247 is then only on its own box). A box without a text is hidden.
// Runs on the interface thread.
class NetworkPage {
public:
    NetworkPage(std::shared_ptr<Panel> panel, bool modal, std::string iniFile);

    // Marks the selected list in the states and shows the first page.
    void init();
    // 0..4; collects the boxes of the page shown first.
    void showPage(int index);
    // A click on any of the page's controls (boxes included). Returns true
    // when SAVE ran in the modal dialog, which then closes.
    bool command(int id);

    // "Search Page": the range to search, every box of the page indeterminate.
    std::pair<unsigned, unsigned> beginSearch();
    // Found addresses become selected and the others searched not found, when
    // the user accepted; addresses beyond `lastProbed` (an aborted search)
    // keep their state. The boxes then show the states again.
    void endSearch(const std::vector<unsigned>& found, unsigned lastProbed, bool accepted);

    int first() const { return first_; }
    int last() const { return last_; }
    bool modal() const { return modal_; }

private:
    void collect();
    void showBoxes();
    void setPageStates(int state);
    int boxOf(unsigned address) const;

    std::shared_ptr<Panel> panel_;
    bool modal_;
    std::string iniFile_;
    int first_ = -1, last_ = -1;
    bool changed_ = true;  // SAVE is enabled until it is used
};
