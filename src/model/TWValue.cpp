#include "model/TWValue.h"

TWValuePtr TWValue::value()
{
    return std::make_shared<TWValue>();
}

TWValuePtr TWValue::valueWithName(const QString &name, qint32 fieldIdentifier, qint32 identifier)
{
    return std::make_shared<TWValue>(name, fieldIdentifier, identifier);
}

int TWValue::compare(const TWValue &other) const
{
    const int c = m_name.compare(other.m_name, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
