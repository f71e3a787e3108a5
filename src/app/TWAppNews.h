#pragma once
// The news feed of the maker's site: fetched at most once a day, each item shown once and only
// when its identifier is larger than any shown before. Every failure is silent; a failed
// fetch records nothing, so the next launch tries again.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

class TWSiteRequest;

class TWAppNews final : public QObject
{
    Q_OBJECT
public:
    // The shared checker, made on first use.
    static TWAppNews &appNews();

    // Fetches the feed unless the last completed fetch is less than a day old.
    void checkIfNecessary();
    bool isChecking() const { return m_request != nullptr; }

    // The feed arrived: records the check and shows a new item.
    void connectionDidFinishLoading(const QByteArray &data);

    // The download address of the item being shown.
    QUrl downloadURL() const { return m_downloadURL; }

    // Only web addresses with a host are offered for download: an item must not open a local
    // file or run a script through the browser.
    static bool isOfferableDownload(const QUrl &url);

    static inline const QString kLastCheckedDateKey = QStringLiteral("appNewsLastCheckedDate");
    static inline const QString kLastIdentifierKey = QStringLiteral("appNewsLastIdentifier");

signals:
    // A fetch ended, whatever its outcome.
    void checkFinished();

private:
    TWAppNews() = default;

    QPointer<TWSiteRequest> m_request;
    QUrl m_downloadURL;
};
