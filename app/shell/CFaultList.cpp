#include "app/shell/CFaultList.h"

#include <QListWidget>
#include <QVBoxLayout>

#include "shell/FaultList.h"
#include "shell/PollClock.h"

CFaultList::CFaultList(QWidget* parent) : Dialog(parent, 219) {
    setWindowTitle("Fault List");
    auto* layout = new QVBoxLayout(this);
    auto* list = add(kList, new QListWidget(this));
    list->setMinimumWidth(420);
    layout->addWidget(list);
    FaultList faults([](bool busy) { PollBusyFlag() = busy; });
    for (const std::string& line : faults.load()) list->addItem(q(line));
}
