#include "app/network/CModbus.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "network/CModbusIds.h"
#include "network/RegisterWindow.h"
#include "shell/Procedure.h"

using namespace modbuswin;

CModbus::CModbus(QWidget* parent) : Dialog(parent), logic_(std::make_shared<RegisterWindow>()) {
    setWindowTitle("Modbus");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QHBoxLayout(this);
    auto* map = add(kMap, new QListWidget(this));
    map->setMinimumWidth(340);
    layout->addWidget(map);

    auto* controls = new QVBoxLayout;
    auto* operations = new QButtonGroup(this);
    const std::pair<int, const char*> kOperations[] = {{kReadInput, "Read Input Registers"},
                                                      {kReadHolding, "Read Holding Registers"},
                                                      {kWriteSingle, "Write Holding Register"},
                                                      {kWriteMultiple, "Write Multiple Holding Registers"}};
    for (const auto& [id, caption] : kOperations) {
        auto* radio = add(id, new QRadioButton(caption, this));
        operations->addButton(radio);
        controls->addWidget(radio);
    }
    setChecked(kReadInput, true);

    auto* fields = new QGridLayout;
    fields->addWidget(add(kCustom, new QCheckBox("Custom First Reg", this)), 0, 0);
    fields->addWidget(add(kCustomFirst, new QLineEdit(this)), 0, 1);
    fields->addWidget(new QLabel("# of Reg's", this), 1, 0);
    fields->addWidget(add(kCount, new QLineEdit("1", this)), 1, 1);
    auto* values = new QHBoxLayout;
    for (int id : kValues) values->addWidget(add(id, new QLineEdit(this)));
    fields->addLayout(values, 2, 0, 1, 2);
    controls->addLayout(fields);
    controls->addWidget(addButton(kDo, "Do"));

    auto* result = add(kResult, new QListWidget(this));
    result->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    result->setMinimumWidth(460);
    controls->addWidget(result, 1);
    layout->addLayout(controls, 1);

    RunProcedure(panel(), [logic = logic_, self = QPointer<CModbus>(this)](Panel& p) {
        if (!logic->open(p)) return;
        QMetaObject::invokeMethod(qApp, [self] {
            if (self) self->opened();
        }, Qt::QueuedConnection);
    });
}

void CModbus::opened() {
    showMap();
    show();
}

void CModbus::showMap() {
    inputShown_ = RegisterWindow::usesInputTable(*panel());
    RegisterWindow::showMap(*panel());
    itemAs<QListWidget>(kMap)->setCurrentRow(0);
}

void CModbus::onCommand(int id) {
    if (id == kReadInput || id == kReadHolding || id == kWriteSingle || id == kWriteMultiple) {
        // The holding operations share one table: the choice in it stays.
        if (RegisterWindow::usesInputTable(*panel()) != inputShown_) showMap();
        return;
    }
    if (id != kDo) return;
    int level = 0;
    if (RegisterWindow::wantsElevationLevel(*panel())) {
        QMenu menu(this);
        const char* kLevels[] = {"NONE", "MAINT", "ADMIN"};
        for (int l = 0; l < 3; ++l) menu.addAction(kLevels[l])->setData(l);
        auto* button = item(kDo);
        const QAction* chosen = menu.exec(button->mapToGlobal(QPoint(0, button->height())));
        if (!chosen) return;
        level = chosen->data().toInt();
    }
    RunProcedure(panel(), [logic = logic_, level](Panel& p) { logic->run(p, level); });
}
