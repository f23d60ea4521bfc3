#include "app/firmware/CFlash.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "app/kit/MessageBox.h"
#include "app/shell/CBaudrate.h"
#include "protocol/Transport.h"
#include "shell/Catalogue.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "util/Log.h"

using namespace flashwin;

namespace {

constexpr const char* kReadyStatus = "Select row for verbose status";
constexpr const char* kGetAllText = "Get All Records";
constexpr unsigned kAutomaticPage = 50;

CFlash::Launcher& launcher() {
    static CFlash::Launcher l;
    return l;
}

bool launch(const std::string& program, const std::vector<std::string>& args) {
    if (launcher()) return launcher()(program, args);
    QStringList list;
    for (const auto& a : args) list << q(a);
    return QProcess::startDetached(q(program), list);
}

}  // namespace

void CFlash::SetLauncher(Launcher l) { launcher() = std::move(l); }

CFlash::CFlash(QWidget* parent, bool automatic) : Page(parent, kTemplate, "Logfile"), automatic_(automatic) {
    auto* layout = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    auto number = [this](int id, const char* text) {
        auto* e = add(id, new QLineEdit(text, this));
        e->setValidator(new QIntValidator(0, 65535, e));
        e->setMaximumWidth(70);
        return e;
    };
    controls->addWidget(addButton(kGet, "Get"));
    controls->addWidget(number(kCount, "20"));
    auto* mode = add(kMode, new QComboBox(this));
    mode->addItems({"records up to current position", "records starting at position"});
    controls->addWidget(mode);
    controls->addWidget(number(kPosition, "0"));
    for (auto [id, text] : {std::pair{kPageDown, "Page Down"}, {kPageUp, "Page Up"}, {kLineDown, "Line Down"},
                            {kLineUp, "Line Up"}, {kGetAll, kGetAllText}, {kOpenLast, "Open Last      >"}})
        controls->addWidget(addButton(id, text));
    controls->addStretch();
    layout->addLayout(controls);

    auto* list = add(kList, new QTreeWidget(this));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    connect(list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* row) {
        if (!row || row->data(0, Qt::UserRole).isNull()) return;
        const auto mode = static_cast<char>(row->data(0, Qt::UserRole).toInt());
        setText(kStatus, "Status: " + StatusLine(mode, row->data(0, Qt::UserRole + 1).toInt()));
    });
    layout->addWidget(list, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel("Detector Work Time:", this));
    bottom->addWidget(add(kWorkTime, new QLabel(this)));
    bottom->addWidget(add(kProgress, new QProgressBar(this)), 1);
    bottom->addWidget(add(kRemaining, new QLabel(this)));
    item(kRemaining)->setVisible(automatic_);
    layout->addLayout(bottom);
    layout->addWidget(add(kStatus, new QLabel(kReadyStatus, this)));

    menu_ = new QMenu(this);
    connect(menu_->addAction("With Notepad"), &QAction::triggered, this, [this] { openLast(false); });
    connect(menu_->addAction("With Excel"), &QAction::triggered, this, [this] { openLast(true); });
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    setFamily(LogFamily::Ir);
}

void CFlash::setFamily(LogFamily family) {
    if (family != family_) itemAs<QTreeWidget>(kList)->clear();
    family_ = family;
    QStringList titles;
    for (const auto& c : LogListColumns(family)) titles << q(c);
    itemAs<QTreeWidget>(kList)->setHeaderLabels(titles);
}

unsigned CFlash::field(int id) const {
    return static_cast<unsigned>(std::min(std::strtoul(text(id).c_str(), nullptr, 10), 65535ul));
}

void CFlash::refresh() {
    if (running_) return;
    setFamily(Shell().detector.uvirModel ? LogFamily::Uvir : LogFamily::Ir);
    auto* list = itemAs<QTreeWidget>(kList);
    // The rows that fit, less one, as the page size.
    const int rowHeight = std::max(1, list->fontMetrics().height() + 4);
    const unsigned n = static_cast<unsigned>(std::max(1, list->viewport()->height() / rowHeight - 1));
    setText(kCount, std::to_string(n));
    QPointer<CFlash> self(this);
    RunProcedure(panel(), [self, n](Panel& p) {
        const auto ring = OpenLogWindow(p, n);
        QMetaObject::invokeMethod(qApp, [self, ring] { if (self) self->opened(ring); }, Qt::QueuedConnection);
    });
}

void CFlash::opened(const std::optional<LogRing>& ring) {
    if (!ring) return;
    ring_ = ring;
    if (workClock_.isValid() && workAddress_ == Shell().detector.address) return;
    workAddress_ = Shell().detector.address;
    // The detector has no clock: its operating time, counted on from the first answer.
    workTime_ = ring->time;
    workClock_.start();
    setTimer(kWorkTimer, 1000);
    onTimer(kWorkTimer);
}

void CFlash::onCommand(int id) {
    switch (id) {
        case kGet:
            download(itemAs<QComboBox>(kMode)->currentIndex() == 0 ? LogMode::UpToCurrent : LogMode::FromPosition,
                     field(kCount), field(kPosition));
            break;
        case kPageDown: move(LogMove::PageDown); break;
        case kPageUp: move(LogMove::PageUp); break;
        case kLineDown: move(LogMove::LineDown); break;
        case kLineUp: move(LogMove::LineUp); break;
        case kGetAll: getAll(); break;
        case kOpenLast: menu_->popup(item(kOpenLast)->mapToGlobal(QPoint(item(kOpenLast)->width(), 0))); break;
        default: Page::onCommand(id);
    }
}

void CFlash::onTimer(int id) {
    if (id == kWorkTimer)
        setText(kWorkTime, LogOperatingTime(workTime_ + static_cast<uint32_t>(workClock_.elapsed() / 1000)));
    else if (id == kProgressResetTimer)
        itemAs<QProgressBar>(kProgress)->setValue(0);
    else
        Page::onTimer(id);
}

void CFlash::move(LogMove m) {
    if (!ring_ || running_) return;
    const unsigned n = field(kCount);
    const unsigned start = MoveLogPosition(*ring_, field(kPosition), n, m);
    setText(kPosition, std::to_string(start));
    download(LogMode::FromPosition, n, start);
}

void CFlash::getAll() {
    if (running_) {
        panel()->requestAbort();  // after the page on the wire
        return;
    }
    if (automatic_) {
        const unsigned total = ring_ ? ring_->total() : 0;
        if (const auto warning = LogSlowLineWarning(LinkBaud(), total, total))
            if (MessageBox(*warning, "Please Note", MB_OKCANCEL | MB_ICONINFORMATION, this) != IDOK) return;
    } else if (LinkBaud() == 9600) {
        if (CBaudrate::OfferTo57600("Baudrate too low...   Recommend switching to 57600 baud", "Logfile",
                                    "Don't show all records...", this) == 3)
            return;
    }
    download(LogMode::All, 0, 0);
}

void CFlash::download(LogMode mode, unsigned count, unsigned position) {
    if (running_) return;
    running_ = true;
    itemAs<QTreeWidget>(kList)->clear();
    setWindowTitle("Logfile");
    setText(kStatus, kReadyStatus);
    itemAs<QProgressBar>(kProgress)->setValue(0);
    for (int id : kButtons) enable(id, id == kGetAll && mode == LogMode::All);
    if (mode == LogMode::All) setText(kGetAll, "Abort");

    LogDownloadRequest rq;
    rq.mode = mode;
    rq.count = count;
    rq.from = position;
    rq.family = family_;
    rq.pageLimit = automatic_ ? kAutomaticPage : 0;
    rq.progressId = kProgress;
    rq.remainingId = automatic_ ? kRemaining : 0;
    auto rows = std::make_shared<LogRows>(family_, Shell().host.usUnits == 1, automatic_);
    QPointer<CFlash> self(this);
    const auto skipped = [self] {
        // Aborted before its turn: the page still leaves its running state.
        QMetaObject::invokeMethod(qApp, [self] { if (self) self->finished({}, LogMode::All, {}); },
                                  Qt::QueuedConnection);
    };
    RunProcedure(panel(), [self, rq, rows](Panel& p) {
        const auto result = RunLogDownload(p, rq, [&](std::span<const uint8_t> record, unsigned row, const LogRing& ring) {
            if (auto cells = rows->take(record, row, ring))
                QMetaObject::invokeMethod(
                    qApp, [self, cells = std::move(*cells), mode = record[12], state = record[13]] {
                        if (self) self->addRow(cells, static_cast<char>(mode), state);
                    },
                    Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(qApp, [self, result, mode = rq.mode, title = rows->finish()] {
            if (self) self->finished(result, mode, title);
        }, Qt::QueuedConnection);
    }, true, skipped);
}

void CFlash::hideEvent(QHideEvent* event) {
    if (running_) panel()->requestAbort();
    Page::hideEvent(event);
}

void CFlash::addRow(const std::vector<std::string>& cells, char mode, int state) {
    auto* list = itemAs<QTreeWidget>(kList);
    QStringList texts;
    for (const auto& c : cells) texts << q(c);
    auto* row = new QTreeWidgetItem(list, texts);
    row->setData(0, Qt::UserRole, static_cast<int>(std::toupper(static_cast<unsigned char>(mode))));
    row->setData(0, Qt::UserRole + 1, state);
    list->scrollToBottom();
}

void CFlash::finished(const LogDownloadResult& result, LogMode mode, const std::string& title) {
    running_ = false;
    for (int id : kButtons) enable(id, true);
    setText(kGetAll, kGetAllText);
    setTimer(kProgressResetTimer, 500, true);
    if (!title.empty()) setWindowTitle(q(title));
    if (result.ring) ring_ = result.ring;
    // The newest records' start, and the page size the detector allows.
    if (result.plan && mode == LogMode::UpToCurrent) {
        setText(kPosition, std::to_string(result.plan->start));
        setText(kCount, std::to_string(result.plan->count));
    }
}

void CFlash::openLast(bool spreadsheet) {
    // The desktop's text viewer stands in for Notepad, the office suite's
    // spreadsheet for the program of ".xls"; both get the file as an argument.
    const std::string path = s(QDir::current().absoluteFilePath("DetLog.txt"));
    const std::string program = spreadsheet ? "libreoffice" : "xdg-open";
    std::vector<std::string> args = spreadsheet ? std::vector<std::string>{"--calc", path} : std::vector{path};
    std::string line = program;
    for (const auto& a : args) line += " \"" + a + "\"";
    DebugLog("OpenDetLog> %s", line.c_str());
    if (!launch(program, args))
        MessageBox("Failed opening \"DetLog.txt\"...", "Error", MB_OK | MB_ICONEXCLAMATION, this);
}
