#include "app/shell/CTesselDlg.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include "app/calib/CCalib420.h"
#include "app/calib/CCalibrate.h"
#include "app/calib/CCalibrateBIT.h"
#include "app/calib/CDCICalib.h"
#include "app/config/CUpdateParam.h"
#include "app/config/ParamView.h"
#include "app/config/Setup.h"
#include "app/firmware/CDumpFlash1.h"
#include "app/firmware/CUpload.h"
#include "app/kit/FileOpen.h"
#include "app/kit/ScriptWindowTable.h"
#include "app/kit/WindowTable.h"
#include "app/monitor/CFMTest2.h"
#include "app/monitor/CInfo.h"
#include "app/monitor/CMaint.h"
#include "app/monitor/CMonitorExplosions.h"
#include "app/monitor/FireThresh.h"
#include "app/network/CModbus.h"
#include "app/network/CNetwork.h"
#include "app/network/CSetAddr.h"
#include "app/shell/CBaudrate.h"
#include "app/util/CVersionInfo.h"
#include "network/CSetAddrIds.h"
#include "shell/CTesselDlgIds.h"
#include "shell/CTesselMainIds.h"
#include "shell/ShellState.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"

using namespace techdlg;

namespace {

// Menu entries whose windows the tool does not have yet.
constexpr int kLaterEntries[] = {cmd::Ir1Calibration};

QLabel* field(QWidget* parent, const QString& text = {}) {
    auto* l = new QLabel(text, parent);
    l->setMinimumWidth(40);
    return l;
}

}  // namespace

CTesselDlg::CTesselDlg(QWidget* parent) : Dialog(parent, kTemplate), console_(std::make_shared<TechConsole>(panel())) {
    setWindowTitle("VantorD");
    auto* grid = new QGridLayout(this);
    auto* status = new QGroupBox(this);
    buildStatus(new QGridLayout(status));
    grid->addWidget(status, 0, 0);
    auto* buttons = new QGridLayout;
    buildButtons(buttons);
    grid->addLayout(buttons, 0, 1);
    auto* list = add(kList, new QListWidget(this));
    list->setMinimumHeight(120);
    grid->addWidget(list, 1, 0, 1, 2);
    buildKeys();

    console_->open();
    setChecked(kSuspend, console_->outputSuspended());
    setChecked(kPulse, console_->showPulse());
    QPointer<CTesselDlg> self(this);
    console_->poll().subscribe([self](const PollOutcome& o) {
        QMetaObject::invokeMethod(qApp, [self, o] {
            if (!self) return;
            if (auto* setup = dynamic_cast<Setup*>(WindowAt(slot::Setup))) setup->showStatus(o);
        }, Qt::QueuedConnection);
    });
    stepper_ = std::make_unique<AddressStepper>(
        panel(), [console = console_](unsigned address) {
            Shell().link().post([console, address] { console->poll().switchTo(address); });
        },
        nullptr, kStepTimer);
    ticks_ = TakeTicks(console_->tickJob(), 50);
    if (!ticks_) setTimer(kTickTimer, 50);
    SetWindowSlot(slot::Console, this);
}

CTesselDlg::~CTesselDlg() {
    if (ticks_) GiveTicksBack(ticks_);
    // The script waits for this window no longer, and then ends.
    panel()->detach();
    if (runner_) runner_->stop();
}

void CTesselDlg::buildStatus(QGridLayout* g) {
    int row = 0;
    auto* up = add(mainwin::kUpArrow, field(this, QString(QChar(0x25B2))));
    auto* down = add(mainwin::kDownArrow, field(this, QString(QChar(0x25BC))));
    for (QLabel* arrow : {up, down}) {
        arrow->setCursor(Qt::PointingHandCursor);
        arrow->installEventFilter(this);
    }
    g->addWidget(add(ctl::AddressLabel, field(this, "Address:")), row, 0);
    g->addWidget(add(ctl::Address, field(this)), row, 1);
    g->addWidget(up, row, 2);
    g->addWidget(down, row++, 3);
    for (const auto& [caption, id] : ctl::kStatusRows) {
        g->addWidget(new QLabel(caption, this), row, 0);
        g->addWidget(add(id, field(this)), row++, 1, 1, 3);
    }
    g->addWidget(add(ctl::StatusText, field(this)), row++, 0, 1, 4);
    int column = 0;
    for (const auto& [caption, id] : ctl::kRelayRow) g->addWidget(add(id, field(this, caption)), row, column++);
    ++row;
    auto* comm = add(ctl::CommState, field(this));
    comm->setAlignment(Qt::AlignCenter);
    g->addWidget(comm, row++, 0, 1, 4);
    auto* permission = add(ctl::Permission, field(this));
    permission->setWordWrap(true);
    g->addWidget(permission, row, 0, 1, 4);
}

void CTesselDlg::buildButtons(QGridLayout* g) {
    const std::pair<int, const char*> buttons[] = {
        {kParameters, "&Parameters"}, {kSetup, "&Setup"},         {kFireThresholds, "&Fire Thresholds"},
        {kAddress, "&Address"},       {kAddressDown, "-"},         {kAddressUp, "+"},
        {kMaint, "&Maint."},          {kNetwork, "&Network"},      {kSearch, "Sea&rch is Off"},
        {kBit, "&BIT"},               {kRecordIr, "Record IR"},    {kSuspend, "Suspend Output"},
        {kPulse, "Hide Pulse"},       {kCalibrate, "Calibra&te"},  {kBaudrate, "Ba&udrate"},
        {kCommandMenu, ">"}};
    int at = 0;
    for (const auto& [id, caption] : buttons) {
        QPushButton* b = addButton(id, caption);
        b->setAutoDefault(false);
        g->addWidget(b, at / 3, at % 3);
        ++at;
    }
    for (int id : {kSearch, kSuspend, kPulse}) static_cast<QPushButton*>(item(id))->setCheckable(true);

    menu(kRecordIr, {{"Streaming 2.3KHz at 921600 baud", cmd::Streaming2k3},
                     {"Streaming 100Hz at 921600 baud", cmd::Streaming100Hz},
                     {"Pulling 100Hz at 57600 baud", cmd::Pulling100Hz}});
    menu(kCalibrate, {{"IR4 Calibration", cmd::Ir4Calibration},
                      {"IR1 Calibration", cmd::Ir1Calibration},
                      {"4-20 Calibration", cmd::Calibration420},
                      {"IR BIT Calibration", cmd::IrBitCalibration},
                      {"UV BIT Calibration", cmd::UvBitCalibration},
                      {"DCI 4.4um to 4.5um Calibration", cmd::DciCalibration}});
    menu(kBaudrate, {{"&Detector && Host", cmd::BaudBoth}, {"&Locally - Host only", cmd::BaudLocal}});
    QMenu* commands = menu(kCommandMenu, {{"Show Version", cmd::ShowVersion}, {"Start F&M Test", cmd::StartFmTest}});
    QMenu* eraseLog = commands->addMenu("Erase Logfile:   preserve worktime ?");
    addEntries(eraseLog, {{"No", cmd::EraseLogfileNo}, {"Yes", cmd::EraseLogfileYes}});
    addEntries(commands, {{"Erase Flash", cmd::EraseFlash},
                          {"Update Firmware", cmd::UpdateFirmware},
                          {"Internal Flash Dump", cmd::FlashDump},
                          {"Parameter Update Template", cmd::ParameterTemplate},
                          {"Make Detector Hang", cmd::MakeHang},
                          {"Restart Detector", cmd::Restart},
                          {"Playback", cmd::Playback}});
    QMenu* message = commands->addMenu("Get Message Text: Erase?");
    addEntries(message, {{"Yes", cmd::GetMessageErase}, {"No", cmd::GetMessageKeep}});
    addEntries(commands, {{"Erase Message(s)", cmd::EraseMessages},
                          {"Modbus Interface", cmd::ModbusInterface},
                          {"Monitor Explosions", cmd::MonitorExplosions},
                          {"Sanity Check", cmd::SanityCheck}});
}

QMenu* CTesselDlg::menu(int button, Entries entries) {
    auto* m = new QMenu(this);
    addEntries(m, entries);
    static_cast<QPushButton*>(item(button))->setMenu(m);
    return m;
}

void CTesselDlg::addEntries(QMenu* m, Entries entries) {
    for (const auto& [text, id] : entries) {
        QAction* a = m->addAction(text);
        a->setEnabled(std::find(std::begin(kLaterEntries), std::end(kLaterEntries), id) == std::end(kLaterEntries));
        QObject::connect(a, &QAction::triggered, this, [this, id = id] { onCommand(id); });
    }
}

void CTesselDlg::buildKeys() {
    const std::pair<QKeySequence, int> keys[] = {
        {Qt::Key_F9, cmd::RunScript},
        {Qt::Key_F8, cmd::MessageText},
        {Qt::SHIFT | Qt::Key_F8, cmd::MessageAuto},
        {Qt::Key_F11, cmd::CommError},
        {Qt::SHIFT | Qt::Key_F11, cmd::CommError2},
        {Qt::SHIFT | Qt::CTRL | Qt::Key_F12, cmd::SimulateAlarm},
        {Qt::Key_F4, cmd::FillBlock}};
    for (const auto& [key, id] : keys) {
        auto* a = new QAction(this);
        a->setShortcut(key);
        QObject::connect(a, &QAction::triggered, this, [this, id = id] { onCommand(id); });
        addAction(a);
    }
}

void CTesselDlg::onCommand(int id) {
    TechConsole& c = *console_;
    switch (id) {
        case kParameters: MakeParamView(this)->exec(); break;
        case kFireThresholds: MakeFireThresh(this)->exec(); break;
        case kSetup: {
            Setup setup(true, this);
            setup.exec();
            break;
        }
        case kAddress: openAddress(0); break;
        case kAddressDown: openAddress(-1); break;
        case kAddressUp: openAddress(+1); break;
        case kNetwork: {
            CNetwork network(this, true);
            network.exec();
            break;
        }
        case kMaint: {
            CMaint maintenance(this, [console = console_] { return console->outputSuspended(); });
            maintenance.exec();
            break;
        }
        // The DCI and 4-20 mA calibrations.
        case cmd::Calibration420: {
            CCalib420 calibration(this, [console = console_] { return console->poll().connected(); });
            calibration.exec();
            break;
        }
        case cmd::Ir4Calibration: {
            std::unique_ptr<CCalibrate> calibration = Shell().detector.uvirModel
                                                          ? std::make_unique<CUVIRCalibration>(this)
                                                          : std::make_unique<CCalibrate>(this);
            calibration->exec();
            break;
        }
        case cmd::DciCalibration: {
            CDCICalib calibration(this);
            calibration.exec();
            break;
        }
        case cmd::Streaming2k3:
        case cmd::Streaming100Hz: {
            CInfo recording(this, id == cmd::Streaming2k3 ? 1 : 2, Shell().detector.uvirModel.load());
            recording.exec();
            break;
        }
        case cmd::Pulling100Hz: {
            CRec100Hz recording(this, Shell().detector.uvirModel.load());
            recording.exec();
            break;
        }
        case kSearch: c.setSearch(isChecked(kSearch)); break;
        case kBit: c.manualBit(); break;
        case kSuspend: c.setOutputSuspended(isChecked(kSuspend)); break;
        case kPulse: c.setShowPulse(isChecked(kPulse)); break;
        case cmd::BaudBoth:
        case cmd::BaudLocal: {
            BaudSwitch::Options options;
            options.localOnly = id == cmd::BaudLocal;
            CBaudrate baud(options, this);
            baud.exec();
            setWindowTitle(q(TechConsole::title()));
            break;
        }
        case cmd::EraseLogfileNo: c.eraseLogfile(false); break;
        case cmd::EraseLogfileYes: c.eraseLogfile(true); break;
        case cmd::EraseFlash: c.eraseFlash(); break;
        case cmd::ShowVersion: {
            CVersionInfo version(this, true);
            version.exec();
            break;
        }
        case cmd::UpdateFirmware: {
            CUpload upload(this);
            upload.exec();
            break;
        }
        case cmd::MonitorExplosions: {
            CMonitorExplosions monitor(this);
            monitor.exec();
            break;
        }
        case cmd::StartFmTest: CFMTest2::open(this); break;
        case cmd::FlashDump: {
            CDumpFlash1 dump(this);
            dump.exec();
            break;
        }
        case cmd::ParameterTemplate: {
            CUpdateParam editor(this);
            editor.exec();
            break;
        }
        case cmd::MakeHang: c.hangDetector(); break;
        case cmd::Restart: c.restartDetector(); break;
        case cmd::Playback:
            if (const std::string path = OpenFileDialog("bin", "2.3KHz_Recordings", this); !path.empty())
                c.playback(path);
            break;
        case cmd::GetMessageErase:
        case cmd::MessageText: c.getMessageText(true); break;
        case cmd::GetMessageKeep: c.getMessageText(false); break;
        case cmd::MessageAuto: c.startAutoMessages(); break;
        case cmd::EraseMessages: c.eraseMessages(); break;
        case cmd::SanityCheck: c.sanityCheck(); break;
        // The BIT calibration windows.
        case cmd::IrBitCalibration: CCalibrateBIT(this).exec(); break;
        case cmd::UvBitCalibration: CCalibrateBIT_UV(this).exec(); break;
        case cmd::ModbusInterface: new CModbus(this); break;
        case cmd::RunScript: runScript(); break;
        case cmd::CommError: c.simulateCommError(1); break;
        case cmd::CommError2: c.simulateCommError(2); break;
        case cmd::SimulateAlarm: c.simulateAlarm(); break;
        case cmd::FillBlock: c.sendFillBlock(); break;
        default: Dialog::onCommand(id);
    }
}

void CTesselDlg::onTimer(int id) {
    switch (id) {
        case kStepTimer: stepper_->onTimer(); break;
        case kScriptTitleTimer:
            if (runner_) runner_->onTitleTimer();
            break;
        case kAutoMessageTimer: console_->onAutoMessageTimer(); break;
        case kTickTimer:
            if (!Shell().busy) Shell().link().post(console_->tickJob());
            break;
        default: Dialog::onTimer(id);
    }
}

void CTesselDlg::openAddress(int step) {
    if (console_->masterRefuses()) return;
    SetAddr::Options options;
    options.step = step;
    options.masterMode = console_->searching();
    CSetAddr address(this, [console = console_](unsigned a) {
        Shell().link().post([console, a] { console->poll().switchTo(a); });
    }, options);
    address.exec();
    if (step) setText(kAddress, "&Address " + std::to_string(Shell().detector.address.load()));
}

void CTesselDlg::runScript() {
    if (runner_ && runner_->running()) return;
    runner_ = std::make_unique<ScriptRunner>(panel(), MakeScriptWindows(), BuiltInScript(), scriptOptions_);
    runner_->start();
}

bool CTesselDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const int id = watched->property("controlId").toInt();
        if (id == mainwin::kUpArrow) stepper_->up();
        if (id == mainwin::kDownArrow) stepper_->down();
    }
    return Dialog::eventFilter(watched, event);
}
