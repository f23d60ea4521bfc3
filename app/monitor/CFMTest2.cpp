#include "app/monitor/CFMTest2.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "app/kit/WindowTable.h"
#include "monitor/CFMTest2Ids.h"
#include "shell/ShellState.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"
#include "util/PumpWait.h"

using namespace fmwin;

namespace {
constexpr int kTemplate = 0;
QPointer<CFMTest2> g_open;

QLabel* field(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(80);
    return l;
}
}  // namespace

CFMTest2* CFMTest2::open(QWidget* parent) {
    if (!g_open) {
        g_open = new CFMTest2(parent);
        g_open->setAttribute(Qt::WA_DeleteOnClose);
    }
    g_open->show();
    g_open->raise();
    return g_open;
}

CFMTest2::CFMTest2(QWidget* parent, fmtest::FmTest::Options options) : Dialog(parent, kTemplate) {
    setWindowTitle("FM Approval Test");
    setModal(false);
    auto* grid = new QGridLayout(this);
    const fmtest::Choice chosen = fmtest::Remembered();
    const struct {
        int id;
        const char* caption;
        const std::vector<std::string>& entries;
        size_t selected;
    } lists[] = {{kFuel, "Fuel", fmtest::Fuels(), chosen.fuel},
                 {kFacing, "Facing", fmtest::Facings(), chosen.facing},
                 {kAngle, "Angle", fmtest::Angles(), chosen.angle},
                 {kDistance, "Distance", fmtest::Distances(), chosen.distance}};
    int column = 0;
    grid->addWidget(new QLabel("Date", this), 0, column);
    grid->addWidget(add(kDate, field(this)), 1, column++);
    grid->addWidget(new QLabel("Time", this), 0, column);
    grid->addWidget(add(kTime, field(this)), 1, column++);
    for (const auto& l : lists) {
        auto* box = add(l.id, new QComboBox(this));
        for (const std::string& e : l.entries) box->addItem(QString::fromStdString(e));
        box->setCurrentIndex(static_cast<int>(l.selected));
        QObject::connect(box, &QComboBox::currentIndexChanged, this, [this] {
            auto index = [this](int id) { return static_cast<size_t>(std::max(0, itemAs<QComboBox>(id)->currentIndex())); };
            fmtest::Remember({index(kFuel), index(kFacing), index(kAngle), index(kDistance)});
        });
        grid->addWidget(new QLabel(l.caption, this), 0, column);
        grid->addWidget(box, 1, column++);
    }
    const char* const headers[] = {"", "Addr", "S/N", "Model", "Status", "Alarm Relay", "Timer", "PC Timer"};
    for (int c = 0; c < kColumns; ++c) grid->addWidget(new QLabel(headers[c], this), 2, c);
    for (int r = 0; r < static_cast<int>(fmtest::kRows); ++r)
        for (int c = 0; c < kColumns; ++c) {
            auto* cell = add(Cell(r, c), c == Label ? new QLabel(this) : field(this));
            cell->setAutoFillBackground(true);
            grid->addWidget(cell, 3 + r, c);
        }
    const int bottom = 3 + static_cast<int>(fmtest::kRows);
    grid->addWidget(addButton(kStartClear, "Start &Timer"), bottom, 0, 1, 2);
    grid->addWidget(addButton(kManualBit, "Manual &BIT"), bottom, 2, 1, 2);
    grid->addWidget(addButton(kSave, "&Save"), bottom, 4);
    grid->addWidget(add(kShowPcTimer, new QCheckBox("Show PC Timer", this)), bottom, 5, 1, 2);
    QObject::connect(itemAs<QCheckBox>(kShowPcTimer), &QCheckBox::clicked, this, [this](bool on) {
        Shell().link().post([t = test_, on] { t->showPcTimer(on); });
    });

    test_ = std::make_shared<fmtest::FmTest>(panel(), std::move(options));
    Shell().link().post([t = test_] { t->open(); });
    ticks_ = TakeTicks([t = test_] { t->tick(TickMs()); }, kPollPeriodMs);
    if (!ticks_) setTimer(kPollTick, static_cast<int>(kPollPeriodMs));
    SetWindowSlot(slot::FmTest, this);
}

CFMTest2::~CFMTest2() { release(); }

void CFMTest2::release() {
    if (released_) return;
    released_ = true;
    stopTimer(kPollTick);
    if (ticks_) GiveTicksBack(ticks_);
    ClearWindowSlot(slot::FmTest, this);
}

void CFMTest2::done(int result) {
    if (closing_) return;
    closing_ = true;
    // A running test is cleared first, its save question still on this window.
    QPointer<CFMTest2> self(this);
    Shell().link().post([t = test_, self, result] {
        const bool closed = t->close();
        QMetaObject::invokeMethod(qApp, [self, result, closed] {
            if (!self) return;
            if (!closed) {
                self->closing_ = false;
                return;
            }
            self->release();
            self->Dialog::done(result);
            if (self->testAttribute(Qt::WA_DeleteOnClose)) self->deleteLater();
        }, Qt::QueuedConnection);
    });
}

void CFMTest2::onCommand(int id) {
    auto t = test_;
    switch (id) {
        case kStartClear:
            Shell().link().post([t] {
                if (t->running()) t->clear();
                else t->start();
            });
            break;
        case kManualBit: Shell().link().post([t] { t->manualBit(); }); break;
        case kSave: Shell().link().post([t] { t->save(); }); break;
        case kShowPcTimer: break;  // its click handler tells the test
        default: Dialog::onCommand(id);
    }
}

void CFMTest2::onTimer(int id) {
    if (id != kPollTick) return Dialog::onTimer(id);
    if (Shell().busy || inFlight_->exchange(true)) return;
    Shell().link().post([t = test_, flight = inFlight_] {
        t->tick(TickMs());
        *flight = false;
    });
}

void CFMTest2::setText(int id, const std::string& text) {
    Dialog::setText(id, text);
    if (id < kCellBase || id >= Cell(static_cast<int>(fmtest::kRows), 0)) return;
    const int row = (id - kCellBase) / kColumns, column = (id - kCellBase) % kColumns;
    if (column == Timer) {
        const bool frozen = text != "-" && text != " " && test_ &&
                            test_->shownState(static_cast<unsigned>(row)) == fmtest::Frozen;
        item(id)->setStyleSheet(frozen ? "background: rgb(255,0,0); color: white;"
                                       : "background: white; color: black;");
    } else if (column == ModeState) {
        const bool amber = !text.empty() && (text[0] == 'M' || text[0] == 'B' || text[0] == 'E');
        item(id)->setStyleSheet(amber ? "background: rgb(240,220,10); color: black;"
                                      : "background: white; color: black;");
    }
}
