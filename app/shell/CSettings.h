#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/shell/Pages.h"
#include "shell/CSettingsIds.h"

// A serial port as the list shows it.
struct PortEntry {
    std::string name;         // "/dev/ttyUSB0" or "COM3"
    std::string description;  // may be empty
    bool operator==(const PortEntry&) const = default;
};

// The port and units settings: the Settings page inside the main window (a
// change restarts the tool) and the modal "Host Settings" form the start-up
// shows when the port cannot be opened (OK confirms, Exit ends the tool; the
// form first says why the port did not open). While shown, the port list
// follows adapters being plugged in and pulled out; the stored port, when
// absent, stays in the list marked missing.
class CSettings : public Page {
public:
    enum Form { PageForm, StartUpForm };

    CSettings(Form form, QWidget* parent = nullptr);

    void onCommand(int id) override;
    void onTimer(int id) override;
    bool confirmed() const { return confirmed_; }
    void refill();
    void refresh() override { refill(); }
    std::string helpText(int focusedControl) const override;

    // "%s    <%s>" as a line of the list.
    static std::string PortLine(const PortEntry& port);
    // The port description stored for a list line: its port, at 9600,n,8,1.
    static std::string PortDescriptionOf(const std::string& line);

    // Where the list comes from (the system's serial ports); tests replace it.
    static void SetPortLister(std::function<std::vector<PortEntry>()> lister);
    // What a confirmed change on the page does; the start-up sets the restart.
    static void SetRestart(std::function<void()> restart);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool setPort();
    bool setUnits();

    Form form_;
    bool confirmed_ = false;
    bool openErrorShown_ = false;
    std::vector<PortEntry> ports_;  // as last listed
    std::string missingLine_;       // the stored port's line while it is absent
};
