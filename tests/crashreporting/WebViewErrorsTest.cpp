// Script errors of web-view pages reported as "javascript" exceptions, through a fake web view
// configuration: what the kit registers and adds, and what a posted message leaves on record.

#include "CrashTestSupport.h"
#include "crashreporting/Mishap.h"
#include "crashreporting/capture/MSHJavaScriptErrors.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace
{

class FakeContentController final : public MSHUserContentController
{
public:
    bool takesScripts = true;
    QList<QPair<QString, std::shared_ptr<MSHScriptMessageHandler>>> handlers;
    QList<MSHUserScript> scripts;

    void addScriptMessageHandler(const std::shared_ptr<MSHScriptMessageHandler> &handler,
                                 const QString &name) override
    {
        handlers.append({name, handler});
    }
    bool addUserScript(const MSHUserScript &script) override
    {
        if (!takesScripts)
            return false;
        scripts.append(script);
        return true;
    }
    // A page's script posting to a handler by name.
    void post(const QString &name, const QVariant &body)
    {
        for (const auto &entry : std::as_const(handlers)) {
            if (entry.first == name)
                entry.second->userContentControllerDidReceiveScriptMessage(*this, {name, body});
        }
    }
};

class FakeConfiguration final : public MSHWebViewConfiguration
{
public:
    FakeContentController controller;
    MSHUserContentController &userContentController() override { return controller; }
    QString description() const override { return QStringLiteral("<fake web view>"); }
};

// What the block wrote on standard error.
QByteArray standardError(const std::function<void()> &block)
{
    QTemporaryDir folder;
    QFile errors(folder.filePath(QStringLiteral("stderr.txt")));
    EXPECT_TRUE(errors.open(QIODevice::ReadWrite | QIODevice::Truncate));
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(errors.handle(), 2);
    block();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    // The descriptor's offset is shared with standard error's: read from the start.
    errors.seek(0);
    return errors.readAll();
}

} // namespace

TEST(WebViewErrors, TheKitHandlesMishapMessagesAndAddsTheScriptAtDocumentEnd)
{
    const std::shared_ptr<Mishap> kit = Mishap::create();
    FakeConfiguration configuration;
    const QByteArray log =
        standardError([&] { kit->monitorErrorsForWebViewConfiguration(configuration); });
    EXPECT_TRUE(log.isEmpty()) << log.constData();

    ASSERT_EQ(configuration.controller.handlers.size(), 1);
    EXPECT_EQ(configuration.controller.handlers[0].first, QStringLiteral("mishap"));
    EXPECT_EQ(configuration.controller.handlers[0].second.get(),
              static_cast<MSHScriptMessageHandler *>(kit.get()));
    ASSERT_EQ(configuration.controller.scripts.size(), 1);
    const MSHUserScript &script = configuration.controller.scripts[0];
    EXPECT_EQ(script.injectionTime, MSHUserScriptInjectionTime::AtDocumentEnd);
    EXPECT_TRUE(script.forMainFrameOnly);
    // The page's own handlers are kept and called after ours; the installing part comes first.
    const QString source = script.source;
    const qsizetype saves =
        source.indexOf(QStringLiteral("mishapPreviousOnError = window.onerror"));
    const qsizetype handler =
        source.indexOf(QStringLiteral("function mishapOnError(msg, url, line, column, error)"));
    EXPECT_GE(saves, 0);
    EXPECT_GT(handler, saves);
    EXPECT_GT(source.indexOf(QStringLiteral("window.onload = mishapOnLoad")), saves);
    EXPECT_TRUE(source.contains(
        QStringLiteral("postMessage({msg: String(msg), url: String(url), line: line, "
                       "column: column})")));
    EXPECT_TRUE(source.contains(QStringLiteral("mishapPreviousOnError.apply(this, arguments)")));
    EXPECT_TRUE(source.contains(QStringLiteral("mishapPreviousOnLoad.apply(this, arguments)")));

    // A web view that takes no scripts is named in the log; the handler is registered all the
    // same.
    FakeConfiguration refusing;
    refusing.controller.takesScripts = false;
    const QByteArray refused =
        standardError([&] { kit->monitorErrorsForWebViewConfiguration(refusing); });
    EXPECT_EQ(refused, QByteArray("[Mishap] Unable to monitor <fake web view>\n"));
    EXPECT_TRUE(refusing.controller.scripts.isEmpty());
    EXPECT_EQ(refusing.controller.handlers.size(), 1);

    // Kit information and settings of its own: none.
    EXPECT_FALSE(kit->kitInfo().has_value());
    kit->setKitInfo({{QStringLiteral("a"), 1}});
    EXPECT_FALSE(kit->kitInfo().has_value());
    EXPECT_FALSE(kit->settingsDictionary().has_value());
}

TEST(WebViewErrors, APostedErrorIsRecordedAsAJavaScriptExceptionAndAnythingElseIsNot)
{
    const QString records =
        twCrashTestReportDirectory() + QStringLiteral("/custom_exception.mshrecord");
    const qsizetype before = QFile::exists(records) ? twCrashTestLines(records).size() : 0;
    const std::shared_ptr<Mishap> kit = Mishap::create();
    FakeConfiguration configuration;
    kit->monitorErrorsForWebViewConfiguration(configuration);

    const QByteArray ignored = standardError([&] {
        configuration.controller.post(QStringLiteral("mishap"), QStringLiteral("just text"));
    });
    EXPECT_EQ(ignored, QByteArray("[Mishap] Unable to record exception from WKWebView\n"));
    EXPECT_EQ(QFile::exists(records) ? twCrashTestLines(records).size() : 0, before);

    configuration.controller.post(
        QStringLiteral("mishap"),
        QVariantMap{{QStringLiteral("msg"), QStringLiteral("TypeError: x is undefined")},
                    {QStringLiteral("url"), QStringLiteral("file:///page.html")},
                    {QStringLiteral("line"), 12},
                    {QStringLiteral("column"), 7}});
    const QList<QPair<QString, QJsonValue>> sections = twCrashTestSections(records);
    ASSERT_EQ(sections.size(), before + 1);
    EXPECT_EQ(sections.last().first, QStringLiteral("exception"));
    const QJsonObject exception = sections.last().second.toObject();
    EXPECT_EQ(exception.value(QStringLiteral("type")).toString(), QStringLiteral("javascript"));
    EXPECT_EQ(exception.value(QStringLiteral("name")).toString().toLatin1(),
              twCrashTestHex("exception"));
    EXPECT_EQ(exception.value(QStringLiteral("reason")).toString().toLatin1(),
              twCrashTestHex("TypeError: x is undefined"));
    EXPECT_FALSE(exception.contains(QStringLiteral("frames")));

    // The page is not ours: a message of any length keeps only its first 16,384 characters.
    const QString huge = QString(20000, QLatin1Char('x'));
    configuration.controller.post(QStringLiteral("mishap"),
                                  QVariantMap{{QStringLiteral("msg"), huge}});
    const QList<QPair<QString, QJsonValue>> more = twCrashTestSections(records);
    ASSERT_EQ(more.size(), before + 2);
    const QByteArray reason =
        more.last().second.toObject().value(QStringLiteral("reason")).toString().toLatin1();
    EXPECT_EQ(reason.size(), 2 * 16384); // hex digits
    EXPECT_TRUE(reason == twCrashTestHex(huge.left(16384).toLatin1()));
}
