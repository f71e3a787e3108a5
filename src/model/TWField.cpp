#include "model/TWField.h"

#include <QSet>
#include <QStringList>

#include <cmath>

const char *TWFieldTypeNameKey(std::uint32_t type)
{
    static const char *const keys[] = {"standard", "text", "currency", "number", "percent",
                                       "checkbox", "date", "list",     "tags",   "percentTotal"};
    return type < std::size(keys) ? keys[type] : nullptr;
}

TWField::TWField(QString name, std::uint32_t type, bool autofillTrigger, bool autofillValue,
                 qint32 identifier)
    : m_name(std::move(name)), m_type(type), m_identifier(identifier),
      m_autofillTrigger(autofillTrigger), m_autofillValue(autofillValue)
{
}

TWField::TWField(const TWField &other)
    : m_name(other.m_name), m_type(other.m_type), m_identifier(other.m_identifier),
      m_percent(other.m_percent), m_includedInTotal(other.m_includedInTotal),
      m_autofillTrigger(other.m_autofillTrigger), m_autofillValue(other.m_autofillValue)
{
    m_listItems.reserve(other.m_listItems.size());
    for (const TWFieldListItemPtr &item : other.m_listItems)
        m_listItems.append(item ? item->copy() : nullptr);
    m_tagItems.reserve(other.m_tagItems.size());
    for (const TWFieldTagItemPtr &item : other.m_tagItems)
        m_tagItems.append(item ? item->copy() : nullptr);
    rebuildListIndex();
}

TWField &TWField::operator=(const TWField &other)
{
    if (this != &other) {
        TWField copied(other);
        *this = std::move(copied);
    }
    return *this;
}

TWFieldPtr TWField::field()
{
    return std::make_shared<TWField>();
}

TWFieldPtr TWField::fieldWithName(const QString &name, std::uint32_t type, bool autofillTrigger,
                                  bool autofillValue, qint32 identifier)
{
    return std::make_shared<TWField>(name, type, autofillTrigger, autofillValue, identifier);
}

TWFieldPtr TWField::copy() const
{
    return std::make_shared<TWField>(m_name, m_type, m_autofillTrigger, m_autofillValue,
                                     m_identifier);
}

void TWField::setListItems(const TWFieldListItemList &items)
{
    m_listItems = items;
    rebuildListIndex();
}

void TWField::setPercent(double percent)
{
    m_percent = std::isfinite(percent) ? percent : 0.0;
}

int TWField::compare(const TWField &other) const
{
    const int c = m_name.compare(other.m_name, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void TWField::rebuildListIndex()
{
    m_listIndex.clear();
    m_listIndex.reserve(m_listItems.size());
    for (qsizetype i = 0; i < m_listItems.size(); ++i) {
        if (m_listItems[i] && !m_listIndex.contains(m_listItems[i]->identifier()))
            m_listIndex.insert(m_listItems[i]->identifier(), i);
    }
}

TWFieldListItemPtr TWField::listItemWithIdentifier(qint32 identifier) const
{
    if (identifier == -1)
        return nullptr;
    const auto found = m_listIndex.constFind(identifier);
    if (found != m_listIndex.cend()) {
        const TWFieldListItemPtr &item = m_listItems.at(*found);
        if (item && item->identifier() == identifier)
            return item;
    }
    // The entries are shared objects: one may have been renumbered since the
    // index was built, so a miss is confirmed by looking at every entry.
    for (const TWFieldListItemPtr &item : m_listItems) {
        if (item && item->identifier() == identifier)
            return item;
    }
    return nullptr;
}

std::optional<QString> TWField::listNameWithIdentifier(qint32 identifier) const
{
    const TWFieldListItemPtr item = listItemWithIdentifier(identifier);
    if (!item)
        return std::nullopt;
    return item->name();
}

QString TWField::tagNameWithIdentifiers(const QList<qint32> &identifiers) const
{
    const QSet<qint32> wanted(identifiers.cbegin(), identifiers.cend());
    QStringList names;
    for (const TWFieldTagItemPtr &item : m_tagItems) {
        if (item && wanted.contains(item->identifier()))
            names.append(item->name());
    }
    return names.join(QStringLiteral(", "));
}
