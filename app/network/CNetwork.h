#pragma once
#include <memory>

#include "app/shell/Pages.h"
#include "network/NetworkPage.h"

// "Detector Network": the addresses to work with, ticked in pages of 50,
// searched a page at a time and saved for this run or as the start-up
// selection. The page inside the main window (template 226), or the modal
// dialog (template 176) whose SAVE also refreshes that page and closes.
class CNetwork : public Page {
public:
    explicit CNetwork(QWidget* parent, bool modal = false);
    ~CNetwork() override;

    // An address box without a text is hidden (beyond the last page's end).
    void setText(int id, const std::string& text) override;
    void onCommand(int id) override;

private:
    void searchPage();

    std::unique_ptr<NetworkPage> logic_;
};
