// What a client reads: no text drawn over another, nothing under the page's
// bands, notes running on under their row, totals on a page of their own, and
// every script drawn, on both built-in layouts and on Letter and A4 paper.

#include "TWInvoiceRenderSupport.h"

#include "foundation/TWLocalized.h"
#include "platform/TWFontResolver.h"

#include <QCoreApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QProcess>
#include <QTemporaryDir>

namespace
{

struct Rendered {
    QByteArray pdf;
    QList<TWDrawnText> texts;
    int pages = 0;
    QList<TWDrawnText> images;

    QList<TWDrawnText> on(int page) const
    {
        QList<TWDrawnText> result;
        for (const TWDrawnText &text : texts) {
            if (text.page == page)
                result.append(text);
        }
        return result;
    }
    // The first page a run starting with `prefix` is drawn on; 0 for none.
    int pageOf(const QString &prefix) const
    {
        for (const TWDrawnText &text : texts) {
            if (text.text.startsWith(prefix))
                return text.page;
        }
        return 0;
    }
};

Rendered draw(const TWSendInvoiceDataPtr &data, const std::optional<QPageLayout> &paper)
{
    TWInvoiceOperation operation(data->copy(), paper);
    operation.setRecordsDrawnTexts(true);
    operation.main();
    EXPECT_OK(operation.error());
    const QByteArray dump = qgetenv("TW_INVOICE_DUMP_DIR");
    if (!dump.isEmpty()) {
        static int counter = 0;
        QFile file(QStringLiteral("%1/flow-%2-%3.pdf")
                       .arg(QString::fromLocal8Bit(dump),
                            data->layout() ? data->layout()->name() : QString())
                       .arg(++counter));
        if (file.open(QIODevice::WriteOnly))
            file.write(operation.pdfData());
    }
    return {operation.pdfData(), operation.drawnTexts(), operation.pageCount(),
            operation.drawnImages()};
}

std::optional<QPageLayout> paper(QPageSize::PageSizeId id)
{
    return QPageLayout(QPageSize(id), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                       QPageLayout::Point);
}

// Every pair of runs on a page that share more than a hair of area.
QStringList overlaps(const Rendered &rendered)
{
    QStringList found;
    for (int page = 1; page <= rendered.pages; ++page) {
        const QList<TWDrawnText> texts = rendered.on(page);
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const QRectF a = texts.at(i).rect.adjusted(0.5, 0.5, -0.5, -0.5);
            for (qsizetype j = i + 1; j < texts.size(); ++j) {
                if (a.intersects(texts.at(j).rect.adjusted(0.5, 0.5, -0.5, -0.5)))
                    found.append(QStringLiteral("page %1: \"%2\" and \"%3\"")
                                     .arg(page)
                                     .arg(texts.at(i).text.left(40), texts.at(j).text.left(40)));
            }
        }
    }
    return found;
}

const QStringList kLayouts{QStringLiteral("Classic"), QStringLiteral("Modern")};

} // namespace

TEST(InvoicePageFlowTest, InvoiceBlockRowsFlowBelowALongName)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    render.bill({render.addTask(twLocal(2024, 5, 2), QStringLiteral("Design"), 5000, 2)}, {});
    const QString words =
        QStringLiteral("Consulting services for May 2024, website rebuild phase 2 ");
    for (const QString &layout : kLayouts) {
        for (const int length : {10, 30, 120}) {
            TWSendInvoiceDataPtr data = render.data(layout);
            data->setInvoiceName(words.repeated(3).left(length).trimmed());
            const Rendered rendered = draw(data, std::nullopt);
            ASSERT_EQ(rendered.pages, 1);
            EXPECT_EQ(overlaps(rendered), QStringList()) << layout << " " << length;
            // The number still sits below the whole name.
            const int name = rendered.pageOf(data->invoiceName());
            ASSERT_EQ(name, 1);
            QRectF nameRect;
            QRectF numberRect;
            for (const TWDrawnText &text : rendered.texts) {
                if (text.text == data->invoiceName())
                    nameRect = text.rect;
                if (text.text == data->invoiceNumber())
                    numberRect = text.rect;
            }
            EXPECT_LE(numberRect.y() + numberRect.height(), nameRect.y() + 1)
                << layout << " " << length;
        }
    }
}

TEST(InvoicePageFlowTest, RowsStopAboveTheBottomBandOnEveryPaper)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    TWTaskList tasks;
    for (int i = 0; i < 70; ++i)
        tasks.append(render.addTask(twLocal(2024, 5, 1 + i % 28),
                                    QStringLiteral("Row %1 of the long table").arg(i + 1), 4000,
                                    1.5));
    render.bill(tasks, {});
    for (const QString &layout : kLayouts) {
        for (const QPageSize::PageSizeId id : {QPageSize::Letter, QPageSize::A4, QPageSize::A5}) {
            TWSendInvoiceDataPtr data = render.data(layout);
            data->setInvoiceFooter(QStringLiteral("Thank you for your business"));
            data->setDisplayBits(data->displayBits() | (quint64(1) << TWDisplayFooter));
            const Rendered rendered = draw(data, paper(id));
            const QString where = layout + QLatin1String(id == QPageSize::A4   ? " A4"
                                                         : id == QPageSize::A5 ? " A5"
                                                                               : " Letter");
            ASSERT_GE(rendered.pages, 2) << where;
            EXPECT_EQ(overlaps(rendered), QStringList()) << where;
            // Modern's bands are placed from the paper's top edge as the
            // layout gives them (on Letter, at its top and bottom edges,
            // clear of the text); one that would fall below shorter paper
            // sits at its bottom edge.
            const double height = QPageSize(id).sizePoints().height();
            for (const TWDrawnText &image : rendered.images) {
                const double fromTop = height - image.rect.y() - image.rect.height();
                EXPECT_TRUE(fromTop == 0 || fromTop == 778 || (height < 792 && image.rect.y() == 0))
                    << where << " " << image.rect.y();
                if (id != QPageSize::Letter)
                    continue;
                for (const TWDrawnText &text : rendered.on(image.page))
                    EXPECT_FALSE(text.rect.intersects(image.rect))
                        << where << " page " << image.page << " " << text.text;
            }
            if (layout == QLatin1String("Modern")) {
                EXPECT_EQ(rendered.images.size(), 2 * rendered.pages) << where;
            }
            // Every row is there, once.
            for (int i = 1; i <= 70; ++i)
                EXPECT_GT(rendered.pageOf(QStringLiteral("Row %1 of").arg(i)), 0) << where << i;
            TWReadPdf read(rendered.pdf);
            ASSERT_TRUE(read.ok());
            EXPECT_NEAR(read.document.pagePointSize(0).height(), height, 1);
        }
    }
}

TEST(InvoicePageFlowTest, NotesRunOverUnderTheirRowAndTotalsStartAPageOfTheirOwn)
{
    TWFixedClock clock(2024, 6, 15);
    for (const QString &layout : kLayouts) {
        TWRenderBook render = twRenderBook();
        ASSERT_TRUE(render.book.business);
        TWTaskList tasks;
        for (int i = 0; i < 40; ++i) {
            const QString notes = QStringLiteral("Notes of item %1: ").arg(i + 1) +
                                  QStringLiteral("call, review and changes. ").repeated(1 + i % 7);
            tasks.append(render.addTask(twLocal(2024, 5, 1 + i % 28),
                                        QStringLiteral("Item %1").arg(i + 1), 3000, 1, 0, notes));
        }
        // Plain rows that end at every height of a page, then one row with
        // notes of a dozen lines.
        TWTaskList plain;
        for (int i = 0; i < 45; ++i)
            plain.append(render.addTask(twLocal(2024, 5, 1), QStringLiteral("Plain %1").arg(i + 1),
                                        3000, 1));
        plain.append(render.addTask(twLocal(2024, 5, 2), QStringLiteral("Last"), 3000, 1, 0,
                                    QStringLiteral("Spilt note words. ").repeated(60)));
        render.bill(tasks + plain, {});
        TWSendInvoiceDataPtr base = render.data(layout);
        const TWInvoiceItemList all = base->items();
        const auto itemsNamed = [&all](const QString &prefix, int count) {
            TWInvoiceItemList items;
            for (const TWInvoiceItemPtr &item : all)
                if (item->name().startsWith(prefix) && items.size() < count)
                    items.append(item);
            return items;
        };
        const QString header = base->itemDescriptionLabel();
        const QString due = base->totalDueLabel();
        ASSERT_FALSE(header.isEmpty());

        bool totalsMoved = false;
        for (int count = 12; count <= 40; ++count) {
            TWSendInvoiceDataPtr data = base->copy();
            data->setItems(itemsNamed(QStringLiteral("Item "), count));
            const Rendered rendered = draw(data, paper(QPageSize::A4));
            for (int i = 1; i <= count; ++i) {
                const int row = rendered.pageOf(QStringLiteral("Item %1").arg(i));
                const int notes = rendered.pageOf(QStringLiteral("Notes of item %1:").arg(i));
                EXPECT_TRUE(notes == row || notes == row + 1) << layout << " " << count << " " << i;
            }
            // Totals without rows or notes on their page stand without the
            // table's header.
            const int totals = rendered.pageOf(due);
            ASSERT_GT(totals, 0);
            bool headed = false;
            bool rows = false;
            for (const TWDrawnText &text : rendered.on(totals)) {
                headed = headed || text.text == header;
                rows = rows || text.text.startsWith(QStringLiteral("Item ")) ||
                       text.text.contains(QStringLiteral("call, review"));
            }
            EXPECT_EQ(headed, rows) << layout << " " << count;
            totalsMoved = totalsMoved || !rows;
        }
        EXPECT_TRUE(totalsMoved) << "no count moved the totals alone; the test lost its case";

        // A row that fits stays on its page, however long its notes.
        bool ranOver = false;
        for (int count = 10; count <= 45; ++count) {
            TWSendInvoiceDataPtr data = base->copy();
            data->setItems(itemsNamed(QStringLiteral("Plain "), count) +
                           itemsNamed(QStringLiteral("Last"), 1));
            const Rendered rendered = draw(data, paper(QPageSize::A4));
            const int row = rendered.pageOf(QStringLiteral("Last"));
            for (const TWDrawnText &text : rendered.texts) {
                if (text.text.contains(QStringLiteral("Spilt")))
                    ranOver = ranOver || text.page > row;
            }
        }
        EXPECT_TRUE(ranOver) << layout << ": no row's notes ran over to the next page";
    }

    // A row whose notes are taller than a page splits, under a header on
    // every page it reaches.
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    render.bill({render.addTask(twLocal(2024, 5, 2), QStringLiteral("Long"), 3000, 1, 0,
                                QStringLiteral("An endless note. ").repeated(900))},
                {});
    TWSendInvoiceDataPtr data = render.data();
    const Rendered rendered = draw(data, std::nullopt);
    ASSERT_GE(rendered.pages, 3);
    for (int page = 1; page <= rendered.pages; ++page) {
        bool notes = false;
        bool headed = false;
        for (const TWDrawnText &text : rendered.on(page)) {
            notes = notes || text.text.contains(QStringLiteral("endless"));
            headed = headed || text.text == data->itemDescriptionLabel();
        }
        if (notes) {
            EXPECT_TRUE(headed) << page;
        }
    }
}

namespace
{

// Characters drawn as the missing-glyph box (glyph 0) when `text` is laid
// out in `font`.
int missingGlyphs(const QString &text, const QFont &font)
{
    TWTextAttributes attributes;
    attributes.hasFont = true;
    attributes.font = font;
    int missing = 0;
    for (const QGlyphRun &run : TWInvoiceOperation::glyphRuns(text, attributes, 400)) {
        for (const quint32 glyph : run.glyphIndexes())
            missing += glyph == 0 ? 1 : 0;
    }
    return missing;
}

} // namespace

TEST(InvoicePageFlowTest, ItalicFacesFallBackToFacesWithTheScript)
{
    const std::optional<QFont> italic =
        TWFontResolver::fontWithName(QStringLiteral("Times-Italic"), 10);
    ASSERT_TRUE(italic);
    const std::optional<QFont> sansItalic =
        TWFontResolver::fontWithName(QStringLiteral("DejaVu Sans Oblique"), 10);
    ASSERT_TRUE(sansItalic);
    QStringList texts{QString::fromUtf8("فاتورة الخدمات"), QString::fromUtf8("חשבונית מס")};
    // With every script's fonts installed, the others too.
    if (qEnvironmentVariableIsEmpty("TW_FONT_FALLBACK_CHILD"))
        texts += {QString::fromUtf8("चालान सेवा"), QString::fromUtf8("ใบแจ้งหนี้"),
                  QString::fromUtf8("請求書 발행")};
    for (const QString &text : texts) {
        EXPECT_EQ(missingGlyphs(text, *italic), 0) << text;
        EXPECT_EQ(missingGlyphs(text, *sansItalic), 0) << text;
        QFont bold = *italic;
        bold.setBold(true);
        EXPECT_EQ(missingGlyphs(text, bold), 0) << text;
    }
    if (!qEnvironmentVariableIsEmpty("TW_FONT_FALLBACK_CHILD"))
        return;

    // Again with only the fonts of a bare system, where the italic face of
    // the one family with Arabic has none: fontconfig's own choice draws
    // boxes there.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile conf(dir.filePath(QStringLiteral("fonts.conf")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(
        QStringLiteral(
            "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">"
            "<fontconfig><include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>"
            "<selectfont><rejectfont><glob>/usr/share/fonts/truetype/noto/*</glob>"
            "<glob>/usr/share/fonts/opentype/noto/*</glob></rejectfont></selectfont>"
            "<cachedir>%1</cachedir></fontconfig>")
            .arg(dir.filePath(QStringLiteral("cache")))
            .toUtf8());
    conf.close();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FONTCONFIG_FILE"), conf.fileName());
    environment.insert(QStringLiteral("TW_FONT_FALLBACK_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral(
                    "--gtest_filter=InvoicePageFlowTest.ItalicFacesFallBackToFacesWithTheScript")});
    ASSERT_TRUE(child.waitForFinished(120000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
}

TEST(InvoicePageFlowTest, QuantitiesFollowTheLocaleAndPicturesAreEmbeddedAtTheSizeShown)
{
    TWFixedClock clock(2024, 6, 15);
    TWLocaleGuard german(QStringLiteral("de_DE"));
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    render.bill({render.addTask(twLocal(2024, 5, 2), QStringLiteral("Hosting"), 540, 12.5)}, {});
    TWSendInvoiceDataPtr data = render.data();
    const Rendered plain = draw(data, std::nullopt);
    TWReadPdf read(plain.pdf);
    ASSERT_TRUE(read.ok());
    const QString text = read.text(0);
    EXPECT_TRUE(text.contains(QStringLiteral("12,5"))) << text;
    EXPECT_FALSE(text.contains(QStringLiteral("12.5"))) << text;
    EXPECT_TRUE(text.contains(QStringLiteral("67,50"))) << text;

    // A camera-sized logo in a frame a third of the page wide.
    QImage logo(3000, 2000, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < logo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(logo.scanLine(y));
        for (int x = 0; x < logo.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = 0xFF000000u | (seed >> 8);
        }
    }
    data->setBusinessLogo(logo);
    data->setDisplayBits(data->displayBits() | (quint64(1) << TWDisplayBusinessLogo));
    const Rendered withLogo = draw(data, std::nullopt);
    // The frame needs under 800 x 550 pixels at 300 dpi: far less than the
    // 24 MB of the picture itself.
    EXPECT_LT(withLogo.pdf.size() - plain.pdf.size(), 2 * 1024 * 1024) << withLogo.pdf.size();
    const QImage shown = TWInvoiceOperation::imageForFrame(logo, QSizeF(187, 125));
    EXPECT_EQ(shown.size(), QSize(780, 520));
    // A picture smaller than its frame needs is kept as it is.
    EXPECT_EQ(TWInvoiceOperation::imageForFrame(logo, QSizeF(1000, 1000)).size(), logo.size());
}
