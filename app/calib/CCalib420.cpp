#include "app/calib/CCalib420.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <atomic>
#include <optional>

#include "app/kit/WindowTable.h"
#include "calib/Calib420.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"
#include "util/Profile.h"
#include "util/PumpWait.h"

using namespace c420;

namespace {
constexpr unsigned kTickMs = 500, kIdleCheckMs = 1000, kPauseTickMs = 100;
const char* const kIni = "Param.ini";
}  // namespace

// What the link worker holds: the session once the setup has been read. Only
// the flags are touched from the interface thread.
struct CCalib420::Work {
    std::shared_ptr<QtPanel> panel;
    std::optional<Session> session;
    std::atomic<bool> ready{false}, applyPending{false}, ticking{false};
    bool closed = false;  // the closing has run (link worker)
};

CCalib420::CCalib420(QWidget* parent, std::function<bool()> connected, std::function<unsigned long long()> nowMs)
    : Dialog(parent), work_(std::make_shared<Work>()) {
    setWindowTitle("4-20 Scale Calibration");
    auto* grid = new QGridLayout(this);
    auto* four = add(kRadio4, new QRadioButton("4 mA", this));
    four->setChecked(true);
    grid->addWidget(four, 0, 0);
    grid->addWidget(add(kRadio20, new QRadioButton("20 mA", this)), 0, 1);
    grid->addWidget(addButton(kSet, "Set Fixed Current"), 0, 2);
    grid->addWidget(new QLabel("Multimeter Reading (mA):", this), 1, 0, 1, 2);
    auto* reading = add(kReading, new QLineEdit(this));
    grid->addWidget(reading, 1, 2);
    grid->addWidget(addButton(kApply, "Apply"), 2, 2);
    grid->addWidget(add(kList, new QListWidget(this)), 3, 0, 1, 3);
    grid->addWidget(addButton(kBurn, "Burn"), 4, 1);
    grid->addWidget(addButton(IDCANCEL, "Cancel"), 4, 2);
    for (auto* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    for (int id : {kSet, kApply, kBurn}) enable(id, false);
    work_->panel = panel();
    if (connected && !connected()) return;

    QObject::connect(reading, &QLineEdit::textEdited, this, [this] { post([](Work& w) { w.session->touch(); }); });
    ticks_ = TakeTicks([] {}, kPauseTickMs);
    Session::Options options;
    options.check = ProfileGetInt(kIni, "VantorD", "fCheck", 1) != 0;
    options.idleSeconds = static_cast<unsigned>(
        std::max(1, ProfileGetInt(kIni, "VantorD", "420_calib_auto_exit_timeout_sec", kDefaultIdleSeconds)));
    auto now = nowMs ? std::move(nowMs) : [] { return TickMs(); };
    RunProcedure(panel(), [w = work_, options, now](Panel& p) {
        const auto setup = ReadSetup();
        if (!setup) {
            p.close(IDCANCEL, 0);
            return;
        }
        w->session.emplace(*w->panel, LinkWire(), setup->LockState == 1, options, now);
        w->ready = true;
        p.setTimer(kIdleTimer, kIdleCheckMs, false);
    });
    SetWindowSlot(slot::Calibration, this);
}

CCalib420::~CCalib420() {
    // Destroyed without its closing (the application quits): the loop must not
    // stay at a fixed current. The detached panel answers the restart question No.
    if (!closing_) {
        Shell().link().post([w = work_] {
            if (w->session && !w->closed) {
                w->closed = true;
                w->session->close(false);
            }
        });
    }
    release();
}

bool CCalib420::ready() const { return work_->ready.load(); }

void CCalib420::post(std::function<void(Work&)> job) {
    Shell().link().post([w = work_, job = std::move(job)] {
        if (w->session && !w->closed) job(*w);
    });
}

void CCalib420::release() {
    if (released_) return;
    released_ = true;
    stopTimer(kTickTimer);
    stopTimer(kIdleTimer);
    if (ticks_) GiveTicksBack(ticks_);
    ClearWindowSlot(slot::Calibration, this);
}

void CCalib420::done(int result) {
    if (!ready() || released_) {
        release();
        Dialog::done(result);
        return;
    }
    if (closing_) return;
    closing_ = true;
    // The fixed current is stopped and the restart asked on the link; the window goes after.
    QPointer<CCalib420> self(this);
    Shell().link().post([w = work_, self, result] {
        if (!w->closed) {
            w->closed = true;
            w->session->close(false);
        }
        QMetaObject::invokeMethod(qApp, [self, result] {
            if (!self) return;
            self->release();
            self->Dialog::done(result);
        }, Qt::QueuedConnection);
    });
}

void CCalib420::onCommand(int id) {
    switch (id) {
        case kRadio4:
        case kRadio20: post([t = id == kRadio4 ? 4u : 20u](Work& w) { w.session->choose(t); }); break;
        case kSet:
            post([](Work& w) {
                w.session->set();
                w.panel->setTimer(kTickTimer, kTickMs, false);
            });
            break;
        case kApply:
            work_->applyPending = true;
            post([](Work& w) { w.session->touch(); });
            break;
        case kBurn:
            post([](Work& w) {
                // An accepted burn has closed the session (stop, restart question).
                if (w.session->burn() != Session::Result::Done) return;
                w.closed = true;
                w.panel->close(IDOK, 0);
            });
            break;
        case IDCANCEL: done(IDCANCEL); break;
        default: Dialog::onCommand(id);
    }
}

void CCalib420::onTimer(int id) {
    switch (id) {
        case kTickTimer:
            if (work_->ticking.exchange(true)) break;
            post([self = QPointer<CCalib420>(this)](Work& w) {
                if (!w.applyPending.exchange(false)) {
                    w.session->tick();
                } else if (w.session->apply(w.panel->text(kReading)) == Session::Result::OutOfRange) {
                    QMetaObject::invokeMethod(qApp, [self] {
                        if (!self) return;
                        auto* field = self->itemAs<QLineEdit>(kReading);
                        field->selectAll();
                        field->setFocus();
                    }, Qt::QueuedConnection);
                }
                w.ticking = false;
            });
            break;
        case kIdleTimer:
            post([](Work& w) {
                if (!w.session->idleExpired()) return;
                w.closed = true;
                w.session->close(true);
                w.panel->close(IDCANCEL, 0);
            });
            break;
        default: Dialog::onTimer(id);
    }
}
