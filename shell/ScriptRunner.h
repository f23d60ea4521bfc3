#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "util/Panel.h"

// The windows of the table `g_hdlg` (shell/WindowSlots.h) as the script
// reaches them. The tool's implementation does each call on the interface
// thread; clicks and closes are posted, as the user's would be, and return
// once posted.
class ScriptWindows {
public:
    virtual ~ScriptWindows() = default;
    // The slot holds a window that is shown.
    virtual bool present(int slot) = 0;
    // Looks for a dialog window (message boxes included) with this caption
    // and puts it into slot 0; false when there is none.
    virtual bool findCaption(const std::string& caption) = 0;
    virtual bool setText(int slot, int control, const std::string& text) = 0;
    virtual bool click(int slot, int control) = 0;
    virtual bool close(int slot) = 0;
    virtual uintptr_t handle(int slot) = 0;
    // The runner is stopping: calls still waiting for the interface give up.
    virtual void cancel() {}
};

// One step of a script.
struct ScriptItem {
    enum Verb : unsigned { Wait = 0, WaitGone = 1, SetText = 2, Click = 3, Close = 4 };
    std::string name;  // for slot 0, the caption to find follows the first ':'
    unsigned slot = 0;
    unsigned verb = Wait;
    unsigned control = 0;  // verbs 2 and 3
    std::string text;      // verb 2
    unsigned preWaitMs = 0;
    unsigned postWaitMs = 0;  // for verb 1 also the time given, in steps of 100 ms
    bool depends = false;     // skipped when the item before failed or was skipped
};

// The soak of the setup burn: open the setup dialog from the console, write
// 1 (then 15) into field 3302, burn, answer an "Error" box and burn again,
// wait for the dialog to close, and start a manual BIT.
const std::vector<ScriptItem>& BuiltInScript();

struct ScriptOptions {
    unsigned passes = 0;                    // 0: without end
    std::function<void(unsigned ms)> wait;  // empty: a sleep that ends when stopped
};

// Runs a script on a thread of its own, pass after pass until Ctrl and Shift
// are held (or `passes` are done, for tests). Its lines go to the debug log
// and to the console's list; the console's title shows that it runs.
class ScriptRunner {
public:
    ScriptRunner(std::shared_ptr<Panel> console, std::shared_ptr<ScriptWindows> windows,
                 std::vector<ScriptItem> items = BuiltInScript(), ScriptOptions options = {});
    ~ScriptRunner();

    // Sets the busy flag and starts the thread; false (logged) when it cannot.
    bool start();
    // Asks the thread to end after the current item and waits for it.
    void stop();
    bool running() const { return running_; }
    // The whole run on the calling thread.
    void run();
    // The console's title timer: the two titles in turn.
    void onTitleTimer();

private:
    bool runItem(const ScriptItem& item);
    bool runVerb(const ScriptItem& item);
    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void wait(unsigned ms);

    std::shared_ptr<Panel> console_;
    std::shared_ptr<ScriptWindows> windows_;
    std::vector<ScriptItem> items_;
    ScriptOptions options_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    bool titleFlip_ = false;
    std::thread thread_;
};
