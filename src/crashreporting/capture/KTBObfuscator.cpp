#include "crashreporting/capture/KTBObfuscator.h"

#include "foundation/TWPropertyList.h"

#include <plist/plist.h>

#include <cstdlib>

QString KTBObfuscator::errorDomain()
{
    return QStringLiteral("InvalidObfuscatedData");
}

QByteArray KTBObfuscator::obfuscatedDataFromDictionary(const QVariantMap &dictionary)
{
    const TWResult<QByteArray> xml = TWPropertyList::xmlData(dictionary);
    if (!xml.ok())
        return {};
    plist_t root = nullptr;
    plist_from_xml(xml.value.constData(), uint32_t(xml.value.size()), &root);
    if (!root)
        return {};
    char *binary = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &binary, &length);
    plist_free(root);
    if (!binary)
        return {};
    const QByteArray encoded = QByteArray(binary, qsizetype(length)).toBase64();
    std::free(binary);
    return encoded;
}

TWResult<QVariantMap> KTBObfuscator::dictionaryWithObfuscatedData(const QByteArray &data)
{
    TWResult<QVariantMap> result;
    if (data.isEmpty()) {
        result.error = TWError(errorDomain(), 1,
                               QStringLiteral("Attempting to deobfuscate nil or empty data."));
        return result;
    }
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(data, QByteArray::AbortOnBase64DecodingErrors);
    const TWResult<QVariant> read =
        decoded ? TWPropertyList::readData(*decoded) : TWResult<QVariant>{};
    if (!decoded || (*decoded).isEmpty() || !read.ok() ||
        read.value.typeId() != QMetaType::QVariantMap) {
        result.error = TWError(errorDomain(), 2, QStringLiteral("Improperly obfuscated data."));
        return result;
    }
    result.value = read.value.toMap();
    return result;
}
