#include "app/calib/CDCICalib.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/config/ParamView.h"
#include "app/kit/MessageBox.h"
#include "app/kit/SunkenField.h"
#include "app/kit/WindowTable.h"
#include "calib/CDCICalibIds.h"
#include "shell/ShellState.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"
#include "util/Profile.h"
#include "util/PumpWait.h"

using namespace dciwin;

namespace {
constexpr unsigned kTickMs = 50, kPollMs = 100, kEditTimerMs = 50, kEditSettleMs = 750;
const char* const kIni = "Param.ini";


// The colours of the value fields by their result state.
const char* fieldStyle(int state) {
    switch (state) {
        case dci::kFieldsAdvised: return "background: #FFFF80;";
        case dci::kFieldsBurned: return "background: #80FF80;";
        case dci::kFieldsFailed: return "background: #FF8080;";
        default: return "";
    }
}
}  // namespace

CDCICalib::CDCICalib(QWidget* parent, std::function<unsigned long long()> nowMs)
    : Dialog(parent) {
    setWindowTitle("DCI Models: 4.4um vs 4.5um Calibration");
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [caption, id] : {std::pair{"Address:", kAddress}, {"Mode:", kMode}, {"State:", kState},
                                      {"Model:", kModel}, {"Serial No.:", kSerial}}) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        grid->addWidget(add(id, SunkenField(this)), row++, 1);
    }
    auto* sums = new QGroupBox("1. Average Sums", this);
    auto* s = new QGridLayout(sums);
    s->addWidget(add(kSumsLabel, new QLabel("Sums", sums)), 0, 0, 1, 2);
    const char* names[] = {"4.5um", "5um", "4um", "4.4um"};
    for (int i = 0; i < 4; ++i) {
        s->addWidget(new QLabel(names[i], sums), i + 1, 0);
        s->addWidget(add(kValue0 + i, SunkenField(sums)), i + 1, 1);
    }
    s->addWidget(new QLabel("4.4um to 4.5um Factor", sums), 5, 0);
    s->addWidget(add(kFactor, SunkenField(sums)), 5, 1);
    s->addWidget(new QLabel("Duration", sums), 6, 0);
    auto* duration = add(kDuration, new QLineEdit(sums));
    s->addWidget(duration, 6, 1);
    s->addWidget(add(kProgress, new QProgressBar(sums)), 7, 0, 1, 2);
    s->addWidget(addButton(kStart, "Start"), 8, 0, 1, 2);
    grid->addWidget(sums, 0, 2, row + 4, 1);
    auto* conclude = new QGroupBox("2. Conclude Calibration", this);
    auto* c = new QVBoxLayout(conclude);
    c->addWidget(addButton(kBurn, "Burn"));
    c->addWidget(addButton(kView, "View"));
    grid->addWidget(conclude, row++, 0, 1, 2);
    grid->addWidget(addButton(kMaster, "Master / Reset"), row++, 0, 1, 2);
    auto* state = add(kFieldsState, new QLabel(this));
    state->hide();
    for (auto* b : findChildren<QPushButton*>()) b->setAutoDefault(false);

    const unsigned address = Shell().detector.address;
    if (address == 0 || address > 247) {
        refused_ = true;
        MessageBox("The current address " + std::to_string(address) +
                       " is out of range; should be in the range [1 - 247]...",
                   "Warning", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    duration->setText(q(std::to_string(
        ProfileGetInt(kIni, "Calibration", "DCI_AveragingSec", static_cast<int>(dci::kDefaultSeconds)))));
    QObject::connect(duration, &QLineEdit::textEdited, this, [this] {
        lastEdit_ = TickMs();
        setTimer(kDurationTimer, kEditTimerMs);
    });
    if (!nowMs) nowMs = [] { return TickMs(); };
    poll_ = std::make_shared<dci::Poll>(panel(), dci::PollWire(), std::move(nowMs));
    // The clock's ticks keep the status poll off the line; the reads are this window's.
    ticks_ = TakeTicks([] {}, kTickMs);
    setTimer(kPollTimer, kPollMs);
    SetWindowSlot(slot::Calibration, this);
}

CDCICalib::~CDCICalib() { release(); }

int CDCICalib::exec() { return refused_ ? IDCANCEL : Dialog::exec(); }

void CDCICalib::release() {
    if (released_) return;
    released_ = true;
    stopTimer(kPollTimer);
    stopTimer(kDurationTimer);
    if (ticks_) GiveTicksBack(ticks_);
    ClearWindowSlot(slot::Calibration, this);
}

void CDCICalib::done(int result) {
    release();
    Dialog::done(result);
}

void CDCICalib::setText(int id, const std::string& text) {
    Dialog::setText(id, text);
    if (id != kFieldsState) return;
    const char* style = fieldStyle(std::atoi(text.c_str()));
    for (int f : {kValue0, kValue0 + 1, kValue0 + 2, kValue0 + 3, kFactor}) item(f)->setStyleSheet(style);
}

void CDCICalib::onCommand(int id) {
    if (!poll_) return Dialog::onCommand(id);
    switch (id) {
        case kStart:
            Shell().link().post([poll = poll_, duration = text(kDuration)] { poll->startOrAbort(duration); });
            break;
        case kMaster: Shell().link().post([poll = poll_] { poll->master(); }); break;
        case kBurn: {
            ParamHandIn handIn;
            handIn.amplify44 = poll_->burnValue();
            ParamView view(this, handIn);
            poll_->burned(view.exec() == IDOK);
            break;
        }
        case kView: {
            ParamView view(this);
            view.exec();
            break;
        }
        default: Dialog::onCommand(id);
    }
}

void CDCICalib::onTimer(int id) {
    switch (id) {
        case kPollTimer:
            if (poll_->claim()) Shell().link().post([poll = poll_] { poll->tick(); });
            break;
        case kDurationTimer:
            if (TickMs() - lastEdit_ < kEditSettleMs) break;
            stopTimer(kDurationTimer);
            if (MessageBox("Click 'Yes' to save as default\r\nOtherwise, click 'No'", "'Duration' changed:",
                           MB_YESNO | MB_ICONQUESTION) == IDYES)
                ProfileWriteString(kIni, "Calibration", "DCI_AveragingSec", text(kDuration));
            break;
        default: Dialog::onTimer(id);
    }
}
