#pragma once
#include "app/kit/Dialog.h"

// "Fault List": the active fault bits of the current detector, read when it opens.
class CFaultList : public Dialog {
public:
    static constexpr int kList = 3001;
    explicit CFaultList(QWidget* parent = nullptr);
};
