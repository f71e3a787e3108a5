#include "model/TWFieldValue.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace
{

// The variant's alternatives, by index.
enum View : int {
    ViewNone = 0,
    ViewText = 1,
    ViewCurrency = 2,
    ViewNumber = 3,
    ViewPercent = 4,
    ViewCheckbox = 5,
    ViewDate = 6,
    ViewListItem = 7,
    ViewTags = 8,
};

} // namespace

int TWFieldValue::viewOf(std::uint32_t type)
{
    switch (type) {
    case TWFieldTypeText:
        return ViewText;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        return ViewCurrency;
    case TWFieldTypeNumber:
        return ViewNumber;
    case TWFieldTypePercent:
        return ViewPercent;
    case TWFieldTypeCheckbox:
        return ViewCheckbox;
    case TWFieldTypeDate:
        return ViewDate;
    case TWFieldTypeList:
        return ViewListItem;
    case TWFieldTypeTags:
        return ViewTags;
    default:
        return ViewNone;
    }
}

TWFieldValue::TWFieldValue(qint32 identifier, std::uint32_t type)
    : m_identifier(identifier), m_type(type)
{
}

TWFieldValuePtr TWFieldValue::fieldValueWithIdentifier(qint32 identifier, std::uint32_t type)
{
    return std::make_shared<TWFieldValue>(identifier, type);
}

namespace
{

template <std::size_t N> TWFieldValuePtr makeBlock()
{
    // An array of known size takes no more room beside it than the shared
    // count itself.
    auto block = std::make_shared<std::array<TWFieldValue, N>>();
    return TWFieldValuePtr(block, block->data());
}

template <std::size_t... N>
constexpr std::array<TWFieldValuePtr (*)(), sizeof...(N)> blockMakers(std::index_sequence<N...>)
{
    return {&makeBlock<N + 1>...};
}

} // namespace

TWFieldValuePtr TWFieldValue::fieldValueBlock(std::size_t count)
{
    static constexpr auto makers = blockMakers(std::make_index_sequence<16>());
    if (count >= 1 && count <= makers.size())
        return makers[count - 1]();
    auto block = std::make_shared<TWFieldValue[]>(std::max<std::size_t>(count, 1));
    return TWFieldValuePtr(block, block.get());
}

TWFieldValuePtr TWFieldValue::copy() const
{
    return std::make_shared<TWFieldValue>(*this);
}

void TWFieldValue::setType(std::uint32_t type)
{
    if (viewOf(type) != viewOf(m_type))
        m_value = std::monostate();
    m_type = type;
}

bool TWFieldValue::isValid() const
{
    const int view = viewOf(m_type);
    if (view == ViewNone)
        return false;
    if (!hasValue())
        return true;
    if (static_cast<int>(m_value.index()) != view)
        return false;
    if (const double *number = std::get_if<double>(&m_value))
        return std::isfinite(*number);
    if (const float *percent = std::get_if<float>(&m_value))
        return std::isfinite(*percent);
    return true;
}

QString TWFieldValue::text() const
{
    const Boxed<QString> *text = std::get_if<Boxed<QString>>(&m_value);
    return text ? text->get() : QString();
}

bool TWFieldValue::setText(const QString &text)
{
    if (viewOf(m_type) != ViewText)
        return false;
    if (text.isEmpty())
        m_value = std::monostate();
    else
        m_value = Boxed<QString>(text);
    return true;
}

qint64 TWFieldValue::currency() const
{
    const qint64 *currency = std::get_if<qint64>(&m_value);
    return currency ? *currency : 0;
}

bool TWFieldValue::setCurrency(qint64 currency)
{
    if (viewOf(m_type) != ViewCurrency)
        return false;
    m_value = currency;
    return true;
}

double TWFieldValue::number() const
{
    const double *number = std::get_if<double>(&m_value);
    return number ? *number : 0.0;
}

bool TWFieldValue::setNumber(double number)
{
    if (viewOf(m_type) != ViewNumber)
        return false;
    if (!std::isfinite(number)) {
        m_value = std::monostate();
        return false;
    }
    m_value = number;
    return true;
}

float TWFieldValue::percent() const
{
    const float *percent = std::get_if<float>(&m_value);
    return percent ? *percent : 0.0f;
}

bool TWFieldValue::setPercent(float percent)
{
    if (viewOf(m_type) != ViewPercent)
        return false;
    if (!std::isfinite(percent)) {
        m_value = std::monostate();
        return false;
    }
    m_value = percent;
    return true;
}

bool TWFieldValue::setPercentFromDouble(double percent)
{
    if (viewOf(m_type) != ViewPercent)
        return false;
    // Converting a double beyond the float range is undefined, so refuse it
    // before the conversion rather than testing the result.
    if (!std::isfinite(percent) || std::fabs(percent) > std::numeric_limits<float>::max()) {
        m_value = std::monostate();
        return false;
    }
    return setPercent(static_cast<float>(percent));
}

bool TWFieldValue::checkboxValue() const
{
    const bool *on = std::get_if<bool>(&m_value);
    return on ? *on : false;
}

bool TWFieldValue::setCheckboxValue(bool on)
{
    if (viewOf(m_type) != ViewCheckbox)
        return false;
    m_value = on;
    return true;
}

QDateTime TWFieldValue::date() const
{
    const QDateTime *date = std::get_if<QDateTime>(&m_value);
    return date ? *date : QDateTime();
}

bool TWFieldValue::setDate(const QDateTime &date)
{
    if (viewOf(m_type) != ViewDate)
        return false;
    if (date.isValid())
        m_value = date;
    else
        m_value = std::monostate();
    return true;
}

qint32 TWFieldValue::listItemIdentifier() const
{
    const qint32 *identifier = std::get_if<qint32>(&m_value);
    return identifier ? *identifier : -1;
}

bool TWFieldValue::setListItemIdentifier(qint32 identifier)
{
    if (viewOf(m_type) != ViewListItem)
        return false;
    m_value = identifier;
    return true;
}

QList<qint32> TWFieldValue::tagItemIdentifiers() const
{
    const Boxed<QList<qint32>> *identifiers = std::get_if<Boxed<QList<qint32>>>(&m_value);
    return identifiers ? identifiers->get() : QList<qint32>();
}

bool TWFieldValue::setTagItemIdentifiers(const QList<qint32> &identifiers)
{
    if (viewOf(m_type) != ViewTags)
        return false;
    if (identifiers.isEmpty())
        m_value = std::monostate();
    else
        m_value = Boxed<QList<qint32>>(identifiers);
    return true;
}
