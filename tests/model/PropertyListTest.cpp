// Property lists: exact round trips of every value type, binary input, hostile input, atomic
// writes, rectangle texts and field-width number readings.

#include "TWTestSupport.h"
#include "foundation/TWPropertyList.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <plist/plist.h>

#include <csignal>
#include <cstdlib>
#include <limits>

#include <sys/resource.h>

#include <gtest/gtest.h>

namespace
{

namespace PL = TWPropertyList;

QDateTime utcDate(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, mi, s), Qt::UTC);
}

// Same values with the same types, all the way down.
void expectSameTree(const QVariant &actual, const QVariant &expected, const QString &path = {})
{
    ASSERT_EQ(actual.typeId(), expected.typeId())
        << path << ": " << actual.typeName() << " vs " << expected.typeName();
    switch (expected.typeId()) {
    case QMetaType::QVariantList: {
        const QVariantList a = actual.toList(), e = expected.toList();
        ASSERT_EQ(a.size(), e.size()) << path;
        for (qsizetype i = 0; i < e.size(); ++i)
            expectSameTree(a.at(i), e.at(i), path + QLatin1Char('/') + QString::number(i));
        break;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap a = actual.toMap(), e = expected.toMap();
        ASSERT_EQ(a.keys(), e.keys()) << path;
        for (auto it = e.cbegin(); it != e.cend(); ++it)
            expectSameTree(a.value(it.key()), it.value(), path + QLatin1Char('/') + it.key());
        break;
    }
    case QMetaType::QDateTime:
        EXPECT_EQ(actual.toDateTime().toMSecsSinceEpoch(),
                  expected.toDateTime().toMSecsSinceEpoch())
            << path << ": " << actual.toDateTime().toString(Qt::ISODate);
        break;
    default:
        EXPECT_EQ(actual, expected) << path;
    }
}

QVariant readBack(const QVariant &tree)
{
    const TWResult<QByteArray> xml = PL::xmlData(tree);
    EXPECT_OK(xml);
    const TWResult<QVariant> read = PL::readData(xml.value);
    EXPECT_OK(read);
    return read.value;
}

// The binary form of an XML property list, made by the library's own writer.
QByteArray binaryOf(const QByteArray &xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    EXPECT_NE(root, nullptr);
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(root);
    return result;
}

QVariant nestedArrays(int depth)
{
    QVariant value = QVariantList();
    for (int i = 0; i < depth; ++i)
        value = QVariantList{value};
    return value;
}

// A binary property list of hand-made objects (each one's bytes, references one byte wide).
QByteArray binaryFromObjects(const QList<QByteArray> &objects, quint8 top = 0)
{
    QByteArray data("bplist00");
    QList<quint32> offsets;
    for (const QByteArray &object : objects) {
        offsets.append(quint32(data.size()));
        data += object;
    }
    const quint64 table = quint64(data.size());
    for (quint32 offset : offsets) {
        for (int shift = 24; shift >= 0; shift -= 8)
            data += char((offset >> shift) & 0xFF);
    }
    QByteArray trailer(32, '\0');
    trailer[6] = 4; // offset size
    trailer[7] = 1; // reference size
    auto put = [&trailer](int at, quint64 value) {
        for (int i = 0; i < 8; ++i)
            trailer[at + i] = char((value >> (56 - 8 * i)) & 0xFF);
    };
    put(8, quint64(objects.size()));
    put(16, top);
    put(24, table);
    return data + trailer;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(PropertyList, RoundTripKeepsEveryValueAndType)
{
    QByteArray allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += char(i);
    QVariantHash hash{{QStringLiteral("b"), 2}, {QStringLiteral("a"), QStringLiteral("x")}};

    const QVariantMap written{
        {QStringLiteral("unsignedMinus3"), QVariant::fromValue(quint32(-3))},
        {QStringLiteral("unsignedAllOnes"), QVariant::fromValue(quint32(0xFFFFFFFF))},
        {QStringLiteral("signedMinus3"), QVariant::fromValue(qint32(-3))},
        {QStringLiteral("signedMin"), QVariant::fromValue(std::numeric_limits<qint64>::min())},
        {QStringLiteral("unsignedMax"), QVariant::fromValue(std::numeric_limits<quint64>::max())},
        {QStringLiteral("float"), QVariant::fromValue(0.3f)},
        {QStringLiteral("double"), 0.1},
        {QStringLiteral("tiny"), 1e-300},
        {QStringLiteral("no"), false},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("unicode"), QStringLiteral("Grüße ✓ 😀 日本語 e\u0301")},
        {QStringLiteral("markup"), QStringLiteral("a&b<c>]]>\"' &amp;")},
        {QStringLiteral("spacing"), QStringLiteral("  lead\r\n\ttrail  ")},
        {QStringLiteral("control"), QStringLiteral("a\x01z")},
        {QStringLiteral("noData"), QByteArray()},
        {QStringLiteral("allBytes"), allBytes},
        {QStringLiteral("date"), QVariant(utcDate(2024, 2, 29, 13, 14, 15))},
        {QStringLiteral("after2069"), QVariant(utcDate(2100, 12, 31, 8, 0, 1))},
        {QStringLiteral("year500"), QVariant(utcDate(500, 6, 1, 12, 0, 0))},
        {QStringLiteral("emptyList"), QVariantList()},
        {QStringLiteral("emptyMap"), QVariantMap()},
        {QStringLiteral("strings"), QStringList{QStringLiteral("x"), QStringLiteral("y")}},
        {QStringLiteral("hash"), hash},
        {QStringLiteral("ключ ✓"),
         QVariantList{QVariantMap{{QStringLiteral("k&<>"), 1}}, QVariantList{QVariantList{}, 2.5}}},
    };
    // Integers come back as 64-bit signed (unless too large), floats as doubles, lists of text
    // and hashes as plain lists and maps.
    QVariantMap expected = written;
    expected[QStringLiteral("unsignedMinus3")] = qint64(4294967293);
    expected[QStringLiteral("unsignedAllOnes")] = qint64(4294967295);
    expected[QStringLiteral("signedMinus3")] = qint64(-3);
    expected[QStringLiteral("float")] = double(0.3f);
    expected[QStringLiteral("strings")] = QVariantList{QStringLiteral("x"), QStringLiteral("y")};
    expected[QStringLiteral("hash")] =
        QVariantMap{{QStringLiteral("a"), QStringLiteral("x")}, {QStringLiteral("b"), qint64(2)}};
    expected[QStringLiteral("ключ ✓")] = QVariantList{
        QVariantMap{{QStringLiteral("k&<>"), qint64(1)}}, QVariantList{QVariantList{}, 2.5}};
    expectSameTree(readBack(written), expected);
}

TEST(PropertyList, RefusesValuesItCannotRepresent)
{
    struct Case {
        const char *name;
        QVariant value;
    };
    const QList<Case> cases{
        {"date without time", QVariant(QDate(2024, 1, 1))},
        {"year 10000", QVariant(utcDate(9999, 12, 31, 23, 0, 0).addDays(2))},
        {"not a number", std::numeric_limits<double>::quiet_NaN()},
        {"infinite float", QVariant::fromValue(std::numeric_limits<float>::infinity())},
        {"NUL in text", QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"))},
        {"NUL in key", QVariantMap{{QString(QChar(0)), 1}}},
    };
    for (const Case &c : cases) {
        const TWResult<QByteArray> xml = PL::xmlData(QVariantMap{{QStringLiteral("key"), c.value}});
        ASSERT_FALSE(xml.ok()) << c.name;
        EXPECT_EQ(xml.error->domain(), QStringLiteral("Tallyworth Property List Error"));
        EXPECT_EQ(xml.error->code(), PL::UnsupportedValueError) << c.name;
    }

    // The message says where the value sits, even deep down; nothing is silently dropped.
    const QVariantMap nested{
        {QStringLiteral("columnSettings"),
         QVariantMap{{QStringLiteral("ledger"), QVariantList{1, QVariant(QSize(1, 2))}}}}};
    const TWResult<QByteArray> xml = PL::xmlData(nested);
    ASSERT_FALSE(xml.ok());
    EXPECT_TRUE(
        xml.error->localizedDescription().contains(QLatin1String("/columnSettings/ledger/1")))
        << xml.error->localizedDescription();
    EXPECT_TRUE(xml.error->localizedDescription().contains(QLatin1String("QSize")));
}

TEST(PropertyList, HostileNestingAndReferencesAreRefusedWithoutCrashing)
{
    // Nesting that would exhaust the parser's stack.
    const QByteArray deepXML = "<plist version=\"1.0\">" + QByteArray("<array>").repeated(200000) +
                               QByteArray("</array>").repeated(200000) + "</plist>";
    const TWResult<QVariant> xml = PL::readData(deepXML);
    ASSERT_FALSE(xml.ok());
    EXPECT_EQ(xml.error->code(), PL::TooComplexError);

    // The same in binary: object i is an array holding object i + 1 (one-byte references, so
    // a chain of 255).
    QList<QByteArray> chain;
    for (int i = 0; i < 255; ++i)
        chain.append(i == 254 ? QByteArray("\xA0", 1) : QByteArray("\xA1", 1) + char(i + 1));
    const TWResult<QVariant> deepBinary = PL::readData(binaryFromObjects(chain));
    ASSERT_FALSE(deepBinary.ok());
    EXPECT_EQ(deepBinary.error->code(), PL::TooComplexError);

    // An array that holds itself.
    const TWResult<QVariant> cycle = PL::readData(binaryFromObjects({QByteArray("\xA1\x00", 2)}));
    EXPECT_FALSE(cycle.ok());

    // Every level references the next one twice, ending in a 1 MB data object: tiny on disk,
    // 2^40 MB once expanded.
    QList<QByteArray> laughs;
    for (int i = 0; i < 40; ++i)
        laughs.append(QByteArray("\xA2", 1) + char(i + 1) + char(i + 1));
    laughs.append(QByteArray("\x4F\x12\x00\x10\x00\x00", 6) + QByteArray(1 << 20, 'x'));
    const TWResult<QVariant> expanded = PL::readData(binaryFromObjects(laughs));
    ASSERT_FALSE(expanded.ok());
    EXPECT_EQ(expanded.error->code(), PL::TooComplexError);

    // Small hand-made lists that are fine (a NUL inside a string value cuts it short; an object
    // referenced twice is not a cycle).
    const TWResult<QVariant> text =
        PL::readData(binaryFromObjects({QByteArray("\xA1\x01", 2), QByteArray("\x53"
                                                                              "a\0b",
                                                                              4)}));
    ASSERT_TRUE(text.ok());
    expectSameTree(text.value, QVariantList{QStringLiteral("a")});

    const TWResult<QVariant> pair =
        PL::readData(binaryFromObjects({QByteArray("\xA2\x01\x01", 3), QByteArray("\x09", 1)}));
    ASSERT_TRUE(pair.ok());
    expectSameTree(pair.value, QVariantList{true, true});
}

TEST(PropertyList, FilesAreWrittenAtomicallyAndReadBack)
{
    TWTestTempDir dir;
    const QString path = dir.filePath(QStringLiteral("Settings.plist"));
    const QVariantMap first{{QStringLiteral("sortBy"), QVariant::fromValue(quint32(1))}};
    const QVariantMap second{{QStringLiteral("sortBy"), QVariant::fromValue(quint32(0))},
                             {QStringLiteral("autofill"), true}};

    ASSERT_FALSE(PL::writeFile(first, path).has_value());
    ASSERT_FALSE(PL::writeFile(second, path).has_value());
    const TWResult<QVariant> read = PL::readFile(path);
    ASSERT_TRUE(read.ok());
    expectSameTree(read.value, QVariantMap{{QStringLiteral("autofill"), true},
                                           {QStringLiteral("sortBy"), qint64(0)}});
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Settings.plist")});

    // A tree that cannot be written leaves the file untouched.
    const QByteArray before = contentsOf(path);
    const TWErrorResult refused =
        PL::writeFile(QVariantMap{{QStringLiteral("x"), QVariant(QDate(2024, 1, 1))}}, path);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->code(), PL::UnsupportedValueError);
    EXPECT_EQ(contentsOf(path), before);

    // The disk fills up halfway through the new file (a file-size limit stands in for it).
    const QVariantMap big{{QStringLiteral("data"), QByteArray(1 << 20, 'x')}};
    struct rlimit saved {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const TWErrorResult failed = PL::writeFile(big, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->code(), PL::WriteError);
    EXPECT_EQ(contentsOf(path), before);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("Settings.plist")});

    // No folder to write into.
    const TWErrorResult noFolder =
        PL::writeFile(first, dir.filePath(QStringLiteral("missing/Settings.plist")));
    ASSERT_TRUE(noFolder.has_value());
    EXPECT_EQ(noFolder->code(), PL::WriteError);
    EXPECT_TRUE(noFolder->localizedDescription().contains(QLatin1String("missing/Settings.plist")));

    const TWResult<QVariant> missing = PL::readFile(dir.filePath(QStringLiteral("none.plist")));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error->code(), PL::ReadError);
}

TEST(PropertyList, OversizedFileIsRefusedBeforeReading)
{
    TWTestTempDir dir;
    QFile file(dir.filePath(QStringLiteral("big.plist")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(PL::maximumSize + 1)); // sparse: no real disk use
    file.close();
    const TWResult<QVariant> read = PL::readFile(file.fileName());
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error->code(), PL::TooLargeError);
}

TEST(PropertyList, NestingLimitIsTheSameForWritingAndReading)
{
    // As deep as allowed: written, and read back from XML and from binary.
    const QVariant deepest = nestedArrays(PL::maximumDepth);
    const TWResult<QByteArray> xml = PL::xmlData(deepest);
    ASSERT_TRUE(xml.ok());
    const TWResult<QVariant> fromXML = PL::readData(xml.value);
    ASSERT_TRUE(fromXML.ok());
    expectSameTree(fromXML.value, deepest);
    const TWResult<QVariant> fromBinary = PL::readData(binaryOf(xml.value));
    ASSERT_TRUE(fromBinary.ok());
    expectSameTree(fromBinary.value, deepest);

    // One level more is refused on both sides.
    const TWResult<QByteArray> tooDeep = PL::xmlData(nestedArrays(PL::maximumDepth + 1));
    ASSERT_FALSE(tooDeep.ok());
    EXPECT_EQ(tooDeep.error->code(), PL::TooComplexError);
    QByteArray text = xml.value;
    text.replace("<array/>", "<array><array/></array>");
    const TWResult<QVariant> read = PL::readData(text);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error->code(), PL::TooComplexError);
}

TEST(PropertyList, GarbageAndTruncatedInputGiveErrors)
{
    const QList<QByteArray> garbage{
        QByteArray(),
        QByteArray("<html><body/></html>"),
        QByteArray("<plist version=\"1.0\"><array></dict></plist>"),
        QByteArray("<plist version=\"1.0\"><array x='>'></array></plist>"),
        QByteArray("<!DOCTYPE plist [<!ENTITY a \"b\">]><plist><string>&a;</string></plist>"),
        QByteArray("bplist00"),
        QByteArray("bplist00") + QByteArray(64, '\xFF'),
        // Keys with a NUL in them stop the library on an assertion.
        QByteArray("<plist version=\"1.0\"><dict><key>a\0b</key><true/></dict></plist>", 63),
        binaryFromObjects({QByteArray("\xD1\x01\x02", 3),
                           QByteArray("\x53"
                                      "a\0b",
                                      4),
                           QByteArray("\x09", 1)}),
        // A key that is not a string.
        binaryFromObjects({QByteArray("\xD1\x02\x02", 3),
                           QByteArray("\x53"
                                      "abc",
                                      4),
                           QByteArray("\x09", 1)}),
    };
    for (const QByteArray &input : garbage) {
        const TWResult<QVariant> read = PL::readData(input);
        ASSERT_FALSE(read.ok()) << input.left(60).toStdString();
        EXPECT_EQ(read.error->code(), PL::MalformedError) << input.left(60).toStdString();
        EXPECT_FALSE(read.value.isValid());
    }

    const QVariantMap tree{{QStringLiteral("frame"), QStringLiteral("{{1, 2}, {3, 4}}")},
                           {QStringLiteral("list"), QVariantList{1, 2.5, true, QByteArray("ab")}},
                           {QStringLiteral("date"), QVariant(utcDate(2020, 1, 2))}};
    const QByteArray xml = PL::xmlData(tree).value;
    const QByteArray binary = binaryOf(xml);
    // Every cut of the binary form loses its trailer; every cut of the XML leaves elements open
    // (the parser itself would take a text that stops right after the root's closing tag).
    for (qsizetype cut = 0; cut < binary.size(); ++cut)
        EXPECT_FALSE(PL::readData(binary.left(cut)).ok()) << "binary cut at " << cut;
    const qsizetype end = xml.indexOf("</plist>") + qsizetype(qstrlen("</plist>"));
    for (qsizetype cut = 0; cut < end; ++cut)
        EXPECT_FALSE(PL::readData(xml.left(cut)).ok()) << "XML cut at " << cut;

    // Random damage: an answer (either one), never a crash.
    QRandomGenerator random(20240229);
    for (int round = 0; round < 3000; ++round) {
        QByteArray damaged = round % 2 ? binary : xml;
        const int changes = 1 + int(random.bounded(4));
        for (int i = 0; i < changes; ++i)
            damaged[qsizetype(random.bounded(damaged.size()))] = char(random.bounded(256));
        const TWResult<QVariant> read = PL::readData(damaged);
        EXPECT_EQ(read.ok(), read.value.isValid());
    }
}
