#pragma once
#include <QElapsedTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/Pages.h"
#include "firmware/CFlashIds.h"
#include "firmware/LogWindow.h"

class QMenu;

// The "Logfile" page (template 161): the detector's log ring read in pages
// into the list and DetLog.txt, Get All with its abort, the detector's working
// time, and "Open Last". The wire work runs as procedures on the link worker,
// which hold the poll off only while they run.
class CFlash : public Page {
public:
    // `automatic`: empty records are counted instead of listed, pages are 50
    // records, the remaining count is shown and a slow line is warned of.
    explicit CFlash(QWidget* parent = nullptr, bool automatic = false);

    // Timer 1 of the main window: the page size from the list's height, then the information request.
    void refresh() override;
    void onCommand(int id) override;
    void onTimer(int id) override;

    bool running() const { return running_; }
    const std::optional<LogRing>& ring() const { return ring_; }
    QMenu* openLastMenu() const { return menu_; }

    // How "Open Last" starts a program: an argument list, never a shell line.
    // Tests put their own in; an empty function brings QProcess back.
    using Launcher = std::function<bool(const std::string& program, const std::vector<std::string>& args)>;
    static void SetLauncher(Launcher launcher);

protected:
    // Leaving the page ends a running download after its page on the wire,
    // so the return to 9600 behind it does not wait for the whole log.
    void hideEvent(QHideEvent* event) override;

private:
    void setFamily(LogFamily family);
    void opened(const std::optional<LogRing>& ring);
    void download(LogMode mode, unsigned count, unsigned position);
    void finished(const LogDownloadResult& result, LogMode mode, const std::string& title);
    void addRow(const std::vector<std::string>& cells, char mode, int state);
    void move(LogMove move);
    void getAll();
    void openLast(bool spreadsheet);
    unsigned field(int id) const;

    bool automatic_;
    bool running_ = false;
    LogFamily family_ = LogFamily::Ir;
    std::optional<LogRing> ring_;
    uint32_t workTime_ = 0;  // the detector's operating seconds at workClock_'s start
    unsigned workAddress_ = 0;  // the detector whose clock it is
    QElapsedTimer workClock_;
    QMenu* menu_ = nullptr;
};
