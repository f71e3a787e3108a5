#include "model/TWUnit.h"

#include "foundation/TWStringAdditions.h"

TWUnit::TWUnit(QString name, QString description, QString code, QString symbol, double rate,
               std::uint8_t decimalPlaces, QDateTime lastUpdatedDate, bool favourite,
               std::uint32_t type)
    : m_name(std::move(name)), m_description(std::move(description)), m_code(std::move(code)),
      m_symbol(std::move(symbol)), m_rate(rate), m_decimalPlaces(decimalPlaces),
      m_lastUpdatedDate(std::move(lastUpdatedDate)), m_favourite(favourite), m_type(type)
{
}

TWUnitPtr TWUnit::unitWithName(const QString &name, const QString &description, const QString &code,
                               const QString &symbol, double rate, std::uint8_t decimalPlaces,
                               const QDateTime &lastUpdatedDate, bool favourite, std::uint32_t type)
{
    return std::make_shared<TWUnit>(name, description, code, symbol, rate, decimalPlaces,
                                    lastUpdatedDate, favourite, type);
}

int TWUnit::compare(const TWUnit &other) const
{
    const int c = m_name.compare(other.m_name, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool TWUnit::searchString(const QString &search, bool contains) const
{
    return TWStringAdditions::searchString(m_name, search, contains) ||
           TWStringAdditions::searchString(m_description, search, contains) ||
           TWStringAdditions::searchString(m_code, search, contains);
}
