#pragma once
// Shared pieces of the network suites: the loopback server on its own thread (plain or HTTPS
// with the test certificates under data/), the test CAs, waiting for answers that arrive on
// other threads, and the application identity the settings requests are built from.

#include "TWLoopbackHttpServer.h"
#include "crashreporting/common/MSHError.h"
#include "crashreporting/network/MSHURLRequest.h"

#include <QList>
#include <QMutex>
#include <QSemaphore>
#include <QSslCertificate>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

QSslCertificate twNetworkTestCertificate(const QString &pemName);
// The CA that signed the server's certificate, and one that signed nothing of ours.
QList<QSslCertificate> twTestCA();
QList<QSslCertificate> twUnrelatedCA();
// A server on its own thread; with https, serving the test server certificate and its CA.
std::unique_ptr<TWLoopbackHttpServer> twNetworkTestServer(bool https);
// Polls (keeping the test thread's event loop turning) until the condition holds.
bool twWaitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

// What a completion handler received, handed from the delivering thread to the test.
struct TWNetworkOutcome {
    QSemaphore done;
    QMutex mutex;
    int calls = 0;
    QByteArray data;
    QString path;
    bool fileExisted = false;
    MSHHTTPURLResponse response;
    MSHErrorResult error;

    // A data handler recording its arguments.
    std::function<void(const QByteArray &, const MSHHTTPURLResponse &, const MSHErrorResult &)>
    dataHandler();
    // A download handler recording the file's path and whether it existed during the call.
    std::function<void(const QString &, const MSHHTTPURLResponse &, const MSHErrorResult &)>
    downloadHandler();
    bool wait(int timeoutMs = 10000) { return done.tryAcquire(1, timeoutMs); }
};

// Pins the application's identity for the object's life (bundle identifier, versions, the
// information dictionary) and restores it afterwards.
class TWApplicationIdentityGuard
{
public:
    explicit TWApplicationIdentityGuard(const QVariantMap &info = {});
    ~TWApplicationIdentityGuard();
    TWApplicationIdentityGuard(const TWApplicationIdentityGuard &) = delete;
    TWApplicationIdentityGuard &operator=(const TWApplicationIdentityGuard &) = delete;
};

// A plain-HTTP service on 127.0.0.1 that never stalls long enough for a transfer timeout and
// never finishes: it reads a request's body 16 KiB at a time, then answers 200 with a long body
// sent one byte at a time. Every connection ends when the object goes.
class TWTricklingServer
{
public:
    // `intervalMs` between two reads of the body and between two bytes of the answer.
    explicit TWTricklingServer(int intervalMs = 100);
    ~TWTricklingServer();
    TWTricklingServer(const TWTricklingServer &) = delete;
    TWTricklingServer &operator=(const TWTricklingServer &) = delete;

    QString baseUrl() const;
    // Connections accepted so far.
    int connections() const { return m_connections.load(); }

private:
    void serve(int socket);

    const int m_intervalMs;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_connections{0};
    std::mutex m_mutex;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};
