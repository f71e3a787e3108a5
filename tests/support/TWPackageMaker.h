#pragma once
// Business packages as older versions of the program wrote them, for tests of
// opening and upgrading.

#include <QString>
#include <QUrl>

#include <span>

// The columns ("table.column") schema 2.0 added to the tables of 1.0.
std::span<const char *const> twColumnsAddedInVersion2();

// Writes a schema 1.0 package at `url` (a local folder, made when missing): a
// "Data.sql" holding the 1.0 tables, a business named `businessName`, two
// units, an account "Bank" and one transaction. Fails the test on error.
void twMakeSchema10Package(const QUrl &url,
                           const QString &businessName = QStringLiteral("Old Firm"));
