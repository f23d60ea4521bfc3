#include "app/config/CDevInfo.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/kit/MessageBox.h"
#include "config/CDevInfoIds.h"
#include "config/DevInfo.h"
#include "shell/Procedure.h"

namespace w = devinfowin;

namespace {

constexpr int kEdits[] = {w::kPollAddress, w::kMessage, w::kTag,  w::kDescriptor, w::kLongTag,
                          w::kDay,         w::kMonth,   w::kYear, w::kModel,      w::kPreambles};
constexpr int kRead[] = {w::kPollAddress, w::kMessage,   w::kTag,         w::kDescriptor,
                         w::kLongTag,     w::kDay,       w::kMonth,       w::kYear,
                         w::kModel,       w::kPreambles, w::kManufacturer};

}  // namespace

CDevInfo::CDevInfo(bool modal, QWidget* parent)
    : Page(parent, w::kTemplate, "Device Info"),
      modal_(modal),
      hint_(panel(), w::kHint, w::kHintTimer) {
    build();
}

void CDevInfo::build() {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    int row = 0;
    const auto field = [&](const char* caption, int id, QWidget* control) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        grid->addWidget(add(id, control), row++, 1, 1, 3);
    };
    const auto edit = [this](int id) {
        auto* e = new QLineEdit(this);
        if (const unsigned limit = DevInfoTextLimit(id)) {
            e->setMaxLength(static_cast<int>(limit));
            QObject::connect(e, &QLineEdit::textEdited, this, [this, e, limit] {
                hint_.typed(static_cast<unsigned>(e->text().size()), limit);
            });
        }
        return e;
    };
    field("Poll Address", w::kPollAddress, edit(w::kPollAddress));
    field("Tag", w::kTag, edit(w::kTag));
    field("Long Tag", w::kLongTag, edit(w::kLongTag));
    field("Descriptor", w::kDescriptor, edit(w::kDescriptor));
    field("Message", w::kMessage, edit(w::kMessage));
    grid->addWidget(add(w::kHint, new QLabel(this)), row++, 1, 1, 3);

    auto* date = new QHBoxLayout;
    for (auto [caption, id] : {std::pair{"dd", w::kDay}, {"mm", w::kMonth}, {"yyyy", w::kYear}}) {
        date->addWidget(new QLabel(caption, this));
        date->addWidget(add(id, edit(id)));
    }
    grid->addWidget(new QLabel("Date", this), row, 0);
    grid->addLayout(date, row++, 1, 1, 3);
    field("Final Assy No.", w::kFinalAssy, new QLabel(this));
    field("Config. Change\nCounter", w::kChangeCounter, new QLabel(this));
    field("Manufacturer", w::kManufacturer, new QComboBox(this));
    field("Model", w::kModel, edit(w::kModel));
    field("# of Preambles", w::kPreambles, edit(w::kPreambles));
    field("Device ID", w::kDeviceId, new QLabel(this));
    field("Model Number", w::kModelNumber, new QLabel(this));

    auto* revisions = new QGroupBox("Revisions", this);
    auto* r = new QGridLayout(revisions);
    int column = 0;
    for (auto [caption, id] : {std::pair{"Universal", w::kUniversalRev},
                               {"Device", w::kDeviceRev},
                               {"Software", w::kSoftwareRev},
                               {"Hardware", w::kHardwareRev}}) {
        r->addWidget(new QLabel(caption, this), 0, column);
        r->addWidget(add(id, new QLabel(this)), 1, column++);
    }
    layout->addWidget(revisions);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(addButton(w::kBurn, "Burn"));
    layout->addLayout(buttons);
    for (auto* push : findChildren<QPushButton*>()) push->setAutoDefault(false);
    enable(w::kBurn, false);
}

void CDevInfo::showEvent(QShowEvent* event) {
    Page::showEvent(event);
    if (modal_ && !opened_) {
        opened_ = true;
        open();
    }
}

void CDevInfo::refresh() { open(); }

void CDevInfo::open() {
    {
        QSignalBlocker hold(item(w::kManufacturer));
        itemAs<QComboBox>(w::kManufacturer)->clear();
    }
    RunProcedure(panel(), [](Panel& p) { OpenDevInfo(p); });
}

void CDevInfo::onCommand(int id) {
    if (id == w::kBurn)
        burn();
    else
        Page::onCommand(id);
}

void CDevInfo::onTimer(int id) {
    if (id == w::kHintTimer) hint_.onTimer();
    if (id == w::kFillTimer) showForm(FillDevInfoForm(DevInfoNow()));
}

void CDevInfo::burn() {
    if (!isEnabled(w::kBurn)) return;
    DevInfoBytes edited = DevInfoNow().record;
    const DevInfoRead read = ReadDevInfoForm(readForm(kRead), edited);
    if (!read.ok) {
        showForm(read.corrected);
        if (!read.message.empty()) MessageBox(read.message, "Error", read.flags, this);
        if (auto* e = itemAs<QLineEdit>(read.focus)) {
            e->setFocus();
            e->selectAll();
        }
        return;
    }
    enable(w::kBurn, false);
    QPointer<CDevInfo> self(this);
    RunProcedure(panel(), [edited, self](Panel& p) {
        const bool verified = BurnDevInfo(p, edited) == DevInfoBurnResult::Verified;
        QMetaObject::invokeMethod(
            qApp,
            [self, verified] {
                if (self) self->burned(verified);
            },
            Qt::QueuedConnection);
    });
}

void CDevInfo::burned(bool verified) {
    if (!verified) return;
    showForm(FillDevInfoForm(DevInfoNow()));
    if (!modal_ && onVerified_) onVerified_();
}

std::string CDevInfo::helpText(int control) const { return DevInfoHelpText(control); }
