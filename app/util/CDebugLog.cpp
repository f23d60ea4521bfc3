#include "app/util/CDebugLog.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>

#include "util/Log.h"

CDebugLog::CDebugLog(QWidget* parent) : Dialog(parent, consolewin::kTemplate) {
    setWindowTitle("Log");
    auto* layout = new QHBoxLayout(this);
    for (int id : {kGeneralList, kProtocolList}) {
        auto* list = add(id, new QListWidget(this));
        list->setUniformItemSizes(true);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(list, &QListWidget::customContextMenuRequested, this, [this, id, list](const QPoint& at) {
            QMenu menu;
            QAction* clear = menu.addAction("Clear");
            QAction* copy = menu.addAction("Copy");
            QAction* chosen = menu.exec(list->mapToGlobal(at));
            if (chosen == clear) clearList(id);
            if (chosen == copy) copyList(id);
        });
        layout->addWidget(list, id == kGeneralList ? 1 : 2);
    }
    resize(900, 400);
    logs::openFiles(".");
    // Lines may come from any thread; they are added on this window's thread.
    QPointer<CDebugLog> self(this);
    auto sink = [self](int list) {
        return [self, list](const std::string& line) {
            QMetaObject::invokeMethod(
                qApp, [self, list, line] { if (self) self->append(list, line); }, Qt::QueuedConnection);
        };
    };
    logs::attachLists(sink(kGeneralList), sink(kProtocolList));
    setTimer(consolewin::kPlaceTimer, 3000);
}

CDebugLog::~CDebugLog() {
    logs::detachLists();
    logs::closeFiles();
}

QListWidget* CDebugLog::view(int list) const { return itemAs<QListWidget>(list); }

void CDebugLog::append(int list, const std::string& line) {
    LogList& lines = list == kGeneralList ? general_ : protocol_;
    QListWidget* v = view(list);
    if (lines.append(line)) {
        // Trimmed: the oldest thousand lines go from the view as well.
        for (size_t i = 0; i < LogList::kTrimLines && v->count(); ++i) delete v->takeItem(0);
    }
    v->addItem(QString::fromStdString(line));
    v->setCurrentRow(v->count() - 1);
}

void CDebugLog::clearList(int list) {
    (list == kGeneralList ? general_ : protocol_).clear();
    view(list)->clear();
}

void CDebugLog::copyList(int list) {
    const LogList& lines = this->lines(list);
    const std::string text = lines.joined();
    if (ClipBoardPutText(text))
        DebugLog("%u lines copied to clipboard", static_cast<unsigned>(lines.size()));
    else
        DebugLog("ClipBoardPutText(%s) failed\n", text.c_str());
}

void CDebugLog::onTimer(int id) {
    if (id != consolewin::kPlaceTimer || !placeRequested_) return;
    stopTimer(consolewin::kPlaceTimer);
    if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr)
        move(main->frameGeometry().topRight());
}

int ClipBoardPutText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return 0;
    clipboard->setText(QString::fromStdString(text));
    return 1;
}
