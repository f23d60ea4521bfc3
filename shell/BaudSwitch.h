#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "util/Panel.h"

// The speeds a detector knows, in list order.
constexpr unsigned kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
constexpr int kBaudIndex9600 = 3, kBaudIndex57600 = 6;
static_assert(kBaudRates[kBaudIndex9600] == 9600 && kBaudRates[kBaudIndex57600] == 57600);
constexpr int kBaudIndex921600 = 10;

// The baud-rate switch of the "Switch Baudrate" window, without the window:
// ask the detector to change speed, follow on the host side, then let the
// status poll prove the new speed within 8 seconds, or go back. open(),
// run() and onTimer() run on the link worker.
class BaudSwitch {
public:
    enum Result { Unchanged = -1, Reverted = 0, Switched = 1, Pending = 2 };

    struct Options {
        int presetIndex = kBaudIndex921600;
        bool localOnly = false;
        int automatic = 0;  // attempts left; 0 for a window the user drives
        bool force9600 = false;
    };
    // The time it runs on; tests move it by hand.
    struct Clock {
        std::function<unsigned long long()> nowMs;
        std::function<void(unsigned)> sleepMs;  // without dispatching messages
    };

    BaudSwitch(std::shared_ptr<Panel> panel, Options options, Clock clock = {});

    // What the list shows preselected when the window opens.
    int initialSelection() const;
    bool localButton() const;
    bool automatic() const { return options_.automatic != 0; }
    // Opens the window: an automatic one starts at once.
    void open();
    // "Switch" with the list's selection (-1: none).
    void run(int selection);
    // The window's 100 ms timer while waiting.
    void onTimer();

    Result result() const { return result_; }
    int attemptsLeft() const { return options_.automatic; }

private:
    void finishWaiting(Result r);
    // The end of a switch that did not work; an automatic window says so and closes.
    void giveUp(Result r, const char* buttonText);
    unsigned long long now() const;
    void sleep(unsigned ms) const;

    std::shared_ptr<Panel> panel_;
    Options options_;
    Clock clock_;
    unsigned startingBaud_ = 0;
    int selection_ = -1;
    bool waiting_ = false;
    unsigned long long waitStart_ = 0;
    std::atomic<Result> result_{Pending};
};

// Used by procedures that need the fast line or the way back: the options of
// an automatic window for the link's current speed.
BaudSwitch::Options SwitchToFastOrBackOptions(unsigned currentBaud);
BaudSwitch::Options ReapplyLocalBaudOptions();

// The switch without a window or the status poll, on the thread that drives
// the link inside a procedure: the detector and the host to `rate`, proved by
// a status answer; otherwise both back at the speed they had. False when not
// switched.
bool SwitchBaudNow(unsigned rate);
// A raised link back to 9600: the switch, or the host alone when the detector
// no longer answers at the raised speed (a restarted detector starts at 9600).
void ReturnTo9600();
