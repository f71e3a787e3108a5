#pragma once
// Script errors of the pages in a web view, reported as non-fatal "javascript" exceptions: the
// script that catches a page's errors and posts them to the "mishap" message handler, and the
// recording of one posted message.

#include "crashreporting/common/MSHWebViewConfiguration.h"

#include <QString>
#include <QVariant>

inline constexpr const char *MSHJavaScriptMessageHandlerName = "mishap";
// The longest message (in UTF-16 code units) a record keeps of one posted error.
inline constexpr qsizetype MSHJavaScriptMaximumMessageLength = 16384;

// The page script: it keeps the page's own onload and onerror handlers and puts its own in their
// place (again after the load, keeping one the page installed meanwhile); every error is posted
// as {msg, url, line, column} and then handed on to the page's handler.
QString MSHJavaScriptErrorReportingScriptSource();
// Adds the script at document end, main frame only; false when the controller cannot take it.
bool MSHJavaScriptAddErrorReportingScript(MSHUserContentController &controller);
// Records a posted object as a "javascript" exception named "exception" whose reason is its
// "msg" (its first MSHJavaScriptMaximumMessageLength units); any other body is ignored (false).
bool MSHJavaScriptRecordMessageBody(const QVariant &body);
