#include "app/shell/CFaultList.h"

#include <QListWidget>
#include <QVBoxLayout>

#include "shell/CFaultListIds.h"
#include "shell/FaultList.h"
#include "shell/Procedure.h"

CFaultList::CFaultList(QWidget* parent) : Dialog(parent, faultwin::kTemplate) {
    setWindowTitle("Fault List");
    auto* layout = new QVBoxLayout(this);
    auto* list = add(faultwin::kList, new QListWidget(this));
    list->setMinimumWidth(420);
    layout->addWidget(list);
    // Each try holds the poll clock off by itself.
    RunProcedure(panel(), [](Panel& p) { FaultList::Load(p); }, false);
}
