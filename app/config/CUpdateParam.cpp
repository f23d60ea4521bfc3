#include "app/config/CUpdateParam.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/config/ParamView.h"
#include "app/kit/FileOpen.h"
#include "app/kit/MessageBox.h"
#include "config/CUpdateParamIds.h"
#include "util/WholeFile.h"

using namespace updateparamwin;

namespace {
constexpr unsigned kErrorBox = MB_OK | MB_ICONEXCLAMATION;
}  // namespace

CUpdateParam::CUpdateParam(QWidget* parent) : Dialog(parent, kTemplate) {
    setWindowTitle("QX UpdateParam");
    auto* top = new QVBoxLayout(this);
    auto* type = new QGroupBox("Detector Type", this);
    auto* types = new QHBoxLayout(type);
    types->addWidget(add(kIr, new QRadioButton("IR3", this)));
    types->addWidget(add(kUvir, new QRadioButton("UVIR", this)));
    setChecked(kIr, true);
    top->addWidget(type);
    top->addWidget(addButton(kFromDefaults, "New - based upon default parameters"));
    top->addWidget(addButton(kFromDetector, "New - based upon a detector's parameters"));
    top->addWidget(addButton(kEditFile, "Edit existing parameters template/values file"));
    for (auto* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
}

ParamKind CUpdateParam::chosenKind() const { return isChecked(kUvir) ? ParamKind::Uvir : ParamKind::Ir; }

void CUpdateParam::onCommand(int id) {
    switch (id) {
        case kFromDefaults: {
            const ParamKind kind = chosenKind();
            edit({std::vector<uint8_t>(ParamSize(kind)), ParamRecord::Defaults(kind)});
            break;
        }
        case kFromDetector: {
            const std::string path = OpenFileDialog("bin", "UpdateParam", this);
            if (path.empty()) break;
            if (!IsParamBinName(path) &&
                MessageBox("Click Ok to proceed with \"" + path + "\"", "Expecting 'param.bin':", MB_OKCANCEL, this) !=
                    IDOK)
                break;
            const FileRead<ParamRecord> read = ReadParamBin(path);
            if (!read.value) {
                MessageBox(read.error, "Error", kErrorBox, this);
                break;
            }
            edit({std::vector<uint8_t>(read.value->bytes().size()), *read.value});
            break;
        }
        case kEditFile: {
            const std::string path = OpenFileDialog("upm", "UpdateParam", this);
            if (path.empty()) break;
            FileRead<Patch> read = ReadPatchForEdit(path);
            if (!read.value) {
                MessageBox(read.error, "Error", kErrorBox, this);
                break;
            }
            // A damaged patch is edited only knowingly: its new file gets fresh CRCs.
            if (!read.value->crcGood && MessageBox(PatchCrcMessage(path), "Error", MB_OKCANCEL | MB_ICONEXCLAMATION,
                                                   this) != IDOK)
                break;
            edit(std::move(*read.value));
            break;
        }
        default: Dialog::onCommand(id);
    }
}

bool CUpdateParam::edit(Patch patch) {
    ParamHandIn handIn;
    handIn.record = &patch.values;
    handIn.mask = &patch.mask;
    std::unique_ptr<ParamViewBase> view;
    if (patch.kind() == ParamKind::Ir)
        view = std::make_unique<ParamView>(this, handIn);
    else
        view = std::make_unique<UVIRParamView>(this, handIn);
    if (view->exec() != IDOK) return false;
    if (std::all_of(patch.mask.begin(), patch.mask.end(), [](uint8_t b) { return b == 0; })) {
        MessageBox("No fields marked for update.\r\n\r\nUPM file not created...", "Error", kErrorBox, this);
        return false;
    }
    const char* name = PatchFileName(patch.kind());
    if (!WriteWholeFile(name, EncodePatch(patch))) {
        MessageBox(std::string("Failed creating \"") + name + "\": " + std::strerror(errno), "Error", kErrorBox, this);
        return false;
    }
    MessageBox(std::string("\"") + name + "\" has been created.", "Done", MB_OK | MB_ICONINFORMATION, this);
    return true;
}
