#pragma once
// Layout packages written by the invoicing tests: a zip made with the
// application's own writer from members given as text or bytes.

#include "TWTestSupport.h"
#include "foundation/TWZipArchive.h"
#include "model/TWLayout.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <gtest/gtest.h>

using TWPackageMembers = QList<QPair<QString, QByteArray>>;

// Writes the members into a new package `name` inside `dir`; returns its path.
inline QString twWritePackage(const TWTestTempDir &dir, const QString &name,
                              const TWPackageMembers &members)
{
    const QString path = dir.filePath(name);
    TWZipArchive zip;
    EXPECT_TRUE(zip.createZipFile(path));
    for (const auto &member : members)
        EXPECT_TRUE(zip.addFileDataToZip(member.second, member.first));
    EXPECT_TRUE(zip.close());
    return path;
}

// The six components at places that do not clash, each replaceable.
struct TWTestComponents {
    QString client = QStringLiteral(R"(<client column="left" row="1"/>)");
    QString business = QStringLiteral(R"(<business column="left" row="0"/>)");
    QString title = QStringLiteral(R"(<title column="right" row="0"/>)");
    QString invoice = QStringLiteral(R"(<invoice column="right" row="1"/>)");
    QString table = QStringLiteral(R"(<table row="2"/>)");
    QString details = QStringLiteral(R"(<details row="3"/>)");

    QString xml() const
    {
        return QStringLiteral("<components>") + client + business + title + invoice + table +
               details + QStringLiteral("</components>");
    }
};

// A layout document: the page's attributes and its children (the components
// are added when `components` is given).
inline QByteArray twLayoutXML(const QString &pageAttributes, const QString &pageChildren,
                              const TWTestComponents *components = nullptr)
{
    TWTestComponents standard;
    const QString parts = components ? components->xml() : standard.xml();
    return (QStringLiteral(R"(<?xml version="1.0"?><layout version="1.0" type="invoice"><page )") +
            pageAttributes + QStringLiteral(">") + pageChildren + parts +
            QStringLiteral("</page></layout>"))
        .toUtf8();
}

// Loads a package holding only "layout.xml" with the given text.
inline TWErrorResult twLoadXML(const TWTestTempDir &dir, const QByteArray &xml,
                               TWLayoutPtr *loaded = nullptr, const TWPackageMembers &more = {})
{
    TWPackageMembers members{{QStringLiteral("layout.xml"), xml}};
    members += more;
    static int counter = 0;
    const QString path =
        twWritePackage(dir, QStringLiteral("Test%1.twlayout").arg(++counter), members);
    TWLayoutPtr layout = TWLayout::layoutWithPath(path, 0, 1);
    const TWErrorResult error = layout->load();
    if (loaded)
        *loaded = layout;
    return error;
}

// The element settings under `key` of a loaded layout.
inline QVariantMap twElement(const TWLayoutPtr &layout, const char *key)
{
    return layout->settings().value(QString::fromLatin1(key)).toMap();
}
