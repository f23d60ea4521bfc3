#pragma once
#include <functional>
#include <vector>
#include <string>

#include "app/shell/Pages.h"
#include "config/SetupSession.h"

struct PollOutcome;

// "Detector Setup": the detector's setup record, as a modal dialog (the
// console's Setup command) or as the main window's Setup Table page. Both
// forms share the record copies of config/SetupSession, which reads, checks
// and burns; this window shows the record, reads it back and reacts.
class Setup : public Page {
public:
    Setup(bool modal, QWidget* parent);
    ~Setup() override;

    bool modal() const { return modal_; }
    void onCommand(int id) override;
    void onTimer(int id) override;
    // The page is shown again, or the main window found the detector back:
    // the record is read again.
    void refresh() override;
    std::string helpText(int control) const override;
    // While a script runs, a window with changes not burned stays open.
    void done(int result) override;

    // "Apply Changes", F3 and the main window's Enter: acts only while
    // "Apply Changes" is enabled, so one burn at a time.
    void apply();
    // The main window lost the detector: edits empty, checks and radios
    // without a choice, until the next read fills them.
    void clearControls();
    // The page: what follows a verified burn (the main window's first page).
    void setOnVerified(std::function<void()> hook) { onVerified_ = std::move(hook); }
    // The modal dialog's status header, from the status poll.
    void showStatus(const PollOutcome& outcome);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build();
    void buildHeader(class QVBoxLayout* layout);
    void open();
    void fill();
    void changed(int id);
    void open420();
    void burned(BurnResult result);
    void focusLeft();
    void focusControl(int id);
    void holdControls(bool hold);

    bool modal_;
    bool opened_ = false;  // the modal dialog reads once, when it first shows
    bool filled_ = false;  // the controls show a record: changes count from here
    bool dirty_ = false;   // changed since the fill: Apply was enabled once
    std::function<void()> onVerified_;
    std::vector<int> held_;  // the controls the running burn disabled
    QMetaObject::Connection focusWatch_;
};
