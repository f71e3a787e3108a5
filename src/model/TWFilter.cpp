#include "model/TWFilter.h"

#include "model/TWField.h"
#include "model/TWFilterCriteria.h"
#include "model/TWItemIcons.h"
#include "model/TWTransaction.h"

#include <optional>

namespace
{

void deleteCriteria(const TWFilterCriteriaPtr &compound, qint32 fieldIdentifier,
                    std::optional<qint32> valueIdentifier, int depth)
{
    if (!compound || depth >= TWFilterCriteria::kMaxDepth)
        return;
    // A snapshot, so that removing leaves the walk alone.
    const TWFilterCriteriaList children = compound->childCriteria();
    for (const TWFilterCriteriaPtr &child : children) {
        if (!child)
            continue;
        if (child->type() == TWFilterCriteriaTypeSimple) {
            if (child->fieldIdentifier() == fieldIdentifier &&
                (!valueIdentifier || child->valueIdentifier() == *valueIdentifier))
                compound->removeChildCriteria(child);
        } else if (child->type() == TWFilterCriteriaTypeCompound) {
            deleteCriteria(child, fieldIdentifier, valueIdentifier, depth + 1);
        }
    }
}

} // namespace

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

bool TWFilter::matchTransaction(const TWTransaction &transaction,
                                const TWFilterContext &context) const
{
    return m_criteria && m_criteria->matchTransaction(transaction, context);
}

void TWFilter::deleteChildCriteria(const TWFilterCriteriaPtr &compound, const TWField &field)
{
    deleteCriteria(compound, field.identifier(), std::nullopt, 0);
}

void TWFilter::deleteChildCriteria(const TWFilterCriteriaPtr &compound, const TWField &field,
                                   qint32 valueIdentifier)
{
    deleteCriteria(compound, field.identifier(), valueIdentifier, 0);
}
