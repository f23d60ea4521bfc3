#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "shell/ControlPanel.h"

// Control numbers of the main window's status panel.
namespace ctl {
constexpr int Address = 3018, Serial = 3019, Model = 3020, Mode = 4180, State = 4181, StatusText = 3031,
              Analog = 3153, Accessory = 3221, Alarm = 3222, Fault = 3223, Heater = 3224, CommState = 3032,
              Permission = 3351, AddressLabel = 3358;
}

// The status poll of the main window: one status request per tick, the panel
// updated from the answer, failures counted with their back-off. Runs on the
// interface thread; the window wires the hooks to its pages.
class StatusPoll {
public:
    struct Hooks {
        std::function<bool()> shiftHeld;
        std::function<unsigned long long()> nowMs;
        std::function<bool()> setupPageShown;
        std::function<void(int pictureResource)> showPicture;
        std::function<void()> refreshPageForNewDetector;  // timer 1
        std::function<void()> reloadSetupPageLater;       // timer 40204
        std::function<void()> disableApply;               // Setup Apply or Device Info 3159
        std::function<void()> clearSetupPage;
        std::function<void(double volts, double temperature, double milliamps)> gauges;
        std::function<void(double volts, double celsius, double milliamps)> trend;
        std::function<void(bool modeIsAlarm)> selectPage;  // BIT button and the Select page's fields
    };

    StatusPoll(ControlPanel& panel, Hooks hooks);

    // One tick of the poll clock.
    void tick();
    // The transport's failure notice: the communication error line.
    void showCommError(int result);

    void setPolling(bool on);
    bool polling() const { return polling_; }
    bool connected() const { return connected_; }
    bool linkEstablished() const { return linkEstablished_; }
    int consecutiveFailures() const { return failures_; }
    int backOff() const { return backOff_; }
    // The address the arrows have chosen, shown until a detector answers from it.
    void setPendingAddress(unsigned address) { pending_ = address; }
    int level() const { return level_; }
    int permission() const { return permission_; }

    static constexpr unsigned kStatusSize = 177;

private:
    void answered(const uint8_t* f);
    void failed(bool withAnswer);
    void display(const uint8_t* f);
    void blank();
    void setCommText(const std::string& text);
    void updatePermissionLine(const uint8_t* f);
    unsigned long long now() const;

    ControlPanel& panel_;
    Hooks hooks_;
    bool polling_ = true;
    bool inTick_ = false;
    bool inErrorLine_ = false;
    int failures_ = 0;          // in a row
    int failuresSinceGood_ = 0;
    int backOff_ = 0;
    bool linkEstablished_ = false;
    bool present_ = false;
    bool connected_ = false;
    bool pictureChosen_ = false;
    bool setupCleared_ = false;
    unsigned pending_ = 0;
    int level_ = 0;
    int permission_ = 255;
    int spinner_ = 0;
    std::string lastCommText_;
    unsigned long long lastCommWrite_ = 0;
};
