#pragma once
#include "app/kit/Dialog.h"

// "Internal Flash Dump": six areas of the detector's program flash, read
// once as the window opens.
class CDumpFlash1 : public Dialog {
public:
    explicit CDumpFlash1(QWidget* parent = nullptr);
};
