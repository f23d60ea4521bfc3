#include "app/shell/CSettings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "protocol/Dcb.h"
#include "protocol/Transport.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "app/kit/MessageBox.h"
#include "util/Log.h"
#include "util/Profile.h"

namespace {

std::function<std::vector<PortEntry>()> g_lister;
std::function<void()> g_restart;

std::vector<PortEntry> systemPorts() {
    std::vector<PortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.systemLocation().toStdString(), info.description().toStdString()});
    return ports;
}

// Says so when Param.ini could not be written; the settings stay as they were.
void reportWriteFailure(const char* what, QWidget* parent) {
    const std::string reason = std::strerror(errno);
    DebugLog("Writing the %s to %s failed: %s", what, kParamIni, reason.c_str());
    MessageBox(std::string("Writing the ") + what + " to " + kParamIni + " failed:\r\n" + reason, "Error",
               MB_ICONEXCLAMATION, parent);
}

std::vector<PortEntry> listPorts() { return g_lister ? g_lister() : systemPorts(); }

// The port a list line or stored line names: the text before its first run of four blanks.
std::string portOf(const std::string& line) { return line.substr(0, line.find("    ")); }

// Options the user added by hand to the stored description stay while the port stays.
std::string withStoredOptions(const std::string& description) {
    PortDescription was, now;
    if (!ParseDCB(ProfileGetString(kParamIni, "DCB", "szCom", "", 259), &was) || !ParseDCB(description, &now) ||
        was.portName != now.portName)
        return description;
    return description + (was.rs485 ? ",rs485" : "") + (was.echo ? ",echo" : "");
}

}  // namespace

void CSettings::SetPortLister(std::function<std::vector<PortEntry>()> lister) { g_lister = std::move(lister); }
void CSettings::SetRestart(std::function<void()> restart) { g_restart = std::move(restart); }

std::string CSettings::PortLine(const PortEntry& port) {
    return port.name + "    <" + (port.description.empty() ? std::string("     ") : port.description) + ">";
}

std::string CSettings::PortDescriptionOf(const std::string& line) {
    const size_t cut = line.find("    ");
    return line.substr(0, cut) + ":9600,n,8,1";
}

using namespace settingswin;

CSettings::CSettings(Form form, QWidget* parent)
    : Page(parent, form == StartUpForm ? kFormTemplate : kPageTemplate,
           form == StartUpForm ? "Host Settings" : "Settings"),
      form_(form) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Comport:", this), 0, 0);
    auto* combo = add(kPortCombo, new QComboBox(this));
    combo->setMinimumWidth(320);
    grid->addWidget(combo, 0, 1);
    grid->addWidget(addButton(kSetPort, "Set"), 0, 2);
    auto* devices = addButton(kDeviceManager, "Device Manager");
    // This platform has no device manager view to open.
    devices->setEnabled(false);
    grid->addWidget(devices, 1, 1);
    grid->addWidget(add(kMetric, new QRadioButton("Meters\n\nCentigrade", this)), 2, 0);
    grid->addWidget(add(kUs, new QRadioButton("Feet\n\nFahrenheit", this)), 2, 1);
    grid->addWidget(addButton(kSetUnits, "Set"), 2, 2);
    if (form == StartUpForm) {
        grid->addWidget(addButton(IDOK, "OK"), 3, 1);
        grid->addWidget(addButton(IDCANCEL, "Exit"), 3, 2);
    }
    setChecked(Shell().host.usUnits == 1 ? kUs : kMetric, true);
    refill();
}

std::string CSettings::helpText(int focused) const {
    switch (focused) {
        case kPortCombo:
            return "Select the corresponding communication port after verifying with the computer device manager.";
        case kDeviceManager:
            return "Opens the computer device manager directory to view the available COM ports";
        case kSetPort:
            return "Saves COM settings";
        case kSetUnits:
            return "Save unit settings";
        case kMetric:
        case kUs:
            return "Selects Metric or non-Metric units.\r\n";
        default:
            return "Enables changing the detector's comport.\r\nThe comport is selected from the list of available "
                   "comports.\r\nA link to Windows' 'Device Manager' is provided to facilitate troubleshooting.\r\n"
                   "When running 'Vantor' for the first time, a similar dialog pops up for making the initial comport "
                   "selection.\r\n";
    }
}

void CSettings::refill() {
    auto* combo = itemAs<QComboBox>(kPortCombo);
    const std::string stored = ProfileGetString(kParamIni, "DCB", "szDetectorComport", "", 127);
    // A port chosen before the list changed stays chosen while it is there.
    const std::string chosen = portOf(combo->currentIndex() >= 0 ? s(combo->currentText()) : stored);
    ports_ = listPorts();
    combo->clear();
    for (const PortEntry& p : ports_) combo->addItem(q(PortLine(p)));
    missingLine_.clear();
    const auto present = [&](const std::string& port) {
        for (const PortEntry& p : ports_)
            if (p.name == port) return true;
        return false;
    };
    if (!stored.empty() && !present(portOf(stored))) {
        missingLine_ = stored + kMissingMark;
        combo->addItem(q(missingLine_));
    }
    int index = -1;
    for (int i = 0; i < combo->count() && index < 0; ++i)
        if (portOf(s(combo->itemText(i))) == chosen) index = i;
    if (index < 0)
        for (int i = 0; i < combo->count() && index < 0; ++i)
            if (portOf(s(combo->itemText(i))) == portOf(stored)) index = i;
    combo->setCurrentIndex(index);
}

void CSettings::showEvent(QShowEvent* event) {
    Page::showEvent(event);
    refill();
    setTimer(kPortWatchTimer, kPortWatchMs);
    // The form comes up because the port did not open: say why, once.
    if (form_ == StartUpForm && !openErrorShown_ && !Wire().openError.empty()) {
        openErrorShown_ = true;
        QTimer::singleShot(0, this, [this] { MessageBox(Wire().openError, "Error", MB_ICONEXCLAMATION, this); });
    }
}

void CSettings::hideEvent(QHideEvent* event) {
    stopTimer(kPortWatchTimer);
    Page::hideEvent(event);
}

void CSettings::onTimer(int id) {
    if (id == kPortWatchTimer && listPorts() != ports_) refill();
}

bool CSettings::setPort() {
    auto* combo = itemAs<QComboBox>(kPortCombo);
    if (combo->currentIndex() < 0) return false;
    const std::string line = s(combo->currentText());
    // The stored port, absent now, stays stored as it is.
    if (line == missingLine_) return false;
    const std::string before = ProfileGetString(kParamIni, "DCB", "szDetectorComport", "", 127);
    // The list line and the description it stands for change together or not at all.
    if (!ProfileWriteStrings(kParamIni, "DCB",
                             {{"szDetectorComport", line.substr(0, 127)},
                              {"szCom", withStoredOptions(PortDescriptionOf(line))}})) {
        reportWriteFailure("comport", this);
        return false;
    }
    return line != before;
}

bool CSettings::setUnits() {
    const int units = isChecked(kUs) ? 1 : 0;
    const bool changed = units != Shell().host.usUnits;
    if (!ProfileWriteString(kParamIni, kAppSection, "fUsUnits", units ? "1" : "0")) {
        reportWriteFailure("units", this);
        return false;
    }
    Shell().host.usUnits = units;
    return changed;
}

void CSettings::onCommand(int id) {
    const std::string restartText = ProgramName() + " will be restarted for the change to take effect...";
    switch (id) {
        case kSetPort:
            if (setPort() && form_ == PageForm) {
                MessageBox(restartText, "The Comport has changed:", MB_ICONINFORMATION, this);
                if (g_restart) g_restart();
            }
            break;
        case kSetUnits:
            if (setUnits() && form_ == PageForm) {
                MessageBox(restartText, "Units have changed:", MB_ICONINFORMATION, this);
                if (g_restart) g_restart();
            }
            break;
        case IDOK:
            if (itemAs<QComboBox>(kPortCombo)->currentIndex() < 0) {
                MessageBox("Comport not selected", "Error", MB_ICONEXCLAMATION, this);
                break;
            }
            setPort();
            setUnits();
            confirmed_ = true;
            accept();
            break;
        case IDCANCEL:
            confirmed_ = false;
            reject();
            break;
        default:
            break;
    }
}
