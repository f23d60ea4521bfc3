#include "app/network/CSearchPage.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "network/CSearchPageIds.h"
#include "shell/ShellState.h"
#include "shell/TickTargets.h"

using namespace searchwin;

namespace {
constexpr unsigned kTickMs = 50;
}

CSearchPage::CSearchPage(unsigned first, unsigned last, SearchPage::Found found, QWidget* parent)
    : Dialog(parent, kTemplate), logic_(std::make_shared<SearchPage>(panel(), first, last, std::move(found))) {
    setWindowTitle("Search for Detectors in the RS485 LAN");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(add(kRange, new QLabel(this)));
    auto* list = add(kList, new QListWidget(this));
    list->setMinimumSize(360, 300);
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list, [list] { list->scrollToBottom(); });
    layout->addWidget(list);
    layout->addWidget(addButton(kButton, "Abort"));
}

int CSearchPage::exec() {
    if (!logic_->begin()) return Rejected;
    auto logic = logic_;
    const PollClock::Target target = TakeTicks([logic] { logic->tick(); }, kTickMs);
    logic_->onFinish([target, panel = panel()] {
        if (target)
            GiveTicksBack(target);
        else
            panel->stopTimer(kTickTimer);
    });
    // Without the main window's clock the window paces the ticks itself.
    if (!target) setTimer(kTickTimer, kTickMs, true);
    return Dialog::exec();
}

void CSearchPage::onTimer(int id) {
    if (id != kTickTimer) return;
    Shell().link().post([logic = logic_, panel = panel()] {
        logic->tick();
        if (!logic->finished()) panel->setTimer(kTickTimer, kTickMs, true);
    });
}

void CSearchPage::onCommand(int id) {
    if (id == kButton) logic_->pressButton();
}

void CSearchPage::done(int result) {
    // Closing before the end finishes the search as well.
    logic_->finish();
    Dialog::done(result);
}
