#pragma once
#include <string>

#include "app/kit/Dialog.h"

// "Insert Comment into Log" (template 167): edits the recording comment in
// place; "Insert" takes the text (259 characters at most), Cancel leaves it.
class CComment : public Dialog {
public:
    CComment(std::string& comment, QWidget* parent = nullptr);
    void onCommand(int id) override;

private:
    std::string& comment_;
};
