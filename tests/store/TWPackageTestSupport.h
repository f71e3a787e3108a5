#pragma once
// Fixtures of the package and settings tests: a new business made the way a
// document makes it, package folders in a temporary folder, reopening, and
// the bytes of a file for before-and-after comparisons.

#include "TWTestSupport.h"
#include "store/TWBusiness.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

inline std::string twDescribe(const TWErrorResult &error)
{
    if (!error)
        return "no error";
    return (error->domain() + QStringLiteral(" %1: ").arg(error->code()) +
            error->localizedDescription())
        .toStdString();
}

// A new business named "Test Firm" in the given home currency, with or
// without the default chart of accounts.
inline std::unique_ptr<TWBusiness>
twNewBusiness(const QString &homeCurrency = QStringLiteral("USD"), bool defaultAccounts = true)
{
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setName(QStringLiteral("Test Firm"));
    info->setHomeCurrency(homeCurrency);
    info->setCreateDefaultAccounts(defaultAccounts);
    TWErrorResult error;
    auto business = TWBusiness::businessWithBusinessInfo(info, &error);
    EXPECT_TRUE(business) << twDescribe(error);
    EXPECT_OK(error);
    return business;
}

inline QUrl twPackageURL(const TWTestTempDir &dir, const QString &name)
{
    return QUrl::fromLocalFile(dir.filePath(name));
}

inline QString twPackageFile(const QUrl &package, const QString &entry)
{
    return QDir(package.toLocalFile()).filePath(entry);
}

// Opens a package; fails the test (and returns nullptr) when it cannot.
inline std::unique_ptr<TWBusiness> twOpenPackage(const QUrl &url, bool allowUpgrade = false)
{
    TWErrorResult error;
    auto business = TWBusiness::businessWithURL(url, allowUpgrade, &error);
    EXPECT_TRUE(business) << twDescribe(error);
    return business;
}

inline QByteArray twFileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline bool twWriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}
