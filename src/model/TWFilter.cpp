#include "TWFilter.h"

#include "TWItemIcons.h"

TWFilter::TWFilter(qint32 identifier, QString name, qint32 parentIdentifier, quint32 sortOrder,
                   std::shared_ptr<TWFilterCriteria> criteria)
    : TWItem(identifier, TWItemTypeFilter, std::move(name), parentIdentifier, sortOrder),
      m_criteria(std::move(criteria))
{
}

TWFilterPtr TWFilter::filterWithIdentifier(qint32 identifier, const QString &name)
{
    return std::make_shared<TWFilter>(identifier, name, 0, 0u, nullptr);
}

TWFilterPtr TWFilter::filterWithIdentifier(qint32 identifier, const QString &name,
                                           qint32 parentIdentifier, quint32 sortOrder,
                                           const std::shared_ptr<TWFilterCriteria> &criteria)
{
    return std::make_shared<TWFilter>(identifier, name, parentIdentifier, sortOrder, criteria);
}

TWItemPtr TWFilter::clone() const
{
    return copy();
}

QImage TWFilter::defaultIconForFilter(const TWFilter *filter)
{
    return TWItemIcons::image(filter && filter->isSearchFilter() ? QStringLiteral("Search")
                                                                 : QStringLiteral("Filter"));
}
