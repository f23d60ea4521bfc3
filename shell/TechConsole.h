#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/StatusPoll.h"
#include "util/Panel.h"

// What the console reads from Param.ini when it opens.
struct ConsoleSettings {
    bool disableButtons = true;  // the master flag: the search disables the detector buttons
    bool hideFriendly = true;
    bool ignoreSnAddr = false;  // message texts without the detector's serial line
    bool outputSuspended = false;
    bool showPulse = false;
};
ConsoleSettings LoadConsoleSettings();

// The technician console without its window: its own status poll, the search
// switch with the master flag, and the service commands it sends itself. The
// window calls it on the interface thread; every exchange runs as a procedure
// on the link worker, holding the link lock.
class TechConsole : public std::enable_shared_from_this<TechConsole> {
public:
    explicit TechConsole(std::shared_ptr<Panel> panel);

    // Reads the settings; sets the title and the captions of the switches.
    void open();
    // Buttons whose windows the tool does not have yet: the search leaves them disabled.
    void keepDisabled(std::vector<int> ids) { unavailable_ = std::move(ids); }
    const ConsoleSettings& settings() const { return settings_; }
    // "%s  (Baudrate %u)"
    static std::string title();

    StatusPoll& poll() { return *poll_; }
    // One tick of the console's poll, for the poll clock (runs on the link worker).
    std::function<void()> tickJob();

    // Button 3023.
    void setSearch(bool on);
    bool searching() const { return searching_; }
    // Button 3118: no status polls while on, and the status fields empty.
    void setOutputSuspended(bool on);
    bool outputSuspended() const { return suspended_; }
    // Button 3119.
    void setShowPulse(bool on);
    bool showPulse() const { return showPulse_; }
    // True, after its log line, while the master flag keeps BIT and the
    // address dialog from acting (the current address is 0 or beyond 247).
    bool masterRefuses() const;
    // "Start FM Test" needs a single detector and a selected network; false after the refusal.
    bool fmTestAllowed();

    // The service commands.
    void manualBit();
    void eraseLogfile(bool preserveWorktime);
    void eraseFlash();
    void hangDetector();
    void restartDetector();
    void playback(const std::string& path);
    // With its box; `erase` clears the detector's messages after reading.
    void getMessageText(bool erase);
    // Shift+F8: the request repeats every second, without a box, until both
    // Shift keys are held (the window's timer calls onAutoMessageTimer).
    void startAutoMessages();
    void onAutoMessageTimer();
    bool autoMessages() const { return autoMessages_; }
    void eraseMessages();
    void simulateAlarm();
    // Kind 1 or 2: one more simulated communication error of that kind.
    void simulateCommError(int kind);
    void sendFillBlock();
    // "Sanity Check": the selected detector's parameters against the master file.
    void sanityCheck();

    // The file the message texts are appended to.
    static constexpr const char* kMessageFile = "printm.txt";

private:
    void run(std::function<void(Panel&)> procedure);
    void fetchMessage(bool erase, bool showBox);
    void clearStatusFields();
    void enableMasterButtons(bool on);

    std::shared_ptr<Panel> panel_;
    std::shared_ptr<StatusPoll> poll_;
    ConsoleSettings settings_;
    std::vector<int> unavailable_;
    std::atomic<bool> searching_{false};
    std::atomic<bool> suspended_{false};
    std::atomic<bool> showPulse_{false};
    std::atomic<bool> enableWhenLinked_{false};
    std::atomic<bool> autoMessages_{false};
    std::atomic<bool> messageInFlight_{false};
};
