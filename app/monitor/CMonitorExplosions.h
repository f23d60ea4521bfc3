#pragma once
#include <atomic>
#include <memory>

#include "app/kit/Dialog.h"
#include "monitor/ExplosionMonitor.h"

// "Monitor Explosions": the four steps of the explosion test over the
// network's first sixteen detectors, the results table coloured by fail code
// and the legend's pop-up of the codes. The steps' ticks run on the link
// worker, one at a time: a tick that comes while one runs is not queued.
class CMonitorExplosions : public Dialog {
public:
    explicit CMonitorExplosions(QWidget* parent, explosion::ExplosionMonitor::Options options = {});

    void onCommand(int id) override;
    void onTimer(int id) override;
    void setText(int id, const std::string& text) override;
    const explosion::ExplosionMonitor& monitor() const { return *monitor_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void colourRow(int row);
    void openSummary();
    std::shared_ptr<explosion::ExplosionMonitor> monitor_;
    std::shared_ptr<std::atomic<bool>> inFlight_ = std::make_shared<std::atomic<bool>>(false);
};
