#pragma once
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <vector>

#include "shell/ShellState.h"
#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "protocol/Transport.h"

// Runs the event loop until `done` holds or the time is up.
inline bool pumpUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Records every message box and answers with `answer`.
struct BoxRecorder {
    explicit BoxRecorder(int answer = IDOK) {
        SetMessageBoxAnswerer([this, answer](const MessageBoxCall& c) {
            calls.push_back(c);
            return next.empty() ? answer : take();
        });
    }
    ~BoxRecorder() { SetMessageBoxAnswerer({}); }
    int take() {
        const int n = next.front();
        next.erase(next.begin());
        return n;
    }
    std::vector<MessageBoxCall> calls;
    std::vector<int> next;  // answers for the next boxes, in order
};

// Clean process-wide state around each window test: the link worker first,
// so that nothing runs on the wire while it is reset.
inline void resetShell() {
    ResetShell();
    ResetWire();
    Keys::set(KeyState{});
}

// Acts on the next modal window of type W as soon as it is open.
template <class W>
void whenOpen(std::function<void(W&)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* window = dynamic_cast<W*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*window);
        }
    });
    timer->start(20);
}

// Runs `f` on the link worker and waits for it, pumping the interface meanwhile.
template <class F>
void onLink(F f) {
    std::atomic<bool> done{false};
    Shell().link().post([&] {
        f();
        done = true;
    });
    pumpUntil([&] { return done.load(); });
}
