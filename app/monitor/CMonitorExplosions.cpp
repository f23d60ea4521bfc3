#include "app/monitor/CMonitorExplosions.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include "app/kit/MessageBox.h"
#include "monitor/CMonitorExplosionsIds.h"
#include "shell/ShellState.h"

using namespace explosionwin;

namespace {
constexpr int kTemplate = 0;
const char* const kPass = "background: rgb(0,255,0); color: black;";
const char* const kAmber = "background: rgb(240,220,10); color: black;";
const char* const kRed = "background: rgb(255,0,0); color: white;";

QLabel* cell(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(70);
    l->setAutoFillBackground(true);
    return l;
}
}  // namespace

CMonitorExplosions::CMonitorExplosions(QWidget* parent, explosion::ExplosionMonitor::Options options)
    : Dialog(parent, kTemplate) {
    setWindowTitle("Monitor Explosions");
    auto* grid = new QGridLayout(this);
    const struct {
        int id;
        const char* text;
    } buttons[] = {{kErase, "  1.  Erase Detector Msg Buffers"},
                   {kGenerate, "  2.  Generate Explosion"},
                   {kRetrieve, "  3.  Retrieve Results"},
                   {kSummary, "  4.  Display Summary"}};
    int row = 0;
    for (const auto& b : buttons) {
        auto* button = addButton(b.id, b.text);
        button->setStyleSheet("text-align: left;");
        grid->addWidget(button, row++, 0);
        enable(b.id, b.id == kErase);
    }
    grid->addWidget(new QLabel(explosion::kLegend, this), row++, 0, 1, 5);
    const struct {
        int id;
        const char* text;
        const char* style;
    } legend[] = {{kLegendPass, "PASS", kPass}, {kLegendFail, "Fail", kAmber}, {kLegendFatal, "FAIL", kRed}};
    auto* legendRow = new QHBoxLayout;
    for (const auto& l : legend) {
        auto* label = add(l.id, new QLabel(l.text, this));
        label->setStyleSheet(l.style);
        label->setAlignment(Qt::AlignCenter);
        label->installEventFilter(this);
        legendRow->addWidget(label);
    }
    grid->addLayout(legendRow, row++, 0, 1, 5);
    const char* const headers[] = {"Address", "S/N", "Time [ms]", "Fail Code"};
    for (int c = 0; c < kColumns; ++c) grid->addWidget(new QLabel(headers[c], this), row, c + 1);
    ++row;
    for (int r = 0; r < static_cast<int>(explosion::kMaxRows); ++r)
        for (int c = 0; c < kColumns; ++c) grid->addWidget(add(Cell(r, c), cell(this)), row + r, c + 1);
    auto* view = add(kView, new QListWidget(this));
    view->setMinimumWidth(360);
    grid->addWidget(view, 0, 5, row + static_cast<int>(explosion::kMaxRows), 1);
    row += static_cast<int>(explosion::kMaxRows);
    grid->addWidget(addButton(kClear, "Clear"), row, 1);
    grid->addWidget(addButton(kCopy, "Copy"), row, 2);
    monitor_ = std::make_shared<explosion::ExplosionMonitor>(panel(), std::move(options));
}

void CMonitorExplosions::onCommand(int id) {
    auto m = monitor_;
    switch (id) {
        case kErase: Shell().link().post([m] { m->startErase(); }); break;
        case kGenerate:
            MessageBox("Close this message box when done.", "Generate Explosion", MB_OK | MB_ICONINFORMATION, this);
            Shell().link().post([m] { m->generated(); });
            break;
        case kRetrieve: Shell().link().post([m] { m->startRetrieve(); }); break;
        case kSummary: {
            QPointer<CMonitorExplosions> self(this);
            Shell().link().post([m, self] {
                m->summary();
                QMetaObject::invokeMethod(qApp, [self] { if (self) self->openSummary(); }, Qt::QueuedConnection);
            });
            break;
        }
        case kClear: itemAs<QListWidget>(kView)->clear(); break;
        case kCopy: {
            QStringList lines;
            auto* view = itemAs<QListWidget>(kView);
            for (int i = 0; i < view->count(); ++i) lines << view->item(i)->text();
            QApplication::clipboard()->setText(lines.join("\r\n"));
            break;
        }
        default: Dialog::onCommand(id);
    }
}

void CMonitorExplosions::onTimer(int id) {
    if (id != kEraseTimer && id != kRetrieveTimer) return Dialog::onTimer(id);
    if (inFlight_->exchange(true)) return;
    Shell().link().post([m = monitor_, flight = inFlight_, id] {
        id == kEraseTimer ? m->eraseTick() : m->retrieveTick();
        *flight = false;
    });
}

void CMonitorExplosions::openSummary() {
    const QString path = QDir::current().absoluteFilePath(QString::fromStdString(monitor_->logPath()));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        MessageBox("Failed opening \"" + monitor_->logPath() + "\"...", "Error", MB_OK | MB_ICONEXCLAMATION, this);
}

void CMonitorExplosions::setText(int id, const std::string& text) {
    Dialog::setText(id, text);
    if (id >= kCellBase && id < Cell(static_cast<int>(explosion::kMaxRows), 0)) colourRow((id - kCellBase) / kColumns);
}

void CMonitorExplosions::colourRow(int row) {
    bool isNumber = false;
    const int code = QString::fromStdString(text(Cell(row, Fail))).toInt(&isNumber);
    const char* style = !isNumber ? "" : code == 0 ? kPass : code == 1 ? kRed : kAmber;
    for (int c = 0; c < kColumns; ++c) item(Cell(row, c))->setStyleSheet(style);
}

bool CMonitorExplosions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease ||
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return Dialog::eventFilter(watched, event);
    QStringList codes;
    if (watched == item(kLegendPass)) codes = {"Fail Code: 0 [000]"};
    else if (watched == item(kLegendFail)) codes = {"Fail Code: 2 [010]", "Fail Code: 4 [001]", "Fail Code: 6 [011]"};
    else if (watched == item(kLegendFatal)) codes = {"Fail Code: 1 [100]"};
    else return Dialog::eventFilter(watched, event);
    // It only informs: the choice is ignored.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const QString& c : codes) menu->addAction(c);
    auto* label = static_cast<QWidget*>(watched);
    menu->popup(label->mapToGlobal(QPoint(0, label->height())));
    return true;
}
