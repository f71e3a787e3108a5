#pragma once
// Draws the report graphs with Qt Charts, off screen: the chart is built from
// the graph's data sets, put in a graphics scene and painted into an image of
// the graph's size at its scale (device pixels per point), so that PDF pages
// and JPEG files made from it stay sharp on dense screens.

#include "reports/engine/TWExportReport.h"

#include "model/TWGraph.h"

#include <QColor>
#include <QImage>

#include <memory>

class QChart;
class QGraphicsScene;

class TWChartsGraphRenderer final : public TWGraphRenderer
{
public:
    // The rendered graph: a white image of size x scale pixels with that
    // device pixel ratio; null for a type other than bar or pie, or an empty
    // size.
    QImage graphImage(const TWGraph &graph) override;

    // The chart of a bar or pie graph (none for any other type), laid out for
    // the graph's size but not yet drawn.
    static std::unique_ptr<QChart> chart(const TWGraph &graph);
    // The chart in a scene of the graph's size, laid out as it is painted:
    // when the vertical axis has more ticks than its height can label in
    // full, every second (third, ...) tick is left out, counted from 0, so
    // that each label drawn is its whole text. None where `chart` gives none.
    static std::unique_ptr<QGraphicsScene> scene(const TWGraph &graph);
    // The vertical axis's labels as the laid-out scene draws them.
    static QStringList drawnVerticalLabels(const QGraphicsScene &scene);

    // The colour of bar series `index` of `count`: blue, then red, then green.
    static QColor barColor(qsizetype index, qsizetype count);
    // The vertical range of a bar graph: from the lowest value (at most 0) to
    // a tenth above the highest (at least 0), both whole numbers; 0 to 1 when
    // that would be empty.
    static std::pair<double, double> barRange(const TWGraph &graph);
    // Each slice's share of the pie's total (0 for all when the total is 0).
    static QList<double> pieShares(const TWDataSet &dataSet);

    // White space between the chart's contents and the image's edges, in points.
    static constexpr double kMargin = 20;
    // A slice shows its text only when its share is above this.
    static constexpr double kMinimumLabelledShare = 0.02;

private:
    static void buildBar(QChart &chart, const TWGraph &graph);
    // The vertical axis's ticks that fit, every `stride`-th counted from 0.
    static void setVerticalTicks(QChart &chart, const TWGraph &graph, int stride);
    static void buildPie(QChart &chart, const TWGraph &graph);
};
