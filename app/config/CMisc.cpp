#include "app/config/CMisc.h"

#include <QApplication>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/calib/CCalib420.h"
#include "app/firmware/CUpload.h"
#include "app/kit/FileOpen.h"
#include "app/network/CModbus.h"
#include "app/shell/CTesselMain.h"
#include "config/CMiscIds.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"

using namespace miscwin;

namespace {

const char* calibrationText(int variant) {
    return variant == 1 ? "4-20 Scale Calibration" : variant == 2 ? "4-20 Calibration" : "Fix 4-20 values";
}

// Runs `f` on the interface thread and waits for it (from the link worker).
template <class F>
auto onInterface(F f) {
    decltype(f()) result{};
    QMetaObject::invokeMethod(qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

}  // namespace

CMisc::CMisc(QWidget* parent, SavePicture saveVersionPicture, std::function<bool()> locked)
    : Page(parent, kTemplate, "Misc"), savePicture_(std::move(saveVersionPicture)), locked_(std::move(locked)) {
    auto* top = new QVBoxLayout(this);
    auto* group = new QGroupBox("Miscellaneous Functions", this);
    auto* buttons = new QVBoxLayout(group);
    const std::pair<int, QString> entries[] = {{kCalibration420, calibrationText(Shell().host.textVariant)},
                                               {kModbus, "MODBUS"},
                                               {kFirmware, "Firmware Update"},
                                               {kHang, "Make Detector Hang"},
                                               {kReset, "Reset Detector"},
                                               {kParamsUpdate, "Parameters Update"},
                                               {kParamsDownload, "Parameters Download"}};
    for (const auto& [id, text] : entries) buttons->addWidget(addButton(id, text));
    top->addWidget(group);
    top->addStretch();
}

void CMisc::busy(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CMisc::onCommand(int id) {
    QPointer<CMisc> self(this);
    const bool isLocked = locked();
    switch (id) {
        case kModbus: new CModbus(this); break;
        case kFirmware: {
            CUpload upload(this);
            upload.exec();
            break;
        }
        case kCalibration420: {
            auto* main = dynamic_cast<CTesselMain*>(window());
            CCalib420 calibration(this, [main] { return !main || main->poll().connected(); });
            calibration.exec();
            break;
        }
        case kHang:
        case kReset: {
            const MiscCommand command = id == kHang ? MiscCommand::Hang : MiscCommand::Reset;
            RunProcedure(panel(), [isLocked, command](Panel& p) {
                RunMiscCommand(p, isLocked, command, MiscStep(command, true));
            });
            break;
        }
        case kParamsUpdate:
            busy(true);
            RunProcedure(panel(), [self, isLocked](Panel& p) {
                UpdateParameters(p, isLocked, [self] {
                    return onInterface([self] {
                        QApplication::restoreOverrideCursor();
                        std::string path = self ? OpenFileDialog("upm", "UpdateParam", self) : std::string();
                        QApplication::setOverrideCursor(Qt::WaitCursor);
                        return path;
                    });
                });
                QMetaObject::invokeMethod(qApp, [self] { if (self) self->busy(false); }, Qt::QueuedConnection);
            });
            break;
        case kParamsDownload:
            busy(true);
            RunProcedure(panel(), [self, save = savePicture_](Panel& p) {
                const std::string folder = DownloadSummary(p, ".");
                // The version page reads its text here, on the link, and saves its picture where it lives.
                if (!folder.empty() && save && !save(folder + "/Version.png"))
                    p.ask("Failed creating \"" + folder + "/Version.png\".\r\nCollation of summary aborted", "Error",
                          MB_OK | MB_ICONEXCLAMATION);
                else if (!folder.empty() && !Shell().scriptRunning)
                    p.ask(folder, "Settings summary saved to:", MB_OK | MB_ICONINFORMATION);
                QMetaObject::invokeMethod(qApp, [self] { if (self) self->busy(false); }, Qt::QueuedConnection);
            });
            break;
        default: Page::onCommand(id);
    }
}

std::string CMisc::helpText(int focused) const {
    switch (focused) {
        case kCalibration420:
            return "Opens the 4-20 mA calibration of the selected detector: the analog output is set to each of its "
                   "levels in turn and corrected until the meter reads the nominal current.";
        case kModbus:
            return "Opens the MODBUS window: read and write the detector's standard input and holding registers.";
        case kFirmware:
            return "Loads new firmware into the selected detector. Its parameters are saved first and restored "
                   "afterwards; the ADMIN password of a locked detector is asked for.";
        case kHang:
            return "Makes the selected detector stop answering for a while, so that the watchdog and the "
                   "controller's fault handling can be tested. A locked detector asks for the MAINT or ADMIN "
                   "password.";
        case kReset:
            return "Restarts the selected detector as a power cycle would. A locked detector asks for the MAINT or "
                   "ADMIN password.";
        case kParamsUpdate:
            return "Applies a parameter update file (.upm) to the selected detector: only the fields the file marks "
                   "change, the result is read back and compared. Needs the ADMIN password of a locked detector.";
        case kParamsDownload:
            return "Collects the detector's parameters, setup and device information, and a picture of its version "
                   "page, into the folder Summary\\<serial number> of the working folder.";
        default: return {};
    }
}
