// Pinned HTTPS: only a chain with a pinned key gets through, whatever the process trusts.

#include "NetworkTestSupport.h"
#include "crashreporting/Mishap.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/network/KTBCertificatePinner.h"
#include "crashreporting/network/KTBNetworkClient.h"
#include "crashreporting/network/KTBNetworkTaskUtility.h"

#include <QNetworkReply>
#include <QSslConfiguration>

#include <gtest/gtest.h>

namespace
{

// Adds the test CA to the process's default list for the object's life.
class DefaultCAGuard
{
public:
    DefaultCAGuard() : m_saved(QSslConfiguration::defaultConfiguration())
    {
        QSslConfiguration configuration = m_saved;
        configuration.addCaCertificates(twTestCA());
        QSslConfiguration::setDefaultConfiguration(configuration);
    }
    ~DefaultCAGuard() { QSslConfiguration::setDefaultConfiguration(m_saved); }

private:
    QSslConfiguration m_saved;
};

MSHErrorResult fetch(KTBNetworkClient &client, const QUrl &url, QByteArray *body = nullptr)
{
    TWNetworkOutcome outcome;
    client.startDataTaskWithRequest(MSHURLRequest(url), outcome.dataHandler());
    EXPECT_TRUE(outcome.wait(20000));
    if (body)
        *body = outcome.data;
    return outcome.error;
}

} // namespace

TEST(CertificatePinning, TheTestCAPinnedLetsTheServerThrough)
{
    ASSERT_FALSE(twTestCA().first().isNull());
    auto server = twNetworkTestServer(true);
    ASSERT_EQ(server->baseUrl().scheme(), QStringLiteral("https"));
    server->setReply("/hello", TWLoopbackHttpServer::Reply::ok("over TLS"));
    auto client = KTBNetworkClient::create(nullptr, twTestCA());
    QByteArray body;
    const MSHErrorResult error = fetch(*client, server->url(QStringLiteral("/hello")), &body);
    EXPECT_FALSE(error) << (error ? error->toString() : QString());
    EXPECT_EQ(body, QByteArray("over TLS"));
    EXPECT_EQ(server->requestCount(), 1);
}

TEST(CertificatePinning, AnotherPinnedCARefusesAServerTheProcessTrusts)
{
    DefaultCAGuard trusted;
    auto server = twNetworkTestServer(true);
    server->setReply("/hello", TWLoopbackHttpServer::Reply::ok("secret"));

    // Without a pinner the process's own list decides, and it trusts the test CA.
    auto unpinned = KTBNetworkClient::create();
    EXPECT_FALSE(fetch(*unpinned, server->url(QStringLiteral("/hello"))));
    EXPECT_EQ(server->requestCount(), 1);

    auto pinned = KTBNetworkClient::create(nullptr, twUnrelatedCA());
    QByteArray body;
    const MSHErrorResult error = fetch(*pinned, server->url(QStringLiteral("/hello")), &body);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, QStringLiteral("QNetworkReply"));
    EXPECT_TRUE(body.isEmpty());
    EXPECT_EQ(server->requestCount(), 1);

    // Debug mode does not switch pinning off, and turning it off leaves it off.
    Mishap::sharedInstance().setDebugMode(true);
    EXPECT_TRUE(Mishap::sharedInstance().debugMode());
    EXPECT_TRUE(fetch(*pinned, server->url(QStringLiteral("/hello"))));
    Mishap::sharedInstance().setDebugMode(false);
    EXPECT_FALSE(Mishap::sharedInstance().debugMode());
    EXPECT_FALSE(KTBDebugEnabled());
    EXPECT_EQ(server->requestCount(), 1);
}

TEST(CertificatePinning, AnEmptySetRefusesEveryServer)
{
    DefaultCAGuard trusted;
    auto server = twNetworkTestServer(true);
    server->setReply("/settings", TWLoopbackHttpServer::Reply::ok("{}", "application/json"));
    auto utility = KTBNetworkTaskUtility::create(nullptr, {});
    ASSERT_TRUE(utility);
    TWNetworkOutcome outcome;
    utility->beginDataTaskWithRequest(MSHURLRequest(server->url(QStringLiteral("/settings"))), 1,
                                      outcome.dataHandler());
    ASSERT_TRUE(outcome.wait(20000));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, QStringLiteral("QNetworkReply"));
    EXPECT_EQ(server->requestCount(), 0);

    const KTBCertificatePinner none({});
    EXPECT_FALSE(none.evaluateTrust(twTestCA()));
    // The program carries no certificates of its own here: its pinner refuses too.
    EXPECT_TRUE(KTBCertificatePinner::pinnedCertificates().isEmpty());
}
