#pragma once
#include <atomic>
#include <functional>
#include <string>

// Set when a baud-rate switch waits for a detector to answer at the new
// speed; the status poll clears it at the first good answer.
std::atomic<bool>& WaitingForResponse();

// The speeds a detector knows, in list order.
constexpr unsigned kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
constexpr int kBaudIndex9600 = 3;
constexpr int kBaudIndex921600 = 10;

// The baud-rate switch of the "Switch Baudrate" window, without the window:
// ask the detector to change speed, follow on the host side, then let the
// status poll prove the new speed within 8 seconds, or go back.
class BaudSwitch {
public:
    enum Result { Unchanged = -1, Reverted = 0, Switched = 1, Pending = 2 };

    struct Ui {
        std::function<void(const std::string&)> buttonText;
        std::function<void(bool)> enableButton;
        std::function<void(const std::string&)> windowTitle;
        std::function<void()> updateTitles;  // main window and main dialog: "%s (Baudrate %u)"
        // Message box: text, caption, Win32 icon flags.
        std::function<void(const std::string&, const std::string&, unsigned)> message;
        std::function<void(bool)> waitTimer;  // 100 ms while waiting
        std::function<void()> closeSoon;      // an automatic window closes 1.5 s after success
    };
    struct Env {
        std::function<unsigned long long()> nowMs;
        std::function<void(unsigned)> sleepMs;  // without dispatching messages
        std::function<void(bool)> busy;         // the poll clock's busy flag
        std::function<bool()> shiftHeld;
        std::function<bool()> ctrlHeld;
    };
    struct Options {
        int presetIndex = kBaudIndex921600;
        bool localOnly = false;
        int automatic = 0;  // attempts left; 0 for a window the user drives
        bool force9600 = false;
    };

    BaudSwitch(Ui ui, Env env, Options options);

    // What the list shows preselected when the window opens.
    int initialSelection() const;
    bool localButton() const;
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
    unsigned long long now() const;

    Ui ui_;
    Env env_;
    Options options_;
    unsigned startingBaud_ = 0;
    int selection_ = -1;
    bool waiting_ = false;
    unsigned long long waitStart_ = 0;
    Result result_ = Pending;
};

// Used by procedures that need the fast line or the way back: the options of
// an automatic window for the link's current speed.
BaudSwitch::Options SwitchToFastOrBackOptions(unsigned currentBaud);
BaudSwitch::Options ReapplyLocalBaudOptions();
