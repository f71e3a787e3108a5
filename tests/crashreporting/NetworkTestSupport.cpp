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

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

TWTricklingServer::TWTricklingServer(int intervalMs) : m_intervalMs(intervalMs)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] {
        while (!m_stopping.load()) {
            pollfd waiting{m_listener, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0)
                continue;
            const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket < 0)
                continue;
            ++m_connections;
            std::lock_guard lock(m_mutex);
            m_sockets.push_back(socket);
            m_threads.emplace_back([this, socket] { serve(socket); });
        }
    });
}

TWTricklingServer::~TWTricklingServer()
{
    m_stopping = true;
    if (m_acceptor.joinable())
        m_acceptor.join();
    std::lock_guard lock(m_mutex);
    for (const int socket : m_sockets)
        ::shutdown(socket, SHUT_RDWR);
    for (std::thread &thread : m_threads)
        thread.join();
    for (const int socket : m_sockets)
        ::close(socket);
    if (m_listener >= 0)
        ::close(m_listener);
}

QString TWTricklingServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void TWTricklingServer::serve(int socket)
{
    const auto pause = [this] {
        for (int waited = 0; waited < m_intervalMs && !m_stopping.load(); waited += 10)
            QThread::msleep(10);
    };
    // The request head whole, then its body 16 KiB per interval.
    QByteArray head;
    char byte = 0;
    while (!m_stopping.load() && !head.endsWith("\r\n\r\n")) {
        if (::recv(socket, &byte, 1, 0) != 1)
            return;
        head += byte;
    }
    qint64 remaining = 0;
    for (const QByteArray &line : head.split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            remaining = line.mid(15).trimmed().toLongLong();
    }
    QByteArray chunk(16384, 0);
    while (remaining > 0 && !m_stopping.load()) {
        const ssize_t got =
            ::recv(socket, chunk.data(), size_t(std::min<qint64>(remaining, chunk.size())), 0);
        if (got <= 0)
            return;
        remaining -= got;
        pause();
    }
    const QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                              "Content-Length: 1000000\r\n\r\n";
    if (::send(socket, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL) < 0)
        return;
    while (!m_stopping.load()) {
        if (::send(socket, " ", 1, MSG_NOSIGNAL) != 1)
            return;
        pause();
    }
}
