#include "crashreporting/network/KTBCertificatePinner.h"

#include "crashreporting/common/MSHLog.h"

#include <QDir>
#include <QFile>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslKey>

namespace
{

QByteArray publicKeyBytes(const QSslCertificate &certificate)
{
    const QSslKey key = certificate.publicKey();
    return key.isNull() ? QByteArray() : key.toDer();
}

} // namespace

KTBCertificatePinner::KTBCertificatePinner(QList<QSslCertificate> certificates)
    : m_certificates(std::move(certificates))
{
    for (const QSslCertificate &certificate : std::as_const(m_certificates)) {
        const QByteArray key = publicKeyBytes(certificate);
        if (!key.isEmpty())
            m_publicKeys.append(key);
    }
}

QList<QSslCertificate> KTBCertificatePinner::pinnedCertificates()
{
    QList<QSslCertificate> certificates;
    const QDir folder(QStringLiteral(":/crashreporting/pinned"));
    const QStringList names = folder.entryList({QStringLiteral("*.der")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const QSslCertificate certificate =
            createCertificationWithData(bytes.constData(), bytes.size());
        if (certificate.isNull())
            MSHLog("[Kitbase]", QStringLiteral("Pinned certificate %1 does not parse").arg(name));
        else
            certificates.append(certificate);
    }
    return certificates;
}

std::shared_ptr<const KTBCertificatePinner> KTBCertificatePinner::pinner()
{
    return std::make_shared<const KTBCertificatePinner>(pinnedCertificates());
}

QSslCertificate KTBCertificatePinner::createCertificationWithData(const char *bytes,
                                                                  qsizetype length)
{
    if (!bytes || length <= 0)
        return QSslCertificate();
    return QSslCertificate(QByteArray(bytes, length), QSsl::Der);
}

void KTBCertificatePinner::configureRequest(QNetworkRequest &request) const
{
    QSslConfiguration configuration = request.sslConfiguration();
    // Setting the list also stops Qt from loading the system's certificates on demand.
    configuration.setCaCertificates(m_certificates);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(configuration);
}

bool KTBCertificatePinner::evaluateTrust(const QList<QSslCertificate> &chain) const
{
    if (m_publicKeys.isEmpty())
        return false;
    for (const QSslCertificate &certificate : chain) {
        if (m_publicKeys.contains(publicKeyBytes(certificate)))
            return true;
    }
    return false;
}

bool KTBCertificatePinner::handleChallenge(QNetworkReply *reply) const
{
    if (!reply)
        return false;
    if (m_publicKeys.isEmpty()) {
        reply->abort();
        return false;
    }
    const QList<QByteArray> keys = m_publicKeys;
    QObject::connect(reply, &QNetworkReply::encrypted, reply, [reply, keys] {
        const QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
        for (const QSslCertificate &certificate : chain) {
            if (keys.contains(publicKeyBytes(certificate)))
                return;
        }
        MSHLog("[Kitbase]", QStringLiteral("Server certificate chain is not pinned, refusing %1")
                                .arg(reply->url().toString()));
        reply->abort();
    });
    return true;
}
