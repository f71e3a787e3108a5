#include "crashreporting/capture/MSHJavaScriptErrors.h"

#include "crashreporting/capture/MSHException.h"

#include <QVariantMap>

namespace
{

// Saves the page's handlers and installs ours; function declarations are hoisted, so the
// handler defined by the second part is already there.
const char *const installScript = R"JS(var mishapPreviousOnLoad = window.onload;
var mishapPreviousOnError = window.onerror;
function mishapOnLoad() {
    var result;
    if (typeof mishapPreviousOnLoad === 'function')
        result = mishapPreviousOnLoad.apply(this, arguments);
    // A handler the page installed meanwhile is kept and called after ours.
    if (window.onerror !== mishapOnError) {
        mishapPreviousOnError = window.onerror;
        window.onerror = mishapOnError;
    }
    return result;
}
window.onload = mishapOnLoad;
window.onerror = mishapOnError;
)JS";

const char *const errorScript = R"JS(function mishapOnError(msg, url, line, column, error) {
    try {
        var handlers = window.webkit && window.webkit.messageHandlers;
        if (handlers && handlers.mishap)
            handlers.mishap.postMessage({msg: String(msg), url: String(url), line: line, column: column});
    } catch (ignored) {
    }
    if (typeof mishapPreviousOnError === 'function')
        return mishapPreviousOnError.apply(this, arguments);
    return false;
}
)JS";

} // namespace

QString MSHJavaScriptErrorReportingScriptSource()
{
    return QString::fromUtf8(installScript) + QString::fromUtf8(errorScript);
}

bool MSHJavaScriptAddErrorReportingScript(MSHUserContentController &controller)
{
    MSHUserScript script;
    script.source = MSHJavaScriptErrorReportingScriptSource();
    script.injectionTime = MSHUserScriptInjectionTime::AtDocumentEnd;
    script.forMainFrameOnly = true;
    return controller.addUserScript(script);
}

bool MSHJavaScriptRecordMessageBody(const QVariant &body)
{
    if (body.typeId() != QMetaType::QVariantMap)
        return false;
    // The page is not ours and may post a message of any length: the record
    // keeps its beginning only (a surrogate pair is not cut in two).
    QString message = body.toMap().value(QStringLiteral("msg")).toString();
    if (message.size() > MSHJavaScriptMaximumMessageLength) {
        message.truncate(MSHJavaScriptMaximumMessageLength);
        if (message.back().isHighSurrogate())
            message.chop(1);
    }
    MSHExceptionRecord(MSHExceptionTypeJavaScript, QByteArrayLiteral("exception"), message.toUtf8(),
                       {}, false);
    return true;
}
