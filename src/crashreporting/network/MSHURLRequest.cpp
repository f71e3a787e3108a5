#include "crashreporting/network/MSHURLRequest.h"

namespace
{

bool sameField(const QByteArray &a, const QByteArray &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QByteArray joinedValues(const MSHHeaderList &headers, const QByteArray &field,
                        const QByteArray &separator)
{
    QByteArray value;
    bool found = false;
    for (const auto &header : headers) {
        if (!sameField(header.first, field))
            continue;
        if (found)
            value += separator;
        value += header.second;
        found = true;
    }
    return value;
}

bool containsField(const MSHHeaderList &headers, const QByteArray &field)
{
    for (const auto &header : headers) {
        if (sameField(header.first, field))
            return true;
    }
    return false;
}

} // namespace

MSHURLRequest::MSHURLRequest(const QUrl &url, double timeoutInterval)
    : m_url(url), m_timeout(timeoutInterval)
{
}

QByteArray MSHURLRequest::valueForHTTPHeaderField(const QByteArray &field) const
{
    return joinedValues(m_headers, field, ",");
}

bool MSHURLRequest::hasHTTPHeaderField(const QByteArray &field) const
{
    return containsField(m_headers, field);
}

void MSHURLRequest::setValue(const QByteArray &value, const QByteArray &field)
{
    m_headers.removeIf([&](const auto &header) { return sameField(header.first, field); });
    if (!value.isEmpty())
        m_headers.append({field, value});
}

void MSHURLRequest::addValue(const QByteArray &value, const QByteArray &field)
{
    for (auto &header : m_headers) {
        if (sameField(header.first, field)) {
            header.second += ',' + value;
            return;
        }
    }
    m_headers.append({field, value});
}

MSHHTTPURLResponse::MSHHTTPURLResponse(const QUrl &url, int statusCode, MSHHeaderList headers)
    : m_url(url), m_statusCode(statusCode), m_headers(std::move(headers))
{
}

QByteArray MSHHTTPURLResponse::valueForHTTPHeaderField(const QByteArray &field) const
{
    return joinedValues(m_headers, field, ", ");
}

bool MSHHTTPURLResponse::hasHTTPHeaderField(const QByteArray &field) const
{
    return containsField(m_headers, field);
}
