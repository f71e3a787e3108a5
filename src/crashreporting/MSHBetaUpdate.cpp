#include "crashreporting/MSHBetaUpdate.h"

#include "crashreporting/MSHApplicationIdentity.h"
#include "foundation/TWLocalized.h"

namespace
{

QString text(const char *key, const QString &fallback)
{
    const QString name = QString::fromLatin1(key);
    return TWHasLocalized(name) ? TWLocalized(name) : fallback;
}

} // namespace

std::optional<MSHBetaUpdate> MSHBetaUpdate::betaUpdateWithDictionary(const QVariantMap &dictionary,
                                                                     MSHError *error)
{
    const QVariant url = dictionary.value(QStringLiteral("url"));
    const QUrl parsed =
        url.typeId() == QMetaType::QString ? QUrl(url.toString(), QUrl::StrictMode) : QUrl();
    if (!parsed.isValid() || parsed.isEmpty()) {
        if (error) {
            *error = MSHError{QStringLiteral("NSURLErrorDomain"),
                              -1017,
                              {},
                              QStringLiteral("The beta update has no valid url")};
        }
        return std::nullopt;
    }
    MSHBetaUpdate update;
    update.m_url = parsed;
    update.m_version = dictionary.value(QStringLiteral("version_string")).toString();
    return update;
}

QString MSHBetaUpdate::promptTitle() const
{
    return text("MishapDistributionPromptTitle", QStringLiteral("New Build Available"));
}

QString MSHBetaUpdate::promptMessage() const
{
    const QString format = text("MishapDistributionPromptMessage",
                                QStringLiteral("A new version of %@ is available for testing."));
    QString message = format;
    return message.replace(QStringLiteral("%@"), MSHApplicationGetName());
}

QString MSHBetaUpdate::installLabel() const
{
    return text("MishapDistributionPromptInstallTitle", QStringLiteral("Install"));
}

QString MSHBetaUpdate::cancelLabel() const
{
    return text("MishapDistributionPromptCancelTitle", QStringLiteral("Cancel"));
}
