#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// A window as the logic beside it sees it: controls by number, list lines,
// progress, questions and the user's abort. Logic may call it from any
// thread; a window's implementation hands each call to the interface thread,
// and a question blocks only its caller. Tests use FakePanel.
class Panel {
public:
    virtual ~Panel() = default;

    // Window numbers for setTitle: this window, or the main window.
    static constexpr int kThisWindow = 0;
    static constexpr int kMainWindow = 224;

    virtual void setText(int id, const std::string& text) = 0;
    virtual std::string text(int id) const = 0;
    virtual void enable(int id, bool on) = 0;
    // Relay indicators: 1 is drawn green, 0 red, 2 yellow.
    virtual void setIndicator(int id, int value) = 0;
    virtual void setTitle(int window, const std::string& title) = 0;
    // Check boxes and buttons: 0 clear, 1 checked, 2 indeterminate.
    virtual void setCheck(int id, int state) = 0;
    virtual int check(int id) const = 0;

    // Lines of a list control.
    virtual void addLine(int id, const std::string& line) = 0;
    virtual void clearLines(int id) = 0;
    virtual void setProgress(int id, int percent) = 0;

    // The window's own timers; they arrive at the window as onTimer(id).
    virtual void setTimer(int id, unsigned ms, bool once) = 0;
    virtual void stopTimer(int id) = 0;
    // Closes the window with a result after a pause (0: at once).
    virtual void close(int result, unsigned afterMs) = 0;

    // A message box: Win32-style flags in, IDOK/IDCANCEL/IDYES/IDNO out.
    virtual int ask(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // A line typed by the user (a password when `secret`); nullopt on Cancel.
    virtual std::optional<std::string> askText(const std::string& prompt, const std::string& caption, bool secret) = 0;
    // A password with the "Maint" / "Admin" choice (Maint preselected); *admin
    // tells the choice. A panel without the choice asks as askText, Maint.
    virtual std::optional<std::string> askPasswordLevel(const std::string& prompt, const std::string& caption,
                                                        bool* admin) {
        *admin = false;
        return askText(prompt, caption, true);
    }
    // "Detector Permissions": the two passwords, each typed twice, stored into
    // the fields only when the user confirms (true). A panel that cannot ask
    // answers false, as a Cancel.
    virtual bool askPasswords(std::span<uint8_t> maint, std::span<uint8_t> admin) {
        (void)maint;
        (void)admin;
        return false;
    }

    // The user asked the running procedure to stop; waits on the link worker
    // end early once it is set.
    bool aborted() const { return abort_.load(); }
    void requestAbort() { abort_ = true; }
    void clearAbort() { abort_ = false; }
    const std::atomic<bool>& abortFlag() const { return abort_; }

private:
    std::atomic<bool> abort_{false};
};

// Win32-style message box flags and answers, shared by the logic and the windows.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_TOPMOST = 0x40000,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
