// How the service recognises this build: the executable's architecture and build-id, and the
// icon.

#include "CrashTestSupport.h"
#include "NetworkTestSupport.h"
#include "TWTestSupport.h"
#include "crashreporting/settings/KTBApplicationIdentiferModel.h"
#include "crashreporting/settings/KTBElfReader.h"

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
