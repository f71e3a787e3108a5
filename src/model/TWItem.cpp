#include "model/TWItem.h"

TWItem::TWItem(qint32 identifier, TWItemType type, QString name, qint32 parentIdentifier,
               quint32 sortOrder)
    : m_identifier(identifier), m_type(type), m_name(std::move(name)),
      m_parentIdentifier(parentIdentifier), m_sortOrder(sortOrder)
{
}

TWItemPtr TWItem::itemWithIdentifier(qint32 identifier, TWItemType type, const QString &name,
                                     qint32 parentIdentifier, quint32 sortOrder)
{
    return std::make_shared<TWItem>(identifier, type, name, parentIdentifier, sortOrder);
}

const TWItemPtr &TWItem::rootItem()
{
    static const TWItemPtr root = std::make_shared<TWItem>(0, TWItemTypeRoot, QString(), 0, 0u);
    return root;
}

TWItemPtr TWItem::clone() const
{
    return std::make_shared<TWItem>(*this);
}

int TWItem::compareNames(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int TWItem::compare(const TWItem &other) const
{
    return compareNames(m_name, other.m_name);
}

int TWItem::compareForSortBy(const TWItem &a, const TWItem &b, quint32 sortBy)
{
    switch (sortBy) {
    case 0:
        return a.compare(b);
    case 1:
        return a.m_sortOrder < b.m_sortOrder ? -1 : (a.m_sortOrder > b.m_sortOrder ? 1 : 0);
    default:
        return 0;
    }
}

bool TWItem::isGroupType(int type)
{
    switch (type) {
    case TWItemTypeAccountGroup:
    case TWItemTypeClientGroup:
    case TWItemTypeMerchantGroup:
    case TWItemTypeReportGroup:
    case TWItemTypeFilterGroup:
        return true;
    default:
        return false;
    }
}

bool TWItem::isLeafType(int type)
{
    switch (type) {
    case TWItemTypeAccount:
    case TWItemTypeClient:
    case TWItemTypeMerchant:
    case TWItemTypeReport:
    case TWItemTypeFilter:
        return true;
    default:
        return false;
    }
}
