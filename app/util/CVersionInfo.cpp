#include "app/util/CVersionInfo.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QThread>
#include <atomic>
#include <memory>

#include "app/kit/Screenshot.h"
#include "app/kit/WindowTable.h"
#include "shell/PagesIds.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "shell/VersionInfo.h"
#include "shell/WindowSlots.h"
#include "util/PumpWait.h"

namespace {
// The version read's three tries at most, with room for what runs before it on the link.
constexpr unsigned long long kReadBoundMs = 10'000;
}

CVersionInfo::CVersionInfo(QWidget* parent, bool fromConsole)
    : Page(parent, page::Version, ProgramName() + " Version Info"), fromConsole_(fromConsole) {
    auto* row = new QHBoxLayout(this);
    for (int id : {kDetectorText, kHostText}) {
        auto* l = add(id, new QLabel(this));
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setFrameShape(QFrame::StyledPanel);
        l->setMinimumWidth(260);
        row->addWidget(l);
    }
    auto* f2 = new QAction(this);
    f2->setShortcut(Qt::Key_F2);
    f2->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(f2, &QAction::triggered, this, [this] { savePicture(); });
    addAction(f2);
    if (fromConsole_) SetWindowSlot(slot::Version, this);
}

CVersionInfo::~CVersionInfo() { ClearWindowSlot(slot::Version, this); }

void CVersionInfo::showEvent(QShowEvent* event) {
    Page::showEvent(event);
    // A window of its own reads as it appears; the page when the main window refreshes it.
    if (fromConsole_) refresh();
}

void CVersionInfo::showTexts(const std::string& detector) {
    setText(kDetectorText, detector);
    setText(kHostText, HostVersionText());
}

void CVersionInfo::refresh() {
    setWindowTitle(q(ProgramName() + " Version Info"));
    setText(kDetectorText, kNoVersion);
    const bool picture = Shell().scriptRunning.load();
    RunProcedure(panel(), [picture](Panel& p) {
        p.setText(kDetectorText, ReadDetectorVersion());
        p.setText(kHostText, HostVersionText());
        if (picture) p.setTimer(kPictureTimer, 200, true);
        p.setTimer(kRepaintTimer, 500, true);
    });
}

bool CVersionInfo::refreshAndSave(const std::string& pngPath) {
    setWindowTitle(q(ProgramName() + " Version Info"));
    if (QThread::currentThread() != thread()) {
        // Inside a procedure on the link worker: read here, show and save where the window lives.
        const std::string text = ReadDetectorVersion();
        bool saved = false;
        QMetaObject::invokeMethod(
            this,
            [&] {
                showTexts(text);
                PictureTarget t;
                t.summaryPath = pngPath;
                saved = SaveWindowPicture(this, t).outcome == SavedPicture::Saved;
            },
            Qt::BlockingQueuedConnection);
        return saved;
    }
    setText(kDetectorText, kNoVersion);
    auto text = std::make_shared<std::string>(kNoVersion);
    auto done = std::make_shared<std::atomic<bool>>(false);
    RunProcedure(panel(), [text, done](Panel&) {
        *text = ReadDetectorVersion();
        *done = true;
    });
    const unsigned long long until = TickMs() + kReadBoundMs;
    while (!*done && TickMs() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    showTexts(*text);
    PictureTarget t;
    t.summaryPath = pngPath;
    return SaveWindowPicture(this, t).outcome == SavedPicture::Saved;
}

bool CVersionInfo::savePicture() {
    PictureTarget t;
    t.name = "version";
    t.serial = Shell().detector.lastSerial;
    return SaveWindowPicture(this, t).outcome == SavedPicture::Saved;
}

void CVersionInfo::onTimer(int id) {
    if (id == kPictureTimer) savePicture();
    else if (id == kRepaintTimer) update();
    else Page::onTimer(id);
}
