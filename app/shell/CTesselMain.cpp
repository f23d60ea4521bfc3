#include "app/shell/CTesselMain.h"

#include "shell/TickTargets.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/config/CDevInfo.h"
#include "app/config/CMisc.h"
#include "app/config/Setup.h"
#include "app/firmware/CFlash.h"
#include "app/util/CVersionInfo.h"
#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "app/kit/QtPanel.h"
#include "app/kit/WindowTable.h"
#include "app/monitor/FireThresh.h"
#include "app/monitor/CStatus.h"
#include "app/monitor/CGraph.h"
#include "app/network/CNetwork.h"
#include "app/network/CSelect.h"
#include "app/shell/CBaudrate.h"
#include "app/shell/CFaultList.h"
#include "app/shell/CSettings.h"
#include "app/shell/CTesselDlg.h"
#include "app/util/CDebugLog.h"
#include "config/CDevInfoIds.h"
#include "config/SetupIds.h"
#include "link/CommDriver.h"
#include "network/AddressBook.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "shell/TickTargets.h"
#include "shell/WindowSlots.h"
#include "util/Log.h"
#include "util/PumpWait.h"

using namespace mainwin;

namespace {

const char* const kGroupNames[] = {"Select", "Status", "Setup", "Version"};
const char* const kGroupButtons[] = {"SELECT", "STATUS", "SETUP", "VERSION"};

// The pictures of the detector families; drawn, as the tool ships no bitmaps yet.
QPixmap pictureFor(int resource) {
    QPixmap p(96, 64);
    p.fill(resource == 192 ? QColor(0xC8, 0xDC, 0xF0) : QColor(0xF0, 0xDC, 0x0A));
    QPainter painter(&p);
    painter.drawRect(0, 0, 95, 63);
    painter.drawText(p.rect(), Qt::AlignCenter, QString::number(resource));
    return p;
}

QLabel* label(QWidget* parent, const QString& text = {}) {
    auto* l = new QLabel(text, parent);
    l->setMinimumWidth(40);
    return l;
}

}  // namespace

CTesselMain::CTesselMain(Options options, QWidget* parent) : Dialog(parent, kTemplate), options_(options) {
    setWindowTitle(q(ProgramName() + "  -  Select"));
    groups_ = PageGroups(Shell().host.textVariant);
    lastEntry_.assign(groups_.size(), 0);

    auto* grid = new QGridLayout(this);
    auto* picture = add(kPicture, new QLabel(this));
    picture->setPixmap(pictureFor(192));
    grid->addWidget(picture, 0, 0);

    groupLayout_ = new QVBoxLayout;
    auto* exclusive = new QButtonGroup(this);
    for (int g = 0; g < 4; ++g) {
        auto* b = addButton(kGroupButton + g, kGroupButtons[g]);
        b->setCheckable(true);
        exclusive->addButton(b);
    }
    for (int k = 0; k < 4; ++k) addButton(kSubButton + k, "")->setStyleSheet("text-align: left;");
    grid->addLayout(groupLayout_, 1, 0);

    auto* pageArea = new QVBoxLayout;
    tabs_ = add(kTab, new QTabBar(this));
    stack_ = new QStackedWidget(this);
    pageArea->addWidget(tabs_);
    pageArea->addWidget(stack_, 1);
    grid->addLayout(pageArea, 0, 1, 2, 1);
    QObject::connect(tabs_, &QTabBar::tabBarClicked, this, [this](int index) { showEntry(group_, index); });

    auto* statusBox = new QGroupBox(this);
    auto* statusGrid = new QGridLayout(statusBox);
    buildStatusPanel(statusGrid);
    grid->addWidget(statusBox, 0, 2, 2, 1);
    grid->setColumnStretch(1, 1);

    Book().load(kParamIni);
    buildPages();
    setText(ctl::CommState, NotConnectedText());
    setChecked(kGroupButton, true);
    setChecked(kPolling, true);

    poll_ = std::make_shared<StatusPoll>(panel());
    QPointer<CTesselMain> self(this);
    poll_->subscribe([self](const PollOutcome& outcome) {
        QMetaObject::invokeMethod(qApp, [self, outcome] { if (self) self->pollOutcome(outcome); }, Qt::QueuedConnection);
    });
    stepper_ = std::make_unique<AddressStepper>(panel(), [poll = poll_](unsigned address) {
        Shell().link().post([poll, address] { poll->switchTo(address); });
    });

    // The failure notice arrives inside the exchange; the error line follows
    // the tick's own display, as a message posted to the window would.
    SetReceiveFailureNotice([poll = poll_](int result) {
        Shell().link().post([poll, result] { poll->showCommError(result); });
    });

    auto* minimize = new QAction("&Minimize", this);
    QObject::connect(minimize, &QAction::triggered, this, [this] { onCommand(kMinimize); });
    addAction(minimize);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    if (options_.rawDiagnostic) {
        SetCurrentCommPort(StartComm("COM3:921600,n,8,1"));
        setTimer(kBytesAvailTimer, 500);
    } else if (options_.startPollClock) {
        startPollClock();
    }
    setTimer(kFocusTimer, 2000, true);
}

void CTesselMain::startPollClock() {
    PollClock::Hooks hooks;
    hooks.tick = [this, poll = poll_](PollClock::Target target) {
        // A window that polls on its own has the ticks while it holds them.
        TickJob job = TickJobOf(target);
        if (!job) job = [poll] { poll->tick(); };
        Shell().link().call(job, &stopping_);
    };
    hooks.connected = [poll = poll_] { return poll->connected(); };
    hooks.linkEstablished = [poll = poll_] { return poll->linkEstablished(); };
    clock_ = std::make_unique<PollClock>(hooks);
    clock_->setPeriod(100);
    SetTickClock(clock_.get());
    if (!clock_->start()) DebugLog("Failed creating Thread...");
}

CTesselMain::~CTesselMain() {
    stopping_ = true;
    SetTickClock(nullptr);
    if (clock_) clock_->stop();
    SetReceiveFailureNotice({});
    if (options_.rawDiagnostic && CurrentCommPort() >= 0) {
        StopComm();
        SetCurrentCommPort(-1);
    }
}

void CTesselMain::buildStatusPanel(QGridLayout* g) {
    int row = 0;
    auto* addressLabel = add(ctl::AddressLabel, label(this, "Address:"));
    auto* up = add(kUpArrow, label(this, QString(QChar(0x25B2))));
    auto* down = add(kDownArrow, label(this, QString(QChar(0x25BC))));
    for (QLabel* l : {addressLabel, up, down}) l->setStyleSheet("color: #606060;");
    for (QLabel* l : {up, down}) {
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
    }
    g->addWidget(addressLabel, row, 0);
    g->addWidget(add(ctl::Address, label(this)), row, 1);
    auto* arrows = new QHBoxLayout;
    arrows->addWidget(up);
    arrows->addWidget(down);
    arrows->addStretch();
    g->addLayout(arrows, row++, 2, 1, 2);
    for (const auto& [caption, id] : ctl::kStatusRows) {
        g->addWidget(new QLabel(caption, this), row, 0);
        g->addWidget(add(id, label(this)), row++, 1, 1, 3);
    }
    auto* status = add(ctl::StatusText, label(this));
    status->setMinimumWidth(260);
    g->addWidget(status, row++, 0, 1, 4);
    for (QLabel* l : {itemAs<QLabel>(ctl::Mode), itemAs<QLabel>(ctl::State), status}) {
        l->setToolTip("Click here for Fault List");
        l->installEventFilter(this);
    }
    int col = 0;
    for (const auto& [caption, id] : ctl::kRelayRow) g->addWidget(add(id, label(this, caption)), row, col++);
    ++row;
    auto* comm = add(ctl::CommState, label(this));
    comm->setAlignment(Qt::AlignCenter);
    comm->setAutoFillBackground(true);
    QFont big(q(Shell().host.largeFont), 18, 700);
    comm->setFont(big);
    g->addWidget(comm, row++, 0, 1, 4);
    auto* permission = add(ctl::Permission, label(this));
    permission->setWordWrap(true);
    permission->setMinimumHeight(permission->fontMetrics().height() * 2 + 4);
    permission->setCursor(Qt::PointingHandCursor);
    permission->installEventFilter(this);
    g->addWidget(permission, row++, 0, 1, 4);
    g->addWidget(add(kPolling, new QCheckBox("Polling: ON", this)), row++, 0, 1, 4);
    g->addWidget(addButton(kTech, "          T E C H"), row, 0, 1, 2);
    g->addWidget(addButton(kConsole, "Console"), row, 2);
    g->addWidget(addButton(kGas, "Gas"), row++, 3);
}

void CTesselMain::buildPages() {
    // Pages are keyed by their entry's page number, which is the template's
    // but for the setup page (the dialog's template serves both).
    auto addPage = [this](Page* p, int key = 0) {
        p->setWindowFlags(Qt::Widget);
        pages_.insert(key ? key : p->templateId(), p);
        stack_->addWidget(p);
    };
    SelectPage::Hooks select;
    select.select = [this](unsigned address, bool atOnce) { selectAddress(address, atOnce); };
    select.switchNow = [this](unsigned address) {
        Shell().link().post([poll = poll_, address] { poll->switchTo(address); });
    };
    select.lastResponder = [this] { return lastResponder_; };
    addPage(new CSelect(this, std::move(select)));
    addPage(new CNetwork(this));
    addPage(new CStatus(this));
    addPage(new FireThresh(false, this));
    addPage(new UVIRFireThresh(false, this));
    auto* setup = new Setup(false, this);
    setup->setOnVerified([this] { showEntry(0, 0); });
    addPage(setup, page::SetupTable);
    addPage(new CSettings(CSettings::PageForm, this));
    auto* version = new CVersionInfo(this);
    // The summary's Version.png: the version page, refreshed for the detector summarised.
    addPage(new CMisc(this, [version](const std::string& png) { return version->refreshAndSave(png); },
                      [this] { return poll_ && poll_->permission() == 1; }));
    addPage(version);
    if (Shell().host.textVariant != 0) {
        auto* devInfo = new CDevInfo(false, this);
        devInfo->setOnVerified([this] { showEntry(0, 0); });
        addPage(devInfo);
    }
    addPage(new CFlash(this));
    addPage(new CGraph(this));
    showGroup(0);
}

void CTesselMain::setText(int id, const std::string& text) {
    Dialog::setText(id, text);
    if (id == ctl::CommState) paintCommState();
}

void CTesselMain::paintCommState() {
    QWidget* comm = item(ctl::CommState);
    if (!comm) return;
    const unsigned last = lastResponder_;
    const char* style = last < 248    ? "background: #00FF00; color: black;"
                        : last == 248 ? "background: #F0DC0A; color: black;"
                                      : "background: #FF0000; color: white;";
    comm->setStyleSheet(style);
}

void CTesselMain::setPicture(int resource) {
    itemAs<QLabel>(kPicture)->setPixmap(pictureFor(resource));
}

void CTesselMain::showGroup(int group) {
    showEntry(group, lastEntry_[static_cast<size_t>(group)]);
}

bool CTesselMain::arrowsHidden() const {
    return current_ == page::Recording || current_ == page::UvirThresholds;
}

void CTesselMain::showEntry(int group, int entry) {
    const auto& entries = groups_[static_cast<size_t>(group)];
    if (entry < 0 || entry >= static_cast<int>(entries.size())) return;
    int next = entries[static_cast<size_t>(entry)].page;
    if (next == page::Recording && Shell().detector.uvirModel) next = page::UvirThresholds;

    const int left = current_;
    if (left == page::Logfile) {
        Shell().busy = false;
        if (LinkBaud() != 9600) CBaudrate::SwitchToFastOrBack(this);
    }
    if (left == page::Recording || left == page::UvirThresholds) {
        item(kUpArrow)->show();
        item(kDownArrow)->show();
    }
    if (clock_ && left != page::Select && left != page::Network && left != page::Status && left != page::Trend) {
        clock_->setTarget(PollClock::kMainWindow);
        clock_->setPeriod(50);
    }
    group_ = group;
    lastEntry_[static_cast<size_t>(group)] = entry;
    current_ = next;
    setChecked(kGroupButton + group, true);
    setWindowTitle(q(ProgramName() + "  -  " + kGroupNames[group]));
    layoutGroups();
    tabs_->setCurrentIndex(entry);
    if (next == page::Recording || next == page::UvirThresholds) {
        item(kUpArrow)->hide();
        item(kDownArrow)->hide();
    }
    setTimer(1, 20, true);
}

void CTesselMain::layoutGroups() {
    const auto& entries = groups_[static_cast<size_t>(group_)];
    const bool tree = Shell().host.simulateTree;
    QSignalBlocker block(tabs_);
    while (tabs_->count()) tabs_->removeTab(0);
    for (const auto& e : entries) tabs_->addTab(q(e.tab));
    tabs_->setVisible(!tree);
    // The tree: the entries of the chosen group hang under its button.
    while (QLayoutItem* old = groupLayout_->takeAt(0)) delete old;
    for (int g = 0; g < 4; ++g) {
        groupLayout_->addWidget(item(kGroupButton + g));
        if (g == group_)
            for (int k = 0; k < 4; ++k) groupLayout_->addWidget(item(kSubButton + k));
    }
    groupLayout_->addStretch();
    for (int k = 0; k < 4; ++k) {
        QWidget* sub = item(kSubButton + k);
        const bool used = tree && k < static_cast<int>(entries.size());
        sub->setVisible(used);
        if (used) setText(kSubButton + k, entries[static_cast<size_t>(k)].tree);
    }
}

void CTesselMain::pollOutcome(const PollOutcome& o) {
    lastResponder_ = o.lastResponder;
    paintCommState();
    if (o.reachedPending) {
        setTimer(kRefreshPageTimer, 20, true);
        if (current_ == page::Logfile && clock_) clock_->setTarget(PollClock::kMainWindow);
    }
    if (o.picture) setPicture(o.picture);
    if (o.status)
        static_cast<CGraph*>(pages_[page::Trend])->addSample(o.status->voltage, o.status->temperature,
                                                             static_cast<float>(o.status->milliamps()));
    if (current_ == page::SetupTable) {
        auto* setup = static_cast<Setup*>(pages_[page::SetupTable]);
        if (o.connected && o.failedBefore) setTimer(kReloadSetupTimer, 3000, true);
        // Three failures in a row before this one: nothing to burn to.
        if (!o.connected && o.failures > 3) setup->enable(setupwin::kApply, false);
        if (!o.connected && o.failuresSinceGood == 3) setup->clearControls();
    }
    if (current_ == page::DeviceInfo && !o.connected && o.failures > 3)
        static_cast<CDevInfo*>(pages_[page::DeviceInfo])->enable(devinfowin::kBurn, false);
    if (auto* modal = dynamic_cast<Setup*>(WindowAt(slot::Setup))) modal->showStatus(o);
    if (current_ == page::Status) static_cast<CStatus*>(pages_[page::Status])->showOutcome(o);
    if (o.connected) {
        const bool alarm = o.status->mode == 'A';
        auto* select = static_cast<CSelect*>(pages_[page::Select]);
        if (select->locating()) select->located(o.status->header.address);
        if (select->isEnabled(page::kBitButton) == alarm) select->enable(page::kBitButton, !alarm);
    }
}

void CTesselMain::onTimer(int id) {
    switch (id) {
        case kTickTimer:
            Shell().link().post([poll = poll_] { poll->tick(); });
            break;
        case kStepTimer:
            stepper_->onTimer(arrowsHidden());
            break;
        case kRefreshPageTimer:
            if (Page* p = pages_.value(current_)) {
                stack_->setCurrentWidget(p);
                p->refresh();
            }
            break;
        case kReloadSetupTimer:
            if (current_ == page::SetupTable) pages_[page::SetupTable]->refresh();
            break;
        case kFocusTimer:
            if (QWidget* field = pages_[page::Select]->item(page::kAddressField)) field->setFocus();
            break;
        case kConsoleTimer:
            if (Keys::shift()) showConsole();
            break;
        case kBytesAvailTimer: {
            uint64_t total = 0;
            setWindowTitle(QString("BytesAvail %1").arg(GetCommStats(&total)));
            break;
        }
        default:
            break;
    }
}

void CTesselMain::onCommand(int id) {
    if (id >= kGroupButton && id < kGroupButton + 4) {
        showGroup(id - kGroupButton);
    } else if (id >= kSubButton && id < kSubButton + 4) {
        showEntry(group_, id - kSubButton);
    } else if (id == kPolling) {
        const bool on = isChecked(kPolling);
        setText(kPolling, on ? "Polling: ON" : "Polling: OFF");
        lastResponder_ = on ? 1 : 248;
        if (!on) setText(ctl::CommState, "---");
        paintCommState();
        Shell().link().post([poll = poll_, on] { poll->setPolling(on); });
    } else if (id == kConsole) {
        if (Keys::shift()) showConsole();
    } else if (id == kMinimize) {
        showMinimized();
    } else if (id == kTech) {
        CTesselDlg console(this);
        console.exec();
    }
    // Gas does nothing, as yet.
}

void CTesselMain::showConsole() {
    if (!console_) {
        console_ = new CDebugLog(this);
        console_->setWindowFlag(Qt::Window);
    }
    console_->show();
    console_->raise();
    console_->placeBesideMainWindowSoon();
}

bool CTesselMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease) return Dialog::eventFilter(watched, event);
    const int id = watched->property("controlId").toInt();
    if (id == kUpArrow && !arrowsHidden()) stepper_->up();
    else if (id == kDownArrow && !arrowsHidden()) stepper_->down();
    else if (id == ctl::Permission) setText(ctl::Permission, "");
    else if (id == ctl::Mode || id == ctl::State || id == ctl::StatusText) {
        CFaultList list(this);
        list.exec();
    }
    return Dialog::eventFilter(watched, event);
}

void CTesselMain::keyPressEvent(QKeyEvent* event) {
    // Enter belongs to the pages; it never closes the main window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (current_ == page::SetupTable) static_cast<Setup*>(pages_[page::SetupTable])->apply();
        if (current_ == page::DeviceInfo) static_cast<CDevInfo*>(pages_[page::DeviceInfo])->burn();
        return;
    }
    if (event->key() == Qt::Key_F1) {
        if (Page* shown = pages_.value(current_)) shown->showHelp();
        return;
    }
    Dialog::keyPressEvent(event);
}

void CTesselMain::reject() {
    if (closing_) return;
    closing_ = true;
    if (LinkBaud() != 9600) {
        const int choice = ThreeButtonBox("The current baudrate isn't 9600...", "Warning",
                                          "Exit leaving the baudrate unchanged",
                                          "Restore the baudrate to 9600 and then exit",
                                          "Don't exit and leave the baudrate unchanged", 2, this);
        if (choice == 3) {
            closing_ = false;
            return;
        }
        if (choice == 2) CBaudrate::SwitchToFastOrBack(this);
    }
    if (!Keys::shift()) {
        Shell().busy = true;
        if (MessageBox("Are you sure you want to exit?\r\nClick 'OK' to exit, 'Cancel' to stay", "Warning", MB_OKCANCEL,
                       this) != IDOK) {
            Shell().busy = false;
            closing_ = false;
            return;
        }
    }
    stopping_ = true;
    SetTickClock(nullptr);
    if (clock_) clock_->stop();
    // The link closes on its own thread, after whatever it is doing now.
    Shell().link().post([] { CloseModbusContext(); });
    PumpWait(800);
    logs::closeFiles();
    Dialog::reject();
}
