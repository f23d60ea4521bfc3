#pragma once
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/HostSettings.h"
#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "protocol/Transport.h"
#include "sim/Control.h"
#include "sim/Line.h"

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

// The demo line in this process: IR at 1, UV/IR at 2, locked IR at 17.
inline std::unique_ptr<wsim::Line> demoLine() {
    wsim::LineOptions o;
    o.fast = true;
    auto line = std::make_unique<wsim::Line>(o);
    for (const auto& d : wsim::demoLine()) line->addDetector(d);
    std::string err;
    if (!line->start(&err)) return nullptr;
    return line;
}

// Clean process-wide state around each window test.
inline void resetShell() {
    ResetWire();
    ResetHost();
    Keys::set(KeyState{});
}
