#include "app/kit/ScriptWindowTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <future>

#include "app/kit/Dialog.h"
#include "app/kit/WindowTable.h"
#include "shell/WindowSlots.h"

namespace {

// A command to a window, as a posted WM_COMMAND would be: a message box ends
// with the button of that number, or with the number itself.
void command(QWidget& window, int control) {
    if (auto* d = dynamic_cast<Dialog*>(&window)) return d->onCommand(control);
    if (auto* box = qobject_cast<QMessageBox*>(&window)) {
        const QMessageBox::StandardButton standard = control == IDOK       ? QMessageBox::Ok
                                                     : control == IDCANCEL ? QMessageBox::Cancel
                                                     : control == IDYES    ? QMessageBox::Yes
                                                     : control == IDNO     ? QMessageBox::No
                                                                           : QMessageBox::NoButton;
        if (QAbstractButton* b = box->button(standard)) return b->click();
    }
    if (auto* d = qobject_cast<QDialog*>(&window)) d->done(control);
}

class QtScriptWindows : public ScriptWindows, public std::enable_shared_from_this<QtScriptWindows> {
public:
    bool present(int slot) override {
        return onUi<bool>([slot](QtScriptWindows& t) {
            QWidget* w = t.at(slot);
            return w && w->isVisible();
        });
    }
    bool findCaption(const std::string& caption) override {
        return onUi<bool>([caption](QtScriptWindows& t) {
            t.found_ = FindWindowByCaption(QString::fromStdString(caption));
            return !t.found_.isNull();
        });
    }
    bool setText(int slot, int control, const std::string& text) override {
        return onUi<bool>([slot, control, text](QtScriptWindows& t) {
            auto* d = dynamic_cast<Dialog*>(t.at(slot));
            if (!d || !d->item(control)) return false;
            d->setText(control, text);
            return true;
        });
    }
    bool click(int slot, int control) override {
        return later(slot, [control](QWidget& w) { command(w, control); });
    }
    bool close(int slot) override {
        return later(slot, [](QWidget& w) { w.close(); });
    }
    uintptr_t handle(int slot) override {
        return onUi<uintptr_t>([slot](QtScriptWindows& t) { return reinterpret_cast<uintptr_t>(t.at(slot)); });
    }
    void cancel() override { cancelled_ = true; }

private:
    QWidget* at(int slot) const { return slot == slot::ByCaption ? found_.data() : WindowAt(slot); }

    // Runs `f` on the interface thread and waits for its answer (false, 0
    // when cancelled meanwhile).
    template <class R>
    R onUi(std::function<R(QtScriptWindows&)> f) {
        if (QThread::currentThread() == qApp->thread()) return f(*this);
        auto answer = std::make_shared<std::promise<R>>();
        std::future<R> got = answer->get_future();
        QMetaObject::invokeMethod(qApp, [self = shared_from_this(), f = std::move(f), answer] {
            answer->set_value(f(*self));
        }, Qt::QueuedConnection);
        while (got.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            if (cancelled_) return R{};
        return got.get();
    }
    // What the window is to do is posted: a click that opens a modal window
    // must not hold the script up.
    bool later(int slot, std::function<void(QWidget&)> f) {
        return onUi<bool>([slot, f = std::move(f)](QtScriptWindows& t) {
            QPointer<QWidget> w = t.at(slot);
            if (!w) return false;
            QTimer::singleShot(0, w, [w, f] { if (w) f(*w); });
            return true;
        });
    }

    QPointer<QWidget> found_;  // slot 0; the interface thread's
    std::atomic<bool> cancelled_{false};
};

}  // namespace

std::shared_ptr<ScriptWindows> MakeScriptWindows() { return std::make_shared<QtScriptWindows>(); }
