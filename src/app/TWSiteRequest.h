#pragma once
// Requests to the maker's web site (the update file, the news feed, the product page). The
// site's address is configuration (the preference "siteURL", or one set by tests to a loopback
// server); no host is built in, and without one nothing is requested.
// Every request has a transfer timeout and a cap on the reply's size, and hands its answer to
// the main thread.

#include "foundation/TWError.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace TWSite
{
inline const QString kUpdatePath = QStringLiteral("/update/tallyworth/1.txt");
inline const QString kNewsPath = QStringLiteral("/news/tallyworth/1.xml");
inline const QString kProductPath = QStringLiteral("/tallyworth/");

// Replies beyond these sizes are refused.
constexpr qint64 kUpdateMaximumSize = 1024;
constexpr qint64 kNewsMaximumSize = 64 * 1024;
constexpr int kDefaultTransferTimeout = 30000;

// The site's base address: the one set here, else the preference "siteURL" when it is an http
// or https address; empty when there is none.
QUrl baseURL();
// An empty address goes back to the preference.
void setBaseURL(const QUrl &url);
// A path on the site; empty without a site.
QUrl url(const QString &path);

// Milliseconds a transfer may stall before it fails.
int transferTimeout();
void setTransferTimeout(int milliseconds);

// The manager every site request uses (main thread).
QNetworkAccessManager &network();
} // namespace TWSite

// The version an update file names: its first line, trimmed, when that is at most 32
// characters of numbers separated by dots; empty for anything else.
QString twUpdateVersion(const QByteArray &body);

// One GET. The completion runs once on the main thread with the body, or with the error: a
// network error (its code), an HTTP status of 400 or more (the status as code), a reply over
// the size cap, a transfer that stalled. A cancelled request never completes.
class TWSiteRequest final : public QObject
{
    Q_OBJECT
public:
    using Completion = std::function<void(const QByteArray &data, const TWErrorResult &error)>;

    static constexpr const char *kErrorDomain = "Tallyworth Network Error";

    // The request deletes itself once it has completed or was cancelled.
    static TWSiteRequest *get(const QUrl &url, qint64 maximumSize, Completion completion);

    void cancel();

private:
    TWSiteRequest(QNetworkReply *reply, qint64 maximumSize, Completion completion);
    void readAvailable();
    void finish();
    void fail(const TWError &error);

    QPointer<QNetworkReply> m_reply;
    qint64 m_maximumSize;
    Completion m_completion;
    QByteArray m_data;
    bool m_done = false;
};
