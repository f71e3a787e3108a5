#pragma once
// A request as the component builds it before handing it to a URL session (URL, method, header
// fields in order, body or body file, timeout), and the HTTP response a task received.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <optional>

using MSHHeaderList = QList<QPair<QByteArray, QByteArray>>;

class MSHURLRequest
{
public:
    MSHURLRequest() = default;
    explicit MSHURLRequest(const QUrl &url, double timeoutInterval = 60.0);

    QUrl url() const { return m_url; }
    void setURL(const QUrl &url) { m_url = url; }
    QByteArray HTTPMethod() const { return m_method; }
    void setHTTPMethod(const QByteArray &method) { m_method = method; }
    // Seconds a transfer may stall before the request fails.
    double timeoutInterval() const { return m_timeout; }
    void setTimeoutInterval(double seconds) { m_timeout = seconds; }
    QByteArray HTTPBody() const { return m_body; }
    void setHTTPBody(const QByteArray &body) { m_body = body; }
    // A file streamed as the body (an upload); empty for none.
    QString HTTPBodyFile() const { return m_bodyFile; }
    void setHTTPBodyFile(const QString &path) { m_bodyFile = path; }
    // The very file (device and inode) the body must be when the upload opens it: a file put
    // under its name meanwhile is refused, never sent.
    struct FileIdentity {
        quint64 device = 0;
        quint64 inode = 0;
    };
    std::optional<FileIdentity> HTTPBodyFileIdentity() const { return m_bodyIdentity; }
    void setHTTPBodyFileIdentity(FileIdentity identity) { m_bodyIdentity = identity; }

    // Header names compare without regard to case.
    const MSHHeaderList &allHTTPHeaderFields() const { return m_headers; }
    QByteArray valueForHTTPHeaderField(const QByteArray &field) const;
    bool hasHTTPHeaderField(const QByteArray &field) const;
    // Replaces every value of the field (an empty value removes it).
    void setValue(const QByteArray &value, const QByteArray &field);
    // Joins the value to the field's existing one with ",".
    void addValue(const QByteArray &value, const QByteArray &field);

private:
    QUrl m_url;
    QByteArray m_method = "GET";
    double m_timeout = 60.0;
    QByteArray m_body;
    QString m_bodyFile;
    std::optional<FileIdentity> m_bodyIdentity;
    MSHHeaderList m_headers;
};

class MSHHTTPURLResponse
{
public:
    MSHHTTPURLResponse() = default;
    MSHHTTPURLResponse(const QUrl &url, int statusCode, MSHHeaderList headers);

    QUrl URL() const { return m_url; }
    // 0 when the answer carried no HTTP status.
    int statusCode() const { return m_statusCode; }
    const MSHHeaderList &allHeaderFields() const { return m_headers; }
    // The field's value (several joined with ", "); empty when absent.
    QByteArray valueForHTTPHeaderField(const QByteArray &field) const;
    bool hasHTTPHeaderField(const QByteArray &field) const;

private:
    QUrl m_url;
    int m_statusCode = 0;
    MSHHeaderList m_headers;
};
