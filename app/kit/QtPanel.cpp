#include "app/kit/QtPanel.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <future>
#include <vector>

#include "app/kit/Dialog.h"
#include "app/kit/MessageBox.h"
#include "app/kit/PasswordsPrompt.h"
#include "app/kit/TextPrompt.h"

namespace {

bool onInterfaceThread() { return QThread::currentThread() == qApp->thread(); }

// The window that holds control `id`: this one, or one of its pages.
Dialog* holder(Dialog& window, int id) {
    if (window.item(id)) return &window;
    for (QDialog* child : window.findChildren<QDialog*>())
        if (auto* d = dynamic_cast<Dialog*>(child); d && d->item(id)) return d;
    return &window;
}

// The window with template `templateId` among this one and its parents.
QWidget* windowWithTemplate(Dialog& window, int templateId) {
    for (QWidget* w = &window; w; w = w->parentWidget())
        if (auto* d = dynamic_cast<Dialog*>(w); d && d->templateId() == templateId) return d;
    return window.window();
}

}  // namespace

void QtPanel::detach() {
    detached_ = true;
    requestAbort();
    window_ = nullptr;
}

void QtPanel::post(std::function<void(Dialog&)> f) const {
    if (onInterfaceThread()) {
        if (window_) f(*window_);
        return;
    }
    if (detached_) return;
    auto self = std::const_pointer_cast<QtPanel>(shared_from_this());
    QMetaObject::invokeMethod(qApp, [self, f = std::move(f)] {
        if (self->window_) f(*self->window_);
    }, Qt::QueuedConnection);
}

template <class R>
R QtPanel::request(std::function<R(Dialog&)> f, R fallback) const {
    if (onInterfaceThread()) return window_ ? f(*window_) : fallback;
    if (detached_ || aborted()) return fallback;
    auto answer = std::make_shared<std::promise<R>>();
    std::future<R> got = answer->get_future();
    post([f = std::move(f), answer](Dialog& w) { answer->set_value(f(w)); });
    while (got.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        if (detached_ || aborted()) return fallback;
    return got.get();
}

void QtPanel::setText(int id, const std::string& text) {
    post([id, text](Dialog& w) { holder(w, id)->setText(id, text); });
}

std::string QtPanel::text(int id) const {
    return request<std::string>([id](Dialog& w) { return holder(w, id)->text(id); }, {});
}

void QtPanel::enable(int id, bool on) {
    post([id, on](Dialog& w) { holder(w, id)->enable(id, on); });
}

void QtPanel::setIndicator(int id, int value) {
    post([id, value](Dialog& w) { holder(w, id)->setIndicator(id, value); });
}

void QtPanel::setCheck(int id, int state) {
    post([id, state](Dialog& w) { holder(w, id)->setCheckState(id, state); });
}

int QtPanel::check(int id) const {
    return request<int>([id](Dialog& w) { return holder(w, id)->checkState(id); }, 0);
}

void QtPanel::setTitle(int window, const std::string& title) {
    post([window, title](Dialog& w) {
        QWidget* target = window == kThisWindow ? &w : windowWithTemplate(w, window);
        target->setWindowTitle(q(title));
    });
}

void QtPanel::addLine(int id, const std::string& line) {
    post([id, line](Dialog& w) {
        if (auto* list = holder(w, id)->itemAs<QListWidget>(id)) list->addItem(q(line));
        if (auto* combo = holder(w, id)->itemAs<QComboBox>(id)) combo->addItem(q(line));
    });
}

void QtPanel::clearLines(int id) {
    post([id](Dialog& w) {
        if (auto* list = holder(w, id)->itemAs<QListWidget>(id)) list->clear();
        if (auto* combo = holder(w, id)->itemAs<QComboBox>(id)) combo->clear();
    });
}

void QtPanel::setProgress(int id, int percent) {
    post([id, percent](Dialog& w) {
        if (auto* bar = holder(w, id)->itemAs<QProgressBar>(id)) bar->setValue(percent);
    });
}

void QtPanel::setTimer(int id, unsigned ms, bool once) {
    post([id, ms, once](Dialog& w) { w.setTimer(id, static_cast<int>(ms), once); });
}

void QtPanel::stopTimer(int id) {
    post([id](Dialog& w) { w.stopTimer(id); });
}

void QtPanel::close(int result, unsigned afterMs) {
    post([result, afterMs](Dialog& w) {
        QPointer<Dialog> window(&w);
        QTimer::singleShot(static_cast<int>(afterMs), &w, [window, result] {
            if (window) window->done(result);
        });
    });
}

int QtPanel::ask(const std::string& text, const std::string& caption, unsigned flags) {
    return request<int>([text, caption, flags](Dialog& w) { return MessageBox(text, caption, flags, &w); },
                        IDCANCEL);
}

std::optional<std::string> QtPanel::askText(const std::string& prompt, const std::string& caption, bool secret) {
    return request<std::optional<std::string>>(
        [prompt, caption, secret](Dialog& w) { return AskTextPrompt(prompt, caption, secret, &w); }, std::nullopt);
}

std::optional<std::string> QtPanel::askPasswordLevel(const std::string& prompt, const std::string& caption,
                                                     bool* admin) {
    using Answer = std::pair<std::optional<std::string>, bool>;
    const Answer a = request<Answer>(
        [prompt, caption](Dialog& w) {
            bool chosen = false;
            auto text = AskLevelPrompt(prompt, caption, &chosen, &w);
            return Answer{std::move(text), chosen};
        },
        Answer{std::nullopt, false});
    *admin = a.second;
    return a.first;
}

namespace {
// Copies of passwords do not outlive their use.
void wipe(std::pair<std::vector<uint8_t>, std::vector<uint8_t>>& fields) {
    std::fill(fields.first.begin(), fields.first.end(), 0);
    std::fill(fields.second.begin(), fields.second.end(), 0);
}
}  // namespace

bool QtPanel::askPasswords(std::span<uint8_t> maint, std::span<uint8_t> admin) {
    // The window types into copies: a procedure that gave up waiting may
    // already have dropped the fields when the user confirms.
    using Fields = std::pair<std::vector<uint8_t>, std::vector<uint8_t>>;
    Fields start{{maint.begin(), maint.end()}, {admin.begin(), admin.end()}};
    const auto typed = request<std::optional<Fields>>(
        [start](Dialog& w) -> std::optional<Fields> {
            Fields fields = start;
            if (AskPasswordsPrompt(fields.first, fields.second, &w)) return fields;
            wipe(fields);
            return std::nullopt;
        },
        std::nullopt);
    wipe(start);
    if (!typed) return false;
    Fields fields = std::move(*typed);
    std::copy(fields.first.begin(), fields.first.end(), maint.begin());
    std::copy(fields.second.begin(), fields.second.end(), admin.begin());
    wipe(fields);
    return true;
}
