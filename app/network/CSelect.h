#pragma once
#include <memory>

#include "app/shell/Pages.h"
#include "network/SelectPage.h"

// The Select page: the address field with its spin control, Switch / Set New,
// Locate and the manual BIT. It only shows and reacts; SelectPage decides.
class CSelect : public Page {
public:
    CSelect(QWidget* parent, SelectPage::Hooks hooks);

    void refresh() override;
    std::string helpText(int focusedControl) const override;
    void onCommand(int id) override;
    void onTimer(int id) override;
    // The status poll found the lone detector while locating.
    void located(unsigned address) { logic_->located(address); }
    bool locating() const { return logic_->locating(); }

private:
    std::shared_ptr<SelectPage> logic_;
};
