#include "app/TWAppNews.h"

#include "app/TWAlert.h"
#include "app/TWSiteRequest.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWXMLParser.h"

#include <QSettings>

namespace
{

constexpr qint64 kDaySeconds = 86400;

QString childText(const TWXMLElement &root, const char *name)
{
    const TWXMLElementPtr child = root.childElementWithName(QLatin1String(name));
    return child ? child->data().trimmed() : QString();
}

} // namespace

TWAppNews &TWAppNews::appNews()
{
    static TWAppNews *shared = new TWAppNews();
    return *shared;
}

bool TWAppNews::isOfferableDownload(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

void TWAppNews::checkIfNecessary()
{
    if (m_request)
        m_request->cancel();
    m_request = nullptr;
    m_downloadURL.clear();

    // Without a configured site there is no news to fetch.
    const QUrl url = TWSite::url(TWSite::kNewsPath);
    if (url.isEmpty())
        return;
    const QDateTime last = QSettings().value(kLastCheckedDateKey).toDateTime();
    if (last.isValid() && last.secsTo(TWClock::now()) < kDaySeconds)
        return;
    m_request = TWSiteRequest::get(url, TWSite::kNewsMaximumSize,
                                   [this](const QByteArray &data, const TWErrorResult &error) {
                                       m_request = nullptr;
                                       if (!error)
                                           connectionDidFinishLoading(data);
                                       emit checkFinished();
                                   });
}

void TWAppNews::connectionDidFinishLoading(const QByteArray &data)
{
    TWXMLParser parser;
    parser.setMaximumSize(TWXMLParser::kNewsFeedMaximumSize);
    TWErrorResult error;
    const TWXMLElementPtr root = parser.parseData(data, &error);

    qint64 identifier = 0;
    QString title;
    QString message;
    QUrl download;
    if (!error && root && root->name() == QLatin1String("news")) {
        identifier = childText(*root, "identifier").toLongLong();
        title = childText(*root, "title");
        message = childText(*root, "message");
        const QString address = childText(*root, "download");
        if (!address.isEmpty())
            download = QUrl(address, QUrl::StrictMode);
    }

    QSettings settings;
    if (identifier > settings.value(kLastIdentifierKey, 0).toLongLong()) {
        settings.setValue(kLastIdentifierKey, identifier);
        TWAlert alert;
        alert.message = title;
        alert.informativeText = message;
        alert.buttons = {TWLocalized("ok")};
        if (isOfferableDownload(download)) {
            m_downloadURL = download;
            alert.buttons.append(TWLocalized("download"));
        }
        twRunAlert(alert, [offered = m_downloadURL](int code) {
            if (code == 1001 && isOfferableDownload(offered))
                twOpenURL(offered);
        });
    }
    settings.setValue(kLastCheckedDateKey, TWClock::now());
    settings.sync();
}
