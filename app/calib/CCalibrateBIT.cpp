#include "app/calib/CCalibrateBIT.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <atomic>
#include <cstdlib>
#include <utility>

#include "app/config/ParamView.h"
#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "app/kit/SunkenField.h"
#include "app/kit/WindowTable.h"
#include "calib/BitWire.h"
#include "calib/CCalibrateBITIds.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"

using namespace bitwin;

namespace {
constexpr unsigned kTickMs = 100;
constexpr const char* kModeEnter = "Enter UV BIT Calibration Mode with BIT durations (sec):";
constexpr const char* kDarkGo = "Cover Lens\r\nDark BIT - GO";
constexpr const char* kBrightGo = "Uncover Lens\r\nBright BIT - GO";


void onInterface(QPointer<CCalibrateBIT> self, std::function<void(CCalibrateBIT&)> f) {
    QMetaObject::invokeMethod(qApp, [self, f] { if (self) f(*self); }, Qt::QueuedConnection);
}
}  // namespace

// What the link worker holds of a set; the window's panel outlives the window.
struct CCalibrateBIT::Run {
    std::shared_ptr<Panel> panel;
    bitcal::WireBitLink link;
    std::unique_ptr<bitcal::BitSet> set;
    TickJob job;
    std::atomic<bool> ticking{false};
    std::atomic<bool> uvOn{false};  // the detector acknowledged the UV BIT calibration mode
};

CCalibrateBIT::CCalibrateBIT(bitcal::Kind kind, QWidget* parent)
    : Dialog(parent), kind_(kind), run_(std::make_shared<Run>()) {
    run_->panel = panel();
    setWindowTitle(kind == bitcal::Kind::Ir ? "Calibrate IR BIT" : "Calibrate UV BIT");
    build();
    SetWindowSlot(slot::Calibration, this);
    if (kind_ == bitcal::Kind::Ir) return;
    QPointer<CCalibrateBIT> self(this);
    RunProcedure(panel(), [self](Panel&) {
        const auto post = bitcal::ReadPostManbit();
        onInterface(self, [post](CCalibrateBIT& w) { w.setupRead(post); });
    });
}

CCalibrateBIT::~CCalibrateBIT() {
    abortSet(false);
    // Destroyed without its closing (the application quits): leave the mode all the same.
    Shell().link().post([run = run_] {
        if (run->uvOn.exchange(false)) bitcal::SetUvBitCalibration(false);
    });
    ClearWindowSlot(slot::Calibration, this);
}

void CCalibrateBIT::build() {
    const bool uv = kind_ == bitcal::Kind::Uv;
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [caption, id] : {std::pair{"Address:", kAddress}, {"Serial No.:", kSerial}, {"Model:", kModel},
                                      {"Status:", kModeState}}) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        grid->addWidget(add(id, SunkenField(this)), row++, 1, 1, 3);
    }
    if (uv) {
        auto* mode = addButton(kMode, kModeEnter);
        mode->setCheckable(true);
        grid->addWidget(mode, row, 0);
        for (int i = 0; i < 3; ++i) grid->addWidget(add(kDuration0 + i, new QLineEdit(i ? "0" : "", this)), row, 1 + i);
        ++row;
    }
    const char* reading = uv ? "UV BIT # %1" : "IR BIT # %1";
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(QString(reading).arg(i + 1), this), row, 0);
        grid->addWidget(add(kReading0 + i, SunkenField(this)), row++, 1, 1, 3);
    }
    // Each set's average under its button.
    grid->addWidget(addButton(kDark, kDarkGo), row, 0);
    grid->addWidget(addButton(kBright, kBrightGo), row++, 1, 1, 3);
    grid->addWidget(new QLabel(uv ? "UV BIT / sec AVG" : "IR BIT AVG", this), row++, 0, 1, 4, Qt::AlignCenter);
    grid->addWidget(add(kDarkAvg, new QLineEdit(this)), row, 0);
    grid->addWidget(add(kBrightAvg, new QLineEdit(this)), row++, 1, 1, 3);
    for (int id : {kDarkAvg, kBrightAvg}) enable(id, false);
    grid->addWidget(addButton(kCalculate, "Calculate"), row, 0);
    grid->addWidget(addButton(kBurn, "If Results make sense\r\nBurn"), row++, 1, 1, 3);
    for (int id : {kProgress, kResult}) grid->addWidget(add(id, new QLabel(this)), row++, 0, 1, 4);
    grid->addWidget(addButton(kButton1, "Button1"), row, 3);
    for (auto* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    for (int id : {kBright, kCalculate, kBurn}) enable(id, false);
    // UV: nothing until the setup is read and the mode is entered.
    if (uv)
        for (int id : {kMode, kDark}) enable(id, false);
}

void CCalibrateBIT::setupRead(std::optional<uint8_t> postManbit) {
    if (!postManbit) {
        MessageBox("Failed geting SETUP\r\nExiting dialog", "Error", MB_OK | MB_ICONERROR, this);
        QDialog::done(IDCANCEL);
        return;
    }
    postManbit_ = *postManbit;
    enable(kMode, true);
}

void CCalibrateBIT::onCommand(int id) {
    switch (id) {
        case kDark: startOrAbort(Which::Dark); break;
        case kBright: startOrAbort(Which::Bright); break;
        case kCalculate: calculate(); break;
        case kBurn: burn(); break;
        case kMode: toggleMode(); break;
        case kButton1: testAid(); break;
        default: Dialog::onCommand(id);
    }
}

void CCalibrateBIT::onTimer(int id) {
    if (id != kTickTimer) return Dialog::onTimer(id);
    // A tick that comes while the previous one still runs is dropped.
    if (run_->ticking.exchange(true)) return;
    Shell().link().post([run = run_] {
        if (run->job) run->job();
        run->ticking = false;
    });
}

void CCalibrateBIT::startOrAbort(Which which) {
    const int button = which == Which::Dark ? kDark : kBright;
    if (running_ == which) {
        abortSet();
        setText(button, which == Which::Dark ? kDarkGo : kBrightGo);
        return;
    }
    if (running_) return;
    running_ = which;
    // A new set makes the last ratio test stale.
    passed_.reset();
    for (int id : {kCalculate, kBurn}) enable(id, false);
    setText(button, which == Which::Dark ? "Dark BIT: Abort" : "Bright BIT: Abort");
    const bitcal::BitSet::Config config{kind_, durations_, postManbit_};
    const unsigned generation = ++generation_;
    QPointer<CCalibrateBIT> self(this);
    Shell().link().post([run = run_, config, which, generation, self] {
        run->set = std::make_unique<bitcal::BitSet>(*run->panel, run->link, config);
        run->set->start(which);
        run->job = [run = run.get(), generation, self] {
            if (!run->set || !run->set->running()) return;
            const bitcal::BitSet::Tick t = run->set->tick();
            if (t == bitcal::BitSet::Tick::Running) return;
            onInterface(self, [generation, t, error = run->set->error(), qtemp = run->set->qtemp()](CCalibrateBIT& w) {
                w.ended(generation, t, error, qtemp);
            });
        };
    });
    ticks_ = TakeTicks([run = run_] { if (run->job) run->job(); }, kTickMs);
    if (!ticks_) setTimer(kTickTimer, kTickMs);
}

void CCalibrateBIT::abortSet(bool restoreButton) {
    ++generation_;
    if (running_ && restoreButton) {
        const bool dark = *running_ == Which::Dark;
        setText(dark ? kDark : kBright, dark ? kDarkGo : kBrightGo);
    }
    running_.reset();
    stopTimer(kTickTimer);
    if (ticks_) GiveTicksBack(std::exchange(ticks_, 0));
    Shell().link().post([run = run_] {
        if (run->set) run->set->abort();
        run->job = nullptr;
    });
}

void CCalibrateBIT::ended(unsigned generation, bitcal::BitSet::Tick tick, const std::string& error, float qtemp) {
    if (generation != generation_ || !running_) return;
    const Which which = *running_;
    abortSet();
    const bool dark = which == Which::Dark;
    if (tick == bitcal::BitSet::Tick::Done) {
        qtemp_ = qtemp;
        setText(dark ? kDark : kBright, dark ? "Cover Lens\r\nDark BIT - (*) GO" : "Uncover Lens\r\nBright BIT - (*) GO");
        enable(dark ? kBright : kCalculate, true);
        return;
    }
    setText(dark ? kDark : kBright, dark ? kDarkGo : kBrightGo);
    MessageBox(error, "Error", MB_OK | MB_ICONERROR, this);
    if (tick == bitcal::BitSet::Tick::UvFault) done(IDCANCEL);
}

float CCalibrateBIT::field(int id) const { return std::strtof(text(id).c_str(), nullptr); }

void CCalibrateBIT::calculate() {
    setText(kProgress, "");
    setText(kResult, "");
    const bitcal::Params params = bitcal::ReadParams(kind_);
    const bitcal::RatioResult r = bitcal::RatioTest(kind_, field(kBrightAvg), field(kDarkAvg), params.p[0]);
    setText(kResult, r.line);
    passed_.reset();
    if (r.pass) passed_ = std::pair{field(kDarkAvg), field(kBrightAvg)};
    enable(kBurn, r.pass);
    if (!r.pass) MessageBox("Cannot proceed\r\nBad Bright/Dark ratio(s)...", "Error", MB_OK | MB_ICONERROR, this);
}

void CCalibrateBIT::burn() {
    // Only averages that passed the ratio test are burned (the test aid may type its own).
    if (!passed_ && !debug_) return;
    const float dark = passed_ && !debug_ ? passed_->first : field(kDarkAvg);
    const float bright = passed_ && !debug_ ? passed_->second : field(kBrightAvg);
    const bitcal::Params params = bitcal::ReadParams(kind_);
    std::string error;
    ParamHandIn handIn;
    std::unique_ptr<ParamViewBase> view;
    if (kind_ == bitcal::Kind::Ir) {
        if (Shell().detector.uvirModel) return;
        const auto v = bitcal::IrThreshold(params, dark, qtemp_, &error);
        if (v) {
            handIn.manbit = handIn.autobit = double(*v);
            view = std::make_unique<ParamView>(this, handIn);
        }
    } else if (const auto t = bitcal::UvThresholds(params, dark, bright, qtemp_, &error)) {
        if (debug_ || Keys::shift()) MessageBox(t->debugLine, "Param", MB_OK, this);
        handIn.uvbitThr = t->threshold;
        handIn.uvbitDuration = int(t->duration);
        view = std::make_unique<UVIRParamView>(this, handIn);
    }
    if (!view) {
        MessageBox(error, "Error", MB_OK | MB_ICONERROR, this);
        return;
    }
    // The view closes with OK only after its write was read back equal.
    if (view->exec() != IDOK) return;
    burned_ = true;
    setText(kProgress, "Parameters verified");
}

void CCalibrateBIT::toggleMode() {
    const bool enter = isChecked(kMode);
    if (enter) {
        const auto c = bitcal::CheckDurations({text(kDuration0), text(kDuration0 + 1), text(kDuration0 + 2)});
        if (c.refused >= 0) {
            setChecked(kMode, false);
            const int id = kDuration0 + c.refused;
            if (!c.fieldText.empty()) setText(id, c.fieldText);
            if (!c.message.empty()) MessageBox(c.message, "Error", MB_OK | MB_ICONERROR, this);
            auto* edit = itemAs<QLineEdit>(id);
            edit->selectAll();
            edit->setFocus();
            return;
        }
        durations_ = c.durations;
        for (int i = 0; i < 3; ++i) enable(kDuration0 + i, false);
    } else if (running_) {
        abortSet();
    }
    enable(kMode, false);
    modePending_ = true;
    QPointer<CCalibrateBIT> self(this);
    RunProcedure(panel(), [self, enter, run = run_](Panel&) {
        const bool ok = bitcal::SetUvBitCalibration(enter);
        if (ok) run->uvOn = enter;
        onInterface(self, [enter, ok](CCalibrateBIT& w) { w.modeAnswered(enter, ok); });
    });
}

void CCalibrateBIT::modeAnswered(bool enter, bool ok) {
    modePending_ = false;
    enable(kMode, true);
    if (enter && ok) {
        modeEntered_ = true;
        setText(kMode, "Exit UV BIT Calibration Mode");
        enable(kDark, true);
        setText(kProgress, "UV BIT Calibration Mode entered");
    } else if (enter) {
        setChecked(kMode, false);
        for (int i = 0; i < 3; ++i) enable(kDuration0 + i, true);
        setText(kProgress, "Entering UV BIT Calibration Mode - FAILED");
    } else if (ok) {
        modeEntered_ = false;
        for (int id : {kDark, kBright, kCalculate, kBurn}) enable(id, false);
        for (int i = 0; i < 3; ++i) enable(kDuration0 + i, true);
        setText(kDark, kDarkGo);
        setText(kBright, kBrightGo);
        setText(kMode, "Enter UV BIT Calibration Mode with BIT duration:");
        setText(kProgress, "UV BIT Calibration Mode exited");
    } else {
        setChecked(kMode, true);
        setText(kProgress, "Exiting UV BIT Calibration Mode - FAILED");
    }
}

void CCalibrateBIT::testAid() {
    if (!Keys::shift()) return;
    qtemp_ = 20.0f;
    debug_ = true;
    for (int id : {kDarkAvg, kBrightAvg, kCalculate, kBurn}) enable(id, true);
}

void CCalibrateBIT::done(int result) {
    if (closing_) return;
    if (running_) abortSet();
    if (!modeEntered_ && !modePending_) {
        Dialog::done(result);
        return;
    }
    // Behind a request still on its way: the worker knows what the detector acknowledged.
    closing_ = true;
    QPointer<CCalibrateBIT> self(this);
    RunProcedure(panel(), [self, result, run = run_](Panel& p) {
        const auto leave = [run] {
            const bool ok = bitcal::SetUvBitCalibration(false);
            if (ok) run->uvOn = false;
            return ok;
        };
        const auto closed = run->uvOn ? bitcal::CloseInUvMode(p, leave) : bitcal::UvClose::Left;
        onInterface(self, [closed, result](CCalibrateBIT& w) {
            w.closing_ = false;
            if (closed == bitcal::UvClose::Stay) return;
            w.modeEntered_ = false;
            w.Dialog::done(result);
        });
    });
}
