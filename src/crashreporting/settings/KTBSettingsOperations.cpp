#include "crashreporting/settings/KTBSettingsOperations.h"

#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"
#include "crashreporting/network/KTBNetworkTaskUtility.h"
#include "crashreporting/settings/KTBApplicationIdentiferModel.h"
#include "crashreporting/settings/KTBSettings.h"
#include "crashreporting/settings/KTBURLBuilder.h"
#include "foundation/TWSaveFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

namespace
{

// A settings document is a few kilobytes; anything far larger is not one.
constexpr qint64 maximumSettingsSize = 8 * 1024 * 1024;

} // namespace

// --- settings download -----------------------------------------------------------------------

const QString KTBDownloadAndSaveSettingsOperation::errorDomain = QStringLiteral("KTBSettingsError");

std::shared_ptr<KTBDownloadAndSaveSettingsOperation> KTBDownloadAndSaveSettingsOperation::create(
    const QString &apiKey,
    const std::weak_ptr<KTBDownloadAndSaveSettingsOperationDelegate> &delegate,
    const QUrl &settingsURL, const QString &settingsDirectoryPath, const QString &settingsFilePath,
    const QString &installIdentifier, const QString &advertisingToken,
    const QList<QSslCertificate> &pinnedCertificates)
{
    if (apiKey.isNull())
        return nullptr;
    std::shared_ptr<KTBDownloadAndSaveSettingsOperation> operation(
        new KTBDownloadAndSaveSettingsOperation(apiKey));
    operation->m_delegate = delegate;
    operation->m_settingsURL = settingsURL;
    operation->m_settingsDirectoryPath = settingsDirectoryPath;
    operation->m_settingsFilePath = settingsFilePath;
    operation->m_installIdentifier = installIdentifier;
    if (shouldReportDeviceIdentifiers())
        operation->m_advertisingToken = advertisingToken;
    else if (KTBDebugEnabled())
        MSHLog("[Kitbase]", QStringLiteral("Suppressing device identifier reporting"));
    operation->m_networkClient = KTBNetworkTaskUtility::create(nullptr, pinnedCertificates);
    return operation;
}

bool KTBDownloadAndSaveSettingsOperation::shouldReportDeviceIdentifiers()
{
    const QVariantMap kitbase = MSHApplicationInfo::kitbaseDictionary();
    if (kitbase.contains(QStringLiteral("ReportIdentifiers")))
        return KTBBoolValue(kitbase.value(QStringLiteral("ReportIdentifiers")), true);
    const QVariantMap info = MSHApplicationInfo::infoDictionary();
    if (info.contains(QStringLiteral("MishapCollectDeviceIdentifiers")))
        return KTBBoolValue(info.value(QStringLiteral("MishapCollectDeviceIdentifiers")), true);
    return true;
}

MSHErrorResult KTBDownloadAndSaveSettingsOperation::error() const
{
    QMutexLocker lock(&m_errorMutex);
    return m_error;
}

MSHURLRequest KTBDownloadAndSaveSettingsOperation::settingsRequest() const
{
    MSHURLRequest request =
        mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(m_settingsURL);
    request.setHTTPMethod("GET");
    request.setValue("application/json", "Accept");
    request.setValue(m_installIdentifier.toUtf8(), "X-Mishap-Installation-ID");
    request.setValue(MSHHostGetModel().toUtf8(), "X-Mishap-Device-Model");
    request.setValue(MSHHostGetOSBuildVersion().toUtf8(), "X-Mishap-OS-Build-Version");
    request.setValue(MSHHostGetOSDisplayVersion().toUtf8(), "X-Mishap-OS-Display-Version");
    if (!m_advertisingToken.isEmpty())
        request.setValue(m_advertisingToken.toUtf8(), "X-Mishap-Advertising-Token");
    return request;
}

void KTBDownloadAndSaveSettingsOperation::main()
{
    if (!m_networkClient) {
        complete(MSHError{errorDomain, 2, {}, QStringLiteral("No network client")});
        return;
    }
    std::shared_ptr<KTBDownloadAndSaveSettingsOperation> self =
        std::static_pointer_cast<KTBDownloadAndSaveSettingsOperation>(shared_from_this());
    m_networkClient->beginDownloadTaskWithRequest(
        settingsRequest(), 1,
        [self](const QString &path, const MSHHTTPURLResponse &, const MSHErrorResult &error) {
            if (error) {
                self->complete(error);
                return;
            }
            // The file is the session's until this block returns.
            self->complete(self->saveSettings(path));
        });
}

MSHErrorResult KTBDownloadAndSaveSettingsOperation::saveSettings(const QString &downloadedPath)
{
    QFile downloaded(downloadedPath);
    if (!downloaded.open(QIODevice::ReadOnly) || downloaded.size() > maximumSettingsSize) {
        MSHError error{
            errorDomain, 1, {}, QStringLiteral("The downloaded settings cannot be read")};
        MSHLog("[Kitbase]",
               QStringLiteral("Unable to complete settings download %1").arg(error.toString()));
        return error;
    }
    const QByteArray body = downloaded.readAll();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        // The stored copy stays: a damaged answer must not replace good settings.
        MSHError error{
            errorDomain, 1, {}, QStringLiteral("The downloaded settings are not a JSON object")};
        MSHLog("[Kitbase]",
               QStringLiteral("Unable to complete settings download %1").arg(error.toString()));
        return error;
    }
    if (!QDir().mkpath(m_settingsDirectoryPath)) {
        MSHError error{errorDomain,
                       3,
                       {},
                       QStringLiteral("The settings folder cannot be created: ") +
                           m_settingsDirectoryPath};
        MSHLog("[Kitbase]",
               QStringLiteral("Unable to complete settings download %1").arg(error.toString()));
        return error;
    }
    // Written beside the old file and renamed over it: a failure (a full disk included) leaves
    // the old one whole.
    QSaveFile file(m_settingsFilePath);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(body) == body.size();
    if (const TWErrorResult failure = twCommitSaveFile(file, written)) {
        MSHError error{errorDomain, 3, {}, failure->localizedDescription()};
        MSHLog("[Kitbase]",
               QStringLiteral("Unable to complete settings download %1").arg(error.toString()));
        return error;
    }
    return std::nullopt;
}

void KTBDownloadAndSaveSettingsOperation::complete(const MSHErrorResult &error)
{
    {
        QMutexLocker lock(&m_errorMutex);
        m_error = error;
    }
    if (const std::shared_ptr<KTBDownloadAndSaveSettingsOperationDelegate> delegate =
            m_delegate.lock())
        delegate->operation(*this, error);
    finish();
}

// --- onboarding ------------------------------------------------------------------------------

std::shared_ptr<KTBOnboardingOperation> KTBOnboardingOperation::create(
    const QString &apiKey, const std::weak_ptr<KTBOnboardingOperationDelegate> &delegate,
    bool shouldCreate, const QMap<QString, QString> &kitVersions,
    const std::shared_ptr<KTBApplicationIdentiferModel> &appIdentifierModel,
    const QString &appEndpoint, const QList<QSslCertificate> &pinnedCertificates)
{
    if (apiKey.isNull())
        return nullptr;
    std::shared_ptr<KTBOnboardingOperation> operation(new KTBOnboardingOperation(apiKey));
    operation->m_delegate = delegate;
    operation->m_shouldCreate = shouldCreate;
    operation->m_kitVersions = kitVersions;
    operation->m_appIdentifierModel = appIdentifierModel;
    operation->m_appEndpoint = appEndpoint;
    operation->m_networkClient = KTBNetworkTaskUtility::create(nullptr, pinnedCertificates);
    return operation;
}

MSHErrorResult KTBOnboardingOperation::error() const
{
    QMutexLocker lock(&m_errorMutex);
    return m_error;
}

QString KTBOnboardingOperation::applicationName()
{
    const QVariantMap info = MSHApplicationInfo::infoDictionary();
    const QString displayName = info.value(QStringLiteral("CFBundleDisplayName")).toString();
    if (!displayName.isEmpty())
        return displayName;
    QString name = info.value(QStringLiteral("CFBundleName")).toString();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    if (!name.isEmpty())
        return name;
    return KTBSettings::appBuildVersion();
}

void KTBOnboardingOperation::encodeForm(KTBMultipartMimeStreamEncoder &encoder,
                                        const KTBApplicationIdentiferModel &model,
                                        const QMap<QString, QString> &kitVersions)
{
    const auto text = [](const QString &value) {
        return value.isNull() ? QVariant() : QVariant(value);
    };
    encoder.addValue(text(KTBSettings::appBundleIdentifier()), QStringLiteral("app[identifier]"));
    encoder.addValue(text(model.instanceIdentifier()), QStringLiteral("app[instance_identifier]"));
    encoder.addValue(text(applicationName()), QStringLiteral("app[name]"));
    encoder.addValue(text(KTBSettings::appBuildVersion()), QStringLiteral("app[build_version]"));
    encoder.addValue(text(KTBSettings::appDisplayVersion()),
                     QStringLiteral("app[display_version]"));
    encoder.addValue(KTBSettings::appSource(), QStringLiteral("app[source]"));
    encoder.addValue(model.minimumSDKString(), QStringLiteral("app[minimum_sdk_version]"));
    encoder.addValue(model.builtSDKString(), QStringLiteral("app[built_sdk_version]"));
    for (auto it = kitVersions.cbegin(); it != kitVersions.cend(); ++it)
        encoder.addValue(it.value(), QStringLiteral("app[build][libraries][%1]").arg(it.key()));
    const QMap<QString, QString> &slices = model.architectureUUIDMap();
    for (auto it = slices.cbegin(); it != slices.cend(); ++it) {
        encoder.addValue(it.key(), QStringLiteral("app[slices][][arch]"));
        encoder.addValue(it.value(), QStringLiteral("app[slices][][uuid]"));
    }
    if (const std::shared_ptr<KTBIcon> &icon = model.icon()) {
        encoder.addValue(icon->dataHash(), QStringLiteral("app[icon][hash]"));
        encoder.addValue(icon->prerendered() ? QStringLiteral("true") : QStringLiteral("false"),
                         QStringLiteral("app[icon][prerendered]"));
        const auto whole = [](double points) {
            return QString::number(points > 0 ? qulonglong(points) : 0ULL);
        };
        encoder.addValue(whole(icon->size().width()), QStringLiteral("app[icon][width]"));
        encoder.addValue(whole(icon->size().height()), QStringLiteral("app[icon][height]"));
        encoder.addFileData(icon->data(), QStringLiteral("icon.png"), QStringLiteral("image/png"),
                            QStringLiteral("app[icon][data]"));
    }
}

MSHURLRequest KTBOnboardingOperation::onboardingRequestForAppCreate(bool create) const
{
    KTBURLBuilder builder = KTBURLBuilder::URLWithBase(m_appEndpoint);
    builder.appendComponent(QStringLiteral("/spi/v1/platforms/"));
    builder.escapeAndAppendComponent(KTBSettings::appPlatform());
    builder.appendComponent(QStringLiteral("/apps"));
    if (!create) {
        builder.appendComponent(QStringLiteral("/"));
        builder.escapeAndAppendComponent(KTBSettings::appBundleIdentifier());
    }
    MSHURLRequest request =
        mutableRequestWithDefaultHTTPHeadersForURL(builder.URL(), create ? 2.0 : 10.0);
    request.setHTTPMethod(create ? "POST" : "PUT");
    return request;
}

void KTBOnboardingOperation::main()
{
    beginAppConfigure();
}

void KTBOnboardingOperation::beginAppConfigure()
{
    QByteArray body;
    QBuffer stream(&body);
    std::unique_ptr<KTBMultipartMimeStreamEncoder> encoder =
        KTBMultipartMimeStreamEncoder::encoderWithStream(&stream, QString());
    if (!encoder || !m_appIdentifierModel || !m_networkClient) {
        MSHLog("[Kitbase]", QStringLiteral("configure failed during onboarding"));
        finish();
        return;
    }
    const bool encoded = encoder->encode([this](KTBMultipartMimeStreamEncoder &form) {
        encodeForm(form, *m_appIdentifierModel, m_kitVersions);
    });
    if (!encoded) {
        MSHLog("[Kitbase]", QStringLiteral("configure failed during onboarding"));
        finish();
        return;
    }
    MSHURLRequest request = onboardingRequestForAppCreate(m_shouldCreate);
    request.setValue(encoder->contentTypeHTTPHeaderValue().toUtf8(), "Content-Type");
    request.setValue(encoder->contentLengthHTTPHeaderValue().toUtf8(), "Content-Length");
    request.setHTTPBody(body);

    std::shared_ptr<KTBOnboardingOperation> self =
        std::static_pointer_cast<KTBOnboardingOperation>(shared_from_this());
    m_networkClient->beginDataTaskWithRequest(
        request, 1,
        [self](const QByteArray &, const MSHHTTPURLResponse &, const MSHErrorResult &error) {
            {
                QMutexLocker lock(&self->m_errorMutex);
                self->m_error = error;
            }
            const std::shared_ptr<KTBOnboardingOperationDelegate> delegate =
                self->isCancelled() ? nullptr : self->m_delegate.lock();
            if (delegate) {
                if (self->m_shouldCreate)
                    delegate->onboardingOperationDidCompleteAppCreationWithError(*self, error);
                else
                    delegate->onboardingOperationDidCompleteAppUpdateWithError(*self, error);
            }
            self->finish();
        });
}
