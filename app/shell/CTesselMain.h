#pragma once
#include <QMap>
#include <QPointer>
#include <atomic>
#include <memory>
#include <vector>

#include "app/kit/Dialog.h"
#include "app/shell/Pages.h"
#include "shell/AddressStepper.h"
#include "shell/CTesselMainIds.h"
#include "shell/PollClock.h"
#include "shell/StatusPoll.h"

#include "app/util/CDebugLog.h"
class QStackedWidget;
class QTabBar;

// The main window: four page groups, the page area, the status panel of the
// current detector kept up to date by the status poll, and the exit sequence.
// The poll runs on the link worker; what it finds comes back as outcomes.
class CTesselMain : public Dialog {
public:
    struct Options {
        bool rawDiagnostic = false;  // both Shift keys at start-up
        bool startPollClock = true;
    };

    explicit CTesselMain(Options options, QWidget* parent = nullptr);
    ~CTesselMain() override;

    void onTimer(int id) override;
    void onCommand(int id) override;
    void setText(int id, const std::string& text) override;
    using Dialog::text;
    void reject() override;

    StatusPoll& poll() { return *poll_; }
    AddressStepper& stepper() { return *stepper_; }
    PollClock* clock() { return clock_.get(); }
    // The console the start-up made (it may be hidden); shown by showConsole().
    void setConsole(CDebugLog* console) { console_ = console; }
    CDebugLog* console() const { return console_; }
    void showConsole();
    Page* pageById(int templateId) const { return pages_.value(templateId); }
    int currentPage() const { return current_; }
    void showGroup(int group);
    void showEntry(int group, int entry);
    // Another window chooses an address (the arrows do the same through the stepper).
    void selectAddress(unsigned address, bool atOnce) { stepper_->select(address, atOnce); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildStatusPanel(class QGridLayout* grid);
    void buildPages();
    void layoutGroups();
    void startPollClock();
    void pollOutcome(const PollOutcome& outcome);
    void paintCommState();
    void setPicture(int resource);
    bool arrowsHidden() const;

    Options options_;
    std::shared_ptr<StatusPoll> poll_;
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
    unsigned lastResponder_ = 255;  // the colour of the communication field
    std::atomic<bool> stopping_{false};
};
