#include "app/monitor/CInfo.h"

#include <QApplication>
#include <QGridLayout>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStringList>

#include "app/kit/MessageBox.h"
#include "protocol/Transport.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"

using namespace adcwin;

CInfo::CInfo(QWidget* parent, unsigned rate, bool uvir) : Dialog(parent), rate_(rate == 2 ? 2 : 1), uvir_(uvir) {
    build();
    setWindowTitle(q(StreamTitle(rate_)));
    open(false);
}

CInfo::CInfo(QWidget* parent, bool uvir) : Dialog(parent), rate_(2), uvir_(uvir) {
    build();
    setWindowTitle(PullTitle());
    open(true);
}

CInfo::~CInfo() = default;

void CInfo::build() {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("File name", this), 0, 0);
    grid->addWidget(add(kName, new QLineEdit(this)), 0, 1, 1, 3);
    grid->addWidget(new QLabel("Comment", this), 1, 0);
    grid->addWidget(add(kComment, new QLineEdit(this)), 1, 1, 1, 3);
    grid->addWidget(addButton(kStart, "Start"), 2, 0);
    grid->addWidget(addButton(kStop, "Stop"), 2, 1);
    grid->addWidget(addButton(kConvert, "Convert"), 2, 2);
    grid->addWidget(addButton(kPlot, "Plot"), 2, 3);
    for (int id : {kDetector, kStatus, kState, kElapsed}) {
        auto* label = add(id, new QLabel(this));
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(420);
    }
    grid->addWidget(item(kStatus), 3, 0, 1, 4);
    grid->addWidget(item(kState), 4, 0, 1, 3);
    grid->addWidget(item(kElapsed), 4, 3);
    grid->addWidget(item(kDetector), 5, 0, 1, 4);
}

void CInfo::open(bool pulled) {
    setObjectName(q(RecordingDialogName(pulled, uvir_)));
    // Start waits for the opening reads: their end gives the poll clock back.
    enable(kStart, false);
    RunProcedure(
        panel(),
        [uvir = uvir_](Panel& p) {
            p.setText(kDetector, OpeningText(ReadRecordingOpening(uvir), uvir));
            p.enable(kStart, true);
        },
        true, [p = panel()] { p->enable(kStart, true); });
}

std::shared_ptr<AdcRecording> CInfo::make(const RecordingOptions& files) {
    return std::make_shared<StreamRecording>(panel(), files, rate_);
}

std::shared_ptr<AdcRecording> CRec100Hz::make(const RecordingOptions& files) {
    return std::make_shared<PullRecording>(panel(), files);
}

void CInfo::onCommand(int id) {
    switch (id) {
    case kStart:
        // Pressed by a script as well: a greyed Start (reads or a start under way) does nothing.
        if (isEnabled(kStart)) start();
        break;
    case kStop: stop(false); break;
    case kConvert:
    case kPlot:
        if (recording()) {
            MessageBox(kRecordingOngoing, "Error", MB_ICONERROR, this);
        } else if (!samplePath_.empty()) {
            startProgram(id == kConvert ? ConverterProgram(samplePath_, uvir_) : PlotProgram(samplePath_));
        }
        break;
    default: Dialog::onCommand(id);
    }
}

void CInfo::start() {
    const std::string name = text(kName);
    if (name.empty()) {
        MessageBox("Please provide non-NULL filename...", "Error", MB_ICONERROR, this);
        return;
    }
    if (recording()) {
        setText(kStatus, "Recording of \"" + samplePath_ + "\" ongoing...");
        return;
    }
    RecordingOptions files;
    files.samplePath = RecordingPath(name, extension(), extensionAnywhere());
    files.comment = text(kComment);
    samplePath_ = files.samplePath;
    rec_ = make(files);
    QPointer<CInfo> self(this);
    const int period = timerMs();
    // One start at a time: Start comes back when this one has ended.
    enable(kStart, false);
    RunProcedure(
        panel(),
        [rec = rec_, self, period](Panel& p) {
            // The poll clock stands aside from here; the streamed recording
            // keeps it aside until its stop, the pulled one shares the line
            // with it. Set here, not before the procedure's turn, so that a
            // start that never runs leaves nothing to clear.
            Shell().busy = true;
            struct Again {
                Panel& p;
                ~Again() { p.enable(kStart, true); }
            } again{p};
            // The file comes first: one that cannot be made is found before anything is sent.
            if (!rec->createFile()) {
                Shell().busy = false;
                return;
            }
            const auto who = ReadRecordedDetector();
            if (who) rec->setDetector(*who);
            const bool started = rec->start();
            if (!started) rec->stop();
            if (!started || !dynamic_cast<StreamRecording*>(rec.get())) Shell().busy = false;
            if (!started) return;
            QMetaObject::invokeMethod(qApp, [self, period] { if (self) self->setTimer(kStreamTimer, period); },
                                      Qt::QueuedConnection);
        },
        false, [p = panel()] { p->enable(kStart, true); });
}

void CInfo::onTimer(int id) {
    if (id != kStreamTimer) return Dialog::onTimer(id);
    // One tick waits on the link worker at most; a tick due meanwhile is left out.
    if (!rec_ || tickQueued_->exchange(true)) return;
    QPointer<CInfo> self(this);
    Shell().link().post([rec = rec_, queued = tickQueued_, self] {
        const bool going = rec->tick();
        *queued = false;
        if (!going) {
            rec->stop();
            QMetaObject::invokeMethod(qApp, [self] { if (self) self->stopTimer(kStreamTimer); }, Qt::QueuedConnection);
        }
    });
}

void CInfo::stop(bool closing) {
    stopTimer(kStreamTimer);
    auto job = [rec = rec_, closing] {
        if (rec) rec->stop();
        if (closing && LinkBaud() != 9600) SwitchBaudProved(9600);
    };
    // Closing must stop the detector even though the window, and so its
    // procedures, are gone by the time the worker gets to it.
    if (closing)
        Shell().link().post(job);
    else
        RunProcedure(panel(), [job](Panel&) { job(); }, false);
}

void CInfo::done(int result) {
    stop(true);
    Dialog::done(result);
}

void CInfo::startProgram(const OutsideProgram& program) {
    QStringList args;
    for (const auto& a : program.args) args << q(a);
    if (!QProcess::startDetached(q(program.program), args))
        MessageBox("Failed starting \"" + program.program + "\"...", "Error", MB_ICONERROR, this);
}
