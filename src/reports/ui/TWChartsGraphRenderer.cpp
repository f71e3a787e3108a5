#include "reports/ui/TWChartsGraphRenderer.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QLegendMarker>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>

#include <cmath>

namespace
{

// Whole numbers, as the axis ticks are (towards zero).
double whole(double value)
{
    return std::isfinite(value) ? std::trunc(value) : 0;
}

QFont titleFont()
{
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setFamily(QFont(QStringLiteral("Sans Serif")).defaultFamily());
    font.setPointSizeF(14);
    font.setBold(true);
    return font;
}

} // namespace

QColor TWChartsGraphRenderer::barColor(qsizetype index, qsizetype count)
{
    if (count < 2 || index == 0)
        return QColor(Qt::blue);
    return index == 1 ? QColor(Qt::red) : QColor(Qt::green);
}

std::pair<double, double> TWChartsGraphRenderer::barRange(const TWGraph &graph)
{
    double minimum = 0;
    double maximum = 0;
    for (const TWDataSet &set : graph.dataSets()) {
        for (const TWDataSetValue &value : set.values()) {
            const double v = whole(value.value());
            if (v < minimum)
                minimum = v;
            else if (v > maximum)
                maximum = v;
        }
    }
    const double top = whole(maximum * 1.1);
    // All bars at 0 would give a range of no height, which cannot be drawn.
    if (!(top > minimum))
        return {0, 1};
    return {minimum, top};
}

QList<double> TWChartsGraphRenderer::pieShares(const TWDataSet &dataSet)
{
    double total = 0;
    for (const TWDataSetValue &value : dataSet.values())
        total += value.value();
    QList<double> shares;
    shares.reserve(dataSet.values().size());
    for (const TWDataSetValue &value : dataSet.values())
        shares.append(total != 0 ? value.value() / total : 0);
    return shares;
}

std::unique_ptr<QChart> TWChartsGraphRenderer::chart(const TWGraph &graph)
{
    if (graph.type() != TWGraphTypeBar && graph.type() != TWGraphTypePie)
        return nullptr;
    auto chart = std::make_unique<QChart>();
    chart->setTheme(QChart::ChartThemeLight);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setTitle(graph.name());
    chart->setTitleFont(titleFont());
    chart->setTitleBrush(Qt::black);
    chart->resize(graph.size());
    // Qt Charts makes room for the axis labels, the title and the legend
    // itself; the margin is the white border around all of them.
    chart->setMargins(QMargins(int(kMargin), int(kMargin), int(kMargin), int(kMargin)));
    if (graph.type() == TWGraphTypeBar)
        buildBar(*chart, graph);
    else
        buildPie(*chart, graph);
    return chart;
}

void TWChartsGraphRenderer::buildBar(QChart &chart, const TWGraph &graph)
{
    const TWDataSetList &sets = graph.dataSets();
    auto *series = new QBarSeries;
    series->setBarWidth(0.9);
    for (qsizetype i = 0; i < sets.size(); ++i) {
        auto *barSet = new QBarSet(sets.at(i).name());
        for (const TWDataSetValue &value : sets.at(i).values())
            barSet->append(value.value());
        const QColor color = barColor(i, sets.size());
        barSet->setColor(color);
        barSet->setBorderColor(color);
        series->append(barSet);
    }
    chart.addSeries(series);

    auto *xAxis = new QBarCategoryAxis;
    QStringList labels;
    if (!sets.isEmpty()) {
        for (const TWDataSetValue &value : sets.first().values())
            labels.append(value.label());
    }
    xAxis->append(labels);
    xAxis->setLabelsAngle(-45);
    xAxis->setGridLineVisible(false);
    chart.addAxis(xAxis, Qt::AlignBottom);
    series->attachAxis(xAxis);

    auto *yAxis = new QCategoryAxis;
    yAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const auto [minimum, maximum] = barRange(graph);
    yAxis->setRange(minimum, maximum);
    // A tick outside the range would be drawn beside the axis, off its place.
    for (const TWDataSetValue &tick : graph.yAxisValues())
        if (tick.value() >= minimum && tick.value() <= maximum)
            yAxis->append(tick.formattedValue(), tick.value());
    chart.addAxis(yAxis, Qt::AlignLeft);
    series->attachAxis(yAxis);
    // The range again: attaching may widen it to the categories.
    yAxis->setRange(minimum, maximum);

    QLegend *legend = chart.legend();
    legend->setVisible(sets.size() >= 2);
    legend->setAlignment(Qt::AlignBottom);
}

void TWChartsGraphRenderer::buildPie(QChart &chart, const TWGraph &graph)
{
    auto *series = new QPieSeries;
    series->setPieSize(0.85);
    QLegend *legend = chart.legend();
    legend->setAlignment(Qt::AlignRight);
    legend->setVisible(true);
    chart.addSeries(series);
    if (graph.dataSets().isEmpty())
        return;
    const TWDataSet &set = graph.dataSets().first();
    const QList<double> shares = pieShares(set);
    bool allZero = true;
    for (const TWDataSetValue &value : set.values())
        allZero = allZero && value.value() == 0;
    // Texts on the slices only when the pie is the graph's one data set.
    const bool texts = graph.dataSets().size() == 1;
    for (qsizetype i = 0; i < set.values().size(); ++i) {
        const TWDataSetValue &value = set.values().at(i);
        auto *slice = new QPieSlice(value.formattedValue(), allZero ? 1.0 : value.value());
        slice->setLabelVisible(texts && !allZero && shares.at(i) > kMinimumLabelledShare);
        // Short arms keep the texts of the top slices inside the plot, which clips them.
        slice->setLabelArmLengthFactor(0.05);
        series->append(slice);
    }
    // The legend names the slices; the slices show their amounts.
    const QList<QLegendMarker *> markers = legend->markers(series);
    for (qsizetype i = 0; i < markers.size() && i < set.values().size(); ++i)
        markers.at(i)->setLabel(set.values().at(i).label());
}

QImage TWChartsGraphRenderer::graphImage(const TWGraph &graph)
{
    const QSizeF size = graph.size();
    const double scale = graph.scale() > 0 ? graph.scale() : 1.0;
    if (!(size.width() > 0 && size.height() > 0))
        return {};
    std::unique_ptr<QChart> built = chart(graph);
    if (!built)
        return {};
    QImage image(QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale))),
                 QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);

    QGraphicsScene scene;
    QChart *chart = built.release(); // the scene owns it from here
    scene.addItem(chart);
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
    chart->setGeometry(QRectF(QPointF(0, 0), size));
    // The chart and its legend lay themselves out on posted layout requests
    // (the legend's sizes feed the chart's layout): run them now, legend first.
    for (int round = 0; round < 2; ++round) {
        QCoreApplication::sendPostedEvents(chart->legend(), QEvent::LayoutRequest);
        if (QGraphicsLayout *layout = chart->legend()->layout())
            layout->activate();
        QCoreApplication::sendPostedEvents(chart, QEvent::LayoutRequest);
        if (QGraphicsLayout *layout = chart->layout())
            layout->activate();
    }

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    painter.end();
    return image;
}
