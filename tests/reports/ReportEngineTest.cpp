// The blocks around every report (title, table heading, footer), the cursor,
// the dispatch, graph cells and their images in the writers.

#include "TWReportBooks.h"

#include "export/core/TWSerializer.h"
#include "export/core/TWSerializerPDF.h"
#include "foundation/TWLocalized.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfDocument>

#include <gtest/gtest.h>

namespace
{
// Draws bars and pie slices plainly, enough to look at a rendered report.
class SketchRenderer final : public TWGraphRenderer
{
public:
    int calls = 0;
    QImage graphImage(const TWGraph &graph) override
    {
        ++calls;
        QImage image((graph.size() * graph.scale()).toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(graph.scale(), graph.scale());
        painter.drawText(QRectF(0, 0, graph.size().width(), 20), Qt::AlignCenter, graph.name());
        const QList<QColor> colours{Qt::blue, Qt::red, Qt::darkGreen, Qt::darkYellow};
        if (graph.type() == TWGraphTypePie && !graph.dataSets().isEmpty()) {
            double total = 0;
            for (const TWDataSetValue &v : graph.dataSets().first().values())
                total += v.value();
            int angle = 0, i = 0;
            for (const TWDataSetValue &v : graph.dataSets().first().values()) {
                const int span = total > 0 ? int(5760 * v.value() / total) : 0;
                painter.setBrush(colours.at(i % colours.size()));
                painter.drawPie(QRectF(100, 60, 320, 320), angle, span);
                painter.drawText(QPointF(480, 80 + 18 * i++), v.label() + " " + v.formattedValue());
                angle += span;
            }
        } else if (graph.type() == TWGraphTypeBar) {
            double low = 0, high = 0;
            for (const TWDataSet &set : graph.dataSets()) {
                for (const TWDataSetValue &v : set.values()) {
                    low = std::min(low, v.value());
                    high = std::max(high, v.value());
                }
            }
            const double range = high - low > 0 ? high - low : 1;
            const QRectF plot(100, 30, graph.size().width() - 120, graph.size().height() - 120);
            const double zero = plot.bottom() - (0 - low) / range * plot.height();
            for (const TWDataSetValue &tick : graph.yAxisValues()) {
                const double y = plot.bottom() - (tick.value() - low) / range * plot.height();
                painter.drawText(QRectF(0, y - 8, 95, 16), Qt::AlignRight, tick.formattedValue());
            }
            const qsizetype k = graph.dataSets().size();
            for (qsizetype s = 0; s < k; ++s) {
                const TWDataSetValueList &values = graph.dataSets().at(s).values();
                const double slot = plot.width() / std::max<qsizetype>(1, values.size());
                for (qsizetype i = 0; i < values.size(); ++i) {
                    const double y =
                        plot.bottom() - (values.at(i).value() - low) / range * plot.height();
                    painter.fillRect(
                        QRectF(plot.left() + slot * i + slot * 0.05 + slot * 0.9 / k * s,
                               std::min(y, zero), slot * 0.9 / k, std::abs(zero - y)),
                        colours.at(s % colours.size()));
                    if (s == 0)
                        painter.drawText(
                            QRectF(plot.left() + slot * i, plot.bottom() + 4, slot, 16),
                            Qt::AlignCenter, values.at(i).label());
                }
            }
            painter.drawLine(QPointF(plot.left(), zero), QPointF(plot.right(), zero));
        }
        return image;
    }
};

} // namespace

TEST(ReportEngineTest, FooterKeepsItsGapWithAndWithoutGraphs)
{
    TWFixedClock clock(2025, 1, 10);
    auto business = twMakeReportBooks();
    ASSERT_TRUE(business);
    for (const bool graphs : {false, true}) {
        for (int type = 0; type <= 9; ++type) {
            TWReportPtr report = twMakeReport(TWReportType(type), TWReportDateTypeCustomRange,
                                              twDay(2024, 1, 1), twDay(2024, 12, 31));
            if (type == 0 || type == 7)
                report->setDateType(TWReportDateTypeCustomDate);
            report->setShowGraphs(graphs);
            TWExportReport builder(report, 2.0, *business);
            const TWCellList cells = builder.cells();
            ASSERT_FALSE(cells.isEmpty()) << type;
            quint32 lastTableRow = 0, lastGraphRow = 0;
            int graphCount = 0;
            for (const TWCell &cell : cells) {
                if (cell.table())
                    lastTableRow = std::max(lastTableRow, cell.row());
                if (cell.type() == TWCellTypeGraph) {
                    ++graphCount;
                    lastGraphRow = cell.row();
                    EXPECT_FALSE(cell.table());
                    EXPECT_EQ(cell.justify(), 1u);
                    const TWGraphPtr graph = cell.rawValue().value<TWGraphPtr>();
                    ASSERT_TRUE(graph);
                    EXPECT_EQ(graph->size(), QSizeF(858, 480));
                    EXPECT_EQ(graph->scale(), 2.0);
                    EXPECT_TRUE(graph->graphImage().isNull()); // no renderer
                }
            }
            const TWCell &footer = cells.last();
            EXPECT_EQ(footer.style(), 18u);
            EXPECT_TRUE(footer.value().startsWith("Prepared ")) << type;
            const quint32 before = graphCount ? lastGraphRow : lastTableRow;
            EXPECT_EQ(footer.row(), before + 4) << type << " graphs " << graphs;
            EXPECT_EQ(graphCount > 0, graphs) << type;
        }
    }
    TWExportReport none(twMakeReport(TWReportType(10), TWReportDateTypeAllDates, {}, {}), 1.0,
                        *business);
    EXPECT_TRUE(none.cells().isEmpty());
}

TEST(ReportEngineTest, GraphCellsReachTheWritersAsImages)
{
    TWFixedClock clock(2025, 1, 10);
    auto business = twMakeReportBooks();
    ASSERT_TRUE(business);
    SketchRenderer renderer;
    TWReportPtr report = twMakeReport(TWReportTypeBalanceSheet, TWReportDateTypeCustomDate,
                                      twDay(2024, 12, 31), {}, true, twDay(2023, 12, 31), {}, true);
    TWExportReport builder(report, 1.0, *business, &renderer);
    const TWCellList cells = builder.cells();
    const QList<TWGraphPtr> graphs = twGraphs(cells);
    ASSERT_EQ(graphs.size(), 4);
    EXPECT_EQ(renderer.calls, 4);
    for (const TWCell &cell : cells) {
        if (cell.type() == TWCellTypeGraph) {
            EXPECT_FALSE(TWSerializer::cellGraphImage(cell).isNull());
        }
    }
    // A plain image still works; other values give none.
    QImage plain(4, 4, QImage::Format_RGB32);
    plain.fill(Qt::red);
    EXPECT_EQ(
        TWSerializer::cellGraphImage(TWCell({}, plain, {}, 0, 1, 3, 0, 0, false, false, false, 1)),
        plain);
    EXPECT_TRUE(TWSerializer::cellGraphImage(TWCell({}, QVariant::fromValue(TWGraphPtr()), {}, 0, 1,
                                                    3, 0, 0, false, false, false, 1))
                    .isNull());

    const QByteArray pdf = TWSerializerPDF::serializerWithCells(cells)->data();
    QBuffer buffer;
    buffer.setData(pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    ASSERT_EQ(document.status(), QPdfDocument::Status::Ready);
    QString text;
    for (int page = 0; page < document.pageCount(); ++page)
        text += document.getAllText(page).text();
    EXPECT_TRUE(text.contains("Total Liabilities and Equities"));
    EXPECT_TRUE(text.contains("$18,200.00"));
    if (qEnvironmentVariableIsSet("TW_REPORT_PDF")) {
        // For looking at: this report and an income statement with its graphs.
        QFile out(qEnvironmentVariable("TW_REPORT_PDF"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(pdf);
        TWExportReport income(twMakeReport(TWReportTypeIncome, TWReportDateTypeCustomRange,
                                           twDay(2023, 1, 1), twDay(2024, 12, 31), false, {}, {},
                                           true),
                              1.0, *business, &renderer);
        QFile incomeOut(qEnvironmentVariable("TW_REPORT_PDF") + ".income.pdf");
        ASSERT_TRUE(incomeOut.open(QIODevice::WriteOnly));
        incomeOut.write(TWSerializerPDF::serializerWithCells(income.cells())->data());
    }
}
