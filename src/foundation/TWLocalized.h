#pragma once
// User-visible texts, looked up by key in the strings table compiled into the
// program (resources/strings/*.strings, one file per area). A key without a text shows the key.

#include <QString>

QString TWLocalized(const char *key);
QString TWLocalized(const QString &key);

// True when the table has a text for the key (used by the test that checks
// every key the code uses).
bool TWHasLocalized(const QString &key);
