#pragma once
#include <memory>

#include "app/kit/Dialog.h"
#include "shell/AddressStepper.h"
#include "shell/PollClock.h"
#include "shell/ScriptRunner.h"
#include "shell/TechConsole.h"

class QMenu;

// The technician console (template 186): the current detector's status from
// a poll of its own, which has the clock's ticks while the console is open,
// the feature windows and service commands behind buttons, menus and
// function keys, and the script runner (F9).
class CTesselDlg : public Dialog {
public:
    explicit CTesselDlg(QWidget* parent = nullptr);
    ~CTesselDlg() override;

    void onCommand(int id) override;
    void onTimer(int id) override;

    TechConsole& logic() { return *console_; }
    // For tests: a pass limit and shorter waits; the real run never sets them.
    void setScriptOptions(ScriptOptions options) { scriptOptions_ = std::move(options); }
    ScriptRunner* script() const { return runner_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildStatus(class QGridLayout* grid);
    void buildButtons(class QGridLayout* grid);
    void buildKeys();
    using Entries = std::initializer_list<std::pair<const char*, int>>;
    // A button's pop-up menu; entries whose windows come later are disabled.
    QMenu* menu(int button, Entries entries);
    void addEntries(QMenu* menu, Entries entries);
    void openAddress(int step);
    void runScript();

    std::shared_ptr<TechConsole> console_;
    std::unique_ptr<AddressStepper> stepper_;
    std::unique_ptr<ScriptRunner> runner_;
    ScriptOptions scriptOptions_;
    PollClock::Target ticks_ = 0;
};
