#include "reports/ui/TWChartsGraphRenderer.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLegend>
#include <QLegendMarker>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>

#include <algorithm>
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

// Qt Charts lays the chart and its legend out on posted layout requests (the
// legend's sizes feed the chart's layout): run them now, legend first.
void layOut(QChart *chart)
{
    for (int round = 0; round < 2; ++round) {
        QCoreApplication::sendPostedEvents(chart->legend(), QEvent::LayoutRequest);
        if (QGraphicsLayout *layout = chart->legend()->layout())
            layout->activate();
        QCoreApplication::sendPostedEvents(chart, QEvent::LayoutRequest);
        if (QGraphicsLayout *layout = chart->layout())
            layout->activate();
    }
}

// The text items left of the plot area within its height: the vertical
// axis's labels (the horizontal axis's sit below it, the title above).
QList<QGraphicsTextItem *> verticalLabelItems(const QGraphicsScene &scene)
{
    QList<QGraphicsTextItem *> labels;
    QChart *chart = nullptr;
    for (QGraphicsItem *item : scene.items()) {
        if ((chart = dynamic_cast<QChart *>(item)))
            break;
    }
    if (!chart)
        return labels;
    const QRectF plot = chart->plotArea();
    for (QGraphicsItem *item : scene.items(Qt::AscendingOrder)) {
        auto *text = qgraphicsitem_cast<QGraphicsTextItem *>(item);
        if (!text || !text->isVisible() || text->toPlainText().isEmpty())
            continue;
        const QRectF box = text->sceneBoundingRect();
        const QPointF centre = box.center();
        if (box.right() <= plot.left() + 0.5 && centre.y() >= plot.top() - box.height() &&
            centre.y() <= plot.bottom() + box.height() / 2)
            labels.append(text);
    }
    return labels;
}

bool isShortened(const QString &text)
{
    return text.contains(QChar(0x2026)) || text.contains(QStringLiteral("..."));
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
    chart.addAxis(yAxis, Qt::AlignLeft);
    series->attachAxis(yAxis);
    setVerticalTicks(chart, graph, 1);

    QLegend *legend = chart.legend();
    legend->setVisible(sets.size() >= 2);
    legend->setAlignment(Qt::AlignBottom);
}

void TWChartsGraphRenderer::setVerticalTicks(QChart &chart, const TWGraph &graph, int stride)
{
    auto *yAxis = qobject_cast<QCategoryAxis *>(chart.axes(Qt::Vertical).value(0));
    if (!yAxis)
        return;
    for (const QString &label : yAxis->categoriesLabels())
        yAxis->remove(label);
    const auto [minimum, maximum] = barRange(graph);
    yAxis->setRange(minimum, maximum);
    // A tick outside the range would be drawn beside the axis, off its place.
    QList<TWDataSetValue> ticks;
    for (const TWDataSetValue &tick : graph.yAxisValues())
        if (tick.value() >= minimum && tick.value() <= maximum)
            ticks.append(tick);
    // Thinned from the tick at 0 (or the lowest) in both directions, so 0
    // keeps its label.
    qsizetype anchor = 0;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        if (ticks.at(i).value() == 0)
            anchor = i;
    }
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        if ((i - anchor) % std::max(1, stride) == 0)
            yAxis->append(ticks.at(i).formattedValue(), ticks.at(i).value());
    }
    // The range again: appending may widen it to the categories.
    yAxis->setRange(minimum, maximum);
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

std::unique_ptr<QGraphicsScene> TWChartsGraphRenderer::scene(const TWGraph &graph)
{
    const QSizeF size = graph.size();
    std::unique_ptr<QChart> built = chart(graph);
    if (!built)
        return nullptr;
    auto scene = std::make_unique<QGraphicsScene>();
    QChart *chart = built.release(); // the scene owns it from here
    scene->addItem(chart);
    scene->setSceneRect(QRectF(QPointF(0, 0), size));
    chart->setGeometry(QRectF(QPointF(0, 0), size));
    layOut(chart);
    if (graph.type() == TWGraphTypeBar) {
        // Qt Charts shortens a label ("$1,0...") when the axis gives each tick
        // less height than a line of text: leave ticks out instead.
        const qsizetype ticks = graph.yAxisValues().size();
        for (int stride = 2; stride <= std::max<qsizetype>(ticks, 1); ++stride) {
            bool shortened = false;
            for (const QGraphicsTextItem *label : verticalLabelItems(*scene))
                shortened = shortened || isShortened(label->toPlainText());
            if (!shortened)
                break;
            setVerticalTicks(*chart, graph, stride);
            layOut(chart);
        }
    }
    return scene;
}

QStringList TWChartsGraphRenderer::drawnVerticalLabels(const QGraphicsScene &scene)
{
    QStringList texts;
    for (const QGraphicsTextItem *label : verticalLabelItems(scene))
        texts.append(label->toPlainText());
    return texts;
}

QImage TWChartsGraphRenderer::graphImage(const TWGraph &graph)
{
    const QSizeF size = graph.size();
    const double scale = graph.scale() > 0 ? graph.scale() : 1.0;
    if (!(size.width() > 0 && size.height() > 0))
        return {};
    std::unique_ptr<QGraphicsScene> laidOut = scene(graph);
    if (!laidOut)
        return {};
    QImage image(QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale))),
                 QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    laidOut->render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    painter.end();
    return image;
}
