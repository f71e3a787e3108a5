#pragma once
// A saved filter of the master list: a named tree of criteria that selects
// transactions. The filter with identifier 0 is the search bar's own filter.

#include "model/TWItem.h"

#include <QImage>

class TWField;
class TWFilterCriteria;
class TWTransaction;
struct TWFilterContext;

class TWFilter : public TWItem
{
public:
    TWFilter() : TWItem(0, TWItemTypeFilter, QString(), 0, 0u) {}
    TWFilter(qint32 identifier, QString name, qint32 parentIdentifier, quint32 sortOrder,
             std::shared_ptr<TWFilterCriteria> criteria);

    // At the top level, first position, without criteria.
    static std::shared_ptr<TWFilter> filterWithIdentifier(qint32 identifier, const QString &name);
    static std::shared_ptr<TWFilter>
    filterWithIdentifier(qint32 identifier, const QString &name, qint32 parentIdentifier,
                         quint32 sortOrder, const std::shared_ptr<TWFilterCriteria> &criteria);

    // The copy shares the criteria tree; an editor that must leave the filter
    // alone works on a copy of the tree itself.
    TWItemPtr clone() const override;
    std::shared_ptr<TWFilter> copy() const { return std::make_shared<TWFilter>(*this); }

    // The root of the criteria tree; null when the filter has none yet.
    const std::shared_ptr<TWFilterCriteria> &criteria() const { return m_criteria; }
    void setCriteria(const std::shared_ptr<TWFilterCriteria> &v) { m_criteria = v; }

    // The search filter (identifier 0) is the search bar's.
    bool isSearchFilter() const { return identifier() == 0; }

    // "Search" for the search filter, "Filter" for any other filter or none.
    static QImage defaultIconForFilter(const TWFilter *filter);

    // The answer of the criteria tree; a filter without criteria matches
    // nothing.
    bool matchTransaction(const TWTransaction &transaction, const TWFilterContext &context) const;

    // Removes, at any depth below `compound`, the simple criteria that compare
    // `field` (a field that is being deleted). Compound criteria stay, also
    // when they are left empty.
    static void deleteChildCriteria(const std::shared_ptr<TWFilterCriteria> &compound,
                                    const TWField &field);
    // The same, but only the criteria whose value is `valueIdentifier` (a list
    // or tag choice of the field that is being deleted).
    static void deleteChildCriteria(const std::shared_ptr<TWFilterCriteria> &compound,
                                    const TWField &field, qint32 valueIdentifier);

private:
    std::shared_ptr<TWFilterCriteria> m_criteria;
};

using TWFilterPtr = std::shared_ptr<TWFilter>;
using TWFilterList = QList<TWFilterPtr>;
