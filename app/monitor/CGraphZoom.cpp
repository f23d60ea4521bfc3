#include "app/monitor/CGraphZoom.h"

#include <QDateTimeEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>

#include "app/kit/MessageBox.h"
#include "monitor/CGraphIds.h"

using namespace graphwin;

CGraphZoom::CGraphZoom(trend::TrendHistory& history, QWidget* parent) : Dialog(parent), history_(history) {
    setWindowTitle("Zoom about -");
    auto* form = new QFormLayout(this);
    auto* centre = add(kCentre, new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(history.rightTime()), this));
    centre->setDisplayFormat("'Time  'HH':'mm':'ss',   Date  'dd'/'MM'/'yy");
    form->addRow("Center:", centre);
    auto* range = add(kRange, new QSpinBox(this));
    range->setRange(0, 2000000000);
    range->setValue(60);
    range->setSuffix(" s");
    form->addRow("Range:", range);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton(1, "OK"));
    QPushButton* cancel = addButton(2, "Cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    form->addRow(buttons);
}

void CGraphZoom::onCommand(int id) {
    if (id != 1) return Dialog::onCommand(id);
    const auto centre = static_cast<std::time_t>(itemAs<QDateTimeEdit>(kCentre)->dateTime().toSecsSinceEpoch());
    const auto range = static_cast<uint64_t>(itemAs<QSpinBox>(kRange)->value());
    if (const auto error = history_.zoomAbout(centre, range)) {
        MessageBox(*error, "Error", MB_OK | MB_ICONEXCLAMATION, this);
        return;
    }
    accept();
}
