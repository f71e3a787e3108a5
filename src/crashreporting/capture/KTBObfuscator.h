#pragma once
// Kit information wrapped for the Info.plist: a dictionary as a binary property list in Base64
// (no line breaks), and back. Broken input answers an error; nothing is thrown.

#include "foundation/TWError.h"

#include <QByteArray>
#include <QVariantMap>

class KTBObfuscator
{
public:
    // Domain of the errors: "InvalidObfuscatedData".
    static QString errorDomain();
    static QByteArray obfuscatedDataFromDictionary(const QVariantMap &dictionary);
    static TWResult<QVariantMap> dictionaryWithObfuscatedData(const QByteArray &data);
};
