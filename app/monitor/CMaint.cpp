#include "app/monitor/CMaint.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/kit/SunkenField.h"
#include "app/kit/WindowTable.h"
#include "monitor/CMaintIds.h"
#include "shell/ShellState.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"
#include "util/PumpWait.h"

using namespace maintwin;

namespace {
constexpr unsigned kTickMs = 50;
const char* const kBitNames[] = {"bit_vsum45", "bit_vsum5", "bit_vsum4", "bit_vsum44"};


maint::Variant openingVariant() {
    const DetectorView& d = Shell().detector;
    return d.uvirModel ? maint::Variant::Uvir : d.alternateSensor ? maint::Variant::Alternate : maint::Variant::Ir;
}
}  // namespace

CMaint::CMaint(QWidget* parent, std::function<bool()> outputSuspended) : Dialog(parent, kTemplate) {
    setWindowTitle("Maintenance");
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [caption, id] : {std::pair{"Address:", kAddress}, {"Serial No.:", kSerial}, {"Model:", kModel},
                                      {"Status:", kModeState}}) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        grid->addWidget(add(id, SunkenField(this)), row++, 1);
    }
    grid->addWidget(add(kStateText, SunkenField(this)), row++, 0, 1, 2);
    for (int i = 0; i < kChannels; ++i) {
        selectors_[static_cast<size_t>(i)] = add(kChannel0 + i, new QComboBox(this));
        grid->addWidget(selectors_[static_cast<size_t>(i)], row, 0);
        grid->addWidget(add(kValue0 + i, SunkenField(this)), row++, 1);
    }
    grid->addWidget(addButton(kRevert, "Revert to Default Channels"), row, 0);
    grid->addWidget(addButton(kFold, "<"), row++, 1);

    auto* bitBox = new QGroupBox("BIT", this);
    auto* bitGrid = new QGridLayout(bitBox);
    bitGrid->addWidget(addButton(kBit, "BIT"), 0, 0, 1, 2);
    for (int i = 0; i < 4; ++i) {
        bitGrid->addWidget(new QLabel(kBitNames[i], bitBox), i + 1, 0);
        bitGrid->addWidget(add(kBitResult0 + i, SunkenField(bitBox)), i + 1, 1);
    }
    grid->addWidget(bitBox, 0, 2, row, 1);
    QObject::connect(static_cast<QPushButton*>(item(kFold)), &QPushButton::clicked, bitBox, [this, bitBox] {
        bitBox->setVisible(!bitBox->isVisible());
        setText(kFold, bitBox->isVisible() ? "<" : ">");
    });

    fill(openingVariant());
    for (int i = 0; i < kChannels; ++i)
        QObject::connect(selectors_[static_cast<size_t>(i)], &QComboBox::currentIndexChanged, this, [i](int index) {
            if (index >= 0) maint::RememberChannel(static_cast<size_t>(i), static_cast<size_t>(index));
        });

    QPointer<CMaint> self(this);
    maint::MaintPoll::Hooks hooks;
    hooks.outputSuspended = std::move(outputSuspended);
    hooks.usUnits = [] { return Shell().host.usUnits == 1; };
    hooks.refill = [self](maint::Variant v) {
        QMetaObject::invokeMethod(qApp, [self, v] { if (self) self->fill(v); }, Qt::QueuedConnection);
    };
    poll_ = std::make_shared<maint::MaintPoll>(panel(), std::move(hooks));
    ticks_ = TakeTicks([poll = poll_] { poll->tick(TickMs()); }, kTickMs);
    if (!ticks_) setTimer(kTickTimer, kTickMs);
    setTimer(kFocusTimer, 400, true);
    SetWindowSlot(slot::Maintenance, this);
}

CMaint::~CMaint() { release(); }

void CMaint::release() {
    if (released_) return;
    released_ = true;
    stopTimer(kTickTimer);
    if (ticks_) GiveTicksBack(ticks_);
    Shell().link().post([poll = poll_] { poll->close(); });
    ClearWindowSlot(slot::Maintenance, this);
}

void CMaint::done(int result) {
    release();
    Dialog::done(result);
}

void CMaint::fill(maint::Variant v) {
    const auto& names = maint::ChannelNames(v);
    const auto chosen = maint::RememberedChannels();
    for (size_t i = 0; i < selectors_.size(); ++i) {
        QComboBox* c = selectors_[i];
        const QSignalBlocker block(c);
        c->clear();
        for (const char* n : names) c->addItem(n);
        c->setCurrentIndex(static_cast<int>(chosen[i]));
    }
}

void CMaint::onCommand(int id) {
    switch (id) {
        case kBit:
            enable(kBit, false);
            Shell().link().post([poll = poll_, now = TickMs()] { poll->requestBit(now); });
            break;
        case kRevert:
            maint::RememberDefaultChannels();
            for (size_t i = 0; i < selectors_.size(); ++i)
                selectors_[i]->setCurrentIndex(static_cast<int>(maint::kDefaultChannels[i]));
            break;
        case kFold: break;  // the button's own click folds the BIT panel
        default: Dialog::onCommand(id);
    }
}

void CMaint::onTimer(int id) {
    switch (id) {
        case kTickTimer:
            if (!Shell().busy) Shell().link().post([poll = poll_] { poll->tick(TickMs()); });
            break;
        case kClearTimer: poll_->clearResults(); break;
        case kFocusTimer: selectors_[0]->setFocus(); break;
        default: Dialog::onTimer(id);
    }
}
