#pragma once
// Holds the HTTPS connections of the component to its own service: a request trusts only the
// pinned certificates as anchors (the system's certificates are not consulted), and once the
// connection is encrypted the peer's chain must also hold a certificate whose public key equals a
// pinned one, else the reply is aborted. A pinner without certificates refuses every server.

#include <QList>
#include <QSslCertificate>

#include <memory>

class QNetworkReply;
class QNetworkRequest;

class KTBCertificatePinner
{
public:
    explicit KTBCertificatePinner(QList<QSslCertificate> certificates);

    // The program's own set, compiled in from resources/crashreporting/pinned/*.der (none here: a
    // deployment adds its service's certificates). Read anew on each call.
    static QList<QSslCertificate> pinnedCertificates();
    // A pinner over pinnedCertificates().
    static std::shared_ptr<const KTBCertificatePinner> pinner();
    // A certificate from DER bytes (null when they do not parse).
    static QSslCertificate createCertificationWithData(const char *bytes, qsizetype length);

    const QList<QSslCertificate> &certificates() const { return m_certificates; }

    // Trust anchors of the request: the pinned certificates only.
    void configureRequest(QNetworkRequest &request) const;
    // True when the set is not empty and the chain holds a certificate with a pinned public key.
    bool evaluateTrust(const QList<QSslCertificate> &chain) const;
    // Watches the reply from its start: without certificates it is aborted at once, otherwise once
    // encrypted when evaluateTrust() refuses its chain. Answers false when it refused at once.
    bool handleChallenge(QNetworkReply *reply) const;

private:
    QList<QSslCertificate> m_certificates;
    QList<QByteArray> m_publicKeys;
};
