#include "platform/ui/qt/StripChart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace platform::ui::qt {

namespace {

const QColor kGridColour(0xe0, 0xe0, 0xe0);
const QColor kAxisTextColour(0x70, 0x70, 0x70);
// How many vertical grid lines the time axis aims at, at most.
constexpr int kMaxTimeDivisions = 6;
constexpr int kValueDivisions = 4;
constexpr int kLegendSwatch = 14;  // pixels of line drawn beside a series' name

// A round step of seconds that cuts `span` into at most kMaxTimeDivisions.
double TimeStep(double span) {
    constexpr std::array<double, 14> kSteps{0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800};
    for (double step : kSteps)
        if (span / step <= kMaxTimeDivisions) return step;
    return std::ceil(span / kMaxTimeDivisions / 3600) * 3600;
}

QString Number(double value) { return QString::number(value, 'g', 6); }  // as printf's %g

}  // namespace

StripChart::StripChart(QWidget* parent) : QFrame(parent) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void StripChart::SetData(ChartData data) {
    data_ = std::move(data);
    setAccessibleDescription(QString::fromStdString(ChartText(data_)));
    update();
}

QColor StripChart::SeriesColour(int index) {
    static const std::array<QColor, 6> kColours{QColor(0x1f, 0x5f, 0xd0), QColor(0xd0, 0x30, 0x30),
                                                QColor(0x20, 0x90, 0x40), QColor(0x90, 0x40, 0xb0),
                                                QColor(0xe0, 0x80, 0x00), QColor(0x00, 0x90, 0x90)};
    return kColours[static_cast<std::size_t>(index) % kColours.size()];
}

void StripChart::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter painter(this);
    const QFontMetrics metrics(font());
    // The plot leaves a line at the bottom for the time axis' labels.
    const QRectF plot = QRectF(contentsRect()).adjusted(2, 2, -2, -(metrics.height() + 2));
    if (plot.width() < 2 || plot.height() < 2) return;
    PaintGrid(painter, plot);
    PaintSeries(painter, plot);
    PaintLegend(painter, plot);
}

void StripChart::PaintGrid(QPainter& painter, const QRectF& plot) const {
    painter.save();
    painter.setPen(QPen(kGridColour, 1));
    for (int i = 0; i <= kValueDivisions; ++i) {
        const double y = plot.top() + plot.height() * i / kValueDivisions;
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    const double span = data_.spanSeconds > 0 ? data_.spanSeconds : 1;
    const double step = TimeStep(span);
    const QFontMetrics metrics(font());
    double labelsLeft = plot.right() + 1;  // labels go right to left and must not overlap
    for (int i = 0; i * step <= span + step * 1e-9; ++i) {
        const double seconds = i * step;
        const double x = plot.right() - plot.width() * seconds / span;
        painter.setPen(QPen(kGridColour, 1));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        const QString label = seconds == 0 ? QStringLiteral("0") : QStringLiteral("-%1 с").arg(Number(seconds));
        const double width = metrics.horizontalAdvance(label);
        const double left = std::clamp(x - width / 2, plot.left(), plot.right() - width);
        if (left + width + 4 > labelsLeft) continue;
        painter.setPen(kAxisTextColour);
        painter.drawText(QPointF(left, plot.bottom() + 1 + metrics.ascent()), label);
        labelsLeft = left;
    }
    painter.restore();
}

void StripChart::PaintSeries(QPainter& painter, const QRectF& plot) const {
    const double span = data_.spanSeconds > 0 ? data_.spanSeconds : 1;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    for (std::size_t s = 0; s < data_.series.size(); ++s) {
        const ChartSeries& series = data_.series[s];
        const double range = series.high > series.low ? series.high - series.low : 1;
        QPainterPath path;
        bool drawing = false;  // a value that is no number breaks the line
        const std::size_t points = std::min(series.x.size(), series.y.size());
        for (std::size_t i = 0; i < points; ++i) {
            if (!std::isfinite(series.x[i]) || !std::isfinite(series.y[i])) {
                drawing = false;
                continue;
            }
            const QPointF p(plot.right() + plot.width() * series.x[i] / span,
                            plot.bottom() - plot.height() * (series.y[i] - series.low) / range);
            if (drawing)
                path.lineTo(p);
            else
                path.moveTo(p);
            drawing = true;
        }
        painter.setPen(QPen(SeriesColour(static_cast<int>(s)), 1.5));
        painter.drawPath(path);
    }
    painter.restore();
}

void StripChart::PaintLegend(QPainter& painter, const QRectF& plot) const {
    if (data_.series.empty()) return;
    const QFontMetrics metrics(font());
    std::vector<QString> lines;
    int width = 0;
    for (const ChartSeries& s : data_.series) {
        QString line = QString::fromStdString(s.name);
        if (!s.y.empty()) line += QLatin1Char(' ') + Number(s.y.back());
        width = std::max(width, metrics.horizontalAdvance(line));
        lines.push_back(line);
    }
    const int lineHeight = metrics.height();
    const QRectF box(plot.left() + 4, plot.top() + 4, kLegendSwatch + 4 + width + 8,
                     lineHeight * static_cast<double>(lines.size()) + 4);
    painter.save();
    QColor backing = palette().color(QPalette::Base);
    backing.setAlpha(210);
    painter.fillRect(box, backing);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double top = box.top() + 2 + lineHeight * static_cast<double>(i);
        const double middle = top + lineHeight / 2.0;
        painter.setPen(QPen(SeriesColour(static_cast<int>(i)), 2));
        painter.drawLine(QPointF(box.left() + 4, middle), QPointF(box.left() + 4 + kLegendSwatch, middle));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QPointF(box.left() + kLegendSwatch + 8, top + metrics.ascent()), lines[i]);
    }
    painter.restore();
}

}  // namespace platform::ui::qt
