#include "TWLayoutTestSupport.h"

#include "foundation/TWFileNames.h"
#include "model/TWLayoutManager.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace
{

// Points the user's data folder at a temporary folder for the test's life.
class LayoutManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
        QStandardPaths::setTestModeEnabled(false);
        ASSERT_EQ(TWLayoutManager::userLayoutsFolder(),
                  m_data.path() + QStringLiteral("/tallyworth/Layouts/Invoice/"));
    }
    void TearDown() override
    {
        QStandardPaths::setTestModeEnabled(true);
        qputenv("XDG_DATA_HOME", m_previous);
    }

    QString userFolder() const { return TWLayoutManager::userLayoutsFolder(); }
    QStringList userFiles() const
    {
        return QDir(userFolder())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDir::Name);
    }
    // A valid package picked from somewhere outside the layouts folder.
    QString picked(const QString &fileName)
    {
        QDir().mkpath(m_picked.path());
        return twWritePackage(m_picked, fileName,
                              {{QStringLiteral("layout.xml"), twLayoutXML(QString(), QString())}});
    }
    static QStringList names(const TWLayoutManager &manager)
    {
        QStringList result;
        for (const TWLayoutPtr &layout : manager.layouts())
            result.append(layout->name());
        return result;
    }
    static void touch(const QString &path, const QByteArray &bytes = "x")
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    TWTestTempDir m_data;
    TWTestTempDir m_picked;
    QByteArray m_previous;
};

} // namespace

TEST_F(LayoutManagerTest, AddingNumbersTakenNamesAndNeverReplaces)
{
    TWLayoutManager manager;
    manager.update();
    const auto add = [&](const QString &fileName) {
        TWLayoutPtr layout = TWLayout::layoutWithPath(picked(fileName), 0, TWLayoutKindUser);
        EXPECT_OK(layout->validate());
        const TWErrorResult error = manager.addLayout(layout);
        manager.update();
        return error ? QString() : QFileInfo(layout->path()).fileName();
    };
    EXPECT_EQ(add(QStringLiteral("Classic.twlayout")), QStringLiteral("Classic-1.twlayout"));
    EXPECT_EQ(add(QStringLiteral("Classic.twlayout")), QStringLiteral("Classic-2.twlayout"));
    EXPECT_EQ(add(QStringLiteral("classic.twlayout")), QStringLiteral("classic-3.twlayout"));
    EXPECT_EQ(add(QStringLiteral("Fresh.twlayout")), QStringLiteral("Fresh.twlayout"));
    // A name with a line break in it is made safe.
    EXPECT_EQ(add(QStringLiteral("Two\nLines.twlayout")), QStringLiteral("Two-Lines.twlayout"));
    EXPECT_EQ(userFiles(),
              (QStringList{"Classic-1.twlayout", "Classic-2.twlayout", "Fresh.twlayout",
                           "Two-Lines.twlayout", "classic-3.twlayout"}));

    // A file put there behind the list's back is not replaced.
    touch(userFolder() + QStringLiteral("Other.twlayout"), "mine");
    TWLayoutPtr other = TWLayout::layoutWithPath(picked(QStringLiteral("Other.twlayout")), 0, 1);
    const QString pickedPath = other->path();
    const qsizetype count = manager.layouts().size();
    EXPECT_TRUE(manager.addLayout(other));
    EXPECT_EQ(other->path(), pickedPath);
    EXPECT_EQ(manager.layouts().size(), count);
    QFile kept(userFolder() + QStringLiteral("Other.twlayout"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("mine"));
    // No half copy is left behind.
    EXPECT_EQ(userFiles().size(), 6);

    // After adding, the layout sits at its sorted place under its old name.
    TWLayoutPtr late = TWLayout::layoutWithPath(picked(QStringLiteral("Beta.twlayout")), 0, 1);
    ASSERT_OK(manager.addLayout(late));
    EXPECT_EQ(manager.layouts().at(0), late);
    EXPECT_EQ(late->name(), QStringLiteral("Beta"));
}

TEST_F(LayoutManagerTest, FileNamesAreReducedToOneSafeComponent)
{
    EXPECT_EQ(TWFileNames::safeFileName(QStringLiteral("../../etc/passwd")),
              QStringLiteral("..-..-etc-passwd"));
    EXPECT_EQ(TWFileNames::safeFileName(QStringLiteral("..")), QStringLiteral("_"));
    EXPECT_EQ(TWFileNames::safeFileName(QStringLiteral(".")), QStringLiteral("_"));
    EXPECT_EQ(TWFileNames::safeFileName(QString()), QStringLiteral("_"));
    EXPECT_EQ(TWFileNames::safeFileName(QString::fromUtf8("a\0b\tc.twlayout", 14)),
              QStringLiteral("a-b-c.twlayout"));
    // Long names are cut on a character boundary and keep their extension.
    const QString long_ = QString(200, QChar(0x00E9)) + QStringLiteral(".twlayout");
    const QString cut = TWFileNames::safeFileName(long_);
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("\u00e9.twlayout")));
}
