#pragma once
#include "app/kit/Dialog.h"

// "Fault List": the active fault bits of the current detector, read on the
// link worker when it opens.
class CFaultList : public Dialog {
public:
    explicit CFaultList(QWidget* parent = nullptr);
};
