#include "CrashLaunchTestSupport.h"

#include "CrashTestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

TWEnvironmentGuard::~TWEnvironmentGuard()
{
    for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
        if (it->second)
            qputenv(it->first.constData(), *it->second);
        else
            qunsetenv(it->first.constData());
    }
}

void TWEnvironmentGuard::set(const char *name, const QByteArray &value)
{
    std::optional<QByteArray> previous;
    if (qEnvironmentVariableIsSet(name))
        previous = qgetenv(name);
    m_saved.append({QByteArray(name), previous});
    qputenv(name, value);
}

QString twMakeEarlierReport(const QString &folder, const QString &identifier, bool withCrashRecord)
{
    const QString path = folder + QLatin1Char('/') + identifier;
    EXPECT_TRUE(QDir().mkpath(path));
    twCrashTestWriteFile(path + QStringLiteral("/metadata.mshrecord"),
                         "{\"identity\":{\"api_key\":\"test-api-key\",\"started_at\":1,"
                         "\"session_id\":\"" +
                             identifier.toUtf8() + "\"}}\n");
    twCrashTestWriteFile(path + QStringLiteral("/log_a.mshrecord"), "{\"log\":{\"msg\":\"hi\"}}\n");
    if (withCrashRecord)
        twCrashTestWriteFile(path + QStringLiteral("/signal.mshrecord"),
                             "{\"signal\":{\"number\":11}}\n");
    return path;
}

QByteArray twUploadBoundary(const QByteArray &contentType)
{
    const QByteArray prefix = "multipart/form-data; boundary=";
    return contentType.startsWith(prefix) ? contentType.mid(prefix.size()) : QByteArray();
}

QList<TWUploadPart> twUploadParts(const QByteArray &body, const QByteArray &boundary)
{
    QList<TWUploadPart> parts;
    const QByteArray delimiter = "--" + boundary;
    const QByteArray header = "MIME-Version: 1.0\r\n";
    if (boundary.isEmpty() || !body.startsWith(header + delimiter + "\r\n") ||
        !body.endsWith(delimiter + "--\r\n")) {
        ADD_FAILURE() << "not a multipart body with boundary " << boundary.constData();
        return parts;
    }
    qsizetype at = header.size() + delimiter.size() + 2;
    const qsizetype end = body.size() - delimiter.size() - 4;
    while (at < end) {
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", at);
        const qsizetype next = body.indexOf("\r\n" + delimiter, headersEnd);
        if (headersEnd < 0 || next < 0) {
            ADD_FAILURE() << "cut part";
            return parts;
        }
        const QByteArray headers = body.mid(at, headersEnd - at);
        TWUploadPart part;
        const qsizetype nameAt = headers.indexOf("name=\"");
        if (nameAt >= 0) {
            const qsizetype close = headers.indexOf('"', nameAt + 6);
            part.name = QString::fromUtf8(headers.mid(nameAt + 6, close - nameAt - 6));
        }
        const qsizetype fileAt = headers.indexOf("filename=\"");
        if (fileAt >= 0) {
            const qsizetype close = headers.indexOf('"', fileAt + 10);
            part.fileName = QString::fromUtf8(headers.mid(fileAt + 10, close - fileAt - 10));
        }
        part.body = body.mid(headersEnd + 4, next - headersEnd - 4);
        parts.append(part);
        at = next + 2 + delimiter.size() + 2;
    }
    return parts;
}
