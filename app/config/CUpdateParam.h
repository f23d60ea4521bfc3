#pragma once
#include "app/kit/Dialog.h"
#include "config/ParamFiles.h"

// "QX UpdateParam" (template 263): the patch editor's opening. A type choice
// and three sources (the default record, a detector's raw record file, an
// existing patch); each opens the parameter view of the record's type in
// field-selection mode and, on OK, writes IR3.upm or UVIR.upm in the working
// folder.
class CUpdateParam : public Dialog {
public:
    explicit CUpdateParam(QWidget* parent = nullptr);
    void onCommand(int id) override;

    // The editor view on `patch` (tests open it directly); true when a file was written.
    bool edit(Patch patch);

private:
    ParamKind chosenKind() const;
};
