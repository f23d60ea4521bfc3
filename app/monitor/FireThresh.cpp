#include "app/monitor/FireThresh.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <ctime>

#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "app/kit/WindowTable.h"
#include "app/monitor/CComment.h"
#include "app/shell/CTesselMain.h"
#include "monitor/FireThreshIds.h"
#include "network/AddressBook.h"
#include "shell/ShellState.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"

using namespace firewin;

namespace {

constexpr int kModes[] = {kFast, kEvery1500, kEveryMinute, kEvery15Minutes};
constexpr int kReplay[] = {kPlay, kPause, kStepOne, kLive};
// The most value fields a record shows (the IR line's columns).
int ShownColumns() {
    static const int n = static_cast<int>(LogColumns(LogFamily::Ir, {}).size());
    return n;
}

std::string caption(bool dialog, FireThresh::Kind kind) {
    if (kind == FireThresh::Kind::Uvir) return "UV/IR Fire Thresholds";
    return dialog ? "Fire Thresholds" : "Recording: OFF";
}

// The selection the poll walks; with nothing selected, the current detector.
std::vector<uint8_t> Selection() {
    std::vector<uint8_t> list = Book().selected();
    if (list.empty())
        if (const unsigned a = Shell().detector.address; a >= 1 && a <= 247) list.push_back(static_cast<uint8_t>(a));
    return list;
}

}  // namespace

FireThresh::FireThresh(bool dialog, QWidget* parent, Kind kind)
    : Page(parent, kind == Kind::Ir ? kTemplate : kUvirTemplate, caption(dialog, kind)), dialog_(dialog), kind_(kind) {
    LivePoll::Options options;
    options.selection = Selection;
    options.history = kind == Kind::Ir;
    poll_ = std::make_shared<LivePoll>(std::move(options));
    build();
    const bool extended = ExtendedLogSetting();
    setChecked(kExtendedLog, extended);
    setExtended(extended);
    if (dialog_) SetWindowSlot(slot::FireThresholds, this);
}

FireThresh::~FireThresh() {
    giveTicksBack();
    if (dialog_) ClearWindowSlot(slot::FireThresholds, this);
    // A tick still under way keeps the poll; the log is closed with its separator now.
    if (recorder_) recorder_->stop();
    poll_->attachRecorder(nullptr);
    poll_->attachFailReasons(nullptr);
}

void FireThresh::build() {
    auto* layout = new QVBoxLayout(this);
    auto* values = new QGridLayout;
    const int shown = ShownColumns(), rows = (shown + 2) / 3;
    for (int i = 0; i < shown; ++i) {
        values->addWidget(add(kCaption + i, new QLabel(this)), i % rows, 2 * (i / rows));
        auto* value = add(kValue + i, new QLabel(this));
        value->setMinimumWidth(70);
        values->addWidget(value, i % rows, 2 * (i / rows) + 1);
    }
    layout->addLayout(values);
    layout->addWidget(add(kStatusLine, new QLabel(this)));

    auto* record = new QGroupBox("Record to Log", this);
    auto* modes = new QHBoxLayout(record);
    const std::pair<int, const char*> radios[] = {{kFast, "'Fast'"},
                                                  {kEvery1500, "Every 1.5 sec"},
                                                  {kEveryMinute, "Every minute"},
                                                  {kEvery15Minutes, "Every 15 minutes"}};
    for (const auto& [id, text] : radios) modes->addWidget(add(id, new QRadioButton(text, record)));
    modes->addWidget(addButton(kStop, "Stop"));
    layout->addWidget(record);

    auto* options = new QHBoxLayout;
    options->addWidget(add(kExtendedLog, new QCheckBox("Extended Log", this)));
    if (kind_ == Kind::Ir) options->addWidget(add(kGradAlarm, new QCheckBox("Gradalarm", this)));
    options->addWidget(addButton(kComment, "Insert Comment into Log"));
    options->addStretch();
    layout->addLayout(options);

    if (kind_ == Kind::Ir) {
        auto* replay = new QHBoxLayout;
        const std::pair<int, const char*> buttons[] = {{kPlay, "Play"}, {kPause, "Pause"}, {kStepOne, "Step"}, {kLive, "Live"}};
        for (const auto& [id, text] : buttons) {
            replay->addWidget(addButton(id, text));
            item(id)->hide();  // until the history has filled once
        }
        replay->addStretch();
        layout->addLayout(replay);
    }
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
}

void FireThresh::showEvent(QShowEvent* event) {
    Page::showEvent(event);
    takeTicks();
}

void FireThresh::hideEvent(QHideEvent* event) {
    giveTicksBack();
    Page::hideEvent(event);
}

void FireThresh::refresh() {
    if (isVisible()) takeTicks();
}

// One poll on the link worker; the window shows what it did.
TickJob FireThresh::tickJob() {
    return [poll = poll_, self = QPointer<FireThresh>(this)] {
        LiveStep step = poll->tick();
        QMetaObject::invokeMethod(qApp, [self, step] { if (self) self->show(step); }, Qt::QueuedConnection);
    };
}

void FireThresh::takeTicks() {
    if (ticks_ || ownTimer_) return;
    ticks_ = TakeTicks(tickJob(), kTickPeriodMs);
    if (!ticks_) {
        // No poll clock (a window on its own): it ticks itself.
        ownTimer_ = true;
        setTimer(kTickTimer, static_cast<int>(kTickPeriodMs));
    }
}

void FireThresh::giveTicksBack() {
    if (ownTimer_) {
        stopTimer(kTickTimer);
        ownTimer_ = false;
    }
    if (!ticks_) return;
    GiveTicksBack(ticks_);
    ticks_ = 0;
    // The page hands them to the main window, which polls at 50 ms after it.
    if (!dialog_)
        if (auto* main = dynamic_cast<CTesselMain*>(window()); main && main->clock()) main->clock()->setPeriod(50);
}

void FireThresh::onTimer(int id) {
    if (id != kTickTimer) return Page::onTimer(id);
    if (!Shell().busy) Shell().link().post(tickJob());
}

void FireThresh::show(const LiveStep& step) {
    last_ = step;
    if (step.historyFilled)
        for (int id : kReplay)
            if (QWidget* b = item(id)) b->show();
    if (step.record) {
        showValues(*step.record);
        setText(kStatusLine, "Address " + std::to_string(step.address) + (step.replayed ? " (replay)" : ""));
    } else if (step.address) {
        setText(kStatusLine, "Address " + std::to_string(step.address) + ": no answer");
    }
    if (!step.errorFile.empty()) recordingFailed(step.errorFile);
}

void FireThresh::showValues(const LiveRecord& record) {
    const LogOptions options{false, Shell().host.usUnits.load() != 0};
    const LogFamily family = FamilyOf(record);
    const std::vector<std::string> columns = LogColumns(family, options, record.alternateSensor());
    const std::vector<std::string> values = LogValues(record, options, LocalNow(), 0);
    shownFamily_ = family;
    for (int i = 0; i < ShownColumns(); ++i) {
        const bool used = i < static_cast<int>(columns.size()) && i < static_cast<int>(values.size());
        item(kCaption + i)->setVisible(used);
        item(kValue + i)->setVisible(used);
        if (!used) continue;
        setText(kCaption + i, ColumnName(columns[static_cast<size_t>(i)]));
        setText(kValue + i, values[static_cast<size_t>(i)]);
    }
}

void FireThresh::onCommand(int id) {
    switch (id) {
        case kFast: startRecording(id, recperiod::Fast); break;
        case kEvery1500: startRecording(id, recperiod::OnePointFive); break;
        case kEveryMinute:
        case kEvery15Minutes: {
            const KeyState keys = CurrentKeys();
            const bool quick = keys.shift && keys.ctrl;
            startRecording(id, quick ? recperiod::Shifted : id == kEveryMinute ? recperiod::Minute : recperiod::Quarter);
            break;
        }
        case kStop: stopRecording(); break;
        case kExtendedLog:
            SetExtendedLogSetting(isChecked(kExtendedLog));
            setExtended(isChecked(kExtendedLog));
            break;
        case kGradAlarm: poll_->setGradAlarm(isChecked(kGradAlarm)); break;
        case kComment: insertComment(); break;
        case kPlay: poll_->setReplay(LivePoll::Replay::Playing); break;
        case kPause: poll_->setReplay(LivePoll::Replay::Stopped); break;
        case kStepOne: poll_->setReplay(LivePoll::Replay::Stepping); break;
        case kLive: poll_->setReplay(LivePoll::Replay::Live); break;
        default: Page::onCommand(id);
    }
}

void FireThresh::setExtended(bool on) {
    if (kind_ == Kind::Ir) poll_->attachFailReasons(on ? std::make_shared<FailReasons>(FailReasons::Options{}) : nullptr);
}

LogFamily FireThresh::family() const {
    if (kind_ == Kind::Uvir) return LogFamily::Uvir;
    return shownFamily_.value_or(Shell().detector.uvirModel ? LogFamily::Uvir : LogFamily::Ir);
}

std::shared_ptr<Recorder> FireThresh::freshRecorder() {
    const LogOptions log{isChecked(kExtendedLog), Shell().host.usUnits.load() != 0};
    // The comment stays with the recorder; a change of options starts a new one.
    if (!recorder_ || recorderLog_.extended != log.extended || recorderLog_.usUnits != log.usUnits) {
        if (recorder_) recorder_->stop();
        RecorderOptions options;
        options.log = log;
        recorder_ = std::make_shared<Recorder>(std::move(options));
        recorderLog_ = log;
        poll_->attachRecorder(recorder_);
    }
    return recorder_;
}

bool FireThresh::selectionEmpty() {
    if (!Book().selected().empty()) return false;
    MessageBox(dialog_ ? "Exit dialog and select an address for recording..."
                       : "'Select' an address or add an address to 'Network' to start recording...",
               "Network Empty:", MB_OK | MB_ICONINFORMATION, this);
    return true;
}

void FireThresh::startRecording(int modeButton, unsigned periodMs) {
    if (selectionEmpty()) return showRecording();
    modeButton_ = modeButton;
    std::shared_ptr<Recorder> recorder = freshRecorder();
    if (!recorder->start(periodMs, family(), Shell().detector.alternateSensor)) return recordingFailed(recorder->errorFile());
    showRecording();
}

void FireThresh::stopRecording() {
    if (recorder_ && !recorder_->stop()) return recordingFailed(recorder_->errorFile());
    showRecording();
}

void FireThresh::insertComment() {
    std::string comment = "-";
    CComment box(comment, this);
    box.exec();
    std::shared_ptr<Recorder> recorder = freshRecorder();
    if (!recorder->insertComment(comment, family())) return recordingFailed(recorder->errorFile());
    showRecording();
}

void FireThresh::recordingFailed(const std::string& file) {
    if (recorder_) recorder_->stop();
    showRecording();
    MessageBox("Cannot create or write the file\n" + file + "\nRecording stopped.", "Error", MB_OK | MB_ICONERROR,
               this);
}

// The title and the mode buttons follow the recorder.
void FireThresh::showRecording() {
    const bool on = recorder_ && recorder_->on();
    setWindowTitle(q(on ? recorder_->title() : std::string("Recording: OFF")));
    for (int id : kModes) {
        auto* radio = itemAs<QRadioButton>(id);
        radio->setAutoExclusive(false);
        radio->setChecked(on && id == modeButton_);
        radio->setAutoExclusive(true);
    }
}

std::unique_ptr<FireThresh> MakeFireThresh(QWidget* parent) {
    if (Shell().detector.uvirModel) return std::make_unique<UVIRFireThresh>(true, parent);
    return std::make_unique<FireThresh>(true, parent);
}
