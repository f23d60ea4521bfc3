#pragma once
#include <memory>
#include <string>

#include "app/kit/Dialog.h"

class FirmwareUpdate;

// "Upload FW": choose a BIN file, check it against the detector, upload it.
// firmware/FirmwareUpdate does the work on the link worker; this window asks
// for the speed and the file, keeps the override box honest and shows the
// progress. Opened from the Misc page and the console's "Update Firmware".
class CUpload : public Dialog {
public:
    explicit CUpload(QWidget* parent = nullptr);

    void onCommand(int id) override;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void open();
    void chooseFile();
    void overrideBox();
    void start();
    // Checks the chosen file, or uploads it, on the link worker; finished() follows here.
    void runJob(bool upload);
    // `result`: check() as 0/1, or run()'s FwResult; `closeSoon`: the setup read or the password failed.
    void finished(bool upload, int result, bool closeSoon);
    void idle(bool on);

    std::shared_ptr<FirmwareUpdate> update_;
    std::string path_;
    bool opened_ = false, running_ = false, backUpAtOpening_ = false;
    bool uploading_ = false;  // an upload (not a check or backup) runs: it returns the link itself
};
