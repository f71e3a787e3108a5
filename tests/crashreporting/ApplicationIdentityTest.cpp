// How the service recognises this build: the executable's architecture and build-id, and the
// icon.

#include "CrashTestSupport.h"
#include "KTBApplicationIdentiferModel.h"
#include "KTBElfReader.h"
#include "NetworkTestSupport.h"
#include "TWTestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

TEST(ApplicationIdentity, TheTestExecutablesArchitectureAndBuildID)
{
    TWApplicationIdentityGuard identity;
    const auto model = KTBApplicationIdentiferModel::initWithInstallID(QStringLiteral("INSTALL-9"));
    ASSERT_TRUE(model);
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString buildID = twCrashTestBuildID(executable);
    ASSERT_FALSE(buildID.isEmpty());
#if defined(__x86_64__)
    const QString architecture = QStringLiteral("x86_64");
#elif defined(__aarch64__)
    const QString architecture = QStringLiteral("arm64");
#else
    const QString architecture = QStringLiteral("i386");
#endif
    EXPECT_EQ(model->architectureUUIDMap(), (QMap<QString, QString>{{architecture, buildID}}));
    EXPECT_EQ(model->instanceIdentifier(),
              QString::fromLatin1(
                  QCryptographicHash::hash(buildID.toUtf8(), QCryptographicHash::Sha1).toHex()));
    EXPECT_EQ(model->builtSDKString(), QStringLiteral("0.0.0"));
    EXPECT_EQ(model->installID(), QStringLiteral("INSTALL-9"));
    EXPECT_EQ(model->bundleIdentifier(), QStringLiteral("com.example.tallyworth"));
}

TEST(ApplicationIdentity, FilesThatAreNotExecutablesGiveNoModel)
{
    TWTestTempDir folder;
    const QString tiny = folder.filePath(QStringLiteral("tiny"));
    QFile file(tiny);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x7f" "ELF");
    file.close();
    EXPECT_FALSE(KTBApplicationIdentiferModel::initWithInstallID(QStringLiteral("i"), tiny));
    EXPECT_FALSE(KTBApplicationIdentiferModel::initWithInstallID(QStringLiteral("i"), folder.path()));
    EXPECT_FALSE(KTBApplicationIdentiferModel::initWithInstallID(
        QStringLiteral("i"), folder.filePath(QStringLiteral("missing"))));

    // Text long enough to map is one slice of unknown kind: no entries.
    const QString text = folder.filePath(QStringLiteral("text"));
    QFile textFile(text);
    ASSERT_TRUE(textFile.open(QIODevice::WriteOnly));
    textFile.write(QByteArray(256, 'a'));
    textFile.close();
    const auto model = KTBApplicationIdentiferModel::initWithInstallID(QStringLiteral("i"), text);
    ASSERT_TRUE(model);
    EXPECT_TRUE(model->architectureUUIDMap().isEmpty());

    EXPECT_EQ(KTBElfArchitectureName(62), QStringLiteral("x86_64"));
    EXPECT_EQ(KTBElfArchitectureName(183), QStringLiteral("arm64"));
    EXPECT_EQ(KTBElfArchitectureName(3), QStringLiteral("i386"));
    EXPECT_EQ(KTBElfArchitectureName(0xffff), QStringLiteral("unknown"));
}

TEST(ApplicationIdentity, TheIconLimitIsAMillionSquarePoints)
{
    const QByteArray png("png bytes");
    EXPECT_TRUE(KTBIcon(png, QSizeF(1024, 1024)).isWithinMaxSurfaceArea());
    EXPECT_FALSE(KTBIcon(png, QSizeF(1025, 1024)).isWithinMaxSurfaceArea());
    EXPECT_TRUE(KTBIcon(png, QSizeF(10, 10)).largerThanSize(QSizeF(9, 10)));
    EXPECT_FALSE(KTBIcon(png, QSizeF(10, 10)).largerThanSize(QSizeF(10, 10)));
    EXPECT_EQ(KTBIcon(png, QSizeF(1, 1)).dataHash(),
              QString::fromLatin1(QCryptographicHash::hash(png, QCryptographicHash::Sha1).toHex()));
}

TEST(ApplicationIdentity, TheWindowIconBecomesAPNGAtItsLargestSize)
{
    const QIcon saved = QGuiApplication::windowIcon();
    QGuiApplication::setWindowIcon(QIcon());
    EXPECT_FALSE(KTBAppIconUtility().applicationIcon());

    QIcon icon;
    for (int side : {16, 128, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::darkGreen);
        icon.addPixmap(pixmap);
    }
    QGuiApplication::setWindowIcon(icon);
    const std::shared_ptr<KTBIcon> rendered = KTBAppIconUtility().applicationIcon();
    QGuiApplication::setWindowIcon(saved);
    ASSERT_TRUE(rendered);
    EXPECT_EQ(rendered->size(), QSizeF(128, 128));
    EXPECT_TRUE(rendered->prerendered());
    const QImage image = QImage::fromData(rendered->data(), "PNG");
    EXPECT_EQ(image.size(), QSize(128, 128));
    EXPECT_EQ(rendered->dataHash().size(), 40);
}
