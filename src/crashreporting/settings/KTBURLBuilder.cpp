#include "crashreporting/settings/KTBURLBuilder.h"

KTBURLBuilder KTBURLBuilder::URLWithBase(const QString &base)
{
    KTBURLBuilder builder;
    builder.m_string = base;
    return builder;
}

void KTBURLBuilder::appendComponent(const QString &component)
{
    m_string += component;
}

void KTBURLBuilder::escapeAndAppendComponent(const QString &component)
{
    m_string += escape(component);
}

void KTBURLBuilder::appendValue(const QVariant &value, const QString &queryParam)
{
    if (!value.isValid() || value.isNull())
        return;
    m_string += QLatin1Char(m_queryCount == 0 ? '?' : '&');
    m_string += queryParam + QLatin1Char('=') + escape(value.toString());
    ++m_queryCount;
}

QUrl KTBURLBuilder::URL() const
{
    return QUrl::fromEncoded(m_string.toUtf8(), QUrl::StrictMode);
}

QString KTBURLBuilder::escape(const QString &text)
{
    // The characters a query may hold besides the unreserved ones.
    return QString::fromLatin1(QUrl::toPercentEncoding(text, "!$&'()*+,;=:@/?"));
}
