#include "NetworkTestSupport.h"

#include "TWTestSupport.h"
#include "crashreporting/common/MSHApplicationInfo.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSslKey>
#include <QThread>

QSslCertificate twNetworkTestCertificate(const QString &pemName)
{
    QFile file(twTestDataPath(pemName));
    if (!file.open(QIODevice::ReadOnly))
        return QSslCertificate();
    return QSslCertificate(file.readAll(), QSsl::Pem);
}

QList<QSslCertificate> twTestCA()
{
    return {twNetworkTestCertificate(QStringLiteral("test-ca.pem"))};
}

QList<QSslCertificate> twUnrelatedCA()
{
    return {twNetworkTestCertificate(QStringLiteral("unrelated-ca.pem"))};
}

std::unique_ptr<TWLoopbackHttpServer> twNetworkTestServer(bool https)
{
    auto server = std::make_unique<TWLoopbackHttpServer>();
    server->runOnOwnThread();
    if (https) {
        QFile keyFile(twTestDataPath(QStringLiteral("test-server-key.pem")));
        keyFile.open(QIODevice::ReadOnly);
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificateChain(
            {twNetworkTestCertificate(QStringLiteral("test-server.pem")), twTestCA().first()});
        configuration.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa, QSsl::Pem));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        server->useTls(configuration);
    }
    return server;
}

bool twWaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

std::function<void(const QByteArray &, const MSHHTTPURLResponse &, const MSHErrorResult &)>
TWNetworkOutcome::dataHandler()
{
    return [this](const QByteArray &body, const MSHHTTPURLResponse &answer,
                  const MSHErrorResult &failure) {
        {
            QMutexLocker lock(&mutex);
            ++calls;
            data = body;
            response = answer;
            error = failure;
        }
        done.release();
    };
}

std::function<void(const QString &, const MSHHTTPURLResponse &, const MSHErrorResult &)>
TWNetworkOutcome::downloadHandler()
{
    return [this](const QString &file, const MSHHTTPURLResponse &answer,
                  const MSHErrorResult &failure) {
        {
            QMutexLocker lock(&mutex);
            ++calls;
            path = file;
            fileExisted = !file.isEmpty() && QFileInfo::exists(file);
            if (fileExisted) {
                QFile body(file);
                if (body.open(QIODevice::ReadOnly))
                    data = body.readAll();
            }
            response = answer;
            error = failure;
        }
        done.release();
    };
}

TWApplicationIdentityGuard::TWApplicationIdentityGuard(const QVariantMap &info)
{
    MSHApplicationInfo::setBundleIdentifier(QStringLiteral("com.example.tallyworth"));
    MSHApplicationInfo::setDisplayVersion(QStringLiteral("2.1"));
    MSHApplicationInfo::setBuildVersion(QStringLiteral("345"));
    MSHApplicationInfo::setInfoDictionary(info);
}

TWApplicationIdentityGuard::~TWApplicationIdentityGuard()
{
    MSHApplicationInfo::reset();
}
