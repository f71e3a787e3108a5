#include "TWInvoiceRenderSupport.h"
#include "TWLayoutTestSupport.h"

#include "TWInvoiceGeometry.h"

using namespace TWInvoiceGeometry;

namespace {

// An operation on send data with the given layout document, prepared (the
// bounds pass run, nothing painted).
struct Prepared {
    TWTestTempDir dir;
    TWSendInvoiceDataPtr data = std::make_shared<TWSendInvoiceData>();
    std::unique_ptr<TWInvoiceOperation> operation;

    explicit Prepared(const QByteArray &layoutXML, quint64 bits = TWSendInvoiceData::kDefaultDisplayBits)
    {
        data->setDisplayBits(bits);
        data->setHeaderPageLabel(QStringLiteral("Page"));
        const QString path = twWritePackage(dir, QStringLiteral("Test.twlayout"),
                                            {{QStringLiteral("layout.xml"), layoutXML}});
        data->setLayout(TWLayout::layoutWithPath(path, 0, 1));
    }
    TWInvoiceOperation &prepare()
    {
        operation = std::make_unique<TWInvoiceOperation>(data->copy());
        EXPECT_TRUE(operation->prepare());
        return *operation;
    }
};

} // namespace

TEST(InvoiceGeometryTest, PlacingAndRounding)
{
    EXPECT_EQ(positionRect(QRectF(0, 0, 50, 20), QRectF(0, 0, 187, 40), 1, 1),
              QRectF(68, 10, 51, 20));
    EXPECT_EQ(positionRect(QRectF(0, 0, 50, 20), QRectF(0, 0, 187, 40), 2, 0),
              QRectF(137, 20, 50, 20));
    // Other alignment values keep the coordinate.
    EXPECT_EQ(positionRect(QRectF(3, 4, 5, 6), QRectF(0, 0, 100, 100), 7, 9), QRectF(3, 4, 5, 6));
    EXPECT_EQ(integral(QRectF(0.2, 0.7, 10.1, 3)), QRectF(0, 0, 11, 4));

    // Odd strokes fall on half points, even ones stay.
    EXPECT_EQ(strokeAlignedRect(QRectF(10.7, 20.2, 30, 40), 1), QRectF(10.5, 20.5, 30, 40));
    EXPECT_EQ(strokeAlignedRect(QRectF(10.7, 20.2, 30, 40), 2), QRectF(10.7, 20.2, 30, 40));
    QPointF from(0, 10.6), to(100, 10.6);
    strokeAlignedLine(from, to, 1);
    EXPECT_EQ(from, QPointF(0, 10.5));
    EXPECT_EQ(to, QPointF(100, 10.5));
    from = QPointF(10.6, 0);
    to = QPointF(10.6, 50);
    strokeAlignedLine(from, to, 1);
    EXPECT_EQ(from, QPointF(10.5, 0));
    EXPECT_EQ(to, QPointF(10.5, 50));
    // The painter's space is y-down.
    EXPECT_EQ(toPainter(QRectF(10, 732, 100, 50), 792), QRectF(10, 10, 100, 50));
}

TEST(InvoiceGeometryTest, PageGridAndBands)
{
    const QRectF page(20, 20, 572, 752);
    PageGrid grid = pageGrid(page, 0);
    EXPECT_EQ(grid.contentFrame, page);
    EXPECT_DOUBLE_EQ(grid.columnWidth, (572.0 - 10) / 3);
    EXPECT_EQ(pageGrid(page, 2).contentFrame, QRectF(25, 25, 562, 742));

    const double top = 772;
    const auto topLoss = [&](double number, double header, int location) {
        const Bands b = bands(grid, QSizeF(50, number), QSizeF(80, header), QSizeF(), location);
        return top - (b.contentFrame.y() + b.contentFrame.height());
    };
    EXPECT_EQ(topLoss(14, 30, 0), 35);
    EXPECT_EQ(topLoss(40, 30, 0), 45);
    // Neither number nor header: the band still takes 5 points.
    EXPECT_EQ(topLoss(0, 0, 0), 5);
    const Bands bottom = bands(grid, QSizeF(0, 0), QSizeF(0, 0), QSizeF(0, 0), 1);
    EXPECT_EQ(bottom.contentFrame.y(), 25);
    EXPECT_EQ(bottom.contentFrame.height(), 747);
    // A number at the bottom beside a 20-high footer: the footer's 25, then
    // the 10 the number is taller.
    const Bands footer = bands(grid, QSizeF(30, 30), QSizeF(0, 0), QSizeF(60, 20), 1);
    EXPECT_EQ(footer.contentFrame.y(), 20 + 25 + 10);
    EXPECT_EQ(footer.numberBand, QRectF(20, 20, 572, 30));
    EXPECT_FALSE(bands(grid, QSizeF(30, 30), QSizeF(0, 0), QSizeF(0, 0), 4).placed);
}

TEST(InvoiceGeometryTest, TableColumnWidths)
{
    // Without a description column every column shares the room equally.
    TableColumns columns = tableColumns({50, 60, 70}, -1, 562, 1);
    const double gap = 7;
    const double room = 562 - 4 * gap + 6;
    ASSERT_EQ(columns.widths.size(), 3);
    EXPECT_DOUBLE_EQ(columns.widths.at(0) + columns.widths.at(1) + columns.widths.at(2), room);
    EXPECT_DOUBLE_EQ(columns.widths.at(1) - columns.widths.at(0), 10);
    EXPECT_EQ(columns.offsets.at(0), 4);
    // The last column ends w + 3 inside the content frame.
    EXPECT_DOUBLE_EQ(columns.offsets.at(2) + columns.widths.at(2), 562 - 4);

    // The description takes what is left...
    columns = tableColumns({40, 0, 60}, 1, 562, 0);
    EXPECT_DOUBLE_EQ(columns.widths.at(1), 562 - 4 * 6 + 6 - 100);
    EXPECT_EQ(columns.widths.at(0), 40);
    // ...and when it cannot get 100 points, every column gives up the excess.
    columns = tableColumns({300, 0, 250}, 1, 562, 0);
    const double excess = (550 + 100 - (562 - 24 + 6)) / 3.0;
    EXPECT_DOUBLE_EQ(columns.widths.at(1), 100 - excess);
    EXPECT_DOUBLE_EQ(columns.widths.at(0), 300 - excess);
}

TEST(InvoiceGeometryTest, RowsFollowTheLayoutAndTheBandsShrinkTheContent)
{
    TWTestComponents parts;
    parts.client = QStringLiteral(R"(<client column="left" row="3"/>)");
    parts.business = QStringLiteral(R"(<business column="right" row="3"/>)");
    parts.title = QStringLiteral(R"(<title column="left" row="1"/>)");
    parts.invoice = QStringLiteral(R"(<invoice column="center" row="1"/>)");
    parts.table = QStringLiteral(R"(<table row="2"/>)");
    parts.details = QStringLiteral(R"(<details row="9"/>)");
    Prepared prepared(twLayoutXML(QStringLiteral(R"(strokeStyle="solid" strokeWidth="2")"),
                                  QStringLiteral(R"(<number location="bottom" horizontalAlignment="right"/>)"),
                                  &parts));
    prepared.data->setInvoiceNumber(QStringLiteral("N-1"));
    TWInvoiceOperation &operation = prepared.prepare();
    const QList<QStringList> rows{{"componentTitle", "componentInvoice"},
                                  {"componentTable"},
                                  {"componentClient", "componentBusiness"},
                                  {"componentDetails"}};
    EXPECT_EQ(operation.rowComponents(), rows);
    EXPECT_EQ(operation.pageSize(), QSizeF(612, 792));
    // Stroked page: inset 5; the number band at the bottom.
    const QRectF number = operation.strokeFrames().value(QStringLiteral("number"));
    EXPECT_EQ(operation.contentFrame().y(), 25 + number.height() + 5);
    EXPECT_EQ(operation.contentFrame().height() + operation.contentFrame().y(), 767);
    EXPECT_EQ(number.y(), 25);
    EXPECT_EQ(number.x() + number.width(), 587);
    // Columns left, centre and right of the three-column grid.
    EXPECT_EQ(operation.strokeFrames().value(QStringLiteral("componentTitle")).x(), 25);
    EXPECT_EQ(operation.strokeFrames().value(QStringLiteral("componentInvoice")).x(),
              std::floor(25 + operation.columnWidth() + 5));
    EXPECT_GE(operation.strokeFrames().value(QStringLiteral("componentBusiness")).x(),
              25 + 2 * (operation.columnWidth() + 5) - 1);
}

TEST(InvoiceGeometryTest, ComponentFramesAndTotalsBlock)
{
    TWTestComponents parts;
    parts.client = QStringLiteral(
        R"(<client column="left" row="1" strokeStyle="solid" strokeWidth="1"><name/></client>)");
    Prepared prepared(twLayoutXML(QString(), QString(), &parts));
    prepared.data->setClientName(QStringLiteral("Ada"));
    prepared.data->toggleDisplayBit(TWInvoiceDisplayMasks[TWDisplayClientTo], false);
    TWInvoiceOperation &operation = prepared.prepare();
    // A stroked client: inset 4 around its one line.
    const QRectF client = operation.strokeFrames().value(QStringLiteral("componentClient"));
    const QRectF name = operation.stringBounds().value(QStringLiteral("componentClientName"));
    EXPECT_EQ(name.x(), 4);
    EXPECT_EQ(client.width(), name.width() + 8);
    EXPECT_EQ(client.height(), name.height() + 8);
    EXPECT_FALSE(operation.stringBounds().contains(QStringLiteral("componentClientTo")));
    // An unstroked invoice block without any row: just the 5-point gap.
    prepared.data->setDisplayBits(TWSendInvoiceData::kDefaultDisplayBits &
                                  ~(TWInvoiceDisplayMasks[TWDisplayInvoiceName] |
                                    TWInvoiceDisplayMasks[TWDisplayInvoiceNumber] |
                                    TWInvoiceDisplayMasks[TWDisplayInvoiceDate] |
                                    TWInvoiceDisplayMasks[TWDisplayInvoiceDueDate]));
    TWInvoiceOperation &empty = prepared.prepare();
    // (Placing it on a column edge at a fraction may round it to 6.)
    const QRectF invoice = empty.strokeFrames().value(QStringLiteral("componentInvoice"));
    EXPECT_EQ(invoice.height(), 0);
    EXPECT_GE(invoice.width(), 5);
    EXPECT_LE(invoice.width(), 6);
}

TEST(InvoiceGeometryTest, TotalsBlockSize)
{
    TWTestComponents parts;
    parts.table = QStringLiteral(R"(<table row="2" strokeStyle="solid" strokeWidth="1"/>)");
    Prepared prepared(twLayoutXML(QString(), QString(), &parts));
    prepared.data->setTotalSubtotalLabel(QStringLiteral("Subtotal"));
    prepared.data->setTotalTaxLabel(QStringLiteral("Tax"));
    prepared.data->setTotalBalanceLabel(QStringLiteral("Balance"));
    prepared.data->setTotalPaymentsLabel(QStringLiteral("Payments"));
    prepared.data->setTotalDueLabel(QStringLiteral("Total Due"));
    TWInvoiceOperation &operation = prepared.prepare();
    const auto bounds = [&](const char *key) {
        return operation.stringBounds().value(QString::fromLatin1(key));
    };
    const QRectF h = bounds("componentTableTotalsHeaders");
    const QRectF v = bounds("componentTableTotalsValues");
    const QRectF dh = bounds("componentTableTotalsDueHeader");
    const QRectF dv = bounds("componentTableTotalsDueValue");
    // No unit: the amounts have no text, only the labels are measured.
    EXPECT_TRUE(v.isEmpty());
    ASSERT_FALSE(h.isEmpty());
    const double e = 4;
    EXPECT_EQ(h.topLeft(), QPointF(e, e));
    EXPECT_EQ(dh.width(), h.width());
    const QSizeF block = operation.strokeFrames().value(QStringLiteral("componentTableTotals")).size();
    EXPECT_EQ(block.width(), h.width() + 2 * e);
    EXPECT_EQ(block.height(), 4 * h.height() + std::max(dh.height(), dv.height()) + 2 * e + e + 3);
}
