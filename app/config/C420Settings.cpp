#include "app/config/C420Settings.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "app/kit/MessageBox.h"
#include "config/Levels420Ids.h"
#include "shell/ShellState.h"

using namespace levels420win;

namespace {

const char* const kIrLabels[] = {"Fault",  "BIT Fault",          "FOV\nWarning", "Reserved",
                                 "Normal", "Pre-Alarm\nWarning", "Alarm"};
const char* const kUvirLabels[] = {
    "Fault",  "BIT Fault", "UV BIT Fault", "FOV\nWarning",       "Reserved",
    "Normal", "IR Level",  "UV Level",     "Pre-Alarm\nWarning", "Alarm"};
constexpr int kBitFaultEdit = kFirstEdit + 1;  // fixed at 2 mA

int editOf(size_t index) { return kFirstEdit + static_cast<int>(index); }

}  // namespace

C420Settings::C420Settings(bool uvir, const Levels420& levels, bool check, bool detectorAnswered,
                           QWidget* parent)
    : Dialog(parent, uvir ? kUvirTemplate : kIrTemplate),
      uvir_(uvir),
      check_(check),
      levels_(levels) {
    setWindowTitle("4-20 Settings");
    auto* grid = new QGridLayout(this);
    const size_t count = LevelCount(uvir);
    for (size_t i = 0; i < count; ++i) {
        const int row = static_cast<int>(i);
        grid->addWidget(new QLabel(uvir ? kUvirLabels[i] : kIrLabels[i], this), row, 0);
        grid->addWidget(add(editOf(i), new QLineEdit(this)), row, 1);
    }
    grid->addWidget(addButton(kOk, "Ok"), static_cast<int>(count), 0);
    grid->addWidget(addButton(IDCANCEL, "Cancel"), static_cast<int>(count), 1);
    itemAs<QPushButton>(kOk)->setDefault(true);
    if (!detectorAnswered) {
        enable(kOk, false);
        return;
    }
    openingNote_ = FixBitFaultLevel(levels_, check_);
    for (size_t i = 0; i < count; ++i) setText(editOf(i), LevelText(levels_[i]));
    if (!openingNote_.empty()) setText(kBitFaultEdit, "2");
    enable(kBitFaultEdit, false);
}

void C420Settings::showEvent(QShowEvent* event) {
    Dialog::showEvent(event);
    if (openingNote_.empty()) return;
    // Told once the window is up, so that the box stands over it.
    QTimer::singleShot(0, this, [this, note = std::move(openingNote_)] {
        MessageBox(note, "Error", MB_ICONEXCLAMATION, this);
    });
    openingNote_.clear();
}

std::string C420Settings::levelLabel(size_t index) const {
    std::string label = (uvir_ ? kUvirLabels : kIrLabels)[index];
    for (char& c : label)
        if (c == '\n') c = ' ';
    return label;
}

void C420Settings::onCommand(int id) {
    if (id == IDCANCEL) {
        reject();
        return;
    }
    if (id != kOk || !isEnabled(kOk)) return;
    const auto refuse = [this](size_t index, const std::string& message, unsigned icon) {
        MessageBox(message, "Error", icon, this);
        auto* edit = itemAs<QLineEdit>(editOf(index));
        edit->setFocus();
        edit->selectAll();
    };
    Levels420 typed = levels_;
    for (size_t i = 0; i < LevelCount(uvir_); ++i) {
        const auto level = ParseLevel(text(editOf(i)));
        if (!level)
            return refuse(
                i, "The " + levelLabel(i) + " 4-20 current must be a number from 0.0 to 25.5",
                MB_ICONEXCLAMATION);
        typed[i] = *level;
    }
    const LevelCheck checked = CheckLevels(typed, uvir_, check_, Shell().host.textVariant);
    if (!checked.ok)
        return refuse(static_cast<size_t>(checked.index), checked.message, MB_ICONINFORMATION);
    result_ = typed;
    accept();
}

std::optional<Levels420> C420Settings::Ask(const Levels420& levels, bool uvir, bool check,
                                           bool detectorAnswered, QWidget* parent) {
    std::unique_ptr<C420Settings> dialog;
    if (uvir)
        dialog = std::make_unique<CUV420Settings>(levels, check, detectorAnswered, parent);
    else
        dialog = std::make_unique<C420Settings>(levels, check, detectorAnswered, parent);
    dialog->exec();
    return dialog->result();
}
