#include "app/firmware/CDumpFlash1.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "firmware/CDumpFlash1Ids.h"
#include "firmware/FlashDump.h"
#include "shell/Procedure.h"

using namespace dumpflash;

CDumpFlash1::CDumpFlash1(QWidget* parent) : Dialog(parent, kTemplate) {
    setWindowTitle("Internal Flash Dump");
    auto* grid = new QGridLayout(this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto field = [&](int id) {
        auto* l = add(id, new QLabel(this));
        l->setFont(fixed);
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setFrameShape(QFrame::StyledPanel);
        l->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(48, 'W')));
        return l;
    };
    int row = 0;
    for (size_t area = 0; area < kFlashAreas.size(); ++area) {
        grid->addWidget(new QLabel(kFlashAreas[area].label, this), row++, 0);
        if (area == 0) grid->addWidget(field(kProductText), row++, 0);
        grid->addWidget(field(kFields[area + 1]), row++, 0);
    }
    auto* ok = new QPushButton("OK", this);
    QObject::connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(ok, row, 0, Qt::AlignRight);
    RunProcedure(panel(), [](Panel& p) { RunFlashDump(p); });
}
