// The news feed against a loopback site: each new item shown once, at most one fetch a day,
// retries after failures, and nothing from the feed trusted as markup or as a local address.

#include "TWUpdateTestSupport.h"

#include "app/TWAppNews.h"

#include "foundation/TWLocalized.h"

#include <QMessageBox>
#include <QSettings>

namespace
{

class AppNewsTest : public TWUpdateTest
{
protected:
    void feed(qint64 identifier, const QByteArray &title, const QByteArray &download = {})
    {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<news><identifier>" +
                         QByteArray::number(identifier) + "</identifier><title>" + title +
                         "</title>";
        if (!download.isEmpty())
            xml += "<download>" + download + "</download>";
        xml += "<message>Read all about it.</message><other>ignored</other></news>";
        server.setReply("/news/tallyworth/1.xml", TWLoopbackHttpServer::Reply::ok(xml, "text/xml"));
    }

    // One launch's news check, waited for when it fetches.
    void launch()
    {
        TWAppNews &news = TWAppNews::appNews();
        news.checkIfNecessary();
        ASSERT_TRUE(twWaitUntil([&news] { return !news.isChecking(); }));
    }

    qint64 lastIdentifier() const
    {
        return QSettings().value(QStringLiteral("appNewsLastIdentifier"), 0).toLongLong();
    }
    QDateTime lastChecked() const
    {
        return QSettings().value(QStringLiteral("appNewsLastCheckedDate")).toDateTime();
    }
};

TEST_F(AppNewsTest, FetchesOnceADayAndRetriesAFailureAtTheNextLaunch)
{
    server.setReply("/news/tallyworth/1.xml", TWLoopbackHttpServer::Reply::withStatus(500));
    launch();
    EXPECT_FALSE(lastChecked().isValid());
    EXPECT_TRUE(alerts.isEmpty());

    feed(1, "Hello");
    launch();
    EXPECT_EQ(server.requestCount("/news/tallyworth/1.xml"), 2);
    EXPECT_EQ(alerts.size(), 1);

    // A second launch the same day fetches nothing.
    clock.set(clock.now().addSecs(86399));
    launch();
    EXPECT_EQ(server.requestCount("/news/tallyworth/1.xml"), 2);

    // A feed that is no news document still counts as checked.
    server.setReply("/news/tallyworth/1.xml", TWLoopbackHttpServer::Reply::ok("<html><p>"));
    clock.set(clock.now().addSecs(2));
    launch();
    EXPECT_EQ(server.requestCount("/news/tallyworth/1.xml"), 3);
    EXPECT_EQ(lastChecked(), clock.now());
    EXPECT_EQ(alerts.size(), 1);

    // A feed beyond its size cap is refused, and tried again next time.
    clock.set(clock.now().addDays(2));
    server.setReply("/news/tallyworth/1.xml",
                    TWLoopbackHttpServer::Reply::ok(QByteArray(200 * 1024, ' ') + "<news/>"));
    const QDateTime before = lastChecked();
    launch();
    EXPECT_EQ(lastChecked(), before);
}

TEST_F(AppNewsTest, OnlyWebAddressesAreOfferedForDownload)
{
    int identifier = 10;
    for (const QByteArray &address :
         {QByteArray("file:///etc/passwd"), QByteArray("javascript:alert(1)"),
          QByteArray("https:///no-host"), QByteArray("ftp://example.com/x")}) {
        feed(++identifier, "Item", address);
        clock.set(clock.now().addDays(1));
        launch();
        ASSERT_FALSE(alerts.isEmpty()) << address.constData();
        EXPECT_EQ(alerts.last().alert.buttons, QStringList({TWLocalized("ok")}))
            << address.constData();
        answer(1001);
    }
    EXPECT_TRUE(opened.isEmpty());

    feed(++identifier, "Item", "https://tallyworth.example/get?x=1&amp;y=2");
    clock.set(clock.now().addDays(1));
    launch();
    EXPECT_EQ(alerts.last().alert.buttons,
              QStringList({TWLocalized("ok"), TWLocalized("download")}));
    answer(1000);
    EXPECT_TRUE(opened.isEmpty());
    answer(1001);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), QUrl(QStringLiteral("https://tallyworth.example/get?x=1&y=2")));
}

TEST_F(AppNewsTest, MarkupInTheFeedShowsLiterally)
{
    feed(3, "&lt;b&gt;Bold&lt;/b&gt; &lt;a href='file:///x'&gt;here&lt;/a&gt;");
    launch();
    ASSERT_EQ(alerts.size(), 1);
    const TWAlert alert = alerts.last().alert;
    EXPECT_EQ(alert.message, QStringLiteral("<b>Bold</b> <a href='file:///x'>here</a>"));

    std::unique_ptr<QMessageBox> box(twMakeAlertBox(alert));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), alert.message);
}

} // namespace
