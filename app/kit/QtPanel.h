#pragma once
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>

#include "util/Panel.h"

class Dialog;

// The panel of one window: what the logic asks of it from any thread is
// done on the interface thread, in the order asked. Writes are posted and
// return at once; reads and questions wait for the interface thread, but give
// up once the procedure is aborted or the window is gone.
class QtPanel : public Panel, public std::enable_shared_from_this<QtPanel> {
public:
    explicit QtPanel(Dialog* window) : window_(window) {}
    // The window is going: later calls do nothing, questions answer IDCANCEL.
    void detach();

    void setText(int id, const std::string& text) override;
    std::string text(int id) const override;
    void enable(int id, bool on) override;
    void setIndicator(int id, int value) override;
    void setTitle(int window, const std::string& title) override;
    void setCheck(int id, int state) override;
    int check(int id) const override;
    void addLine(int id, const std::string& line) override;
    void clearLines(int id) override;
    void setProgress(int id, int percent) override;
    void setTimer(int id, unsigned ms, bool once) override;
    void stopTimer(int id) override;
    void close(int result, unsigned afterMs) override;
    int ask(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> askText(const std::string& prompt, const std::string& caption, bool secret) override;
    std::optional<std::string> askPasswordLevel(const std::string& prompt, const std::string& caption,
                                                bool* admin) override;
    bool askPasswords(std::span<uint8_t> maint, std::span<uint8_t> admin) override;

private:
    // Runs `f` with the window on the interface thread (at once when called there).
    void post(std::function<void(Dialog&)> f) const;
    // Runs `f` there and waits for its answer; `fallback` when it cannot.
    template <class R>
    R request(std::function<R(Dialog&)> f, R fallback) const;

    // Touched only on the interface thread.
    QPointer<Dialog> window_;
    std::atomic<bool> detached_{false};
};
