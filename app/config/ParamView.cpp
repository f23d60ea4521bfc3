#include "app/config/ParamView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>

#include "app/config/CFOV.h"
#include "app/kit/FolderDialog.h"
#include "app/kit/Screenshot.h"
#include "app/kit/Help.h"
#include "app/kit/Keys.h"
#include "app/kit/MessageBox.h"
#include "app/kit/WindowTable.h"
#include "config/ParamProfile.h"
#include "config/ParamViewIds.h"
#include "config/ParamViewOptions.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "shell/WindowSlots.h"
#include "util/Log.h"
#include "util/Profile.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace w = paramwin;

namespace {

constexpr int kCellWidth = 80;
constexpr int kScalarRows = 10;  // the rows of one column of a group's scalars
constexpr unsigned kErrorBox = MB_OK | MB_ICONEXCLAMATION;
constexpr unsigned kNoteBox = MB_OKCANCEL | MB_ICONINFORMATION;
constexpr const char* kStay =
    " has not yet been saved.\r\nClick 'Cancel' to stay\r\nClick 'Ok' to close the dialog without updating the "
    "parameters";
constexpr const char* kBadSerial = "Bad Serial Number";

const char* Prefix(ParamKind kind) { return kind == ParamKind::Ir ? "ir4_param" : "uv_param"; }

std::optional<uint32_t> Whole(const std::string& text) {
    uint32_t v = 0;
    const char *first = text.data(), *last = first + text.size();
    const auto [p, ec] = std::from_chars(first, last, v);
    if (text.empty() || ec != std::errc() || p != last) return std::nullopt;
    return v;
}

}  // namespace

ParamViewBase::ParamViewBase(ParamKind kind, const char* title, QWidget* parent, ParamHandIn handIn)
    : Dialog(parent, kind == ParamKind::Ir ? w::kIrTemplate : w::kUvirTemplate),
      kind_(kind),
      slot_(kind == ParamKind::Ir ? slot::IrParameters : slot::UvirParameters),
      handIn_(handIn),
      working_(ParamRecord::Defaults(kind)),
      reference_(working_) {
    setWindowTitle(title);
    build();
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_F2, w::kScreenshot}, {Qt::Key_F3, w::kWrite}, {Qt::Key_F4, w::kLoad}, {Qt::Key_F5, w::kSave}};
    for (const auto& [key, id] : keys) {
        auto* a = new QAction(this);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(a, &QAction::triggered, this, [this, id = id] { onCommand(id); });
        addAction(a);
    }
}

ParamViewBase::~ParamViewBase() { ClearWindowSlot(slot_, this); }

ParamView::ParamView(QWidget* parent, ParamHandIn handIn)
    : ParamViewBase(ParamKind::Ir, "Parameters", parent, handIn) {}

UVIRParamView::UVIRParamView(QWidget* parent, ParamHandIn handIn)
    : ParamViewBase(ParamKind::Uvir, "UVIR Parameters table", parent, handIn) {}

std::unique_ptr<ParamViewBase> MakeParamView(QWidget* parent, ParamHandIn handIn) {
    if (Shell().detector.uvirModel) return std::make_unique<UVIRParamView>(parent, handIn);
    return std::make_unique<ParamView>(parent, handIn);
}

void ParamViewBase::build() {
    auto* top = new QVBoxLayout(this);
    auto* lower = new QHBoxLayout;
    const auto cell = [this](int id) {
        auto* e = add(id, new QLineEdit(this));
        e->setFixedWidth(kCellWidth);
        return e;
    };
    for (const ParamGridGroup& g : ParamGridLayout(kind_)) {
        auto* box = new QGroupBox(q(g.caption), this);
        auto* grid = new QGridLayout(box);
        grid->setHorizontalSpacing(4);
        grid->setVerticalSpacing(1);
        const int elements = g.arrays ? g.rows.front().fields.front()->count : 0;
        for (int block = 0; g.arrays && block < 2; ++block)
            for (int e = 0; e < elements; ++e)
                grid->addWidget(add(w::kRowLabel + 6 * block + e, new QLabel(this)), 0, 1 + block * (elements + 1) + e,
                                Qt::AlignCenter);
        int at = 0;
        for (const ParamGridRow& row : g.rows) {
            auto* caption = new QLabel(q(row.caption), this);
            if (row.label) add(row.label, caption);
            const int line = g.arrays ? at + 1 : at % kScalarRows, column = g.arrays ? 0 : 2 * (at / kScalarRows);
            grid->addWidget(caption, line, column);
            if (row.list) {
                auto* list = add(row.list, new QComboBox(this));
                list->setMaxVisibleItems(12);
                grid->addWidget(list, line, column + 1);
            }
            int next = column + 1;
            for (const ParamField* f : row.fields) {
                for (int i = 0; i < f->count; ++i) grid->addWidget(cell(f->cell + i), line, next++);
                ++next;  // a gap between the fire and the benzene block
            }
            ++at;
        }
        if (g.arrays) {
            grid->setColumnMinimumWidth(1 + elements, 12);
            grid->setColumnStretch(2 * elements + 2, 1);
            top->addWidget(box);
            continue;
        }
        if (g.caption == "FOV") {
            for (int id : {w::kFovEma, w::kFovFault, w::kFovNormal}) itemAs<QLineEdit>(id)->setReadOnly(true);
            grid->addWidget(addButton(w::kEditFov, "Edit"), at, 1);
        }
        lower->addWidget(box, 0, Qt::AlignTop);
    }
    lower->addStretch();
    top->addLayout(lower);

    auto* buttons = new QHBoxLayout;
    const auto section = [this](int id) {
        auto* e = add(id, new QLineEdit("0", this));
        e->setFixedWidth(30);
        return e;
    };
    buttons->addWidget(addButton(w::kLoad, "F4 - Load Parameters from Ini"));
    buttons->addWidget(section(w::kLoadSection));
    buttons->addWidget(addButton(w::kSave, "F5 - Save Parameters to Ini"));
    buttons->addWidget(section(w::kSaveSection));
    buttons->addStretch();
    if (handIn_.mask) buttons->addWidget(addButton(w::kSelectFields, "Select fields to update"));
    buttons->addWidget(addButton(w::kWrite, "F3 - Save Parameters to Detector"));
    buttons->addWidget(addButton(w::kScreenshot, "F2 - Save Screenshot"));
    top->addLayout(buttons);
    for (auto* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
}

void ParamViewBase::showEvent(QShowEvent* event) {
    Dialog::showEvent(event);
    if (opened_) return;
    opened_ = true;
    open();
}

void ParamViewBase::open() {
    if (handIn_.record) {
        opened(*handIn_.record);
        return;
    }
    if (Keys::shift()) {
        const char* file = ParamFileName(kind_);
        const auto bytes = ReadWholeFile(file, ParamSize(kind_) + 1);
        const auto record = bytes ? ParamRecord::FromBytes(*bytes) : std::nullopt;
        if (!record || record->kind() != kind_) {
            box("Failed reading \"" + std::string(file) + "\"...", "Error", kErrorBox);
            closeNow(IDCANCEL);
            return;
        }
        opened(record);
        return;
    }
    QPointer<ParamViewBase> self(this);
    RunProcedure(panel(), [self](Panel&) {
        std::optional<ParamRecord> record = ReadParams();
        QMetaObject::invokeMethod(
            qApp,
            [self, record] {
                if (self) self->opened(record);
            },
            Qt::QueuedConnection);
    });
}

void ParamViewBase::opened(std::optional<ParamRecord> record) {
    if (!record || record->kind() != kind_) {
        if (record) DebugLog("%s record of the wrong detector type", Prefix(kind_));
        closeNow(IDCANCEL);
        return;
    }
    working_ = *record;
    showForm(FillParamGrid(working_, context()));
    const auto handIn = [this](const char* name, double value, bool& pending) {
        const ParamField* f = FindParamField(kind_, name);
        if (!f) return;
        setText(f->cell, std::to_string(static_cast<unsigned long long>(value + 0.5)));
        mark(pending_, f->cell, pending = true);
    };
    if (handIn_.serial >= 0) handIn("ordnum", double(handIn_.serial), pendingSerial_);
    if (handIn_.autobit > 0) handIn("autobit", handIn_.autobit, pendingBit_);
    if (handIn_.manbit > 0) handIn("manbit", handIn_.manbit, pendingBit_);
    if (handIn_.uvbitThr > 0 && kind_ == ParamKind::Uvir) handIn("UVBIT_Thr", handIn_.uvbitThr, pendingBit_);
    if (handIn_.uvbitDuration > 0 && kind_ == ParamKind::Uvir)
        handIn("UV_BIT_Duration", handIn_.uvbitDuration, pendingBit_);
    if (handIn_.amplify44 > 0 && kind_ == ParamKind::Ir) handIn("amplify44", handIn_.amplify44, pendingAmplify_);
    if (handIn_.mask) {
        const auto marked = MarkedElements(kind_, *handIn_.mask);
        for (const auto& [cell, e] : selectableCells())
            if (std::find(marked.begin(), marked.end(), e) != marked.end()) mark(selected_, cell, true);
    }
    reference_ = working_;
    readAt_ = now();
    filled_ = true;
    // The script finds the window only once it shows the record.
    SetWindowSlot(slot_, this);
    if (onFilled_) onFilled_();
}

void ParamViewBase::closeNow(int result) {
    ClearWindowSlot(slot_, this);
    // Not inside the showing itself: exec() has to be waiting first.
    QTimer::singleShot(0, this, [this, result] { QDialog::done(result); });
}

ParamGridContext ParamViewBase::context() const {
    return {kind_, Shell().host.usUnits != 0, Shell().detector.alternateSensor};
}

unsigned long long ParamViewBase::now() const { return nowMs_ ? nowMs_() : TickMs(); }

void ParamViewBase::onCommand(int id) {
    switch (id) {
        case w::kWrite:
            if (!handIn_.mask) {
                write();
                break;
            }
            if (selecting_) toggleSelecting();
            finishSelection();
            break;
        case w::kSelectFields: toggleSelecting(); break;
        case w::kSave: save(); break;
        case w::kScreenshot:
            // A script saves the picture itself.
            if (!Shell().scriptRunning) saveScreenshot();
            break;
        case w::kEditFov: editFov(); break;
        case w::kLoad: {
            QMenu menu(this);
            const std::string local =
                "Load from local 'param.ini' section " + std::to_string(sectionNumber(w::kLoadSection));
            QObject::connect(menu.addAction(q(local)), &QAction::triggered, this, [this] { loadLocal(); });
            QObject::connect(menu.addAction("Load from external store"), &QAction::triggered, this,
                             [this] { loadExternal(); });
            QWidget* button = item(w::kLoad);
            menu.exec(button->mapToGlobal(QPoint(0, button->height())));
            break;
        }
        default: Dialog::onCommand(id);
    }
}

void ParamViewBase::onTimer(int id) {
    if (id != w::kMarkTimer) return Dialog::onTimer(id);
    for (const auto& [fire, benzene] : toMark_)
        for (int cell : {fire, benzene}) mark(failing_, cell, true);
    toMark_.clear();
}

bool ParamViewBase::readGrid(ParamRecord& into, bool tell) {
    const std::vector<int> controls = ParamGridControls(kind_);
    const ParamGridRead read = ReadParamGrid(readForm(controls), into);
    if (!read.show.empty()) showForm(read.show);
    if (!read.ok && tell) {
        box(read.message, "Error", kErrorBox);
        focusCell(read.focus);
    }
    return read.ok;
}

void ParamViewBase::focusCell(int id) {
    QWidget* control = item(id);
    if (!control) return;
    control->setFocus();
    if (auto* e = qobject_cast<QLineEdit*>(control)) e->selectAll();
}

void ParamViewBase::mark(std::vector<int>& set, int id, bool on) {
    const auto contains = [id](const std::vector<int>& v) { return std::find(v.begin(), v.end(), id) != v.end(); };
    if (!on)
        std::erase(set, id);
    else if (!contains(set))
        set.push_back(id);
    if (QWidget* cell = item(id))
        cell->setStyleSheet(contains(failing_)    ? "background: #FF9090;"
                            : contains(pending_)  ? "background: #FFFF80;"
                            : contains(selected_) ? "background: #90C0FF;"
                                                  : "");
}

bool ParamViewBase::selected(int control) const {
    return std::find(selected_.begin(), selected_.end(), control) != selected_.end();
}

std::vector<std::pair<int, ParamElement>> ParamViewBase::selectableCells() const {
    std::vector<std::pair<int, ParamElement>> cells;
    for (const ParamElement& e : ParamElements(kind_))
        if (e.field->cell && item(e.field->cell + static_cast<int>(e.index)))
            cells.emplace_back(e.field->cell + static_cast<int>(e.index), e);
    return cells;
}

void ParamViewBase::selectCell(int control, bool on) {
    for (const auto& [cell, e] : selectableCells())
        if (cell == control) mark(selected_, cell, on);
}

void ParamViewBase::toggleSelecting() {
    selecting_ = !selecting_;
    setText(w::kSelectFields, selecting_ ? "End Selection" : "Select fields to update");
    // Clicks go to the selection, not into the cells, while selecting.
    for (const auto& [cell, e] : selectableCells()) {
        if (selecting_)
            item(cell)->installEventFilter(this);
        else
            item(cell)->removeEventFilter(this);
    }
    if (selecting_)
        ShowHelpBeside(
            "\r\n   Click fields to be selected.\r\n\r\n   Shift-Click fields to deselect.\r\n\r\n   Click \"End "
            "Selection\" to exit mode.\r\n",
            item(w::kSelectFields));
}

bool ParamViewBase::eventFilter(QObject* watched, QEvent* event) {
    if (selecting_ && event->type() == QEvent::MouseButtonPress) {
        for (const auto& [cell, e] : selectableCells())
            if (item(cell) == watched) selectCell(cell, !(static_cast<QMouseEvent*>(event)->modifiers() & Qt::ShiftModifier));
        return true;
    }
    return Dialog::eventFilter(watched, event);
}

void ParamViewBase::finishSelection() {
    if (!filled_) return;
    ParamRecord edited = working_;
    if (!readGrid(edited, true)) {
        box("UPM file wasn't created...", "Note:", MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (const ParamCheck check = CheckParamsForWrite(edited, false); !check.ok) {
        box(check.message, check.caption, kErrorBox);
        focusCell(check.cell);
        return;
    }
    std::vector<ParamElement> marked;
    for (const auto& [cell, e] : selectableCells())
        if (selected(cell)) marked.push_back(e);
    *handIn_.record = edited;
    *handIn_.mask = PatchMask(kind_, marked);
    closeNow(IDOK);
}

bool ParamViewBase::marked(int control) const {
    return std::find(pending_.begin(), pending_.end(), control) != pending_.end() ||
           std::find(failing_.begin(), failing_.end(), control) != failing_.end();
}

int ParamViewBase::box(const std::string& text, const std::string& caption, unsigned flags) {
    if (!UnattendedOutputFolder().empty()) {
        DebugLog("%s %s", caption.c_str(), text.c_str());
        return IDOK;
    }
    return MessageBox(text, caption, flags, this);
}

void ParamViewBase::write() {
    if (!filled_ || writing_) return;
    for (int cell : std::vector<int>(failing_)) mark(failing_, cell, false);
    ParamRecord edited = working_;
    if (!readGrid(edited, true)) return;
    working_ = edited;
    writing_ = true;
    ParamWriteOptions options;
    options.script = Shell().scriptRunning;
    options.nowMs = nowMs_;
    QPointer<ParamViewBase> self(this);
    RunProcedure(panel(), [self, record = working_, readAt = readAt_, options](Panel& p) {
        const WriteOutcome outcome = WriteParams(p, record, readAt, options);
        QMetaObject::invokeMethod(
            qApp,
            [self, outcome] {
                if (self) self->written(outcome);
            },
            Qt::QueuedConnection);
    });
}

void ParamViewBase::written(const WriteOutcome& outcome) {
    writing_ = false;
    if (outcome.result == ParamWriteResult::CheckFailed) {
        if (outcome.check.cell) focusCell(outcome.check.cell);
        if (!outcome.check.benzene.empty() && !Keys::shift()) {
            toMark_ = outcome.check.benzene;
            setTimer(w::kMarkTimer, 5, true);
        }
        return;
    }
    if (!outcome.verified()) return;
    // Only a record the detector is known to keep becomes the reference.
    reference_ = working_;
    if (handIn_.record) *handIn_.record = working_;
    pendingSerial_ = pendingBit_ = pendingAmplify_ = false;
    for (int cell : std::vector<int>(pending_)) mark(pending_, cell, false);
    if (Shell().scriptRunning && !shotSaved_) {
        shotSaved_ = true;
        saveScreenshot();
    }
    done(IDOK);
}

void ParamViewBase::done(int result) {
    if (filled_ && Shell().scriptRunning) {
        ParamRecord shown = working_;
        if (!readGrid(shown, false) || !(shown == reference_)) {
            box("Changes were not applied!", "Error", MB_OK);
            return;
        }
    }
    if (filled_ && result != IDOK) {
        const std::pair<bool, std::string> pending[] = {
            {pendingSerial_, "The serial number specified"},
            {pendingBit_, kind_ == ParamKind::Ir ? "Manual/Autobit values specified" : "Manual/Autobit/UVBIT_Thr values specified"},
            {pendingAmplify_, "The DCI::amplify44"}};
        for (const auto& [due, what] : pending)
            if (due && box(what + kStay, "Note", kNoteBox) != IDOK) return;
    }
    if (filled_ && Shell().scriptRunning && !shotSaved_) {
        shotSaved_ = true;
        saveScreenshot();
    }
    ClearWindowSlot(slot_, this);
    Dialog::done(result);
}

std::string ParamViewBase::section(unsigned number) const {
    return std::string(Prefix(kind_)) + "_" + std::to_string(number);
}

unsigned ParamViewBase::sectionNumber(int field) const { return Whole(text(field)).value_or(0); }

void ParamViewBase::save() {
    ParamRecord scratch = working_;
    if (!readGrid(scratch, true)) return;
    const std::string name = section(sectionNumber(w::kSaveSection));
    if (!WriteParamSection(kParamIni, name, scratch)) DebugLog("Section [%s] of '%s' not written", name.c_str(), kParamIni);
}

void ParamViewBase::loadLocal() { load(kParamIni, section(sectionNumber(w::kLoadSection))); }

void ParamViewBase::loadExternal() {
    const std::string folder = SelectFolderDialog("Select Path to External Store", this);
    if (folder.empty()) return;
    const std::string ini = FindFileNoCase(folder, "param.ini");
    if (ini.empty()) {
        box(folder + "/param.ini", "File not found:", kErrorBox);
        return;
    }
    load(ini, section(0));
}

// The loaded values go to the grid only: the working record changes when the
// grid is read back.
void ParamViewBase::load(const std::string& ini, const std::string& name) {
    ParamRecord shown = working_;
    readGrid(shown, false);
    const std::vector<ParamRefusal> refused = LoadParamSection(ini, name, shown);
    showForm(FillParamGrid(shown, context()));
    if (refused.empty()) return;
    box(ParamRangeMessage(refused.front().key, refused.front().maximum), "Error", kErrorBox);
    // The version byte has two lists: the key says which.
    focusCell(refused.front().key == "vHW_io" ? w::kHwIo : refused.front().field->cell);
}

// The thresholds go to the FOV group's cells; the detector gets them with
// the next write.
void ParamViewBase::editFov() {
    if (!filled_) return;
    const auto shown = [this](int id, const char* name) {
        const auto typed = Whole(text(id));
        return static_cast<uint8_t>(typed && *typed <= 255 ? *typed : *working_.value(name));
    };
    const FovThresholds now{shown(w::kFovEma, "FOV_EMA_Duration"), shown(w::kFovFault, "FOV_Fault_Threshold"),
                            shown(w::kFovNormal, "FOV_Normal_Threshold")};
    const auto chosen = CFOV::Ask(now, working_.fovInitialState(), this);
    if (!chosen) return;
    setText(w::kFovEma, std::to_string(chosen->emaDuration));
    setText(w::kFovFault, std::to_string(chosen->fault));
    setText(w::kFovNormal, std::to_string(chosen->normal));
}

bool ParamViewBase::saveScreenshot() {
    const std::string unattended = UnattendedOutputFolder();
    const bool quiet = !unattended.empty();
    const uint32_t serial = Whole(text(w::kSerial)).value_or(0xFFFFFFFF);
    if (!quiet && serial == 0xFFFFFFFF) {
        box(kBadSerial, "Error", kErrorBox);
        return false;
    }
    if (!quiet && serial != working_.ordnum()) {
        const std::string differs = "Serial Number in dialog (" + std::to_string(serial) +
                                    ") differs from param.ordnum (" + std::to_string(working_.ordnum()) +
                                    ")\r\n\r\nClick 'OK' to proceed using serial number from dialog\r\nClick "
                                    "'Cancel' to abort";
        if (box(differs, "Warning", MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) return false;
    }
    // The fill may have just changed the captions: their sizes first.
    if (layout()) layout()->activate();
    PictureTarget target;
    target.name = kind_ == ParamKind::Ir ? "param" : "uv_param";
    target.serial = serial;
    target.serialFormat = "%u";
    target.unattendedFolder = unattended;
    target.showFile = true;
    const SavedPicture saved = SaveWindowPicture(this, target);
    if (saved.outcome != SavedPicture::Saved) return false;
    const std::string& folder = saved.folder;
    return WriteParamSection(folder + "/param.ini", section(0), working_) &&
           WriteWholeFile(folder + "/param.bin", working_.bytes());
}
