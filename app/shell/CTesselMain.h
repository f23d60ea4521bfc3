#pragma once
#include <QMap>
#include <atomic>
#include <QPointer>
#include <memory>
#include <vector>

#include "shell/AddressStepper.h"
#include "app/shell/Pages.h"
#include "shell/PollClock.h"
#include "shell/StatusPoll.h"
#include "app/kit/Dialog.h"

#include "app/util/CDebugLog.h"
class QStackedWidget;
class QTabBar;

// The main window: four page groups, the page area, the status panel of the
// current detector kept up to date by the status poll, and the exit sequence.
class CTesselMain : public Dialog {
public:
    static constexpr int kGroupButton = 4080;  // 4080..4083
    static constexpr int kSubButton = 4084;    // 4084..4087
    static constexpr int kTab = 3262, kPicture = 3372, kUpArrow = 3405, kDownArrow = 3406, kPolling = 3117,
                         kTech = 3304, kConsole = 3267, kGas = 4089;
    static constexpr int kTickTimer = 10101;

    struct Options {
        bool rawDiagnostic = false;  // both Shift keys at start-up
        bool startPollClock = true;
    };

    CTesselMain(Options options, QWidget* parent = nullptr);
    ~CTesselMain() override;

    void onTimer(int id) override;
    void onCommand(int id) override;
    void setText(int id, const std::string& text) override;
    using Dialog::text;
    void reject() override;

    StatusPoll& poll() { return *poll_; }
    AddressStepper& stepper() { return *stepper_; }
    PollClock* clock() { return clock_.get(); }
    CDebugLog* console() const { return console_; }
    // Shows the console, creating it when it does not exist.
    void showConsole();
    Page* pageById(int templateId) const { return pages_.value(templateId); }
    int currentPage() const { return current_; }
    void showGroup(int group);
    void showEntry(int group, int entry);
    // Another window chooses an address (the arrows do the same through the stepper).
    void selectAddress(unsigned address, bool atOnce) { stepper_->select(address, atOnce); }
    // Repaints the communication field in the colour of the last answer.
    void paintCommState();
    // The transport's failure notice reaches the window here, after the exchange.
    void commFailure(int result);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildStatusPanel(class QGridLayout* grid);
    void buildPages();
    void layoutGroups();
    void setPicture(int resource);
    void tickTarget(PollClock::Target target);
    bool arrowsHidden() const;

    Options options_;
    std::unique_ptr<StatusPoll> poll_;
    std::unique_ptr<AddressStepper> stepper_;
    std::unique_ptr<PollClock> clock_;
    QPointer<CDebugLog> console_;
    QMap<int, Page*> pages_;
    std::vector<std::vector<PageEntry>> groups_;
    std::vector<int> lastEntry_;
    int group_ = 0;
    int current_ = page::Select;
    QTabBar* tabs_ = nullptr;
    class QVBoxLayout* groupLayout_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    bool closing_ = false;
    // Read by the poll clock's thread.
    std::atomic<char> commChar_{0};
    std::atomic<bool> linkEstablished_{false};
    std::atomic<bool> stopping_{false};
};

