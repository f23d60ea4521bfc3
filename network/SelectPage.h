#pragma once
#include <functional>
#include <memory>
#include <string>

#include "util/Panel.h"

// The Select page's logic: switch the host to an address, give the connected
// detector a new one, locate a lone detector by broadcast, start a manual
// BIT. Called on the interface thread; every exchange runs as a procedure.
class SelectPage {
public:
    struct Hooks {
        // The main window's address operation (at once, or after the quiet time).
        std::function<void(unsigned address, bool atOnce)> select;
        // Makes an address current on the link at once, without the arrows' label.
        std::function<void(unsigned address)> switchNow;
        // The address of the last answer the poll saw (255 none).
        std::function<unsigned()> lastResponder;
    };

    SelectPage(std::shared_ptr<Panel> panel, Hooks hooks);

    void refresh();                // the current address in the field
    void onAction();               // button 3027
    void onRadio(int id);          // 3029 or 3030
    void onSpinReleased();
    void onLocate(bool checked);   // check button 3266
    void located(unsigned address);  // the poll found the lone detector
    void onBurningTimer();         // timer 90709
    void onBit();                  // button 1965

    bool locating() const { return locating_; }
    static std::string locateCaption(bool searching);

private:
    void setLocateState(bool on);
    std::shared_ptr<Panel> panel_;
    Hooks hooks_;
    bool locating_ = false;
    unsigned beforeLocate_ = 1;
};

// The manual BIT with MAINT elevation; the Status page runs it too.
void ManualBit(Panel& panel);
