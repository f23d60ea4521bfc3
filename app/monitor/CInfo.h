#pragma once
#include <atomic>
#include <memory>

#include "app/kit/Dialog.h"
#include "monitor/AdcRecording.h"

// The ADC recording windows: CInfo streams at 921600 baud (rate 1 2.3 kHz,
// rate 2 100 Hz), CRec100Hz pulls blocks at 57600 baud. Start, Stop, the
// converter and the plot program; the recording runs on the link worker and
// the window only shows what it reports. Closing stops a recording and takes
// the line back to 9600 baud.
class CInfo : public Dialog {
public:
    CInfo(QWidget* parent, unsigned rate, bool uvir);
    ~CInfo() override;

    void onCommand(int id) override;
    void onTimer(int id) override;
    void done(int result) override;

protected:
    // A window of the pulled recording.
    CInfo(QWidget* parent, bool uvir);
    virtual std::shared_ptr<AdcRecording> make(const RecordingOptions& files);
    virtual std::string extension() const { return ".bin"; }
    virtual bool extensionAnywhere() const { return false; }
    virtual int timerMs() const { return 100; }

private:
    void build();
    // The dialog's name and the opening reads, shown below the status.
    void open(bool pulled);
    void start();
    void stop(bool closing);
    void startProgram(const OutsideProgram& program);
    bool recording() const { return rec_ && rec_->active(); }

    unsigned rate_ = 1;
    bool uvir_ = false;
    std::shared_ptr<AdcRecording> rec_;
    std::string samplePath_;
    std::shared_ptr<std::atomic<bool>> tickQueued_ = std::make_shared<std::atomic<bool>>(false);
};

class CRec100Hz : public CInfo {
public:
    CRec100Hz(QWidget* parent, bool uvir) : CInfo(parent, uvir) {}

protected:
    std::shared_ptr<AdcRecording> make(const RecordingOptions& files) override;
    std::string extension() const override { return ".100"; }
    bool extensionAnywhere() const override { return true; }
    int timerMs() const override { return 490; }
};
