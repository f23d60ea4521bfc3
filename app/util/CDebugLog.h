#pragma once
#include "app/kit/Dialog.h"
#include "util/CDebugLogIds.h"
#include "util/LogList.h"

class QListWidget;

// The console (the "Log" page): the general log and the protocol log in two
// lists, mirrored into logf1.txt and logf2.txt while it exists. The start-up
// makes it before the link opens, hidden unless asked for, so that its lines
// and both files hold every run from the start.
class CDebugLog : public Dialog {
public:
    static constexpr int kGeneralList = consolewin::kGeneralList, kProtocolList = consolewin::kProtocolList;
    explicit CDebugLog(QWidget* parent = nullptr);
    ~CDebugLog() override;

    // Timer 11111: once the main window asks for it, stand beside it.
    void placeBesideMainWindowSoon() { placeRequested_ = true; }
    void onTimer(int id) override;

    const LogList& lines(int list) const { return list == kGeneralList ? general_ : protocol_; }
    void clearList(int list);
    // Copies a list to the clipboard; logs the outcome as the original does.
    void copyList(int list);

private:
    void append(int list, const std::string& line);
    QListWidget* view(int list) const;

    LogList general_, protocol_;
    bool placeRequested_ = false;
};

// Puts a text on the clipboard; 1 on success, 0 when it cannot.
int ClipBoardPutText(const std::string& text);
