#include "TWTestSupport.h"
#include "foundation/TWXMLParser.h"
#include "foundation/TWXMLSerializer.h"

#include <QFile>
#include <QUrl>

#include <libxml/parserInternals.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{

TWXMLElementPtr parse(const QByteArray &xml, TWErrorResult *error = nullptr)
{
    return TWXMLParser().parseData(xml, error);
}

bool treeContains(const TWXMLElementPtr &element, const QString &needle)
{
    if (!element)
        return false;
    bool found = element->data().contains(needle);
    for (const QString &value : element->attributes())
        found = found || value.contains(needle);
    for (const TWXMLElementPtr &child : element->elements())
        found = found || treeContains(child, needle);
    return found;
}

} // namespace

TEST(XMLParser, ErrorsComeWithThePartialTree)
{
    TWErrorResult error;
    TWXMLParser parser;
    const TWXMLElementPtr root = parser.parseData("<a><b>text</b><c>", &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), QStringLiteral("XML Syntax Error"));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->elements().size(), 2);

    for (const QByteArray &bad :
         {QByteArray(), QByteArray("no xml"), QByteArray("\xff\xfe\x00<")}) {
        EXPECT_FALSE(parse(bad, &error));
        EXPECT_TRUE(error);
    }
    EXPECT_FALSE(parser.parseFilePath(QStringLiteral("/nonexistent/layout.xml"), &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedDescription().contains(QStringLiteral("/nonexistent/layout.xml")));

    // A message far beyond 1023 bytes, cut inside a two-byte character.
    const QByteArray name = QString(700, QChar(0xE9)).toUtf8();
    parse("<" + name + "></x" + name + ">", &error);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->localizedDescription().isEmpty());
}

TEST(XMLParser, ReadsDocumentsBeyondLibxmlLookAheadLimit)
{
    // Bank files can exceed the 10 MB libxml2 looks ahead over at once.
    QByteArray big = "<OFX>";
    for (int i = 0; i < 1000; ++i)
        big += "<STMTTRN><MEMO>" + QByteArray(11000, 'm') + "</MEMO></STMTTRN>";
    big += "</OFX>";
    TWErrorResult error;
    const TWXMLElementPtr root = TWXMLParser::xmlParser()->parseData(big, &error);
    EXPECT_OK(error);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->elements().size(), 1000);
}

TEST(XMLParserSecurity, EntitiesAndDTDsAreNeitherExpandedNorLoaded)
{
    TWTestTempDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.txt"));
    const QString dtd = dir.filePath(QStringLiteral("evil.dtd"));
    const QByteArray secretURL = QUrl::fromLocalFile(secret).toEncoded();
    const QByteArray dtdURL = QUrl::fromLocalFile(dtd).toEncoded();
    for (const auto &[path, bytes] :
         {std::pair{secret, QByteArray("TOPSECRET")},
          std::pair{dtd, "<!ENTITY s SYSTEM \"" + secretURL +
                             "\"><!ATTLIST doc k CDATA \"TOPSECRET\">"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray laughs = "<!DOCTYPE l [<!ENTITY l0 \"TOPSECRET\">";
    for (int i = 1; i <= 9; ++i)
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                  QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
    laughs += "]><l>&l9;</l>";
    const QList<QByteArray> attacks = {
        laughs,
        "<!DOCTYPE q [<!ENTITY a \"TOPSECRET" + QByteArray(50000, 'a') + "\">]><q>" +
            QByteArray("&a;").repeated(20000) + "</q>",
        "<!DOCTYPE doc [<!ENTITY s SYSTEM \"" + secretURL + "\">]><doc>&s;</doc>",
        "<!DOCTYPE doc [<!ENTITY s SYSTEM \"" + secret.toUtf8() + "\">]><doc>&s;</doc>",
        "<!DOCTYPE doc [<!ENTITY % p SYSTEM \"" + dtdURL + "\"> %p;]><doc>&s;</doc>",
        "<!DOCTYPE doc SYSTEM \"" + dtdURL + "\"><doc>&s;</doc>",
        "<!DOCTYPE doc SYSTEM \"http://127.0.0.1:9/evil.dtd\"><doc>&s;</doc>",
        "<!DOCTYPE doc [<!NOTATION n SYSTEM \"x\"><!ENTITY u SYSTEM \"" + secretURL +
            "\" NDATA n>]><doc/>",
    };
    for (const QByteArray &attack : attacks) {
        TWErrorResult error;
        EXPECT_FALSE(treeContains(parse(attack, &error), QStringLiteral("TOPSECRET")))
            << attack.left(80).constData();
        EXPECT_TRUE(error) << attack.left(80).constData();
    }

    // The loader libxml2 asks for any external resource refuses them all.
    TWXMLParser parser;
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    EXPECT_EQ(xmlLoadExternalEntity(secretURL.constData(), nullptr, context), nullptr);
    xmlFreeParserCtxt(context);
}

TEST(XMLParserSecurity, OversizedDocumentsAreRefused)
{
    TWXMLParser parser;
    parser.setMaximumSize(100);
    TWErrorResult error;
    EXPECT_FALSE(parser.parseData("<a>" + QByteArray(200, 'x') + "</a>", &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedDescription().contains(QStringLiteral("100")));
    // A device without an end is read no further than the limit.
    EXPECT_FALSE(parser.parseFilePath(QStringLiteral("/dev/zero"), &error));
    EXPECT_TRUE(error);

    parser.setMaximumElementCount(10);
    const TWXMLElementPtr root =
        parser.parseData("<r>" + QByteArray("<e/>").repeated(20) + "</r>", &error);
    EXPECT_TRUE(error);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->elements().size(), 9);
}

TEST(XMLParserSecurity, DeepNestingIsRefusedAndDeepTreesAreFreedWithoutRecursion)
{
    // Nesting within the limit reads as it stands.
    const int allowed = TWXMLParser::kMaximumDepth;
    TWErrorResult error;
    TWXMLElementPtr root = parse(
        QByteArray("<a>").repeated(allowed) + "x" + QByteArray("</a>").repeated(allowed), &error);
    EXPECT_OK(error);
    int depth = 0;
    for (TWXMLElementPtr element = root; element; ++depth)
        element = element->elements().value(0);
    EXPECT_EQ(depth, allowed);

    // 200,000 levels: refused with the reader's error, the partial tree no
    // deeper than the limit.
    const int levels = 200000;
    TWXMLParser parser;
    root = parser.parseData(
        QByteArray("<a>").repeated(levels) + QByteArray("</a>").repeated(levels), &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), QStringLiteral("XML Syntax Error"));
    EXPECT_TRUE(error->localizedDescription().contains(QString::number(allowed)));
    depth = 0;
    for (TWXMLElementPtr element = root; element; ++depth)
        element = element->elements().value(0);
    EXPECT_LE(depth, allowed);

    // A tree built by code far deeper than any stack releases without a
    // crash, and a subtree still held elsewhere survives its parent.
    root = TWXMLElement::xmlElementWithName(QStringLiteral("a"));
    TWXMLElementPtr held;
    TWXMLElementPtr last = root;
    for (int i = 0; i < 300000; ++i) {
        auto child = TWXMLElement::xmlElementWithName(QStringLiteral("a"));
        last->appendElement(child);
        last = child;
        if (i == 10)
            held = child;
    }
    last.reset();
    root.reset();
    ASSERT_TRUE(held);
    depth = 0;
    for (TWXMLElementPtr element = held; element; ++depth)
        element = element->elements().value(0);
    EXPECT_EQ(depth, 300000 - 10);
    held.reset();
}

TEST(XMLParserSecurity, AttributeFloodsAreRefusedBeforeParsing)
{
    // Up to the cap is read; '=' inside values, comments, CDATA and
    // processing instructions does not count as an attribute.
    QByteArray tag = "<a";
    for (int i = 0; i < TWXMLParser::kMaximumAttributeCount; ++i)
        tag += " k" + QByteArray::number(i) + "='x=y'";
    const QByteArray noise = "<!-- <b " + QByteArray("c=1 ").repeated(500) + "--><?pi " +
                             QByteArray("d=2 ").repeated(500) + "?><![CDATA[<e " +
                             QByteArray("f=3 ").repeated(500) + "]]>";
    TWErrorResult error;
    TWXMLElementPtr root = parse(tag + ">" + noise + "</a>", &error);
    EXPECT_OK(error);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->attributes().size(), TWXMLParser::kMaximumAttributeCount);
    EXPECT_EQ(root->attributes().value(QStringLiteral("k7")), QStringLiteral("x=y"));

    // One more, and a flood of 200,000 attributes or namespace declarations
    // (libxml2 alone would need half a minute for them): refused at once.
    parse(tag + " z='1'/>", &error);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedDescription().contains(
        QString::number(TWXMLParser::kMaximumAttributeCount)));
    for (const QByteArray &prefix : {QByteArray("a"), QByteArray("xmlns:n")}) {
        QByteArray flood = "<r><e";
        for (int i = 0; i < 200000; ++i)
            flood += ' ' + prefix + QByteArray::number(i) + "=\"v\"";
        flood += "/></r>";
        root = parse(flood, &error);
        ASSERT_TRUE(error);
        EXPECT_FALSE(root);
    }

    // A document full of elements at the cap: refused by its total.
    QByteArray many = "<r>";
    for (int i = 0; i <= TWXMLParser::kMaximumAttributeTotal / TWXMLParser::kMaximumAttributeCount;
         ++i)
        many += tag + "/>";
    parse(many + "</r>", &error);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedDescription().contains(
        QString::number(TWXMLParser::kMaximumAttributeTotal)));

    // Attribute-list declarations would add defaults to every element.
    parse("<!DOCTYPE r [<!ATTLIST e " + QByteArray("a CDATA 'v' ").repeated(3) + ">]><r><e/></r>",
          &error);
    EXPECT_TRUE(error);
}

TEST(XMLSerializer, RoundTripsThroughTheReader)
{
    auto root = TWXMLElement::xmlElementWithName(
        QStringLiteral("r:layout"),
        {{QStringLiteral("xmlns:r"), QStringLiteral("urn:r")},
         {QStringLiteral("title"), QString::fromUtf8("<Rechnung> & \"Müller's\"\n\ttab")}},
        {}, QString::fromUtf8("Total: 5 < 6 & ü\r\n€ ]]>"));
    auto child = TWXMLElement::xmlElementWithName(
        QStringLiteral("item"), {{QStringLiteral("id"), QStringLiteral("1")}}, {}, QString());
    child->appendElement(TWXMLElement::xmlElementWithName(QStringLiteral("empty")));
    root->appendElement(child);

    const std::optional<QByteArray> data =
        TWXMLSerializer::xmlSerializer()->serializeDataWithRootElement(root);
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->startsWith(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<r:layout "));
    EXPECT_FALSE(data->contains("\n <")); // no indentation
    TWErrorResult error;
    const TWXMLElementPtr back = parse(*data, &error);
    ASSERT_TRUE(back);
    EXPECT_OK(error);
    EXPECT_EQ(back->name(), root->name());
    EXPECT_EQ(back->attributes(), root->attributes());
    EXPECT_EQ(back->data(), root->data());
    ASSERT_EQ(back->elements().size(), 1);
    EXPECT_EQ(back->elements().at(0)->attributes(), child->attributes());

    // Appending to bytes, and to a file whose plain path looks like a URI.
    QByteArray buffer("prefix");
    EXPECT_TRUE(TWXMLSerializer().serializeToData(buffer, root));
    EXPECT_EQ(buffer, "prefix" + *data);
    TWTestTempDir dir;
    QFile file(dir.filePath(QStringLiteral("my layout%20#1.xml")));
    ASSERT_TRUE(TWXMLSerializer().serializeToFilePath(file.fileName(), root));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), *data);
    file.close();

    // Trees no reader could read back are not written; nothing is touched.
    const QList<TWXMLElementPtr> bad = {
        nullptr,
        TWXMLElement::xmlElementWithName(QStringLiteral("a><script")),
        TWXMLElement::xmlElementWithName(
            QStringLiteral("a"), {{QStringLiteral("b c"), QStringLiteral("1")}}, {}, QString()),
        TWXMLElement::xmlElementWithName(QStringLiteral("a"), {}, {}, QStringLiteral("bell\a")),
    };
    for (const TWXMLElementPtr &tree : bad) {
        EXPECT_FALSE(TWXMLSerializer().serializeToData(buffer, tree));
        EXPECT_FALSE(TWXMLSerializer().serializeToFilePath(file.fileName(), tree));
    }
    EXPECT_EQ(buffer, "prefix" + *data);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), *data);
}
