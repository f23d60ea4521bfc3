#include "app/calib/CCalibrate.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>

#include "app/config/ParamView.h"
#include "app/kit/MessageBox.h"
#include "app/kit/OpenDocument.h"
#include "app/kit/QtPump.h"
#include "app/kit/SunkenField.h"
#include "app/kit/WindowTable.h"
#include "calib/AutoCalibWire.h"
#include "calib/CalibrateTexts.h"
#include "calib/CCalibrateIds.h"
#include "cli/StopSignals.h"
#include "network/AddressBook.h"
#include "protocol/Transport.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"
#include "util/Keyboard.h"
#include "util/Log.h"
#include "util/Profile.h"
#include "util/WholeFile.h"

using namespace calwin;
using autocal::Calibration;
using End = Calibration::End;

namespace {

constexpr unsigned kTickMs = 50, kRefusedCloseMs = 100, kStopPollMs = 100;
const char* const kReadMe = "CalibrationReadMe.txt";

const char* const kReadMeText =
    "Calibration of IR and UV/IR detectors against a master\r\n"
    "======================================================\r\n\r\n"
    "The master (address 247) and up to eight slaves of the same model hang on one\r\n"
    "RS-485 network and look at the same scene. Select them in the address book\r\n"
    "(Network), the master first.\r\n\r\n"
    "1. Learn Background: mask the sensors; every detector keeps the highest value of\r\n"
    "   each channel for the Duration (seconds).\r\n"
    "2. Accumulate Sums: expose the sensors to the flame; after the stabilisation wait\r\n"
    "   every detector sums Iterations readings.\r\n"
    "3. Conclude Calibration (Burn): the master's calibration goes to every detector\r\n"
    "   at once (nobody can be left out); each slave's scale values are read and\r\n"
    "   checked against the bands lo..hi.\r\n"
    "4. Verification: type or scan each slave's serial number into its field, then\r\n"
    "   double click its radio button (or press Enter in the field) and confirm its\r\n"
    "   parameters with OK; the serial number is written then.\r\n\r\n"
    "Closing the window ends the calibration mode of all detectors. A detector that\r\n"
    "may still be in calibration mode is ended with 'wexcon-cli calib off' or a reset.\r\n\r\n"
    "Unattended: Wexcon --auto-calibration ir|uvir --serials LIST [--retries N]\r\n"
    "writes Results/AutoCalib_..._gmt.txt and burns the serial numbers itself.\r\n";

const char* const kVerifyHint =
    "Calibration has been applied to the 3 parameters copies.\r\nClick on slave's radio button to view scaling "
    "info.\r\nDouble click on slave's radio button to visually verify parameters.\r\nOr - hit <Enter> with the caret "
    "in the slave's 'iter/stat' field.";

std::string Fixed2(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2f", v);
    return b;
}

// A field's number; -1 when it holds none (as "N/A" in the file).
double FieldValue(const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? -1.0 : v;
}

}  // namespace

// What the jobs on the link worker share with the window; it outlives it.
struct CCalibrate::Run {
    std::shared_ptr<QtPanel> panel;
    autocal::WireCalibLink link;
    std::unique_ptr<Calibration> calibration;  // manual mode
    std::atomic<int> busy{0};  // steps asked for and not ended: a Start queues one behind the background poll
    std::atomic<bool> burned{false}, accumulationAsked{false};
    mutable std::mutex m;
    std::optional<autocal::RunResult> result;  // automatic mode
};

CCalibrate::CCalibrate(QWidget* parent, ParamKind kind, const autocal::RunOptions* automatic)
    : Dialog(parent), kind_(kind), run_(std::make_shared<Run>()) {
    run_->panel = panel();
    setWindowTitle("Calibration");
    autocal::RunOptions options;
    if (automatic) {
        options = *automatic;
    } else {
        options.kind = kind;
        for (uint8_t a : Book().selected()) options.addresses.push_back(a);
        if (options.addresses.empty()) options.addresses.push_back(Shell().detector.address);
        if (options.addresses.size() > autocal::kMaxRows) options.addresses.resize(autocal::kMaxRows);
        options.manual = true;
    }
    rows_ = options.addresses.size();
    build();
    const KeyState keys = CurrentKeys();
    const bool letThrough = options.addresses[0] == autocal::kMasterAddress && keys.ctrl && keys.shift;
    if (const auto rowsError = autocal::CheckRows(options.addresses); rowsError && !letThrough) {
        refused_ = true;
        MessageBox(*rowsError, "Error", MB_OK | MB_ICONERROR, this);
        return;
    }
    for (size_t i = 0; i < rows_; ++i)
        setText(kRadio0 + static_cast<int>(i), i ? std::to_string(options.addresses[i]) : "Master");
    for (int id : {kLearnStart, kAccumStart, kBurn, kVerifyText}) enable(id, false);
    setText(kVerifyText, kVerifyHint);
    ticks_ = TakeTicks([] {}, kTickMs);
    SetWindowSlot(kind == ParamKind::Ir ? slot::Calibration : slot::FmTest, this);

    if (automatic) {
        auto run = run_;
        RunProcedure(panel(), [run, options](Panel& p) {
            auto result = autocal::RunAutoCalibration(p, run->link, options);
            SelectSlave(options.addresses.size() > 1 ? options.addresses[1] : options.addresses[0]);
            {
                std::lock_guard lock(run->m);
                run->result = std::move(result);
            }
            p.setText(kStatus, "Done.");
            p.close(IDOK, 1500);
        });
        return;
    }
    run_->calibration = std::make_unique<Calibration>(*run_->panel, run_->link, options);
    const autocal::Settings& st = run_->calibration->settings();
    setText(kDuration, std::to_string(st.learnSec));
    setText(kIterations, std::to_string(st.iterations));
    if (kind == ParamKind::Uvir) setText(kUvSumThr, std::to_string(st.uvSumThr));
    const auto& family = autocal::FamilyOf(kind);
    for (unsigned k = 0; k < family.quantities; ++k) {
        setText(kLo0 + static_cast<int>(k), family.banded(k) ? Fixed2(st.bands[k].lo) : "-");
        setText(kHi0 + static_cast<int>(k), family.banded(k) ? Fixed2(st.bands[k].hi) : "-");
    }
    step(0, &Calibration::background, kLearnStart);
}

CCalibrate::~CCalibrate() { release(); }

void CCalibrate::build() {
    const auto& family = autocal::FamilyOf(kind_);
    auto* grid = new QGridLayout(this);
    auto* rows = new QGroupBox(this);
    auto* r = new QGridLayout(rows);
    r->addWidget(add(kMonitorLabel, new QLabel("Monitor", rows)), 0, 0);
    r->addWidget(add(kRowTitle, new QLabel("iter / stat", rows)), 0, 1);
    const bool ir3 = Shell().detector.alternateSensor.load();
    const char* irNames[] = {"sum45", ir3 ? "sum24" : "sum4", "sum5", ir3 ? "sum3" : "sum44"};
    const char* uvirNames[] = {"first pass", "ratio high", "ratio low", "UV Sum"};
    for (int c = 0; c < 4; ++c)
        r->addWidget(new QLabel(kind_ == ParamKind::Ir ? irNames[c] : uvirNames[c], rows), 0, 2 + c);
    for (int i = 0; i < static_cast<int>(autocal::kMaxRows); ++i) {
        auto* radio = add(kRadio0 + i, new QRadioButton(rows));
        radio->installEventFilter(this);
        auto* field = add(kIterStat0 + i, new QLineEdit(rows));
        field->installEventFilter(this);
        QObject::connect(field, &QLineEdit::textEdited, this, [this, field](const QString& text) {
            const std::string label = autocal::ScannedLabel(s(text));
            if (label != s(text)) field->setText(q(label));
        });
        r->addWidget(radio, i + 1, 0);
        r->addWidget(field, i + 1, 1);
        for (int c = 0; c < 4; ++c) r->addWidget(add(kValue0 + 4 * i + c, SunkenField(rows)), i + 1, 2 + c);
        for (QWidget* w : {static_cast<QWidget*>(radio), static_cast<QWidget*>(field)})
            w->setVisible(static_cast<size_t>(i) < rows_);
        for (int c = 0; c < 4; ++c) item(kValue0 + 4 * i + c)->setVisible(static_cast<size_t>(i) < rows_);
    }
    grid->addWidget(rows, 0, 0, 4, 1);

    auto* scales = new QGroupBox("Scaling", this);
    auto* sc = new QGridLayout(scales);
    static const char* const kIrQuantities[] = {"Sum45",      "Sum4",       "Sum5",       "Sum44",       "Ratio45to4",
                                                "Ratio45to5", "Ratio44to4", "Ratio44to5", "Ratio44to45", "Ratio4to5"};
    static const char* const kIr3Quantities[] = {"Sum45",       "sum24",     "Sum5",      "sum3",       "Ratio45to24",
                                                 "Ratio45to5",  "Ratio3to24", "Ratio3to5", "Ratio3to45", "Ratio24to5"};
    static const char* const kUvirQuantities[] = {"Sum First Pass", "Ratio High", "Ratio Low"};
    sc->addWidget(new QLabel("lo", scales), 0, 1);
    sc->addWidget(new QLabel("scale", scales), 0, 2);
    sc->addWidget(new QLabel("hi", scales), 0, 3);
    for (int k = 0; k < static_cast<int>(family.quantities); ++k) {
        const char* name = kind_ == ParamKind::Uvir ? kUvirQuantities[k] : ir3 ? kIr3Quantities[k] : kIrQuantities[k];
        sc->addWidget(new QLabel(name, scales), k + 1, 0);
        sc->addWidget(add(kLo0 + k, new QLineEdit(scales)), k + 1, 1);
        sc->addWidget(add(kScale0 + k, SunkenField(scales)), k + 1, 2);
        sc->addWidget(add(kHi0 + k, new QLineEdit(scales)), k + 1, 3);
        if (!family.banded(k)) enable(kLo0 + k, false), enable(kHi0 + k, false);
    }
    grid->addWidget(scales, 0, 1, 4, 1);

    auto* learn = new QGroupBox("1. Learn Background", this);
    auto* l = new QGridLayout(learn);
    l->addWidget(new QLabel("Duration", learn), 0, 0);
    l->addWidget(add(kDuration, new QLineEdit(learn)), 0, 1);
    l->addWidget(addButton(kLearnStart, "Start"), 1, 0, 1, 2);
    grid->addWidget(learn, 0, 2);
    auto* accumulate = new QGroupBox("2. Accumulate Sums", this);
    auto* a = new QGridLayout(accumulate);
    a->addWidget(new QLabel("Iterations", accumulate), 0, 0);
    a->addWidget(add(kIterations, new QLineEdit(accumulate)), 0, 1);
    if (kind_ == ParamKind::Uvir) {
        a->addWidget(new QLabel("UV Sum Threshold", accumulate), 1, 0);
        a->addWidget(add(kUvSumThr, SunkenField(accumulate)), 1, 1);
    }
    a->addWidget(addButton(kAccumStart, "Start"), 2, 0, 1, 2);
    grid->addWidget(accumulate, 1, 2);
    auto* conclude = new QGroupBox("3. Conclude Calibration", this);
    (new QVBoxLayout(conclude))->addWidget(addButton(kBurn, "Burn"));
    grid->addWidget(conclude, 2, 2);
    auto* verification = new QGroupBox("4. Verification", this);
    auto* verifyText = add(kVerifyText, new QLabel(verification));
    verifyText->setWordWrap(true);
    (new QVBoxLayout(verification))->addWidget(verifyText);
    grid->addWidget(verification, 3, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(addButton(kDefaults, "Set Dialog Defaults"));
    bottom->addWidget(addButton(kHelp, "?"));
    bottom->addWidget(add(kProgress, new QProgressBar(this)));
    bottom->addWidget(add(kStatus, new QLabel(this)), 1);
    grid->addLayout(bottom, 4, 0, 1, 3);
    grid->addWidget(add(kLogList, new QListWidget(this)), 5, 0, 1, 3);
    for (auto* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
}

int CCalibrate::exec() { return refused_ ? IDCANCEL : Dialog::exec(); }

bool CCalibrate::idle() const { return !run_->busy; }

std::optional<autocal::RunResult> CCalibrate::result() const {
    std::lock_guard lock(run_->m);
    return run_->result;
}

// One step of the manual mode on the link worker; its end enables the next.
// The fields' values reach the settings through `set`, on the worker: the
// step before may still be running there.
void CCalibrate::step(int button, End (Calibration::*fn)(), int next, std::function<void(autocal::Settings&)> set) {
    auto run = run_;
    ++run->busy;
    const bool again = fn == &Calibration::accumulate;
    const bool burn = fn == &Calibration::burn;
    if (again) run->accumulationAsked = true;
    RunProcedure(
        panel(),
        [run, fn, button, next, again, burn, set = std::move(set)](Panel& p) {
            if (set) set(run->calibration->settings());
            const End e = ((*run->calibration).*fn)();
            if (e == End::Done) {
                if (button) p.setText(button, "Done."), p.enable(button, false);
                if (next) p.enable(next, true);
                if (burn) run->burned = true, p.enable(kVerifyText, true);
            } else if (e == End::Stopped && again) {
                p.setText(button, "Start");
            } else if (e == End::Stopped || e == End::Refused) {
                p.close(IDCANCEL, kRefusedCloseMs);
            }
            --run->busy;
        },
        true, [run] { --run->busy; });
}

// A row's scale record, as a job: a running step would otherwise share the line.
void CCalibrate::showScale(size_t row) {
    if (!run_->burned || !idle()) return;
    auto run = run_;
    RunProcedure(panel(), [run, row](Panel&) { run->calibration->showScale(row); });
}

void CCalibrate::onCommand(int id) {
    if (id == kHelp) return showHelp();
    if (!run_->calibration) return Dialog::onCommand(id);
    switch (id) {
        case kLearnStart:
        case kAccumStart: {
            // Learning's Start also ends the background poll, which runs until then.
            if (id == kLearnStart || text(id) == "Abort") run_->calibration->stopStep();
            if (text(id) == "Abort") break;
            std::function<void(autocal::Settings&)> set;
            if (id == kLearnStart) {
                const long long duration = std::atoll(text(kDuration).c_str());
                const auto sec = static_cast<unsigned>(std::clamp<long long>(duration, 0, autocal::kMaxLearnSec));
                setText(kDuration, std::to_string(sec));
                setText(kMonitorLabel, "Monitor Sums");
                set = [sec](autocal::Settings& st) { st.learnSec = sec; };
            } else {
                const unsigned n = autocal::IterationsRule(std::atoll(text(kIterations).c_str()));
                setText(kMonitorLabel, "Monitor Accumulating");
                set = [n](autocal::Settings& st) { st.iterations = n; };
            }
            setText(id, "Abort");
            step(id, id == kLearnStart ? &Calibration::learn : &Calibration::accumulate,
                 id == kLearnStart ? kAccumStart : kBurn, std::move(set));
            break;
        }
        case kBurn: {
            enable(kBurn, false);
            setText(kBurn, "Processing...");
            const auto& family = autocal::FamilyOf(kind_);
            std::vector<std::optional<autocal::Band>> bands(family.quantities);
            for (unsigned k = 0; k < family.quantities; ++k)
                if (family.banded(k))
                    bands[k] = autocal::Band{FieldValue(text(kLo0 + static_cast<int>(k))),
                                             FieldValue(text(kHi0 + static_cast<int>(k)))};
            step(kBurn, &Calibration::burn, 0, [bands](autocal::Settings& st) {
                for (size_t k = 0; k < bands.size() && k < st.bands.size(); ++k)
                    if (bands[k]) st.bands[k] = *bands[k];
            });
            break;
        }
        case kDefaults: saveDefaults(); break;
        case kRadio0 + 0: case kRadio0 + 1: case kRadio0 + 2: case kRadio0 + 3: case kRadio0 + 4:
        case kRadio0 + 5: case kRadio0 + 6: case kRadio0 + 7: case kRadio0 + 8:
            showScale(static_cast<size_t>(id - kRadio0));
            break;
        default: Dialog::onCommand(id);
    }
}

bool CCalibrate::eventFilter(QObject* watched, QEvent* event) {
    const int id = watched->property("controlId").toInt();
    const bool radio = id >= kRadio0 && id < kRadio0 + static_cast<int>(rows_);
    const bool field = id >= kIterStat0 && id < kIterStat0 + static_cast<int>(rows_);
    if (run_->calibration && run_->burned) {
        if (field && event->type() == QEvent::FocusIn) showScale(static_cast<size_t>(id - kIterStat0));
        if (radio && event->type() == QEvent::MouseButtonDblClick) {
            verify(static_cast<size_t>(id - kRadio0));
            return true;
        }
        if (field && id != kIterStat0 && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                verify(static_cast<size_t>(id - kIterStat0));
                return true;
            }
        }
    }
    return Dialog::eventFilter(watched, event);
}

void CCalibrate::verify(size_t row) {
    if (!run_->calibration || row >= rows_ || !idle()) return;
    ParamHandIn handIn;
    if (row > 0) {
        const int id = kIterStat0 + static_cast<int>(row);
        const auto serial = autocal::SerialNumber(autocal::ScannedLabel(text(id)));
        if (!serial) {
            if (auto* field = itemAs<QLineEdit>(id)) field->selectAll(), field->setFocus();
            MessageBox(autocal::kSerialText, autocal::kSerialCaption, MB_OK | MB_ICONEXCLAMATION, this);
            return;
        }
        handIn.serial = *serial;
    }
    const unsigned address = run_->calibration->address(row);
    DebugLog("Calibration: Get 'param' from %s %u", row ? "slave" : "master", address);
    Shell().link().call([address] { SelectSlave(address); });
    std::unique_ptr<QDialog> view;
    if (kind_ == ParamKind::Ir) view = std::make_unique<ParamView>(this, handIn);
    else view = std::make_unique<UVIRParamView>(this, handIn);
    if (view->exec() != IDOK) return;
    run_->calibration->verified(row);
    setIndicator(kRadio0 + static_cast<int>(row), 1);
    if (run_->calibration->unverifiedSlaves() == 0) setText(kVerifyText, "Done.");
}

void CCalibrate::saveDefaults() {
    const auto& family = autocal::FamilyOf(kind_);
    const char* ini = "Param.ini";
    ProfileWriteString(ini, family.section, "LearnBGsec", text(kDuration));
    ProfileWriteString(ini, family.section, "num_iter", text(kIterations));
    for (unsigned k = 0; k < family.quantities; ++k) {
        if (!family.banded(k)) continue;
        double hi = FieldValue(text(kHi0 + static_cast<int>(k))), lo = FieldValue(text(kLo0 + static_cast<int>(k)));
        if (hi <= 1.0 || hi > 9.9) hi = 9.9;
        if (lo < 0.01 || lo > 9.9) lo = 0.0;
        ProfileWriteString(ini, family.section, "tol" + std::to_string(k + 1), Fixed2(hi));
        ProfileWriteString(ini, family.section, "tol_" + std::to_string(k + 1), Fixed2(lo));
    }
}

void CCalibrate::showHelp() {
    // The read-me is the project's own; it is written where the window looks for it.
    if (!std::filesystem::exists(kReadMe)) {
        const std::string_view t(kReadMeText);
        WriteWholeFile(kReadMe, std::span(reinterpret_cast<const uint8_t*>(t.data()), t.size()));
    }
    if (!OpenDocument(kReadMe))
        MessageBox(std::string("Failed opening \"") + kReadMe + "\"...", "Error", MB_OK | MB_ICONEXCLAMATION, this);
}

void CCalibrate::release() {
    if (released_) return;
    released_ = true;
    if (ticks_) GiveTicksBack(ticks_);
    ClearWindowSlot(kind_ == ParamKind::Ir ? slot::Calibration : slot::FmTest, this);
}

void CCalibrate::done(int result) {
    // An accumulation step asked for may not have begun yet, or be beginning now.
    if (run_->calibration && !refused_ && !confirmed_ &&
        (run_->accumulationAsked || run_->calibration->accumulationBegun())) {
        const unsigned open = run_->calibration->unverifiedSlaves();
        if (open && MessageBox(autocal::IncompleteText(open, run_->calibration->respondingSlaves()),
                               "Calibration Incomplete", MB_OKCANCEL | MB_ICONEXCLAMATION, this) != IDOK)
            return;
        confirmed_ = true;
    }
    if (run_->calibration && !refused_) {
        panel()->requestAbort();
        auto run = run_;
        // A plain job after the running step, not a procedure: that would clear
        // the abort the step has to see. Polling stays held until it ran.
        Shell().busy = true;
        Shell().link().post([run] {
            // The window is gone by now: the box is the application's.
            if (!run->calibration->close())
                QMetaObject::invokeMethod(qApp, [] { MessageBox(autocal::kModeStillOnText, "Warning", MB_OK | MB_ICONEXCLAMATION); },
                                          Qt::QueuedConnection);
            SelectSlave(run->calibration->address(run->calibration->address(1) ? 1 : 0));
            Shell().busy = false;
        });
    } else if (!refused_) {
        panel()->requestAbort();
    }
    release();
    Dialog::done(result);
}

int RunAutoCalibrationWindow(ParamKind kind, const std::string& serials, unsigned retries) {
    InstallQtPumpWait();
    SetMessageBoxAnswerer([](const MessageBoxCall& box) {
        std::cerr << box.caption << ": " << box.text << std::endl;
        return (box.buttons & 0xF) == MB_YESNO || (box.buttons & 0xF) == MB_YESNOCANCEL ? IDYES : IDOK;
    });
    LoadHostSettings();
    autocal::RunOptions options;
    options.kind = kind;
    options.retries = retries;
    Book().load("Param.ini");
    for (uint8_t a : Book().selected()) options.addresses.push_back(a);
    if (options.addresses.empty()) options.addresses.push_back(Wire().slave);
    // The rows and serials are refused before the port is even tried, as on the command line.
    std::string error;
    int code = autocal::PrepareRun(options, serials, &error);
    if (code) {
        std::cerr << "Wexcon: " << error << "\n";
    } else if (!OpenDetectorLink([] { return false; })) {
        std::cerr << "Wexcon: the port of Param.ini did not open: " << Wire().openError << "\n";
        code = autocal::kExitUsage;
    } else {
        std::optional<autocal::RunResult> result;
        {
            StopSignals stopSignals;
            std::unique_ptr<CCalibrate> window = kind == ParamKind::Ir
                                                     ? std::make_unique<CCalibrate>(nullptr, &options)
                                                     : std::make_unique<CUVIRCalibration>(nullptr, &options);
            // The run's log lines on standard error as they reach the window's list.
            if (auto* list = window->itemAs<QListWidget>(kLogList))
                QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list, [list](const QModelIndex&, int first, int last) {
                    for (int row = first; row <= last; ++row) std::cerr << s(list->item(row)->text()) << std::endl;
                });
            // A signal only aborts the run: its job still ends the mode and closes the window.
            QTimer stopPoll;
            QObject::connect(&stopPoll, &QTimer::timeout, [&window] {
                if (StopSignals::stopRequested()) window->panel()->requestAbort();
            });
            stopPoll.start(static_cast<int>(kStopPollMs));
            window->exec();
            stopPoll.stop();
            Shell().link().call([] {});  // the run's job has ended: its result is all there
            result = window->result();
        }
        code = result ? autocal::RunExitCode(*result) : autocal::kExitFailed;
        if (result && result->outcome == autocal::RunResult::Outcome::Refused) std::cerr << result->refusal << "\n";
        if (result && result->outcome != autocal::RunResult::Outcome::Refused) {
            // An aborted panel answers its boxes unshown: the end's warning is printed here.
            if (result->outcome == autocal::RunResult::Outcome::Aborted)
                if (const std::string unfinished = autocal::UnfinishedText(*result); !unfinished.empty())
                    std::cerr << "Warning: " << unfinished << std::endl;
            for (const auto& r : result->rows)
                std::cout << r.address << '\t' << r.serial << '\t' << r.code << '\t' << autocal::StateName(r.state)
                          << "\n";
            if (result->resultsWritten) std::cout << "results " << options.resultsPath << std::endl;
        }
        Shell().stopLink();
    }
    ResetWire();
    SetMessageBoxAnswerer({});
    return code;
}
