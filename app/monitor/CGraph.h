#pragma once
#include <QPointer>
#include <memory>
#include <string>

#include "app/shell/Pages.h"
#include "monitor/CGraphIds.h"
#include "monitor/TrendHistory.h"

class QMenu;
class QPainter;

// The three curves of `history` as its view shows them, decimated to the
// plot's columns, with the axes of `axis`; the picture the trend page shows.
void DrawTrend(QPainter& painter, const QRect& plot, const trend::TrendHistory& history, trend::Axis axis,
               bool fahrenheit);

// The trend page (template 235): the history of voltage, temperature and
// analog output that every good status answer feeds, its LIVE and ZOOM
// views, and the exports.
class CGraph : public Page {
public:
    // `iniFile`: where the "Trend" keys live; `clock` for tests.
    explicit CGraph(QWidget* parent, const std::string& iniFile = "Param.ini",
                    trend::TrendHistory::Clock clock = {});

    // AddTrendSample: a good status answer, whatever page is shown.
    void addSample(float vin, float temp, float ma);
    trend::TrendHistory& history() { return history_; }
    trend::Axis axis() const { return axis_; }
    // Temperatures in degrees Fahrenheit (the host's units flag).
    bool fahrenheit() const;
    void applySettings(const trend::Settings& s);

    void onCommand(int id) override;
    void onTimer(int id) override;

    // The plot's mouse: a range picked from x0 to x1 (widget pixels), the
    // read-out under `x` (outside the plot: none).
    void pickRange(int x0, int x1);
    void readOut(std::optional<int> x);
    QWidget* plot() const { return plot_; }
    QMenu* exportMenu() const { return menu_; }
    // "As CSV..." and "As PNG..." once a file is chosen; false after the "Error" box.
    bool saveCsv(const std::string& path);
    bool savePng(const std::string& path);

private:
    void viewChanged();
    void afterMove(trend::Move m);
    void exportView();
    void openLog();
    int64_t positionAt(int x) const;

    std::string iniFile_;
    trend::TrendHistory history_;
    trend::Axis axis_ = trend::Axis::Vin;
    QWidget* plot_ = nullptr;
    QMenu* menu_ = nullptr;
};
