// Graph FILE.txt [--png OUT]: plots the converter's text (one sample a line,
// "# block N" before each block) as one curve over the whole recording, each
// pixel column the range of the samples it covers, a thin line at each block.
// With --png the picture is written to OUT instead of shown (for scripts).
// Exit 0, or 2 when FILE.txt cannot be read or holds no sample.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Trace {
    std::vector<int> samples;
    std::vector<size_t> blocks;  // the sample index each block begins at
};

bool Load(const QString& path, Trace& t) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    QTextStream in(&f);
    for (QString line; in.readLineInto(&line);) {
        if (line.startsWith('#')) {
            t.blocks.push_back(t.samples.size());
            continue;
        }
        bool ok = false;
        const int v = line.trimmed().toInt(&ok);
        if (ok) t.samples.push_back(v);
    }
    return !t.samples.empty();
}

void Draw(QPainter& p, const QRect& area, const Trace& t) {
    p.fillRect(area, Qt::white);
    const auto [lo, hi] = std::minmax_element(t.samples.begin(), t.samples.end());
    const double span = std::max(1.0, static_cast<double>(*hi) - *lo), n = static_cast<double>(t.samples.size());
    const int w = std::max(1, area.width()), h = area.height() - 1;
    // In double: a span of millions of counts times the height does not fit an int.
    auto y = [&](int v) { return area.top() + h - static_cast<int>((static_cast<double>(v) - *lo) * h / span); };
    p.setPen(QColor(200, 200, 200));
    for (size_t b : t.blocks) {
        const int x = area.left() + static_cast<int>(b * w / n);
        p.drawLine(x, area.top(), x, area.bottom());
    }
    p.setPen(Qt::blue);
    for (int x = 0; x < w; ++x) {
        const size_t from = static_cast<size_t>(x * n / w), to = std::max(from + 1, static_cast<size_t>((x + 1) * n / w));
        if (from >= t.samples.size()) break;
        // The column's range includes the sample before it, so the curve stays joined.
        const auto [a, b] = std::minmax_element(t.samples.begin() + (from ? from - 1 : 0),
                                                t.samples.begin() + std::min(to, t.samples.size()));
        p.drawLine(area.left() + x, y(*a), area.left() + x, y(*b));
    }
    p.setPen(Qt::black);
    p.drawText(area.adjusted(4, 2, -4, -2), Qt::AlignTop | Qt::AlignLeft,
               QString("%1 samples, %2 blocks, %3 .. %4").arg(n).arg(t.blocks.size()).arg(*lo).arg(*hi));
}

class Plot : public QWidget {
public:
    explicit Plot(Trace t) : t_(std::move(t)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        Draw(p, rect(), t_);
    }

private:
    Trace t_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int png = static_cast<int>(args.indexOf("--png"));
    if (args.size() < 2 || args[1].startsWith("--") || (png > 0 && png + 1 >= args.size())) {
        std::fprintf(stderr, "usage: Graph FILE.txt [--png OUT]\n");
        return 2;
    }
    Trace t;
    if (!Load(args[1], t)) {
        std::fprintf(stderr, "Graph: no samples in \"%s\"\n", qPrintable(args[1]));
        return 2;
    }
    if (png > 0) {
        QImage image(1200, 400, QImage::Format_RGB32);
        QPainter p(&image);
        Draw(p, image.rect(), t);
        p.end();
        return image.save(args[png + 1]) ? 0 : 2;
    }
    Plot plot(std::move(t));
    plot.setWindowTitle("Graph - " + args[1]);
    plot.resize(1200, 400);
    plot.show();
    return app.exec();
}
