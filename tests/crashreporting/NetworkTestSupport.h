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

#include <functional>
#include <memory>

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
