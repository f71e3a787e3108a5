#pragma once
// A unit amounts are counted in: a currency, a mileage unit or a custom unit.
// Amounts are whole numbers of the unit's minor units (10^decimalPlaces of them
// make one unit); the rate is quoted per US dollar.

#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

enum TWUnitType : std::uint32_t {
    TWUnitTypeMileage = 0,
    TWUnitTypeCurrency = 1,
    TWUnitTypeCustom = 2,
};

class TWUnit
{
public:
    TWUnit() = default;
    TWUnit(QString name, QString description, QString code, QString symbol, double rate,
           std::uint8_t decimalPlaces, QDateTime lastUpdatedDate, bool favourite,
           std::uint32_t type);

    static std::shared_ptr<TWUnit> unitWithName(const QString &name, const QString &description,
                                                const QString &code, const QString &symbol,
                                                double rate, std::uint8_t decimalPlaces,
                                                const QDateTime &lastUpdatedDate, bool favourite,
                                                std::uint32_t type);

    std::shared_ptr<TWUnit> copy() const { return std::make_shared<TWUnit>(*this); }

    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    const QString &description() const { return m_description; }
    void setDescription(const QString &v) { m_description = v; }
    const QString &code() const { return m_code; }
    void setCode(const QString &v) { m_code = v; }
    // Null when the unit has no symbol.
    const QString &symbol() const { return m_symbol; }
    void setSymbol(const QString &v) { m_symbol = v; }
    double rate() const { return m_rate; }
    void setRate(double v) { m_rate = v; }
    std::uint8_t decimalPlaces() const { return m_decimalPlaces; }
    void setDecimalPlaces(std::uint8_t v) { m_decimalPlaces = v; }
    const QDateTime &lastUpdatedDate() const { return m_lastUpdatedDate; }
    void setLastUpdatedDate(const QDateTime &v) { m_lastUpdatedDate = v; }
    bool favourite() const { return m_favourite; }
    void setFavourite(bool v) { m_favourite = v; }
    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t v) { m_type = v; }

    // Two units are the same unit when their codes are equal.
    bool isEqual(const TWUnit &other) const { return m_code == other.m_code; }
    // By name, case-sensitively.
    int compare(const TWUnit &other) const;
    // Takes every field of the other unit, the code included.
    void updateUnit(const TWUnit &other) { *this = other; }
    // The word search over name, description and code.
    bool searchString(const QString &search, bool contains) const;

private:
    QString m_name;
    QString m_description;
    QString m_code;
    QString m_symbol;
    double m_rate = 1.0;
    std::uint8_t m_decimalPlaces = 2;
    QDateTime m_lastUpdatedDate;
    bool m_favourite = false;
    std::uint32_t m_type = TWUnitTypeCurrency;
};

using TWUnitPtr = std::shared_ptr<TWUnit>;
using TWUnitList = QList<TWUnitPtr>;
