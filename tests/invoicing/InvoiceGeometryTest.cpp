#include "TWInvoiceRenderSupport.h"
#include "TWLayoutTestSupport.h"

#include "invoicing/render/TWInvoiceGeometry.h"

using namespace TWInvoiceGeometry;

namespace
{

// An operation on send data with the given layout document, prepared (the
// bounds pass run, nothing painted).
struct Prepared {
    TWTestTempDir dir;
    TWSendInvoiceDataPtr data = std::make_shared<TWSendInvoiceData>();
    std::unique_ptr<TWInvoiceOperation> operation;

    explicit Prepared(const QByteArray &layoutXML,
                      quint64 bits = TWSendInvoiceData::kDefaultDisplayBits)
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

TEST(InvoiceGeometryTest, RowsFollowTheLayoutAndTheBandsShrinkTheContent)
{
    TWTestComponents parts;
    parts.client = QStringLiteral(R"(<client column="left" row="3"/>)");
    parts.business = QStringLiteral(R"(<business column="right" row="3"/>)");
    parts.title = QStringLiteral(R"(<title column="left" row="1"/>)");
    parts.invoice = QStringLiteral(R"(<invoice column="center" row="1"/>)");
    parts.table = QStringLiteral(R"(<table row="2"/>)");
    parts.details = QStringLiteral(R"(<details row="9"/>)");
    Prepared prepared(twLayoutXML(
        QStringLiteral(R"(strokeStyle="solid" strokeWidth="2")"),
        QStringLiteral(R"(<number location="bottom" horizontalAlignment="right"/>)"), &parts));
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

TEST(InvoiceGeometryTest, AnInformationLabelSitsLevelWithTheLastLineOfItsWrappedValue)
{
    Prepared prepared(twLayoutXML(QString(), QString()));
    prepared.data->setInvoiceNameLabel(QStringLiteral("Name"));
    prepared.data->setInvoiceName(
        QStringLiteral("Design, build and launch of the new shop front with its catalogue, "
                       "checkout and the first season of changes"));
    prepared.data->setInvoiceNumberLabel(QStringLiteral("Number"));
    prepared.data->setInvoiceNumber(QStringLiteral("N-1"));
    TWInvoiceOperation &operation = prepared.prepare();
    const auto &bounds = operation.stringBounds();
    const QRectF nameLabel = bounds.value(QStringLiteral("componentInvoiceNameLabel"));
    const QRectF name = bounds.value(QStringLiteral("componentInvoiceName"));
    const QRectF numberLabel = bounds.value(QStringLiteral("componentInvoiceNumberLabel"));
    const QRectF number = bounds.value(QStringLiteral("componentInvoiceNumber"));
    ASSERT_FALSE(nameLabel.isEmpty());
    ASSERT_FALSE(name.isEmpty());
    // The name wraps; its one-line label shares its bottom edge (page
    // coordinates grow upward), level with the name's last line.
    EXPECT_GT(name.height(), 2 * nameLabel.height() - 1);
    EXPECT_EQ(nameLabel.y(), name.y());
    EXPECT_LT(nameLabel.y() + nameLabel.height(), name.y() + name.height());
    // The next row starts below the wrapped name and keeps to one line.
    EXPECT_EQ(numberLabel.y(), number.y());
    EXPECT_LE(number.y() + number.height(), name.y());
    EXPECT_GT(nameLabel.x() + nameLabel.width(), 0);
    EXPECT_LT(nameLabel.x() + nameLabel.width(), name.x());
}
