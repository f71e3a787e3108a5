// Opening a package of the older schema: the upgraded copy, and the original
// that stays exactly as it was whatever the user picks.

#include "TWAppTestSupport.h"
#include "TWPackageMaker.h"

#include <QDir>
#include <QFileInfo>

namespace
{

class DocumentUpgradeTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        shop = dir.filePath(QStringLiteral("Shop.tallyworth"));
        twMakeSchema10Package(QUrl::fromLocalFile(shop), QStringLiteral("Shop"));
        original = bytes(QDir(shop).filePath(QStringLiteral("Data.sql")));
        ASSERT_FALSE(original.isEmpty());
    }

    void expectOriginalIntact()
    {
        EXPECT_EQ(bytes(QDir(shop).filePath(QStringLiteral("Data.sql"))), original);
        EXPECT_EQ(QDir(shop).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{QStringLiteral("Data.sql")});
    }

    // Nothing but the original and what the test made is left in the folder.
    QStringList leftovers() const
    {
        QStringList names =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        names.removeAll(QStringLiteral("Shop.tallyworth"));
        return names;
    }

    QString shop;
    QByteArray original;
};

TEST_F(DocumentUpgradeTest, AnExistingPackageAtTheChosenPlaceIsReplacedOnlyByAFinishedCopy)
{
    const QString copy = dir.filePath(QStringLiteral("Shop_v2.tallyworth"));
    savePackage(copy, QStringLiteral("Something Else"));
    TWBusinessController document;
    TWErrorResult error;
    ASSERT_TRUE(document.readFromURL(QUrl::fromLocalFile(shop), &error));
    EXPECT_EQ(businessName(copy), QStringLiteral("Shop"));
    expectOriginalIntact();
    EXPECT_EQ(leftovers(), QStringList{QStringLiteral("Shop_v2.tallyworth")});
}

TEST_F(DocumentUpgradeTest, TheOriginalItsFolderOrAPlaceInsideItIsRefused)
{
    const QStringList places = {shop, dir.path(),
                                QDir(shop).filePath(QStringLiteral("In.tallyworth")),
                                dir.filePath(QStringLiteral("./Shop.tallyworth"))};
    for (const QString &place : places) {
        prompts.saveLocation = [place](const QString &) { return place; };
        prompts.errors.clear();
        TWBusinessController document;
        TWErrorResult error;
        EXPECT_FALSE(document.readFromURL(QUrl::fromLocalFile(shop), &error)) << place;
        ASSERT_TRUE(error) << place;
        EXPECT_TRUE(error->localizedDescription().contains(place)) << place;
        EXPECT_FALSE(document.business());
        expectOriginalIntact();
    }
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ');
}

TEST_F(DocumentUpgradeTest, AnUnwritablePlaceFailsWithAnErrorAndLosesNothing)
{
    // A plain file cannot hold a folder, even for the superuser.
    const QString file = dir.filePath(QStringLiteral("plain"));
    QFile plain(file);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString place = file + QStringLiteral("/Shop_v2.tallyworth");
    prompts.saveLocation = [place](const QString &) { return place; };

    TWBusinessController document;
    TWErrorResult error;
    EXPECT_FALSE(document.readFromURL(QUrl::fromLocalFile(shop), &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedDescription().contains(QStringLiteral("copied")))
        << error->localizedDescription();
    expectOriginalIntact();
    EXPECT_EQ(leftovers(), QStringList{QStringLiteral("plain")});
}

} // namespace
