#include "app/monitor/CGauge.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
// The dial sweeps 240 degrees, from lower left (min) clockwise to lower right (max).
constexpr double kStartDeg = 210, kSweepDeg = 240;

QColor colour(gauge::Colour c) {
    const auto rgb = gauge::Rgb(c);
    return QColor(rgb[0], rgb[1], rgb[2]);
}
}  // namespace

CGauge::CGauge(int kind, bool usUnits, QWidget* parent)
    : QWidget(parent), kind_(kind), usUnits_(usUnits), scale_(gauge::ScaleOf(kind, usUnits)), value_(scale_.initial) {
    setMinimumSize(140, 140);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CGauge::setValue(double value) {
    value_ = value;
    update();
}

void CGauge::setPresent(bool present) {
    if (present == present_) return;
    present_ = present;
    update();
}

void CGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    const QPointF c(width() / 2.0, height() / 2.0);
    const double r = side / 2 - 4;
    const auto angleOf = [&](double v) {
        return kStartDeg - (v - scale_.min) / (scale_.max - scale_.min) * kSweepDeg;
    };
    const auto at = [&](double deg, double radius) {
        const double a = deg * M_PI / 180;
        return QPointF(c.x() + radius * std::cos(a), c.y() - radius * std::sin(a));
    };

    p.setPen(QPen(Qt::darkGray, 2));
    p.setBrush(QColor(250, 250, 250));
    p.drawEllipse(c, r, r);

    // The working range as a green band inside the rim, the rest of the scale red.
    const QRectF band(c.x() - r * 0.85, c.y() - r * 0.85, r * 1.7, r * 1.7);
    const auto arc = [&](double from, double to, const QColor& col) {
        p.setPen(QPen(col, r * 0.08, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(band, static_cast<int>(angleOf(from) * 16),
                  static_cast<int>((angleOf(to) - angleOf(from)) * 16));
    };
    arc(scale_.min, scale_.low, colour(gauge::Colour::Red));
    arc(scale_.low, scale_.high, colour(gauge::Colour::Green));
    arc(scale_.high, scale_.max, colour(gauge::Colour::Red));

    // Ten steps with numbers at the ends and the middle.
    p.setPen(QPen(Qt::black, 1));
    QFont small = font();
    small.setPointSizeF(std::max(6.0, side / 22));
    p.setFont(small);
    for (int i = 0; i <= 10; ++i) {
        const double v = scale_.min + (scale_.max - scale_.min) * i / 10;
        const double deg = angleOf(v);
        p.drawLine(at(deg, r * 0.93), at(deg, i % 5 ? r * 0.78 : r * 0.72));
        if (i % 5) continue;
        const QPointF t = at(deg, r * 0.58);
        p.drawText(QRectF(t.x() - 20, t.y() - 8, 40, 16), Qt::AlignCenter, QString::number(v, 'f', 0));
    }

    // The needle stays on the dial whatever the value.
    const double deg = angleOf(gauge::NeedleValue(scale_, value_));
    p.setPen(QPen(Qt::black, std::max(2.0, side / 60), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, at(deg, r * 0.8));
    p.setBrush(Qt::black);
    p.drawEllipse(c, side / 30, side / 30);

    const gauge::Reading shown = reading();
    const QRectF field(c.x() - r * 0.45, c.y() + r * 0.45, r * 0.9, r * 0.3);
    p.setPen(Qt::NoPen);
    p.setBrush(colour(shown.colour));
    p.drawRect(field);
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSizeF(std::max(7.0, side / 16));
    p.setFont(bold);
    p.setPen(Qt::white);
    p.drawText(field, Qt::AlignCenter, QString::fromStdString(shown.text));
}
