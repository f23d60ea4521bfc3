#include "app/firmware/CUpload.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "app/kit/FileOpen.h"
#include "app/kit/MessageBox.h"
#include "app/shell/CBaudrate.h"
#include "firmware/CUploadIds.h"
#include "firmware/FirmwareUpdate.h"
#include "protocol/Transport.h"
#include "shell/Procedure.h"
#include "shell/StartUp.h"
#include "util/Log.h"

using namespace upload;

namespace {

constexpr const char* kLowBaud = "Baudrate low - switching to 57600 is recommended...";
constexpr const char* kOverride =
    "The FW burned to this detector nominally prohibts FW update to same or older FW.\r\n\r\nAre you sure you wish to "
    "override?\r\n\r\nClick 'OK' to proceed;\r\nClick 'Cancel' to uncheck this box.";

// The file of the last choice, shown again when the window reopens.
std::string g_lastFile;

}  // namespace

CUpload::CUpload(QWidget* parent) : Dialog(parent, kTemplate) {
    setWindowTitle("Upload FW");
    auto* grid = new QGridLayout(this);
    auto label = [this](int id) {
        auto* l = add(id, new QLabel(this));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    grid->addWidget(new QLabel("File:", this), 0, 0);
    grid->addWidget(label(kFilePath), 0, 1, 1, 2);
    grid->addWidget(addButton(kChooseFile, ". . ."), 0, 3);
    grid->addWidget(new QLabel("Product #", this), 1, 1);
    grid->addWidget(new QLabel("Version", this), 1, 2);
    grid->addWidget(new QLabel("BIN file:", this), 2, 0);
    grid->addWidget(label(kFileProduct), 2, 1);
    grid->addWidget(label(kFileVersion), 2, 2);
    grid->addWidget(new QLabel("Detector:", this), 3, 0);
    grid->addWidget(label(kDetectorProduct), 3, 1);
    grid->addWidget(label(kDetectorVersion), 3, 2);
    grid->addWidget(new QLabel("Block Size:", this), 4, 0);
    auto* blocks = add(kBlockSize, new QComboBox(this));
    blocks->addItems({"2048", "4096"});
    blocks->setCurrentIndex(1);
    grid->addWidget(blocks, 4, 1);
    grid->addWidget(add(kAllowOlder, new QCheckBox("Allow same version/older version", this)), 4, 2, 1, 2);
    grid->addWidget(add(kProgress, new QProgressBar(this)), 5, 0, 1, 3);
    grid->addWidget(addButton(kStart, "Start"), 5, 3);
    grid->addWidget(label(kStatusLine), 6, 0, 1, 4);
    auto* messages = add(kMessages, new QListWidget(this));
    messages->setMinimumSize(520, 200);
    // The last lines say how the update ended and what to do: keep them in sight.
    connect(messages->model(), &QAbstractItemModel::rowsInserted, messages, &QListWidget::scrollToBottom);
    grid->addWidget(messages, 7, 0, 1, 4);

    FwUpdateOptions options;
    options.keys = ReadFwUpdateKeys(kParamIni);
    backUpAtOpening_ = options.keys.verifyParams != 0;
    // The technician ends a stalled upload with Abort; the window never gives up alone.
    options.giveUpS = std::numeric_limits<unsigned>::max();
    options.restore9600 = [panel = std::weak_ptr<QtPanel>(panel())] {
        ReturnTo9600();
        if (auto p = panel.lock()) p->setTitle(Panel::kMainWindow, BaudTitle());
    };
    update_ = std::make_shared<FirmwareUpdate>(*panel(), options);
    path_ = g_lastFile;
    setText(kFilePath, path_);
    enable(kStart, !path_.empty());
}

void CUpload::showEvent(QShowEvent* event) {
    Dialog::showEvent(event);
    if (opened_) return;
    opened_ = true;
    QTimer::singleShot(0, this, [this] { open(); });
}

void CUpload::open() {
    setText(kStatusLine, "FW Update in process...");
    while (LinkBaud() == 9600) {
        const int choice = CBaudrate::OfferTo57600(kLowBaud, kLowBaud, "Don't Upload Files...", this);
        if (choice == 3) {
            Dialog::reject();
            return;
        }
        if (choice == 1) break;
    }
    if (!backUpAtOpening_) return;
    idle(false);
    enable(kStart, false);  // Start would only abort the backup
    QPointer<CUpload> self(this);
    const auto done = [self] {
        QMetaObject::invokeMethod(qApp, [self] {
            if (self) self->idle(true);
        }, Qt::QueuedConnection);
    };
    RunProcedure(panel(), [update = update_, done](Panel&) {
        update->backUp();
        done();
    }, true, done);
}

void CUpload::onCommand(int id) {
    switch (id) {
        case kChooseFile: chooseFile(); break;
        case kAllowOlder: overrideBox(); break;
        case kStart:
            if (running_)
                panel()->requestAbort();
            else if (!path_.empty())
                runJob(true);
            break;
        default: Dialog::onCommand(id);
    }
}

void CUpload::reject() {
    // Closing is an Abort: an upload still returns a raised link to 9600;
    // otherwise (idle, backing up, checking) the window returns it itself.
    const bool uploadReturnsLink = uploading_;
    if (running_) panel()->requestAbort();
    QWidget* owner = parentWidget();
    Dialog::reject();
    if (!uploadReturnsLink && LinkBaud() != 9600) CBaudrate::SwitchToFastOrBack(owner);
}

void CUpload::chooseFile() {
    panel()->clearLines(kMessages);
    enable(kStart, false);
    const std::string path = OpenFileDialog("bin", "szInitialInputFolder", this, "Select BIN file: ");
    if (path.empty()) return;
    path_ = g_lastFile = path;
    setText(kFilePath, path);
    setText(kStart, "Start");
    runJob(false);
}

void CUpload::overrideBox() {
    if (!isChecked(kAllowOlder)) return;
    if (MessageBox(kOverride, "Tech: Warning", MB_OKCANCEL | MB_ICONEXCLAMATION, this) != IDOK) {
        setChecked(kAllowOlder, false);
        return;
    }
    // A file refused as the same or an older version may pass now.
    if (!path_.empty() && !running_) runJob(false);
}

void CUpload::runJob(bool upload) {
    idle(false);
    uploading_ = upload;
    const unsigned blockSize = itemAs<QComboBox>(kBlockSize)->currentText().toUInt();
    const bool allowOlder = isChecked(kAllowOlder);
    QPointer<CUpload> self(this);
    const auto report = [self, upload](int result, bool closeSoon) {
        QMetaObject::invokeMethod(qApp, [self, upload, result, closeSoon] {
            if (self) self->finished(upload, result, closeSoon);
        }, Qt::QueuedConnection);
    };
    RunProcedure(panel(), [update = update_, path = path_, blockSize, allowOlder, upload, report](Panel&) {
        update->choose(blockSize, allowOlder);
        const int result = upload ? static_cast<int>(update->run(path)) : update->check(path) ? 1 : 0;
        report(result, upload && update->setupRefused());
    }, true, [report, upload] { report(upload ? static_cast<int>(FwResult::Aborted) : 0, false); });
}

void CUpload::finished(bool upload, int result, bool closeSoon) {
    idle(true);
    uploading_ = false;
    if (!upload) {
        enable(kStart, result == 1);
        return;
    }
    // The setup read failed or the ADMIN password was not given: nothing was sent, and the window closes.
    if (closeSoon) panel()->close(IDCANCEL, 250);
    switch (static_cast<FwResult>(result)) {
        case FwResult::Updated: {
            const std::string closing = "Dialog will close automatically in 5 seconds...";
            DebugLog("%s", closing.c_str());
            panel()->addLine(kMessages, closing);
            panel()->close(IDOK, 5000);
            enable(kChooseFile, false);
            break;
        }
        case FwResult::Aborted: setText(kStart, "Start"); break;
        case FwResult::Refused:
        case FwResult::ParamsNotRestored:
        case FwResult::Failed: enable(kStart, false); break;
    }
}

void CUpload::idle(bool on) {
    running_ = !on;
    for (int id : {kChooseFile, kBlockSize, kAllowOlder}) enable(id, on);
}
