#include "TWLayoutTestSupport.h"

#include "TWFontResolver.h"
#include "TWLayoutManager.h"
#include "TWLocalized.h"
#include "TWXMLParser.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QRectF>
#include <QtEndian>

#include <zlib.h>

namespace {

QByteArray pngBytes(int width, int height, int dotsPerInch = 72)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    image.setDotsPerMeterX(qRound(dotsPerInch / 0.0254));
    image.setDotsPerMeterY(qRound(dotsPerInch / 0.0254));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A PNG whose header claims a huge picture; its data would never be read.
QByteArray hugePngHeader(quint32 width, quint32 height)
{
    QByteArray chunk("IHDR");
    char numbers[8];
    qToBigEndian(width, numbers);
    qToBigEndian(height, numbers + 4);
    chunk.append(numbers, 8);
    chunk.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    char length[4];
    qToBigEndian(quint32(13), length);
    png.append(length, 4).append(chunk);
    char crc[4];
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef *>(chunk.constData()),
                               uInt(chunk.size()))),
                 crc);
    png.append(crc, 4);
    png.append(QByteArray(64, '\0'));
    return png;
}

QString text(const TWErrorResult &error)
{
    return error ? error->localizedDescription() : QString();
}

// The description an error with a value gets.
QString withValue(const char *key, const QString &value)
{
    return TWLocalized(key) + QStringLiteral(": ") + value;
}

} // namespace

TEST(LayoutPackageTest, EveryBuiltInLayoutLoadsWithInstalledFonts)
{
    const QStringList entries = QDir(TWLayoutManager::builtInLayoutsFolder()).entryList();
    ASSERT_TRUE(entries.contains(QStringLiteral("Classic.twlayout")));
    ASSERT_GE(entries.size(), 2);
    for (const QString &entry : entries) {
        SCOPED_TRACE(entry.toStdString());
        TWLayoutPtr layout =
            TWLayout::layoutWithPath(TWLayoutManager::builtInLayoutsFolder() + entry, 0, 0);
        ASSERT_FALSE(layout->load()) << text(layout->load()).toStdString();
        for (auto it = layout->settings().cbegin(); it != layout->settings().cend(); ++it) {
            const QVariant font = it.value().toMap().value(QStringLiteral("font"));
            if (!font.isValid())
                continue;
            // fontconfig substitutes silently; the font really used must be
            // the family asked for.
            const QFont asked = font.value<QFont>();
            EXPECT_EQ(QFontInfo(asked).family().section(QStringLiteral(" ["), 0, 0), asked.family())
                << it.key().toStdString();
        }
    }
    // Classic has every piece the renderer can draw.
    TWLayoutPtr classic = TWLayout::layoutWithPath(
        TWLayoutManager::builtInLayoutsFolder() + QStringLiteral("Classic.twlayout"), 0, 0);
    ASSERT_FALSE(classic->load());
    for (const char *key : {"page", "number", "header", "footer", "overlayPaid", "overlayOverdue",
                            "componentClient", "componentBusiness", "componentTitle",
                            "componentInvoice", "componentTable", "componentDetails"})
        EXPECT_TRUE(classic->settings().contains(QString::fromLatin1(key))) << key;
    EXPECT_EQ(twElement(classic, "componentTable").value(QStringLiteral("strokeStyle")), 1);
}

TEST(LayoutPackageTest, FontNamesResolveToInstalledFamilies)
{
    const auto family = [](const char *name) {
        const std::optional<QFont> font = TWFontResolver::fontWithName(QString::fromLatin1(name), 12);
        return font ? font->family() : QString();
    };
    EXPECT_EQ(family("Times Roman"), QStringLiteral("Nimbus Roman"));
    EXPECT_EQ(family("Times-Roman"), QStringLiteral("Nimbus Roman"));
    EXPECT_EQ(family("Arial"), QStringLiteral("Nimbus Sans"));
    EXPECT_EQ(family("Courier New"), QStringLiteral("Nimbus Mono PS"));
    const std::optional<QFont> boldItalic =
        TWFontResolver::fontWithName(QStringLiteral("Helvetica-Bold Italic"), 9.5);
    ASSERT_TRUE(boldItalic);
    EXPECT_TRUE(boldItalic->bold());
    EXPECT_TRUE(boldItalic->italic());
    EXPECT_EQ(boldItalic->pointSizeF(), 9.5);
    EXPECT_EQ(family("DejaVu Sans Bold"), QStringLiteral("DejaVu Sans"));
    EXPECT_FALSE(TWFontResolver::fontWithName(QStringLiteral("No Such Font"), 12));
    EXPECT_FALSE(TWFontResolver::fontWithName(QStringLiteral("Bold"), 12));
    EXPECT_FALSE(TWFontResolver::fontWithName(QStringLiteral("Helvetica"), 0));
}

TEST(LayoutPackageTest, ColourForms)
{
    QColor colour;
    ASSERT_FALSE(TWLayout::parseXMLColour(QStringLiteral("#FF0000"), &colour));
    EXPECT_EQ(colour.rgba(), qRgba(255, 0, 0, 255));
    ASSERT_FALSE(TWLayout::parseXMLColour(QStringLiteral("#80ff0000"), &colour));
    EXPECT_FLOAT_EQ(colour.alphaF(), 128.0f / 255.0f);
    EXPECT_EQ(colour.red(), 255);
    // A pair that does not start with a hexadecimal digit reads as 0.
    ASSERT_FALSE(TWLayout::parseXMLColour(QStringLiteral("#GG00A0"), &colour));
    EXPECT_EQ(colour.rgba(), qRgba(0, 0, 160, 255));
    for (const char *bad : {"FF0000", "#F00", "#FF00000", "", "#FF0000FF00"}) {
        const TWErrorResult error = TWLayout::parseXMLColour(QString::fromLatin1(bad), nullptr);
        ASSERT_TRUE(error) << bad;
        EXPECT_EQ(error->domain(), TWLayoutErrorDomain);
        EXPECT_EQ(error->code(), -1);
        EXPECT_EQ(error->localizedDescription(),
                  withValue("invalidColorFormat", QString::fromLatin1(bad)));
    }
}

TEST(LayoutPackageTest, PageSettingsAreInheritedByTextNotByStrokes)
{
    TWTestTempDir dir;
    TWTestComponents parts;
    parts.client = QStringLiteral(
        R"(<client column="left" row="1" horizontalAlignment="right"><to fillColor="#00FF00"/><name textSize="20"/><company font="Courier"/></client>)");
    TWLayoutPtr layout;
    ASSERT_FALSE(twLoadXML(dir,
                           twLayoutXML(QStringLiteral(
                                           R"(font="Helvetica" textSize="11" textColor="#0000FF" strokeColor="#00FF00" textUnderline="double")"),
                                       QStringLiteral(R"(<header horizontalAlignment="center"/><number/>)"), &parts),
                           &layout));
    const QVariantMap page = twElement(layout, "page");
    EXPECT_EQ(page.keys(), (QStringList{"fillColour", "font", "strokeColour", "strokeStyle",
                                         "strokeWidth", "textColour", "textUnderline"}));
    const QVariantMap to = twElement(layout, "componentClientTo");
    EXPECT_EQ(to.keys(),
              (QStringList{"font", "horizontalAlignment", "textColour", "textUnderline"}));
    EXPECT_EQ(to.value("textColour").value<QColor>(), QColor(Qt::blue));
    EXPECT_EQ(to.value("textUnderline"), 2);
    // The component's alignment, since text parts have none of their own.
    EXPECT_EQ(to.value("horizontalAlignment"), 2);
    EXPECT_EQ(to.value("font").value<QFont>().family(), QStringLiteral("Nimbus Sans"));
    EXPECT_EQ(to.value("font").value<QFont>().pointSizeF(), 11.0);
    const QFont name = twElement(layout, "componentClientName").value("font").value<QFont>();
    EXPECT_EQ(name.family(), QStringLiteral("Nimbus Sans"));
    EXPECT_EQ(name.pointSizeF(), 20.0);
    const QFont company = twElement(layout, "componentClientCompany").value("font").value<QFont>();
    EXPECT_EQ(company.family(), QStringLiteral("Nimbus Mono PS"));
    EXPECT_EQ(company.pointSizeF(), 11.0);
    // Strokes are not inherited; fills default to clear.
    const QVariantMap client = twElement(layout, "componentClient");
    EXPECT_EQ(client.value("strokeColour").value<QColor>(), QColor(Qt::black));
    EXPECT_EQ(client.value("fillColour").value<QColor>().alpha(), 0);
    EXPECT_EQ(client.value("strokeWidth").toFloat(), 1.0f);
    EXPECT_EQ(client.value("strokeStyle"), 0);
    // Without "location" the number carries no key (it is placed at the top).
    EXPECT_FALSE(twElement(layout, "number").contains(QStringLiteral("location")));
    // The fixed defaults of the page itself.
    ASSERT_FALSE(twLoadXML(dir, twLayoutXML(QString(), QString()), &layout));
    const QFont defaultFont = twElement(layout, "page").value("font").value<QFont>();
    EXPECT_EQ(defaultFont.family(), QStringLiteral("Nimbus Roman"));
    EXPECT_EQ(defaultFont.pointSizeF(), 12.0);
    EXPECT_FALSE(layout->settings().contains(QStringLiteral("images")));
}

TEST(LayoutPackageTest, NamesAndKeywordsFollowTheirCaseRules)
{
    TWTestTempDir dir;
    // Element names and keywords ignore case; attribute names do not.
    TWLayoutPtr layout;
    QByteArray xml = twLayoutXML(QStringLiteral(R"(TextColor="#FF0000")"),
                                 QStringLiteral(R"(<HEADER horizontalAlignment="Center"/>)"));
    xml.replace("<page ", "<Page ").replace("</page>", "</Page>");
    ASSERT_FALSE(twLoadXML(dir, xml, &layout));
    EXPECT_EQ(twElement(layout, "page").value("textColour").value<QColor>(), QColor(Qt::black));
    EXPECT_EQ(twElement(layout, "header").value("horizontalAlignment"), 1);

    const auto refusal = [&](const QByteArray &document) { return text(twLoadXML(dir, document)); };
    QByteArray versionless = twLayoutXML(QString(), QString());
    versionless.replace("version=\"1.0\" type", "VERSION=\"1.0\" type");
    EXPECT_EQ(refusal(versionless), withValue("unsupportedLayoutVersion", QString()));
    QByteArray longVersion = twLayoutXML(QString(), QString());
    longVersion.replace("version=\"1.0\" type", "version=\"1.00\" type");
    EXPECT_EQ(refusal(longVersion), withValue("unsupportedLayoutVersion", "1.00"));
    EXPECT_EQ(refusal("<Layout version=\"1.0\" type=\"INVOICE\"/>"), TWLocalized("missingPageElement"));
    EXPECT_EQ(refusal("<layout version=\"1.0\" type=\"bill\"><page/></layout>"),
              withValue("unsupportedLayoutType", "bill"));
    EXPECT_EQ(refusal("<invoice version=\"1.0\"/>"), withValue("invalidRootElement", "invoice"));
    EXPECT_EQ(refusal(twLayoutXML(QString(), QStringLiteral(R"(<footer horizontalAlignment="middle"/>)"))),
              withValue("invalidHorizontalAlignmentValue", "middle"));
    EXPECT_EQ(refusal(twLayoutXML(QStringLiteral(R"(textUnderline="thick")"), QString())),
              withValue("invalidUnderlineValue", "thick"));
    EXPECT_EQ(refusal(twLayoutXML(QStringLiteral(R"(strokeStyle="dotted")"), QString())),
              withValue("invalidStrokeStyleValue", "dotted"));
    EXPECT_EQ(refusal(twLayoutXML(QString(), QStringLiteral(R"(<number location="middle"/>)"))),
              withValue("invalidLocationValue", "middle"));
    EXPECT_EQ(refusal(twLayoutXML(QStringLiteral(R"(font="Nowhere Sans")"), QString())),
              withValue("fontNotAvailable", "Nowhere Sans"));
    TWTestComponents parts;
    parts.client = QStringLiteral(R"(<client column="2" row="1"/>)");
    EXPECT_EQ(refusal(twLayoutXML(QString(), QString(), &parts)),
              withValue("invalidColumnValue", "2"));
    parts.client = QStringLiteral(R"(<client column="left" row="1" verticalAlignment="up"/>)");
    EXPECT_EQ(refusal(twLayoutXML(QString(), QString(), &parts)),
              withValue("invalidVerticalAlignmentValue", "up"));
    // A member named otherwise than exactly "layout.xml" is not the layout.
    TWLayoutPtr misnamed = TWLayout::layoutWithPath(
        twWritePackage(dir, QStringLiteral("Misnamed.twlayout"),
                       {{QStringLiteral("Layout.xml"), twLayoutXML(QString(), QString())},
                        {QStringLiteral("inner/layout.xml"), twLayoutXML(QString(), QString())}}),
        0, 1);
    EXPECT_EQ(text(misnamed->load()), TWLocalized("missingLayoutFile"));
    // XML syntax errors come back as the XML reader made them.
    const TWErrorResult broken = twLoadXML(dir, "<layout version=\"1.0\"><page>");
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->domain(), QString::fromLatin1(TWXMLSyntaxErrorDomain));
}

TEST(LayoutPackageTest, RequiredAttributesAreNamedWhenMissing)
{
    TWTestTempDir dir;
    TWTestComponents parts;
    parts.invoice = QStringLiteral(R"(<invoice column="right"/>)");
    EXPECT_EQ(text(twLoadXML(dir, twLayoutXML(QString(), QString(), &parts))),
              QStringLiteral("\"invoice\" ") + TWLocalized("isMissingAttributeLower") +
                  QStringLiteral(" \"row\"."));
    EXPECT_EQ(text(twLoadXML(dir, twLayoutXML(QString(), QStringLiteral(
                                                             R"(<images><image y="1" path="a.png"/></images>)")))),
              QStringLiteral("\"image\" ") + TWLocalized("isMissingAttributeLower") +
                  QStringLiteral(" \"x\"."));
    EXPECT_EQ(text(twLoadXML(dir, twLayoutXML(QString(), QStringLiteral(
                                                             R"(<images><image x="1" y="1" path="gone.png"/></images>)")))),
              withValue("missingImage", "gone.png"));
    // Data that is no image.
    EXPECT_EQ(text(twLoadXML(dir,
                             twLayoutXML(QString(), QStringLiteral(
                                                        R"(<images><image x="1" y="1" path="a.png"/></images>)")),
                             nullptr, {{QStringLiteral("a.png"), QByteArray("not a picture")}})),
              withValue("missingImage", "a.png"));
}

TEST(LayoutPackageTest, ImagesTakeTheirOwnSizeAndDefaultAlpha)
{
    TWTestTempDir dir;
    TWLayoutPtr layout;
    ASSERT_FALSE(twLoadXML(
        dir,
        twLayoutXML(QString(),
                    QStringLiteral(R"(<images><image x="10" y="20.5" path="logo.png"/>)"
                                   R"(<image x="1" y="2" width="50" path="images/hi.png" alpha="0.25"/></images>)")),
        &layout,
        {{QStringLiteral("logo.png"), pngBytes(40, 30)},
         {QStringLiteral("images/hi.png"), pngBytes(200, 100, 144)}}));
    const QVariantList images = layout->settings().value(QStringLiteral("images")).toList();
    ASSERT_EQ(images.size(), 2);
    const QVariantMap first = images.at(0).toMap();
    EXPECT_EQ(first.keys(), (QStringList{"alpha", "image", "rect"}));
    EXPECT_EQ(first.value("rect").toRectF(), QRectF(10, 20.5, 40, 30));
    EXPECT_FLOAT_EQ(first.value("alpha").toFloat(), 0.7f);
    // A width of its own, the height from the image at its recorded resolution.
    const QVariantMap second = images.at(1).toMap();
    EXPECT_EQ(second.value("rect").toRectF(), QRectF(1, 2, 50, 50));
    EXPECT_FLOAT_EQ(second.value("alpha").toFloat(), 0.25f);
    EXPECT_EQ(second.value("image").value<QImage>().size(), QSize(200, 100));
}

TEST(LayoutPackageTest, PlacementConflictsNameThePart)
{
    TWTestTempDir dir;
    const auto load = [&](const TWTestComponents &parts, const QString &children = QString()) {
        return text(twLoadXML(dir, twLayoutXML(QString(), children, &parts)));
    };
    TWTestComponents parts;
    EXPECT_EQ(load(parts), QString());
    // Header and footer against the page number.
    EXPECT_EQ(load(parts, QStringLiteral(R"(<footer horizontalAlignment="center"/>)"
                                         R"(<number location="bottom" horizontalAlignment="center"/>)")),
              withValue("locationConflict", "number"));
    EXPECT_EQ(load(parts, QStringLiteral(R"(<footer horizontalAlignment="center"/>)"
                                         R"(<number location="top" horizontalAlignment="center"/>)")),
              QString());
    EXPECT_EQ(load(parts, QStringLiteral(R"(<header horizontalAlignment="center"/>)"
                                         R"(<number horizontalAlignment="center"/>)")),
              withValue("locationConflict", "number"));

    TWTestComponents sameCell = parts;
    sameCell.title = QStringLiteral(R"(<title column="left" row="0"/>)");
    EXPECT_EQ(load(sameCell), withValue("locationConflict", "title"));
    TWTestComponents tableBesideClient = parts;
    tableBesideClient.table = QStringLiteral(R"(<table row="1"/>)");
    EXPECT_EQ(load(tableBesideClient), withValue("locationConflict", "table"));
    TWTestComponents detailsWithTable = parts;
    detailsWithTable.details = QStringLiteral(R"(<details row="2"/>)");
    EXPECT_EQ(load(detailsWithTable), withValue("locationConflict", "details"));
    // An absent component stands at row 0, left.
    TWTestComponents noTitle = parts;
    noTitle.title.clear();
    noTitle.business = QStringLiteral(R"(<business column="center" row="-4"/>)");
    noTitle.client = QStringLiteral(R"(<client column="left" row="0"/>)");
    EXPECT_EQ(load(noTitle), withValue("locationConflict", "title"));
    // Any rows will do, negative ones too, as long as nothing clashes.
    TWTestComponents negative = parts;
    negative.table = QStringLiteral(R"(<table row="-7"/>)");
    EXPECT_EQ(load(negative), QString());
}

TEST(LayoutPackageTest, LoadingKeepsOrReplacesSettingsWhole)
{
    TWTestTempDir dir;
    const QString path = twWritePackage(
        dir, QStringLiteral("Good.twlayout"),
        {{QStringLiteral("layout.xml"),
          twLayoutXML(QString(), QStringLiteral(R"(<header horizontalAlignment="left"/>)"
                                                R"(<header horizontalAlignment="right"/>)"))}});
    TWLayoutPtr layout = TWLayout::layoutWithPath(path, 0, 1);
    EXPECT_EQ(layout->name(), QStringLiteral("Good"));
    ASSERT_FALSE(layout->load());
    const QVariantMap settings = layout->settings();
    // The later of two elements wins.
    EXPECT_EQ(twElement(layout, "header").value("horizontalAlignment"), 2);
    const TWLayoutPtr copy = layout->copy();
    EXPECT_TRUE(copy->loaded());
    EXPECT_TRUE(copy->settings().isSharedWith(layout->settings()));

    // The package breaks: the failed load leaves the earlier settings.
    twWritePackage(dir, QStringLiteral("Good.twlayout"),
                   {{QStringLiteral("layout.xml"), QByteArray("<layout/>")}});
    EXPECT_TRUE(layout->load());
    EXPECT_TRUE(layout->loaded());
    EXPECT_EQ(layout->settings(), settings);
    EXPECT_TRUE(layout->validate());
    EXPECT_FALSE(layout->loaded());
    EXPECT_TRUE(layout->settings().isEmpty());

    // Names compare case-sensitively: capitals first.
    EXPECT_LT(TWLayout::layoutWithPath(QStringLiteral("/x/Zebra.twlayout"), 0, 1)
                  ->compare(*TWLayout::layoutWithPath(QStringLiteral("/x/apple.twlayout"), 0, 1)),
              0);
}

TEST(LayoutPackageTest, HostilePackagesFailQuicklyWithAClearError)
{
    TWTestTempDir dir;
    QElapsedTimer timer;
    timer.start();
    const auto loadPath = [](const QString &path) {
        return TWLayout::layoutWithPath(path, 0, 1)->load();
    };

    // Not a zip at all, and a missing file.
    QFile junk(dir.filePath(QStringLiteral("Junk.twlayout")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    EXPECT_EQ(text(loadPath(junk.fileName())), TWLocalized("missingLayoutFile"));
    EXPECT_EQ(text(loadPath(dir.filePath(QStringLiteral("None.twlayout")))),
              TWLocalized("missingLayoutFile"));

    // One member that inflates past the cap.
    const QString bomb = twWritePackage(
        dir, QStringLiteral("Bomb.twlayout"),
        {{QStringLiteral("layout.xml"), twLayoutXML(QString(), QString())},
         {QStringLiteral("zeros.png"), QByteArray(TWLayout::kMaximumEntrySize + 1, '\0')}});
    TWErrorResult error = loadPath(bomb);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), QString::fromLatin1(TWZipErrorDomain));
    EXPECT_EQ(error->code(), TWZipErrorEntryTooLarge);

    // Members that together inflate past the cap.
    TWPackageMembers many{{QStringLiteral("layout.xml"), twLayoutXML(QString(), QString())}};
    for (int i = 0; i < 5; ++i)
        many.append({QStringLiteral("part%1").arg(i), QByteArray(TWLayout::kMaximumEntrySize - 1, 'a')});
    error = loadPath(twWritePackage(dir, QStringLiteral("Total.twlayout"), many));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWZipErrorTotalTooLarge);

    // 100,000 entries.
    TWPackageMembers crowd;
    crowd.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        crowd.append({QStringLiteral("e%1").arg(i), QByteArray()});
    error = loadPath(twWritePackage(dir, QStringLiteral("Crowd.twlayout"), crowd));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWZipErrorTooManyEntries);

    // A picture claiming 50,000 x 50,000 pixels is never decoded.
    error = twLoadXML(dir,
                      twLayoutXML(QString(), QStringLiteral(
                                                 R"(<images><image x="0" y="0" path="huge.png"/></images>)")),
                      nullptr, {{QStringLiteral("huge.png"), hugePngHeader(50000, 50000)}});
    EXPECT_EQ(text(error), withValue("missingImage", "huge.png"));

    // Descriptions nested 20,000 deep, or larger than any real layout, are
    // refused by the reader instead of exhausting the stack or the clock.
    QByteArray deep = "<layout>";
    deep += QByteArray("<a>").repeated(20000) + QByteArray("</a>").repeated(20000);
    deep += "</layout>";
    error = loadPath(twWritePackage(dir, QStringLiteral("Deep.twlayout"),
                                    {{QStringLiteral("layout.xml"), deep}}));
    EXPECT_TRUE(error);
    QByteArray large = twLayoutXML(QString(), QString());
    large.insert(large.indexOf('>') + 1,
                 QByteArray("<!--") + QByteArray(TWXMLParser::kLayoutMaximumSize, 'x') + "-->");
    error = loadPath(twWritePackage(dir, QStringLiteral("Large.twlayout"),
                                    {{QStringLiteral("layout.xml"), large}}));
    EXPECT_TRUE(error);

    EXPECT_LT(timer.elapsed(), 20000);
}

TEST(LayoutPackageTest, EveryErrorKeyHasAText)
{
    for (const char *key :
         {"missingLayoutFile", "invalidRootElement", "unsupportedLayoutVersion",
          "unsupportedLayoutType", "missingPageElement", "isMissingAttributeLower",
          "invalidUnderlineValue", "invalidStrokeStyleValue", "invalidHorizontalAlignmentValue",
          "invalidVerticalAlignmentValue", "invalidColumnValue", "invalidLocationValue",
          "invalidColorFormat", "missingImage", "fontNotAvailable", "locationConflict",
          "layoutFolderUnavailable", "layoutFolderCannotCreate", "layoutCannotCopy",
          "layoutCannotDelete"})
        EXPECT_TRUE(TWHasLocalized(QString::fromLatin1(key))) << key;
}
