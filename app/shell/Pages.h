#pragma once
#include <string>
#include <vector>

#include "app/kit/Dialog.h"

// Dialog templates of the feature pages the main window hosts.
namespace page {
constexpr int Select = 225, Network = 226, Status = 227, Recording = 195, UvirThresholds = 257, SetupTable = 130,
              Settings = 240, Misc = 253, Version = 261, DeviceInfo = 233, Logfile = 161, Trend = 235;
}

// A feature page: a child dialog shown over the tab area of the main window.
// Pages that later work fills in are plain captioned pages until then.
class Page : public Dialog {
public:
    Page(QWidget* parent, int templateId, const std::string& caption);
    // Timer 1 of the main window: the page is shown again for the current detector.
    virtual void refresh() {}
};

// The Select page: the address field 3005 and the BIT button 1965 the status
// poll keeps up to date.
class SelectPage : public Page {
public:
    static constexpr int kAddressField = 3005, kBitButton = 1965;
    explicit SelectPage(QWidget* parent);
};

// The Status page: three gauges (voltage, temperature, analog output).
class StatusPage : public Page {
public:
    static constexpr int kVoltage = 5001, kTemperature = 5002, kAnalog = 5003;
    explicit StatusPage(QWidget* parent);
    void setGauges(double volts, double temperature, double milliamps);
};

// One entry of a page group: the tab text, the tree text and the page.
struct PageEntry {
    std::string tab;
    std::string tree;
    int page;
};
// The four groups (SELECT, STATUS, SETUP, VERSION) for a text variant; the
// "Recording" entry shows the UV/IR thresholds page for UV/IR models.
std::vector<std::vector<PageEntry>> PageGroups(int textVariant);
