#include "TWLayoutTestSupport.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWXMLParser.h"
#include "model/TWLayoutManager.h"
#include "platform/TWFontResolver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QRectF>
#include <QtEndian>

#include <zlib.h>

namespace
{

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
    qToBigEndian(
        quint32(crc32(0, reinterpret_cast<const Bytef *>(chunk.constData()), uInt(chunk.size()))),
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
        SCOPED_TRACE(entry);
        TWLayoutPtr layout =
            TWLayout::layoutWithPath(TWLayoutManager::builtInLayoutsFolder() + entry, 0, 0);
        ASSERT_OK(layout->load());
        for (auto it = layout->settings().cbegin(); it != layout->settings().cend(); ++it) {
            const QVariant font = it.value().toMap().value(QStringLiteral("font"));
            if (!font.isValid())
                continue;
            // fontconfig substitutes silently; the font really used must be
            // the family asked for.
            const QFont asked = font.value<QFont>();
            EXPECT_EQ(QFontInfo(asked).family().section(QStringLiteral(" ["), 0, 0), asked.family())
                << it.key();
        }
    }
    // Classic has every piece the renderer can draw.
    TWLayoutPtr classic = TWLayout::layoutWithPath(
        TWLayoutManager::builtInLayoutsFolder() + QStringLiteral("Classic.twlayout"), 0, 0);
    ASSERT_OK(classic->load());
    for (const char *key : {"page", "number", "header", "footer", "overlayPaid", "overlayOverdue",
                            "componentClient", "componentBusiness", "componentTitle",
                            "componentInvoice", "componentTable", "componentDetails"})
        EXPECT_TRUE(classic->settings().contains(QString::fromLatin1(key))) << key;
    EXPECT_EQ(twElement(classic, "componentTable").value(QStringLiteral("strokeStyle")), 1);
}

TEST(LayoutPackageTest, PageSettingsAreInheritedByTextNotByStrokes)
{
    TWTestTempDir dir;
    TWTestComponents parts;
    parts.client = QStringLiteral(
        R"(<client column="left" row="1" horizontalAlignment="right"><to fillColor="#00FF00"/><name textSize="20"/><company font="Courier"/></client>)");
    TWLayoutPtr layout;
    ASSERT_OK(twLoadXML(
        dir,
        twLayoutXML(
            QStringLiteral(
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
    ASSERT_OK(twLoadXML(dir, twLayoutXML(QString(), QString()), &layout));
    const QFont defaultFont = twElement(layout, "page").value("font").value<QFont>();
    EXPECT_EQ(defaultFont.family(), QStringLiteral("Nimbus Roman"));
    EXPECT_EQ(defaultFont.pointSizeF(), 12.0);
    EXPECT_FALSE(layout->settings().contains(QStringLiteral("images")));
}

TEST(LayoutPackageTest, RequiredAttributesAreNamedWhenMissing)
{
    TWTestTempDir dir;
    TWTestComponents parts;
    parts.invoice = QStringLiteral(R"(<invoice column="right"/>)");
    EXPECT_EQ(text(twLoadXML(dir, twLayoutXML(QString(), QString(), &parts))),
              QStringLiteral("\"invoice\" ") + TWLocalized("isMissingAttributeLower") +
                  QStringLiteral(" \"row\"."));
    EXPECT_EQ(
        text(twLoadXML(
            dir, twLayoutXML(QString(),
                             QStringLiteral(R"(<images><image y="1" path="a.png"/></images>)")))),
        QStringLiteral("\"image\" ") + TWLocalized("isMissingAttributeLower") +
            QStringLiteral(" \"x\"."));
    EXPECT_EQ(
        text(twLoadXML(
            dir, twLayoutXML(
                     QString(),
                     QStringLiteral(R"(<images><image x="1" y="1" path="gone.png"/></images>)")))),
        withValue("missingImage", "gone.png"));
    // Data that is no image.
    EXPECT_EQ(
        text(twLoadXML(
            dir,
            twLayoutXML(QString(),
                        QStringLiteral(R"(<images><image x="1" y="1" path="a.png"/></images>)")),
            nullptr, {{QStringLiteral("a.png"), QByteArray("not a picture")}})),
        withValue("unreadableImage", "a.png"));
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
    EXPECT_TRUE(text(loadPath(dir.filePath(QStringLiteral("None.twlayout"))))
                    .startsWith(TWLocalized("layoutCannotOpen")));

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
        many.append(
            {QStringLiteral("part%1").arg(i), QByteArray(TWLayout::kMaximumEntrySize - 1, 'a')});
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
    error = twLoadXML(
        dir,
        twLayoutXML(QString(),
                    QStringLiteral(R"(<images><image x="0" y="0" path="huge.png"/></images>)")),
        nullptr, {{QStringLiteral("huge.png"), hugePngHeader(50000, 50000)}});
    EXPECT_EQ(text(error), withValue("imageTooLarge", "huge.png"));

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
