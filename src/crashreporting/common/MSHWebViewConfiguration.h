#pragma once
// A web view's configuration as the crash kit sees it: scripts added to every page it loads, and
// named handlers that receive what the pages' scripts post to them. The program embeds no web
// toolkit; a web view that wants its pages' script errors reported adapts its own configuration
// to this interface (tests use a fake).

#include <QString>
#include <QVariant>

#include <memory>

// What a page's script posted to a handler: an object arrives as a QVariantMap.
struct MSHScriptMessage {
    QString name;
    QVariant body;
};

enum class MSHUserScriptInjectionTime { AtDocumentStart, AtDocumentEnd };

struct MSHUserScript {
    QString source;
    MSHUserScriptInjectionTime injectionTime = MSHUserScriptInjectionTime::AtDocumentEnd;
    bool forMainFrameOnly = true;
};

class MSHUserContentController;

class MSHScriptMessageHandler
{
public:
    virtual ~MSHScriptMessageHandler() = default;
    virtual void userContentControllerDidReceiveScriptMessage(MSHUserContentController &controller,
                                                              const MSHScriptMessage &message) = 0;
};

class MSHUserContentController
{
public:
    virtual ~MSHUserContentController() = default;
    // Messages the pages post to `name` go to the handler, which the controller keeps.
    virtual void addScriptMessageHandler(const std::shared_ptr<MSHScriptMessageHandler> &handler,
                                         const QString &name) = 0;
    // False when the web view cannot take user scripts; nothing is added then.
    virtual bool addUserScript(const MSHUserScript &script) = 0;
};

class MSHWebViewConfiguration
{
public:
    virtual ~MSHWebViewConfiguration() = default;
    virtual MSHUserContentController &userContentController() = 0;
    // How the configuration is named in a log line.
    virtual QString description() const = 0;
};
