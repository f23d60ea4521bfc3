#include "app/monitor/CGraph.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "app/kit/MessageBox.h"
#include "app/monitor/CGraphZoom.h"
#include "app/monitor/CTimeFrame.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/WholeFile.h"

using namespace graphwin;
using trend::Axis;

namespace {

// The plot: 503 pixels across the shown samples, with room for the labels.
constexpr int kLeft = 56, kTop = 12, kWidth = 503, kHeight = 260, kBottom = 40;
const char* const kLogName = "TrendLog.txt";

struct Scale {
    double low, high;
    const char* name;
    const char* format;
};
Scale scaleOf(Axis axis, bool fahrenheit) {
    switch (axis) {
        case Axis::Vin: return {0, 40, "Vin", "%.1f"};
        case Axis::Temp: return fahrenheit ? Scale{-40, 185, "Temp", "%.0f"} : Scale{-40, 85, "Temp", "%.0f"};
        case Axis::Ma: return {0, 25, "4-20", "%.1f"};
    }
    return {0, 1, "", "%.1f"};
}
const QColor kCurveColours[] = {QColor(0x00, 0x40, 0xD0), QColor(0xD0, 0x20, 0x20), QColor(0x00, 0x90, 0x30)};

QString format(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

class PlotArea : public QWidget {
public:
    explicit PlotArea(CGraph* page) : QWidget(page), page_(page) {
        setFixedSize(kLeft + kWidth + 24, kTop + kHeight + kBottom);
        setMouseTracking(true);
        setAutoFillBackground(true);
        setPalette(QPalette(Qt::white));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        DrawTrend(p, QRect(kLeft, kTop, kWidth, kHeight), page_->history(), page_->axis(), page_->fahrenheit());
        if (pressed_) {
            p.setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
            p.drawRect(QRect(QPoint(start_, kTop), QPoint(current_, kTop + kHeight)).normalized());
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::RightButton) {
            CGraphZoom zoom(page_->history(), this);
            if (zoom.exec() == QDialog::Accepted) page_->pickRange(-1, -1);
            return;
        }
        if (e->button() != Qt::LeftButton || !inside(e->position().toPoint())) return;
        pressed_ = true;
        start_ = current_ = e->position().toPoint().x();
        page_->setText(kLive, "Z O O M");
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const QPoint at = e->position().toPoint();
        if (pressed_) {
            current_ = at.x();
            update();
        }
        page_->readOut(inside(at) ? std::optional<int>(at.x()) : std::nullopt);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (!pressed_ || e->button() != Qt::LeftButton) return;
        pressed_ = false;
        page_->pickRange(start_, e->position().toPoint().x());
    }
    void leaveEvent(QEvent*) override { page_->readOut(std::nullopt); }

private:
    static bool inside(QPoint p) { return QRect(kLeft, kTop, kWidth, kHeight).contains(p); }
    CGraph* page_;
    bool pressed_ = false;
    int start_ = 0, current_ = 0;
};

}  // namespace

void DrawTrend(QPainter& p, const QRect& plot, const trend::TrendHistory& h, Axis axis, bool fahrenheit) {
    const Scale shown = scaleOf(axis, fahrenheit);
    // Grid and the selected axis's labels.
    p.setPen(QColor(0xD0, 0xD0, 0xD0));
    for (int k = 0; k <= 5; ++k) {
        const int y = plot.top() + k * plot.height() / 5;
        p.drawLine(plot.left(), y, plot.right(), y);
        const int x = plot.left() + k * plot.width() / 5;
        p.drawLine(x, plot.top(), x, plot.bottom());
    }
    p.setPen(Qt::black);
    p.drawRect(plot);
    for (int k = 0; k <= 5; ++k) {
        const double v = shown.high - k * (shown.high - shown.low) / 5;
        p.drawText(QRect(0, plot.top() + k * plot.height() / 5 - 8, plot.left() - 4, 16),
                   Qt::AlignRight | Qt::AlignVCenter, format(shown.format, v));
    }
    const double seconds = static_cast<double>(h.last() - h.first());
    const bool minutes = seconds > 600;
    for (int k = 0; k <= 5; ++k) {
        const double back = seconds * (5 - k) / 5 / (minutes ? 60 : 1);
        p.drawText(QRect(plot.left() + k * plot.width() / 5 - 30, plot.bottom() + 2, 60, 16), Qt::AlignCenter,
                   format("%.0f", -back));
    }
    p.drawText(QRect(plot.left(), plot.bottom() + 18, plot.width(), 16), Qt::AlignCenter,
               minutes ? "Time (min)" : "Time (sec)");

    // The curves, each on its own scale, the selected one on top.
    const Axis order[] = {Axis::Vin, Axis::Temp, Axis::Ma};
    const uint64_t count = h.shownSamples();
    const bool crosses = h.zoomed() && count <= 63;
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int pass = 0; pass < 2; ++pass) {
        for (Axis a : order) {
            if ((a == axis) != (pass == 1)) continue;
            const Scale sc = scaleOf(a, fahrenheit);
            const bool toF = a == Axis::Temp && fahrenheit;
            const auto columns = h.decimate(a, static_cast<unsigned>(plot.width()));
            const size_t n = columns.size();
            auto y = [&](float v) {
                const double value = toF ? v * 1.8 + 32 : v;
                const double f = std::clamp((value - sc.low) / (sc.high - sc.low), 0.0, 1.0);
                return plot.bottom() - f * plot.height();
            };
            QPolygonF line;
            line.reserve(static_cast<qsizetype>(n * 2));
            for (size_t c = 0; c < n; ++c) {
                const double x = plot.left() + (n > 1 ? static_cast<double>(c) * plot.width() / (n - 1) : 0);
                line << QPointF(x, y(columns[c].high));
                if (columns[c].low != columns[c].high) line << QPointF(x, y(columns[c].low));
            }
            p.setPen(QPen(kCurveColours[static_cast<int>(a)], a == axis ? 2 : 1));
            p.drawPolyline(line);
            if (crosses)
                for (const QPointF& pt : line) {
                    p.drawLine(pt + QPointF(-3, -3), pt + QPointF(3, 3));
                    p.drawLine(pt + QPointF(-3, 3), pt + QPointF(3, -3));
                }
        }
    }
}

CGraph::CGraph(QWidget* parent, const std::string& iniFile, trend::TrendHistory::Clock clock)
    : Page(parent, page::Trend, ""), iniFile_(iniFile), history_(std::move(clock)) {
    auto* layout = new QVBoxLayout(this);
    auto* axes = new QHBoxLayout;
    axes->addWidget(addButton(kVin, ">  Vin  <"));
    axes->addWidget(addButton(kTemp, "Temp"));
    axes->addWidget(addButton(kMa, "4-20"));
    axes->addStretch();
    axes->addWidget(addButton(kTimeFrame, "Time Frame Settings"));
    layout->addLayout(axes);
    plot_ = add(kPlot, new PlotArea(this));
    layout->addWidget(plot_);
    auto* moves = new QHBoxLayout;
    moves->addWidget(addButton(kPanLeft, "<  Pan Left"));
    moves->addWidget(addButton(kZoomOut, "<  Zoom Out  >"));
    moves->addWidget(addButton(kPanRight, "Pan Right  >"));
    moves->addWidget(addButton(kLive, "L I V E"));
    moves->addWidget(addButton(kExport, "Export / View"));
    layout->addLayout(moves);
    auto* fields = new QHBoxLayout;
    for (int id : {kSampleField, kDateField, kValueField}) {
        auto* label = add(id, new QLabel(this));
        label->setMinimumWidth(id == kDateField ? 220 : 150);
        fields->addWidget(label, id == kDateField ? 1 : 0);
    }
    layout->addLayout(fields);

    menu_ = new QMenu(this);
    connect(menu_->addAction("With Notepad"), &QAction::triggered, this, [this] { openLog(); });
    connect(menu_->addAction("With Excel"), &QAction::triggered, this, [this] { openLog(); });
    connect(menu_->addAction("As CSV..."), &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, "Export as CSV", "TrendLog.csv", "CSV (*.csv)");
        if (!path.isEmpty()) saveCsv(s(path));
    });
    connect(menu_->addAction("As PNG..."), &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, "Save picture", "Trend.png", "PNG (*.png)");
        if (!path.isEmpty()) savePng(s(path));
    });

    readOut(std::nullopt);
    bool wrote = false;
    const trend::Settings loaded = trend::LoadSettings(iniFile_, &wrote);
    if (!wrote) DebugLog("Trend: %s not written", iniFile_.c_str());
    applySettings(loaded);
}

bool CGraph::fahrenheit() const { return Shell().host.usUnits == 1; }

void CGraph::applySettings(const trend::Settings& settings) {
    history_.apply(settings);
    trend::SaveSettings(iniFile_, history_.settings());
    viewChanged();
    setTimer(kReadOutTimer, 50);
}

void CGraph::addSample(float vin, float temp, float ma) { history_.add(vin, temp, ma); }

void CGraph::viewChanged() {
    const bool zoomed = history_.zoomed();
    if (zoomed)
        stopTimer(kRedrawTimer);
    else
        setTimer(kRedrawTimer, static_cast<int>(std::min<uint64_t>(history_.period() * 1000, 3600000)));
    setText(kLive, zoomed ? "Back to LIVE" : "L I V E");
    enable(kPanLeft, zoomed);
    enable(kPanRight, zoomed);
    enable(kZoomOut, zoomed);
    plot_->update();
}

void CGraph::afterMove(trend::Move m) {
    if (m != trend::Move::Done) QApplication::beep();
    viewChanged();
}

int64_t CGraph::positionAt(int x) const {
    const double span = static_cast<double>(history_.last() - history_.first());
    return static_cast<int64_t>(history_.first()) + static_cast<int64_t>((x - kLeft) * span / (kWidth - 1));
}

void CGraph::pickRange(int x0, int x1) {
    // (-1, -1): "Zoom about -" has already set the range.
    if (x0 != -1 || x1 != -1) {
        if (history_.zoomTo(positionAt(x0), positionAt(x1)) == trend::Move::Refused) {
            MessageBox("Try again...", "Range too small", MB_OK | MB_ICONINFORMATION, this);
            viewChanged();
            return;
        }
    }
    viewChanged();
}

void CGraph::readOut(std::optional<int> x) {
    const Scale sc = scaleOf(axis_, fahrenheit());
    if (!x) {
        setText(kSampleField, "Sample #: ");
        setText(kDateField, "Date: ");
        setText(kValueField, sc.name);
        return;
    }
    const auto pos = static_cast<uint64_t>(std::max<int64_t>(0, positionAt(*x)));
    const std::time_t when = history_.rightTime() - static_cast<std::time_t>(history_.last() - pos);
    const uint64_t j = std::min(pos / history_.period() - history_.first() / history_.period(),
                                history_.shownSamples() - 1);
    const trend::Sample v = history_.shown(j);
    char line[80];
    std::snprintf(line, sizeof line, "Sample #: %.0f", static_cast<double>(pos));
    setText(kSampleField, line);
    setText(kDateField, "Date: " + trend::CalendarTime(when));
    if (axis_ == Axis::Temp)
        std::snprintf(line, sizeof line, "%s: %.0f %s", sc.name, fahrenheit() ? v.temp * 1.8 + 32 : v.temp,
                      fahrenheit() ? "[ \u00B0F ]" : "[ \u00B0C ]");
    else
        std::snprintf(line, sizeof line, "%s: %.2f %s", sc.name, static_cast<double>(axis_ == Axis::Vin ? v.vin : v.ma),
                      axis_ == Axis::Vin ? "[ V ]" : "[ mA ]");
    setText(kValueField, line);
}

void CGraph::onTimer(int id) {
    if (id == kRedrawTimer && !history_.zoomed()) plot_->update();
    if (id == kReadOutTimer) {
        const QPoint at = plot_->mapFromGlobal(QCursor::pos());
        if (!plot_->rect().contains(at) && text(kSampleField) != "Sample #: ") readOut(std::nullopt);
    }
    Page::onTimer(id);
}

void CGraph::onCommand(int id) {
    switch (id) {
        case kVin:
        case kTemp:
        case kMa:
            axis_ = id == kVin ? Axis::Vin : id == kTemp ? Axis::Temp : Axis::Ma;
            setText(kVin, axis_ == Axis::Vin ? ">  Vin  <" : "Vin");
            setText(kTemp, axis_ == Axis::Temp ? ">  Temp  <" : "Temp");
            setText(kMa, axis_ == Axis::Ma ? ">  4-20  <" : "4-20");
            readOut(std::nullopt);
            plot_->update();
            break;
        case kTimeFrame: {
            CTimeFrame dialog(history_.settings(), this);
            if (dialog.exec() == QDialog::Accepted) applySettings(dialog.settings());
            break;
        }
        case kPanLeft: afterMove(history_.panLeft()); break;
        case kPanRight: afterMove(history_.panRight()); break;
        case kZoomOut: afterMove(history_.zoomOut()); break;
        case kLive:
            history_.backToLive();
            viewChanged();
            break;
        case kExport: exportView(); break;
        default: Page::onCommand(id);
    }
}

void CGraph::exportView() {
    if (const auto error = trend::WriteExport(kLogName, history_.exportText(fahrenheit()))) {
        MessageBox(*error, "Error", MB_OK | MB_ICONEXCLAMATION, this);
        return;
    }
    QWidget* button = item(kExport);
    menu_->popup(button->mapToGlobal(QPoint(0, button->height())));
}

void CGraph::openLog() {
    const QString path = QDir::current().absoluteFilePath(kLogName);
    // The desktop's viewer for the file stands in for the program the command line named.
    DebugLog("OpeTrendLog> %s", s(path).c_str());
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        MessageBox("Failed opening \"TrendLog.txt\"...", "Error", MB_OK | MB_ICONEXCLAMATION, this);
}

bool CGraph::saveCsv(const std::string& path) {
    if (const auto error = trend::WriteExport(path, history_.exportText(fahrenheit(), true))) {
        MessageBox(*error, "Error", MB_OK | MB_ICONEXCLAMATION, this);
        return false;
    }
    return true;
}

bool CGraph::savePng(const std::string& path) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    const bool encoded = grab().save(&buffer, "PNG");
    // Only now does the array hold the picture: saving may have moved it.
    const auto* bytes = reinterpret_cast<const uint8_t*>(png.constData());
    if (!encoded || !WriteWholeFile(path, std::span(bytes, static_cast<size_t>(png.size())))) {
        MessageBox("Failed opening \"" + path + "\" for writing...", "Error", MB_OK | MB_ICONEXCLAMATION, this);
        return false;
    }
    return true;
}
