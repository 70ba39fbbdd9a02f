#pragma once

#include <QColor>
#include <QFrame>

#include "platform/ui/Views.h"

namespace platform::ui::qt {

// A strip chart: the last spanSeconds with the present at the right edge,
// each series a line in a colour of its own on a scale of its own, a light
// grid, and a legend with each series' name and last value. Its accessible
// description tells what it shows (ChartText).
class StripChart : public QFrame {
    Q_OBJECT

public:
    explicit StripChart(QWidget* parent);

    void SetData(ChartData data);
    const ChartData& Data() const { return data_; }

    // The colour of the `index`-th series.
    static QColor SeriesColour(int index);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void PaintGrid(QPainter& painter, const QRectF& plot) const;
    void PaintSeries(QPainter& painter, const QRectF& plot) const;
    void PaintLegend(QPainter& painter, const QRectF& plot) const;

    ChartData data_;
};

}  // namespace platform::ui::qt
