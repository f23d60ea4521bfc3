#include "app/config/Setup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <span>
#include <vector>

#include "app/config/C420Settings.h"
#include "app/kit/Help.h"
#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "app/kit/WindowTable.h"
#include "config/SetupIds.h"
#include "shell/CTesselMainIds.h"
#include "shell/Catalogue.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "shell/StatusPoll.h"
#include "shell/WindowSlots.h"
#include "app/kit/Screenshot.h"

namespace w = setupwin;

namespace {

constexpr int kCombos[] = {w::kSensitivity, w::kDelay, w::kHeaterMode, w::kHeaterOnTemp,
                           w::kHeaterPower};
constexpr int kEdits[] = {w::kFaultCount, w::kInterval, w::kPostManBit};
constexpr int kChecks[] = {
    w::kAlarmLatch,         w::kAutoBit,      w::kAlarmOnBit,   w::kAccessoryOnBit,
    w::kAccessoryOnWarning, w::kAccessoryEol, w::kAccessoryFov, w::kFov,
    w::kReserved,           w::kExplosion,    w::kFast,         w::kResetPasswords};
constexpr int kRadios[] = {w::kIrOnly, w::kUvOnly, w::kUvir, w::kNotSet, w::kNotLocked, w::kLocked};
constexpr int kUnits[] = {w::kDistanceUnit, w::kTemperatureUnit};

// Every control the record is shown on, as the logic reads them.
const std::vector<int>& recordControls() {
    static const std::vector<int> ids = [] {
        std::vector<int> all;
        for (std::span<const int> group :
             {std::span<const int>(kCombos), std::span<const int>(kEdits),
              std::span<const int>(kChecks), std::span<const int>(kRadios),
              std::span<const int>(kUnits)})
            all.insert(all.end(), group.begin(), group.end());
        return all;
    }();
    return ids;
}

QLabel* caption(QWidget* parent, const char* text) { return new QLabel(text, parent); }

}  // namespace

Setup::Setup(bool modal, QWidget* parent)
    : Page(parent, w::kTemplate, "Detector Setup"), modal_(modal) {
    build();
    auto* f3 = new QAction(this);
    f3->setShortcut(Qt::Key_F3);
    f3->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(f3, &QAction::triggered, this, [this] { onCommand(w::kApplyKey); });
    addAction(f3);
    focusWatch_ = QObject::connect(qApp, &QApplication::focusChanged, this,
                                   [this](QWidget* old, QWidget* now) {
                                       if (old && isAncestorOf(old) && !(now && isAncestorOf(now)))
                                           focusLeft();
                                   });
}

Setup::~Setup() {
    // The controls going with the window move the focus too.
    QObject::disconnect(focusWatch_);
    ClearWindowSlot(slot::Setup, this);
}

void Setup::build() {
    auto* layout = new QVBoxLayout(this);
    if (modal_) buildHeader(layout);
    auto* columns = new QGridLayout;
    layout->addLayout(columns);

    const auto combo = [this](int id) {
        auto* c = add(id, new QComboBox(this));
        QObject::connect(c, &QComboBox::currentIndexChanged, this, [this, id] { changed(id); });
        return c;
    };
    const auto edit = [this](int id) {
        auto* e = add(id, new QLineEdit(this));
        e->setMaximumWidth(60);
        QObject::connect(e, &QLineEdit::textChanged, this, [this, id] { changed(id); });
        return e;
    };
    const auto button = [this](int id, QAbstractButton* b) {
        add(id, b);
        QObject::connect(b, &QAbstractButton::toggled, this, [this, id] { changed(id); });
        return b;
    };
    const auto check = [&](int id, const char* text) {
        return button(id, new QCheckBox(text, this));
    };
    const auto radio = [&](int id, const char* text) {
        return button(id, new QRadioButton(text, this));
    };

    auto* detection = new QGroupBox("Detection", this);
    auto* d = new QGridLayout(detection);
    d->addWidget(caption(this, "Sensitivity"), 0, 0);
    d->addWidget(combo(w::kSensitivity), 0, 1);
    d->addWidget(add(w::kDistanceUnit, new QLabel("m", this)), 0, 2);
    d->addWidget(caption(this, "Alarm Delay"), 1, 0);
    d->addWidget(combo(w::kDelay), 1, 1);
    d->addWidget(check(w::kAlarmLatch, "Alarm Latch"), 2, 0, 1, 3);
    d->addWidget(check(w::kExplosion, "Explosion"), 3, 0);
    d->addWidget(check(w::kFast, "Fast"), 3, 1);
    d->addWidget(check(w::kFov, "Field of View (FOV) Integrity"), 4, 0, 1, 3);
    d->addWidget(check(w::kReserved, "Reserved"), 5, 0, 1, 3);
    auto* modes = new QGroupBox(detection);  // its own radio group
    auto* m = new QVBoxLayout(modes);
    m->addWidget(radio(w::kIrOnly, "IR Only"));
    m->addWidget(radio(w::kUvOnly, "UV Only"));
    m->addWidget(radio(w::kUvir, "UV/IR"));
    d->addWidget(modes, 6, 0, 1, 3);
    columns->addWidget(detection, 0, 0, 2, 1);

    auto* heater = new QGroupBox("Heater", this);
    auto* h = new QGridLayout(heater);
    h->addWidget(caption(this, "Heater Mode"), 0, 0);
    h->addWidget(combo(w::kHeaterMode), 0, 1);
    h->addWidget(caption(this, "Heater On at"), 1, 0);
    h->addWidget(combo(w::kHeaterOnTemp), 1, 1);
    h->addWidget(add(w::kTemperatureUnit, new QLabel("° C", this)), 1, 2);
    h->addWidget(caption(this, "Heater Power"), 2, 0);
    h->addWidget(combo(w::kHeaterPower), 2, 1);
    columns->addWidget(heater, 0, 1);

    auto* bit = new QGroupBox("BIT", this);
    auto* b = new QGridLayout(bit);
    b->addWidget(check(w::kAutoBit, "Automatic BIT"), 0, 0, 1, 3);
    b->addWidget(caption(this, "Fault Count"), 1, 0);
    b->addWidget(edit(w::kFaultCount), 1, 1);
    b->addWidget(caption(this, "Interval"), 2, 0);
    b->addWidget(edit(w::kInterval), 2, 1);
    b->addWidget(caption(this, "minutes"), 2, 2);
    b->addWidget(check(w::kAlarmOnBit, "Alarm Relay on Successful Manual BIT"), 3, 0, 1, 3);
    b->addWidget(check(w::kAccessoryOnBit, "Accessory Relay on successful Manual BIT"), 4, 0, 1, 3);
    auto* post = new QVBoxLayout;
    for (const char* line : {"Post Manual", "BIT Indication", "Duration"})
        post->addWidget(caption(this, line));
    b->addLayout(post, 5, 0);
    b->addWidget(edit(w::kPostManBit), 5, 1);
    b->addWidget(caption(this, "sec"), 5, 2);
    columns->addWidget(bit, 1, 1);

    auto* accessory = new QGroupBox("Accessory Relay", this);
    auto* a = new QVBoxLayout(accessory);
    a->addWidget(check(w::kAccessoryOnWarning, "Accessory Relay on Warning"));
    a->addWidget(check(w::kAccessoryEol, "Accessory Relay as EOL"));
    a->addWidget(check(w::kAccessoryFov, "Accessory Relay as FOV"));
    columns->addWidget(accessory, 2, 0);

    auto* lock = new QGroupBox("Lock", this);
    auto* l = new QVBoxLayout(lock);
    l->addWidget(radio(w::kNotSet, "Not Set"));
    l->addWidget(radio(w::kNotLocked, "Not Locked"));
    l->addWidget(radio(w::kLocked, "Locked"));
    l->addWidget(check(w::kResetPasswords, "Reset Passwords"));
    columns->addWidget(lock, 2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton(w::k420Settings, "4-20 Settings"));
    buttons->addStretch();
    buttons->addWidget(addButton(w::kApply, "Apply Changes"));
    layout->addLayout(buttons);
    for (auto* push : findChildren<QPushButton*>()) push->setAutoDefault(false);
    enable(w::kApply, false);
}

void Setup::buildHeader(QVBoxLayout* layout) {
    auto* header = new QGroupBox(this);
    auto* g = new QGridLayout(header);
    const std::pair<const char*, int> rows[] = {{"Address:", ctl::Address},
                                                {"Serial No.:", ctl::Serial},
                                                {"Model:", ctl::Model},
                                                {"4-20 mA:", ctl::Analog}};
    int column = 0;
    for (const auto& [text, id] : rows) {
        g->addWidget(caption(this, text), 0, column++);
        g->addWidget(add(id, new QLabel(this)), 0, column++);
    }
    g->addWidget(add(ctl::StatusText, new QLabel(this)), 1, 0, 1, 5);
    column = 5;
    for (const auto& [text, id] :
         {std::pair{"Accessory", ctl::Accessory}, {"Alarm", ctl::Alarm}, {"Fault", ctl::Fault}})
        g->addWidget(add(id, new QLabel(text, this)), 1, column++);
    layout->addWidget(header);
}

void Setup::showStatus(const PollOutcome& o) {
    if (!item(ctl::Address)) return;
    if (!o.connected || !o.status) {
        setText(ctl::Address, "---");
        return;
    }
    const StatusRecord& r = *o.status;
    setText(ctl::Address, std::to_string(r.header.address));
    setText(ctl::Serial, std::to_string(r.header.serial));
    setText(ctl::Model, ModelName(r.header.model));
    setText(ctl::StatusText, StatusLine(r.mode, r.stateCode));
    setText(ctl::Analog, s(QString::number(r.milliamps(), 'f', 1)));
    setIndicator(ctl::Accessory, r.accessoryActive() ? 0 : 1);
    setIndicator(ctl::Alarm, r.alarmActive() ? 0 : 1);
    setIndicator(ctl::Fault, r.faultRelayEnergised() ? 1 : 0);
}

void Setup::showEvent(QShowEvent* event) {
    Page::showEvent(event);
    if (modal_ && !opened_) {
        opened_ = true;
        open();
    }
}

void Setup::refresh() { open(); }

void Setup::open() {
    filled_ = false;
    for (int id : kCombos) {
        QSignalBlocker hold(item(id));
        itemAs<QComboBox>(id)->clear();
    }
    // Shift held as the window opens: the record of the last burn, from its file.
    RunProcedure(panel(), [fromFile = Keys::shift()](Panel& p) { OpenSetup(p, fromFile); });
}

void Setup::fill() {
    const SetupState now = SetupNow();
    showForm(FillSetupForm(now.working, now.context));
    UpdateSetup([](SetupState& s) {
        s.pending420 = false;
        s.previousLock = s.working.LockState;
    });
    enable(w::kApply, false);
    filled_ = true;
    dirty_ = false;
    // The script finds the dialog only once it shows the record: text it types
    // before the fill would be overwritten by it.
    if (modal_) SetWindowSlot(slot::Setup, this);
}

void Setup::clearControls() {
    Form blank;
    for (int id : kEdits) blank[id] = {};
    for (int id : kChecks) blank[id].visible = id != w::kResetPasswords;
    for (int id : kRadios) blank[id] = {};
    for (auto& [id, state] : blank) state.enabled = isEnabled(id);
    showForm(blank);
    filled_ = false;
}

void Setup::changed(int id) {
    if (!filled_) return;
    if (!dirty_) {
        dirty_ = true;
        enable(w::kApply, true);
    }
    const Form form = readForm(recordControls());
    showForm(FollowSetupForm(form));
    if (id == w::kExplosion || id == w::kDelay)
        if (const std::string note = ExplosionDelayNote(form, Shell().host.textVariant);
            !note.empty())
            ShowHelpBeside(note, item(id));
}

void Setup::onCommand(int id) {
    switch (id) {
        case w::kApply:
        case w::kApplyKey:
            apply();
            break;
        case w::k420Settings:
            open420();
            break;
        default:
            Page::onCommand(id);
    }
}

void Setup::onTimer(int id) {
    if (id == w::kFillTimer) fill();
}

void Setup::open420() {
    if (!filled_) return;
    changed(w::k420Settings);  // a click counts as a change, as on any button
    const SetupState now = SetupNow();
    const bool uvir = now.context.uvir;
    // A record was read, so a detector has answered since start.
    const auto levels =
        C420Settings::Ask(now.working.Param420, uvir, now.context.check, now.loaded, this);
    if (!levels) return;
    UpdateSetup([&](SetupState& s) {
        std::copy_n(levels->begin(), LevelCount(uvir), s.working.Param420.begin());
        s.pending420 = true;
    });
}

void Setup::focusLeft() {
    bool pending = false;
    UpdateSetup([&](SetupState& s) { std::swap(pending, s.pending420); });
    if (!pending) return;
    // Not inside the focus change itself: the note takes the focus in turn.
    QTimer::singleShot(0, this, [this] {
        MessageBox("There was no burn...\r\nChanges to the 4-20 settings weren't saved", "Note",
                   MB_ICONINFORMATION, this);
    });
}

void Setup::focusControl(int id) {
    QWidget* control = item(id);
    if (!control) return;
    control->setFocus();
    if (auto* e = qobject_cast<QLineEdit*>(control)) e->selectAll();
}

void Setup::apply() {
    if (!filled_ || !isEnabled(w::kApply)) return;
    UpdateSetup([](SetupState& s) { s.pending420 = false; });
    const Form form = readForm(recordControls());
    SetupRead read;
    UpdateSetup([&](SetupState& s) { read = ReadSetupForm(form, s.context, s.working); });
    if (!read.ok) {
        MessageBox(read.message, "Error", MB_ICONEXCLAMATION, this);
        focusControl(read.focus);
        return;
    }
    enable(w::kApply, false);
    holdControls(true);
    BurnRequest request;
    request.resetPasswords = isChecked(w::kResetPasswords);
    request.modal = modal_;
    QPointer<Setup> self(this);
    RunProcedure(panel(), [request, self](Panel& p) {
        const BurnResult result = BurnSetup(p, request).result;
        QMetaObject::invokeMethod(
            qApp,
            [self, result] {
                if (self) self->burned(result);
            },
            Qt::QueuedConnection);
    });
}

// The controls stay still while a burn runs: a change made meanwhile would
// be neither burned nor kept.
void Setup::holdControls(bool hold) {
    if (hold) {
        held_.clear();
        for (int id : recordControls())
            if (isEnabled(id)) held_.push_back(id);
        if (isEnabled(w::k420Settings)) held_.push_back(w::k420Settings);
    }
    for (int id : held_) enable(id, !hold);
    if (!hold) held_.clear();
}

void Setup::burned(BurnResult result) {
    holdControls(false);
    if (result == BurnResult::NoChanges || result == BurnResult::Verified) dirty_ = false;
    if (result == BurnResult::Verified && !modal_ && onVerified_) onVerified_();
}

std::string Setup::helpText(int control) const {
    return SetupHelpText(control, Shell().host.textVariant);
}

void Setup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The page's Enter belongs to the main window, which applies it here.
        if (modal_)
            apply();
        else
            event->ignore();
        return;
    }
    Page::keyPressEvent(event);
}

void Setup::done(int result) {
    if (Shell().scriptRunning) {
        const SetupState now = SetupNow();
        SetupRecord shown = now.working;
        if (!ReadSetupForm(readForm(recordControls()), now.context, shown).ok ||
            !(shown == now.reference)) {
            MessageBox("Changes were not applied!", "Error", MB_OK, this);
            return;
        }
        SaveScriptScreenshot(this, "setup");
    }
    ClearWindowSlot(slot::Setup, this);
    Page::done(result);
}
