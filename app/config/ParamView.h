#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/kit/Dialog.h"
#include "config/ParamFiles.h"
#include "config/ParamGrid.h"
#include "config/ParamSession.h"

// What an opener hands to a parameter view: a record to show instead of the
// detector's, and values to apply, each shown highlighted and pending until a
// verified write.
struct ParamHandIn {
    ParamRecord* record = nullptr;  // shown; receives the record after a verified write
    long long serial = -1;          // a serial number to apply, or -1
    double autobit = 0, manbit = 0;  // new BIT values, or 0
    int amplify44 = 0;               // IR: a new amplify44, or 0
    int uvbitThr = 0;                // UV/IR: a new UVBIT_Thr, or 0
    int uvbitDuration = 0;           // UV/IR: a new UV_BIT_Duration (with UVBIT_Thr), or 0
    // Field-selection mode (the patch editor): the mask whose marks are
    // selected when the window opens; on OK `record` holds the checked values
    // and this the mask of the selected fields. Nothing is sent.
    std::vector<uint8_t>* mask = nullptr;
};

// The parameter views, "Parameters" (IR, template 131) and "UVIR Parameters
// table" (UV/IR, template 249): the detector's parameter record in a grid,
// read when the window shows, written back with F3 (through the checks of
// config/ParamSession, elevation and a verified read-back), saved to and
// loaded from the profile file (F5, F4), pictured with copies of the record
// (F2). The two differ only in their record.
class ParamViewBase : public Dialog {
public:
    ~ParamViewBase() override;

    ParamKind kind() const { return kind_; }
    void onCommand(int id) override;
    void onTimer(int id) override;
    // Cancel and the close box ask for pending values; during a script the
    // window stays open while the grid differs from the detector's record.
    void done(int result) override;

    // F4's two entries.
    void loadLocal();
    void loadExternal();
    // F2: the picture and the record's copies in "<base>/<serial>/"; false
    // when nothing was saved (cancelled, refused or a file not written).
    bool saveScreenshot();

    // The record as last read from (or verified on) the detector.
    const ParamRecord& reference() const { return reference_; }
    // The grid shows a record (the opening read is over).
    bool filled() const { return filled_; }
    // Runs once the grid shows the record (the screenshot run).
    void setOnFilled(std::function<void()> hook) { onFilled_ = std::move(hook); }
    // A cell drawn highlighted: a pending value or a failing benzene pair.
    bool marked(int control) const;
    // Field-selection mode: a cell's field is selected (drawn highlighted).
    bool selected(int control) const;
    // A click on a cell while selecting ("Select fields to update"); `on` false: Shift held.
    void selectCell(int control, bool on);
    // The clock of the 2-minute rule (tests); empty: the tick count.
    void setClock(std::function<unsigned long long()> nowMs) { nowMs_ = std::move(nowMs); }

protected:
    ParamViewBase(ParamKind kind, const char* title, QWidget* parent, ParamHandIn handIn);
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void open();
    void opened(std::optional<ParamRecord> record);
    void closeNow(int result);
    void write();
    void written(const WriteOutcome& outcome);
    void save();
    void load(const std::string& ini, const std::string& section);
    void editFov();
    bool readGrid(ParamRecord& into, bool tell);
    void focusCell(int id);
    void toggleSelecting();
    // F3 in field-selection mode: check, hand the record and the mask back, close with OK.
    void finishSelection();
    // The grid control of each element of the record's table.
    std::vector<std::pair<int, ParamElement>> selectableCells() const;
    // Pending values and failing benzene pairs are drawn in their colours.
    void mark(std::vector<int>& set, int id, bool on);
    int box(const std::string& text, const std::string& caption, unsigned flags);
    unsigned long long now() const;
    ParamGridContext context() const;
    std::string section(unsigned number) const;
    unsigned sectionNumber(int field) const;

    const ParamKind kind_;
    const int slot_;
    ParamHandIn handIn_;
    ParamRecord working_, reference_;
    unsigned long long readAt_ = 0;
    bool opened_ = false, filled_ = false, writing_ = false, shotSaved_ = false;
    bool pendingSerial_ = false, pendingBit_ = false, pendingAmplify_ = false;
    std::vector<int> pending_, failing_, selected_;
    bool selecting_ = false;
    std::vector<CellPair> toMark_;
    std::function<void()> onFilled_;
    std::function<unsigned long long()> nowMs_;
};

class ParamView : public ParamViewBase {
public:
    explicit ParamView(QWidget* parent = nullptr, ParamHandIn handIn = {});
};

class UVIRParamView : public ParamViewBase {
public:
    explicit UVIRParamView(QWidget* parent = nullptr, ParamHandIn handIn = {});
};

// The view of the current detector's model (Parameters command).
std::unique_ptr<ParamViewBase> MakeParamView(QWidget* parent, ParamHandIn handIn = {});
