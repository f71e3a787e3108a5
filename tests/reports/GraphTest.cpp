// Graphs drawn with Qt Charts: the chart built from the data sets (series,
// colours, labels, legend, ranges) and the image it is painted into.

#include "reports/ui/TWChartsGraphRenderer.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsScene>
#include <QLegend>
#include <QLegendMarker>
#include <QLocale>
#include <QPieSeries>
#include <QPieSlice>

#include <gtest/gtest.h>

namespace
{

TWDataSet dataSet(const QString &name, const QList<double> &values)
{
    TWDataSetValueList list;
    for (qsizetype i = 0; i < values.size(); ++i)
        list.append(TWDataSetValue(QStringLiteral("L%1").arg(i), values.at(i),
                                   QStringLiteral("$%1").arg(values.at(i))));
    return TWDataSet(name, list);
}

TWGraph graph(quint32 type, const TWDataSetList &sets, double scale = 1,
              const TWDataSetValueList &yAxis = {})
{
    return TWGraph(QStringLiteral("Assets - As of 6/30/24"), sets, yAxis, type, QSizeF(858, 480),
                   scale);
}

QPieSeries *pieOf(QChart &chart)
{
    return chart.series().isEmpty() ? nullptr : qobject_cast<QPieSeries *>(chart.series().first());
}

} // namespace

TEST(GraphTest, ImagesHaveTheSizeTimesTheScaleAndThatPixelRatio)
{
    TWChartsGraphRenderer renderer;
    for (double scale : {1.0, 2.0}) {
        for (quint32 type : {quint32(TWGraphTypeBar), quint32(TWGraphTypePie)}) {
            const QImage image =
                renderer.graphImage(graph(type, {dataSet(QString(), {1, 2, 3})}, scale));
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.size(), QSize(int(858 * scale), int(480 * scale)));
            EXPECT_EQ(image.devicePixelRatio(), scale);
        }
    }
    // Neither a bar nor a pie: nothing is drawn.
    EXPECT_TRUE(renderer.graphImage(graph(2, {dataSet(QString(), {1})})).isNull());
    EXPECT_EQ(TWChartsGraphRenderer::chart(graph(2, {dataSet(QString(), {1})})), nullptr);
}

TEST(GraphTest, BarSeriesAreBlueRedGreenWithALegendAtTheBottomFromTwoSets)
{
    const auto two = TWChartsGraphRenderer::chart(
        graph(TWGraphTypeBar, {dataSet(QStringLiteral("Income"), {5, 6}),
                               dataSet(QStringLiteral("Expenses"), {3, 4})}));
    ASSERT_TRUE(two);
    auto *series = qobject_cast<QBarSeries *>(two->series().value(0));
    ASSERT_TRUE(series);
    EXPECT_DOUBLE_EQ(series->barWidth(), 0.9);
    ASSERT_EQ(series->barSets().size(), 2);
    EXPECT_EQ(series->barSets().at(0)->color(), QColor(Qt::blue));
    EXPECT_EQ(series->barSets().at(1)->color(), QColor(Qt::red));
    EXPECT_EQ(series->barSets().at(1)->label(), QStringLiteral("Expenses"));
    EXPECT_TRUE(two->legend()->isVisible());
    EXPECT_EQ(two->legend()->alignment(), Qt::AlignBottom);
    EXPECT_EQ(TWChartsGraphRenderer::barColor(2, 3), QColor(Qt::green));
    EXPECT_EQ(TWChartsGraphRenderer::barColor(5, 6), QColor(Qt::green));

    const auto one = TWChartsGraphRenderer::chart(
        graph(TWGraphTypeBar, {dataSet(QStringLiteral("Assets"), {5, 6})}));
    EXPECT_FALSE(one->legend()->isVisible());
    EXPECT_EQ(qobject_cast<QBarSeries *>(one->series().value(0))->barSets().at(0)->color(),
              QColor(Qt::blue));
}

TEST(GraphTest, TheVerticalAxisCarriesTheTicksAndRoomAboveTheHighestBar)
{
    TWDataSetValueList ticks{TWDataSetValue(QString(), 0, QStringLiteral("$0")),
                             TWDataSetValue(QString(), 500, QStringLiteral("$500")),
                             TWDataSetValue(QString(), 1000, QStringLiteral("$1,000")),
                             TWDataSetValue(QString(), 5000, QStringLiteral("$5,000"))};
    const TWGraph bars = graph(TWGraphTypeBar, {dataSet(QString(), {-200.7, 1000.9})}, 1, ticks);
    const auto chart = TWChartsGraphRenderer::chart(bars);
    const QList<QAbstractAxis *> axes = chart->axes(Qt::Vertical);
    ASSERT_EQ(axes.size(), 1);
    auto *y = qobject_cast<QCategoryAxis *>(axes.first());
    ASSERT_TRUE(y);
    // A tick beyond the range is left out (it would be drawn off its place).
    EXPECT_EQ(y->categoriesLabels(), (QStringList{"$0", "$500", "$1,000"}));
    EXPECT_DOUBLE_EQ(y->endValue(QStringLiteral("$500")), 500);
    // Whole numbers: -200 up to 1,100 (a tenth above 1,000).
    EXPECT_DOUBLE_EQ(y->min(), -200);
    EXPECT_DOUBLE_EQ(y->max(), 1100);

    // Bars that are all 0 still get a range that can be drawn.
    const TWGraph zero = graph(TWGraphTypeBar, {dataSet(QString(), {0, 0, 0})});
    EXPECT_EQ(TWChartsGraphRenderer::barRange(zero), std::make_pair(0.0, 1.0));
    const auto zeroChart = TWChartsGraphRenderer::chart(zero);
    auto *zeroAxis = qobject_cast<QCategoryAxis *>(zeroChart->axes(Qt::Vertical).value(0));
    ASSERT_TRUE(zeroAxis);
    EXPECT_DOUBLE_EQ(zeroAxis->min(), 0);
    EXPECT_DOUBLE_EQ(zeroAxis->max(), 1);
    // All negative: the top is 0.
    EXPECT_EQ(
        TWChartsGraphRenderer::barRange(graph(TWGraphTypeBar, {dataSet(QString(), {-5, -9})})),
        std::make_pair(-9.0, 0.0));
}

TEST(GraphTest, PieSlicesAboveTwoPercentShowTheirAmountAndTheLegendNamesThem)
{
    const auto chart =
        TWChartsGraphRenderer::chart(graph(TWGraphTypePie, {dataSet(QString(), {2, 2.1, 95.9})}));
    QPieSeries *pie = pieOf(*chart);
    ASSERT_TRUE(pie);
    EXPECT_DOUBLE_EQ(pie->pieSize(), 0.85);
    ASSERT_EQ(pie->slices().size(), 3);
    EXPECT_FALSE(pie->slices().at(0)->isLabelVisible()); // exactly 2 %
    EXPECT_TRUE(pie->slices().at(1)->isLabelVisible());  // 2.1 %
    EXPECT_EQ(pie->slices().at(1)->label(), QStringLiteral("$2.1"));
    EXPECT_EQ(chart->legend()->alignment(), Qt::AlignRight);
    const QList<QLegendMarker *> markers = chart->legend()->markers(pie);
    ASSERT_EQ(markers.size(), 3);
    EXPECT_EQ(markers.at(2)->label(), QStringLiteral("L2"));

    // Texts only when the pie is the graph's one data set.
    const auto two = TWChartsGraphRenderer::chart(
        graph(TWGraphTypePie, {dataSet(QString(), {50, 50}), dataSet(QString(), {1})}));
    EXPECT_FALSE(pieOf(*two)->slices().at(0)->isLabelVisible());
}

TEST(GraphTest, AnAllZeroPieHasEqualSlicesWithoutTexts)
{
    const auto chart =
        TWChartsGraphRenderer::chart(graph(TWGraphTypePie, {dataSet(QString(), {0, 0, 0, 0})}));
    QPieSeries *pie = pieOf(*chart);
    ASSERT_TRUE(pie);
    ASSERT_EQ(pie->slices().size(), 4);
    for (QPieSlice *slice : pie->slices()) {
        EXPECT_DOUBLE_EQ(slice->percentage(), 0.25);
        EXPECT_FALSE(slice->isLabelVisible());
    }
    EXPECT_EQ(TWChartsGraphRenderer::pieShares(dataSet(QString(), {0, 0})), (QList<double>{0, 0}));
}

TEST(GraphTest, ABarIsDrawnBlueAtItsCentre)
{
    TWChartsGraphRenderer renderer;
    for (double scale : {1.0, 2.0}) {
        const QImage image =
            renderer.graphImage(graph(TWGraphTypeBar, {dataSet(QString(), {100})}, scale));
        ASSERT_FALSE(image.isNull());
        // One bar fills the middle of the plot up to 100 of 110.
        const QColor centre = image.pixelColor(QPoint(int(469 * scale), int(250 * scale)));
        EXPECT_GT(centre.blue(), 200) << scale;
        EXPECT_LT(centre.red(), 60) << scale;
        EXPECT_LT(centre.green(), 60) << scale;
        // Above the bar, the plot is white.
        const QColor above = image.pixelColor(QPoint(int(469 * scale), int(30 * scale)));
        EXPECT_GT(above.red(), 200) << scale;
    }
}

// Many ticks on a short axis: labels are left out, never shortened. Every
// label drawn is one tick's whole text, and 0 keeps its label.
TEST(GraphTest, CrowdedVerticalAxisDrawsWholeLabelsOnly)
{
    TWDataSetValueList ticks;
    QStringList texts;
    for (int i = -4; i < 21; ++i) {
        const double value = i * 50000000.0;
        const QString text = QLocale(QLocale::English, QLocale::UnitedStates)
                                 .toCurrencyString(value / 100.0, QStringLiteral("$"));
        ticks.append(TWDataSetValue(QString(), value, text));
        texts.append(text);
    }
    const QString zero = ticks.at(4).formattedValue();
    for (const QSizeF size : {QSizeF(858, 480), QSizeF(600, 300), QSizeF(400, 160)}) {
        const TWGraph bars(QStringLiteral("Income - 2024"),
                           {dataSet(QStringLiteral("Income"), {-150000000, 900000000, 30000000}),
                            dataSet(QStringLiteral("Expenses"), {20000000, 40000000, 950000000})},
                           ticks, TWGraphTypeBar, size, 2.0);
        const auto scene = TWChartsGraphRenderer::scene(bars);
        ASSERT_TRUE(scene);
        const QStringList drawn = TWChartsGraphRenderer::drawnVerticalLabels(*scene);
        EXPECT_GE(drawn.size(), size.height() > 200 ? 2 : 1) << size.width();
        for (const QString &label : drawn)
            EXPECT_TRUE(texts.contains(label)) << qPrintable(label) << " at " << size.width();
        EXPECT_TRUE(drawn.contains(zero)) << size.width();
    }
    // Few ticks on a tall axis: all of them.
    const TWGraph few(QStringLiteral("Few"), {dataSet(QString(), {100000000, 90000000})},
                      ticks.mid(4, 3), TWGraphTypeBar, QSizeF(858, 480), 1.0);
    const auto scene = TWChartsGraphRenderer::scene(few);
    ASSERT_TRUE(scene);
    QStringList drawn = TWChartsGraphRenderer::drawnVerticalLabels(*scene);
    drawn.sort();
    QStringList expected = texts.mid(4, 3);
    expected.sort();
    EXPECT_EQ(drawn, expected);
}
