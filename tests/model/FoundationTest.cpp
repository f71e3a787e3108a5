// Errors, notifications, the strings table, the clock and file names.

#include "TWTestSupport.h"
#include "foundation/TWClock.h"
#include "foundation/TWError.h"
#include "foundation/TWFileNames.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWNotificationCenter.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(Notifications, DeliversByNameAndSenderAndRemovesByToken)
{
    TWNotificationCenter center;
    int a = 0, b = 0;
    QVariant seen;
    int senderA = 0, senderB = 0;
    auto ta = center.addObserver(QStringLiteral("transactionNew"), &senderA,
                                 [&](const TWNotification &n) {
                                     ++a;
                                     seen = n.userInfo.value(QStringLiteral("transaction"));
                                 });
    auto tb = center.addObserver(QStringLiteral("transactionNew"), nullptr,
                                 [&](const TWNotification &) { ++b; });
    center.postNotification(QStringLiteral("transactionNew"), &senderA,
                            {{QStringLiteral("transaction"), 7}});
    center.postNotification(QStringLiteral("transactionNew"), &senderB);
    center.postNotification(QStringLiteral("transactionDelete"), &senderA);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(seen.toInt(), 7);
    center.removeObserver(ta);
    center.removeObserver(tb);
    center.postNotification(QStringLiteral("transactionNew"), &senderA);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
}

TEST(Notifications, ObserverMayRemoveItselfWhileCalled)
{
    TWNotificationCenter center;
    int calls = 0;
    TWNotificationCenter::Token token = 0;
    token = center.addObserver(QStringLiteral("x"), nullptr, [&](const TWNotification &) {
        ++calls;
        center.removeObserver(token);
    });
    center.postNotification(QStringLiteral("x"), nullptr);
    center.postNotification(QStringLiteral("x"), nullptr);
    EXPECT_EQ(calls, 1);
}

TEST(Clock, FixedClockPinsNowAndToday)
{
    {
        TWFixedClock clock(2020, 2, 29, 13, 14, 15);
        EXPECT_EQ(TWClock::now(), twLocal(2020, 2, 29, 13, 14, 15));
        EXPECT_EQ(TWClock::today(), QDate(2020, 2, 29));
    }
    EXPECT_LT(qAbs(TWClock::now().secsTo(QDateTime::currentDateTime())), 5);
}

TEST(Strings, MissingKeyShowsTheKey)
{
    EXPECT_EQ(TWLocalized("ok"), QStringLiteral("OK"));
    EXPECT_EQ(TWLocalized("noSuchKeyAnywhere"), QStringLiteral("noSuchKeyAnywhere"));
}

// Every key the code looks up must have a text in the table.
TEST(Strings, EveryKeyUsedInTheSourceHasAText)
{
    const QRegularExpression use(QStringLiteral("TWLocalized\\(\"([^\"]+)\"\\)"));
    QStringList missing;
    QDirIterator it(QStringLiteral(TW_SOURCE_DIR "/src"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        auto matches = use.globalMatch(text);
        while (matches.hasNext()) {
            const QString key = matches.next().captured(1);
            if (!TWHasLocalized(key))
                missing.append(key + QStringLiteral(" (") + file.fileName() + QStringLiteral(")"));
        }
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char('\n'));
}

// The table is split into one file per area; a key defined in two files would
// silently take whichever text loads last.
TEST(Strings, NoKeyIsDefinedTwice)
{
    QHash<QString, QString> seen;
    QStringList twice;
    QDirIterator it(QStringLiteral(TW_SOURCE_DIR "/resources/strings"),
                    {QStringLiteral("*.strings")}, QDir::Files);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const QByteArray &raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw);
            const qsizetype tab = line.indexOf(QLatin1Char('\t'));
            if (line.startsWith(QLatin1Char('#')) || tab <= 0)
                continue;
            const QString key = line.left(tab);
            if (seen.contains(key))
                twice.append(key + QStringLiteral(" (") + seen.value(key) + QStringLiteral(", ") +
                             file.fileName() + QStringLiteral(")"));
            seen.insert(key, file.fileName());
        }
    }
    EXPECT_TRUE(twice.isEmpty()) << twice.join(QLatin1Char('\n'));
}

TEST(Errors, CarryDomainCodeAndDescription)
{
    TWErrorResult none;
    EXPECT_FALSE(none.has_value());
    TWError e(QStringLiteral("Tallyworth Database Error"), 19, QStringLiteral("constraint"));
    EXPECT_EQ(e.domain(), QStringLiteral("Tallyworth Database Error"));
    EXPECT_EQ(e.code(), 19);
    EXPECT_EQ(e.localizedDescription(), QStringLiteral("constraint"));
}

TEST(FileNames, UniqueNamesCountOnFromTwoBeforeTheExtension)
{
    QSet<QString> taken{QStringLiteral("a.txt"), QStringLiteral("readme"),
                        QStringLiteral(".profile")};
    EXPECT_EQ(TWFileNames::uniqueFileName(QStringLiteral("b.txt"), taken), QStringLiteral("b.txt"));
    EXPECT_EQ(TWFileNames::uniqueFileName(QStringLiteral("a.txt"), taken),
              QStringLiteral("a-2.txt"));
    EXPECT_EQ(TWFileNames::uniqueFileName(QStringLiteral("a.txt"), taken),
              QStringLiteral("a-3.txt"));
    // The dot is written also after a name without an extension; a leading
    // dot is no extension.
    EXPECT_EQ(TWFileNames::uniqueFileName(QStringLiteral("readme"), taken),
              QStringLiteral("readme-2."));
    EXPECT_EQ(TWFileNames::uniqueFileName(QStringLiteral(".profile"), taken),
              QStringLiteral(".profile-2."));
    // Every name handed out is taken from then on.
    EXPECT_TRUE(taken.contains(QStringLiteral("b.txt")));
    EXPECT_TRUE(taken.contains(QStringLiteral("a-3.txt")));
}

TEST(FileNames, SafeNamesKeepTheExtensionWhenCut)
{
    EXPECT_EQ(TWFileNames::safeFileName(QStringLiteral("a/b\tc")), QStringLiteral("a-b-c"));
    const QString cut =
        TWFileNames::safeFileName(QString(300, QChar(0x00E9)) + QStringLiteral(".pdf"));
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_TRUE(cut.endsWith(QStringLiteral(".pdf")));
}
