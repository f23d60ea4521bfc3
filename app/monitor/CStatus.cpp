#include "app/monitor/CStatus.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cctype>

#include "app/monitor/CGauge.h"
#include "monitor/CStatusIds.h"
#include "network/SelectPage.h"
#include "shell/PagesIds.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"

namespace {
constexpr int kGaugeIds[] = {page::kVoltage, page::kTemperature, page::kAnalog};
const char* const kGaugeHelp[] = {
    "Shows the current input voltage in Volts and the valid working range of voltages.\r\n",
    "Shows the current temperature sensed internally by the detector and the valid working temperature range.\r\n",
    "Shows the current 4-20 analog output in mA"};
constexpr const char* kBitHelp =
    "Tests the IR sensor by flashing the internal BIT lamp.\r\n"
    "The light is reflected back into the detector and its intensity is measured by the IR sensor.\r\n"
    "The test result also provides a measure of the transparency of the saphire window.\r\n";

QString css(const std::array<uint8_t, 3>& c) { return QString("rgb(%1,%2,%3)").arg(c[0]).arg(c[1]).arg(c[2]); }
}  // namespace

CStatus::CStatus(QWidget* parent) : Page(parent, page::Status, "Status") {
    auto* grid = new QGridLayout(this);
    // The units take effect at the next start, as the settings page says.
    const bool us = Shell().host.usUnits == 1;
    for (int kind = 0; kind < 3; ++kind) {
        auto* box = new QGroupBox(gauge::Caption(kind), this);
        box->setStyleSheet("QGroupBox { background: white; } QGroupBox::title { background: white; }");
        auto* inner = new QVBoxLayout(box);
        auto* g = add(kGaugeIds[kind], new CGauge(kind, us, box));
        g->setToolTip(QString::fromLatin1(kGaugeHelp[kind]).trimmed());
        inner->addWidget(g);
        gauges_[static_cast<size_t>(kind)] = g;
        grid->addWidget(box, 0, kind);
    }
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Mode:", this));
    auto* mode = add(statuspage::kMode, new QLabel(this));
    mode->setMinimumWidth(30);
    mode->setAlignment(Qt::AlignCenter);
    row->addWidget(mode);
    row->addStretch(1);
    QPushButton* bit = addButton(statuspage::kBit, "&Built In Test (BIT)");
    bit->setToolTip("Activates Manual BIT function");
    row->addWidget(bit);
    grid->addLayout(row, 1, 0, 1, 3);
    grid->setRowStretch(0, 1);
}

void CStatus::showOutcome(const PollOutcome& o) {
    for (CGauge* g : gauges_) g->setPresent(o.connected);
    if (o.gauges) {
        gauges_[0]->setValue(o.gauges->volts);
        gauges_[1]->setValue(o.gauges->temperature);
        gauges_[2]->setValue(o.gauges->milliamps);
    }
    const char mode = o.status ? static_cast<char>(std::toupper(static_cast<unsigned char>(o.status->mode))) : ' ';
    const auto colours = gauge::ModeField(mode);
    setText(statuspage::kMode, o.status ? std::string(1, mode) : "");
    item(statuspage::kMode)->setStyleSheet(
        QString("color: %1; background: %2;").arg(css(colours.text), css(colours.back)));
}

std::string CStatus::helpText(int focusedControl) const {
    for (int kind = 0; kind < 3; ++kind)
        if (focusedControl == kGaugeIds[kind]) return kGaugeHelp[kind];
    return focusedControl == statuspage::kBit ? kBitHelp : "";
}

void CStatus::onCommand(int id) {
    if (id == statuspage::kBit)
        RunProcedure(panel(), [](Panel& p) { ManualBit(p); });
    else
        Page::onCommand(id);
}
