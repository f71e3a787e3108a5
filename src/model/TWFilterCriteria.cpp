#include "model/TWFilterCriteria.h"

#include "model/TWBuiltInFields.h"

#include <QSet>

#include <algorithm>

TWFilterCriteria::TWFilterCriteria(quint32 identifier, quint32 type, quint32 parentIdentifier,
                                   qint32 fieldIdentifier, quint32 sortOrder, quint32 match,
                                   quint32 valueType)
    : m_identifier(identifier), m_type(type), m_parentIdentifier(parentIdentifier),
      m_fieldIdentifier(fieldIdentifier), m_sortOrder(sortOrder), m_match(match),
      m_valueType(valueType)
{
}

TWFilterCriteria::TWFilterCriteria(quint32 type, qint32 fieldIdentifier, quint32 match,
                                   quint32 valueType, qint32 valueIdentifier, QString valueText,
                                   bool valueSwitch, qint64 valueCurrency, double valueNumber,
                                   QDateTime valueDate, qint32 valueRelativeDate,
                                   float valuePercent)
    : m_type(type), m_fieldIdentifier(fieldIdentifier), m_match(match), m_valueType(valueType),
      m_valueIdentifier(valueIdentifier), m_valueText(std::move(valueText)),
      m_valueSwitch(valueSwitch), m_valueCurrency(valueCurrency), m_valueNumber(valueNumber),
      m_valueDate(std::move(valueDate)), m_valueRelativeDate(valueRelativeDate),
      m_valuePercent(valuePercent)
{
}

TWFilterCriteria::TWFilterCriteria(const TWFilterCriteria &other)
{
    copyFrom(other, 0);
}

TWFilterCriteria &TWFilterCriteria::operator=(const TWFilterCriteria &other)
{
    if (this != &other) {
        // Built aside first: `other` may be one of this node's own descendants.
        TWFilterCriteria copied(other);
        *this = std::move(copied);
    }
    return *this;
}

void TWFilterCriteria::copyFrom(const TWFilterCriteria &other, int depth)
{
    m_identifier = other.m_identifier;
    m_type = other.m_type;
    m_parentIdentifier = other.m_parentIdentifier;
    m_fieldIdentifier = other.m_fieldIdentifier;
    m_sortOrder = other.m_sortOrder;
    m_match = other.m_match;
    m_valueType = other.m_valueType;
    switch (m_valueType) {
    case TWFilterValueTypeIdentifier:
    case TWFilterValueTypeNamedPeriod:
        m_valueIdentifier = other.m_valueIdentifier;
        break;
    case TWFilterValueTypeText:
        m_valueText = other.m_valueText;
        break;
    case TWFilterValueTypeSwitch:
        m_valueSwitch = other.m_valueSwitch;
        break;
    case TWFilterValueTypeCurrency:
        m_valueCurrency = other.m_valueCurrency;
        break;
    case TWFilterValueTypeNumber:
        m_valueNumber = other.m_valueNumber;
        break;
    case TWFilterValueTypeRelativeDate:
        m_valueRelativeDate = other.m_valueRelativeDate;
        break;
    case TWFilterValueTypeDate:
        m_valueDate = other.m_valueDate;
        break;
    case TWFilterValueTypePercent:
        m_valuePercent = other.m_valuePercent;
        break;
    default:
        break;
    }
    if (depth >= kMaxDepth)
        return;
    m_childCriteria.reserve(other.m_childCriteria.size());
    for (const TWFilterCriteriaPtr &child : other.m_childCriteria) {
        if (!child)
            continue;
        auto copied = std::make_shared<TWFilterCriteria>();
        copied->copyFrom(*child, depth + 1);
        m_childCriteria.append(copied);
    }
}

TWFilterCriteriaPtr TWFilterCriteria::filterCriteriaCompound()
{
    return std::make_shared<TWFilterCriteria>();
}

TWFilterCriteriaPtr
TWFilterCriteria::filterCriteriaCompoundWithMatch(quint32 match,
                                                  const TWFilterCriteriaList &children)
{
    auto criteria = std::make_shared<TWFilterCriteria>();
    criteria->m_match = match;
    for (const TWFilterCriteriaPtr &child : children)
        criteria->addChildCriteria(child);
    return criteria;
}

TWFilterCriteriaPtr
TWFilterCriteria::filterCriteriaWithFieldIdentifier(qint32 fieldIdentifier,
                                                    const TWFilterContext &context)
{
    auto criteria = std::make_shared<TWFilterCriteria>();
    criteria->m_type = TWFilterCriteriaTypeSimple;
    criteria->updateFieldIdentifier(fieldIdentifier, context);
    return criteria;
}

TWFilterCriteriaPtr TWFilterCriteria::filterCriteriaWithIdentifier(quint32 identifier, quint32 type,
                                                                   quint32 parentIdentifier,
                                                                   qint32 fieldIdentifier,
                                                                   quint32 sortOrder, quint32 match,
                                                                   quint32 valueType)
{
    return std::make_shared<TWFilterCriteria>(identifier, type, parentIdentifier, fieldIdentifier,
                                              sortOrder, match, valueType);
}

TWFilterCriteriaPtr TWFilterCriteria::filterCriteriaWithType(
    quint32 type, qint32 fieldIdentifier, quint32 match, quint32 valueType, qint32 valueIdentifier,
    const QString &valueText, bool valueSwitch, qint64 valueCurrency, double valueNumber,
    const QDateTime &valueDate, qint32 valueRelativeDate, float valuePercent)
{
    return std::make_shared<TWFilterCriteria>(
        type, fieldIdentifier, match, valueType, valueIdentifier, valueText, valueSwitch,
        valueCurrency, valueNumber, valueDate, valueRelativeDate, valuePercent);
}

TWFilterCriteriaPtr TWFilterCriteria::defaultCriteria(const TWFilterContext &context)
{
    return filterCriteriaCompoundWithMatch(
        TWFilterMatchAll, {filterCriteriaWithFieldIdentifier(TWFieldIdentifierAccount1, context)});
}

// --- The tree ---

void TWFilterCriteria::addChildCriteria(const TWFilterCriteriaPtr &child)
{
    addChildCriteria(child, m_childCriteria.size());
}

void TWFilterCriteria::addChildCriteria(const TWFilterCriteriaPtr &child, qsizetype index)
{
    if (!child)
        return;
    if (m_childCriteria.isEmpty())
        m_childCriteria.reserve(5);
    m_childCriteria.insert(std::clamp<qsizetype>(index, 0, m_childCriteria.size()), child);
}

void TWFilterCriteria::removeChildCriteria(const TWFilterCriteriaPtr &child)
{
    m_childCriteria.removeOne(child);
}

int TWFilterCriteria::compare(const TWFilterCriteria &other) const
{
    if (m_sortOrder == other.m_sortOrder)
        return 0;
    return m_sortOrder < other.m_sortOrder ? -1 : 1;
}

bool TWFilterCriteria::lessThan(const TWFilterCriteriaPtr &a, const TWFilterCriteriaPtr &b)
{
    if (!a || !b)
        return a && !b;
    return a->compare(*b) < 0;
}

TWFilterCriteriaList TWFilterCriteria::preOrderCriteria(const TWFilterCriteriaPtr &root)
{
    TWFilterCriteriaList list;
    QSet<const TWFilterCriteria *> seen;
    // An explicit stack, children pushed last to first so they come out in order.
    TWFilterCriteriaList stack;
    if (root)
        stack.append(root);
    while (!stack.isEmpty()) {
        const TWFilterCriteriaPtr node = stack.takeLast();
        if (seen.contains(node.get()))
            continue;
        seen.insert(node.get());
        list.append(node);
        const TWFilterCriteriaList &children = node->m_childCriteria;
        for (qsizetype i = children.size() - 1; i >= 0; --i) {
            if (children[i] && !seen.contains(children[i].get()))
                stack.append(children[i]);
        }
    }
    return list;
}

void TWFilterCriteria::numberCriteria(TWFilterCriteriaList &list,
                                      const TWFilterCriteriaPtr &criterion, quint32 &nextIdentifier)
{
    // The pre-order walk gives each node after its parent, so the parent's new
    // identifier is known when a child's turn comes.
    const TWFilterCriteriaList nodes = preOrderCriteria(criterion);
    for (const TWFilterCriteriaPtr &node : nodes)
        node->m_identifier = nextIdentifier++;
    QSet<const TWFilterCriteria *> numbered;
    for (const TWFilterCriteriaPtr &node : nodes) {
        numbered.insert(node.get());
        list.append(node);
        quint32 position = 0;
        for (const TWFilterCriteriaPtr &child : node->m_childCriteria) {
            if (!child)
                continue;
            // A node reached again through a loop keeps its first parent.
            if (!numbered.contains(child.get())) {
                child->m_parentIdentifier = node->m_identifier;
                child->m_sortOrder = position;
            }
            ++position;
        }
    }
}

quint32 TWFilterCriteria::typeForStoredCriteria(bool hasChildren, qint32 fieldIdentifier)
{
    return hasChildren || fieldIdentifier == 0 ? TWFilterCriteriaTypeCompound
                                               : TWFilterCriteriaTypeSimple;
}

// --- Per-field defaults ---

void TWFilterCriteria::resetValue()
{
    switch (m_valueType) {
    case TWFilterValueTypeIdentifier:
    case TWFilterValueTypeNamedPeriod:
        m_valueIdentifier = 0;
        break;
    case TWFilterValueTypeText:
        m_valueText = QString();
        break;
    case TWFilterValueTypeSwitch:
        m_valueSwitch = false;
        break;
    case TWFilterValueTypeCurrency:
        m_valueCurrency = 0;
        break;
    case TWFilterValueTypeNumber:
        m_valueNumber = 0.0;
        break;
    case TWFilterValueTypeRelativeDate:
        m_valueRelativeDate = 1;
        break;
    case TWFilterValueTypeDate:
        m_valueDate = QDateTime();
        break;
    case TWFilterValueTypePercent:
        m_valuePercent = 0.0f;
        break;
    default:
        break;
    }
}

void TWFilterCriteria::updateFieldIdentifier(qint32 fieldIdentifier, const TWFilterContext &context)
{
    resetValue();
    m_fieldIdentifier = fieldIdentifier;

    const auto set = [this](quint32 valueType) {
        m_match = TWFilterComparisonIs;
        m_valueType = valueType;
    };

    if (fieldIdentifier < 0) {
        switch (fieldIdentifier) {
        case TWFieldIdentifierDateModified:
        case TWFieldIdentifierDateCreated:
        case TWFieldIdentifierDate:
            set(TWFilterValueTypeNamedPeriod);
            m_valueIdentifier = TWFilterPeriodToday;
            break;
        case TWFieldIdentifierUnit:
            set(TWFilterValueTypeText);
            m_valueText = context.homeUnit ? context.homeUnit->code() : QString();
            break;
        case TWFieldIdentifierNotes:
        case TWFieldIdentifierDescription:
        case TWFieldIdentifierPayee:
            set(TWFilterValueTypeText);
            m_valueText = QString();
            break;
        case TWFieldIdentifierAttachments:
        case TWFieldIdentifierRepeat:
        case TWFieldIdentifierCleared:
            set(TWFilterValueTypeSwitch);
            m_valueSwitch = true;
            break;
        case TWFieldIdentifierTotal:
            set(TWFilterValueTypeCurrency);
            break;
        case TWFieldIdentifierAccount1:
            set(TWFilterValueTypeIdentifier);
            if (context.firstAccountIdentifier)
                m_valueIdentifier = *context.firstAccountIdentifier;
            break;
        case TWFieldIdentifierIdentifier:
            set(TWFilterValueTypeIdentifier);
            break;
        default:
            // Fields a filter does not offer keep their comparison.
            break;
        }
        return;
    }

    const TWFieldPtr field = context.field ? context.field(fieldIdentifier) : nullptr;
    if (!field)
        return;
    switch (field->type()) {
    case TWFieldTypeText:
        set(TWFilterValueTypeText);
        m_valueText = QString();
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        set(TWFilterValueTypeCurrency);
        break;
    case TWFieldTypeNumber:
        set(TWFilterValueTypeNumber);
        break;
    case TWFieldTypePercent:
        set(TWFilterValueTypePercent);
        break;
    case TWFieldTypeCheckbox:
        set(TWFilterValueTypeSwitch);
        m_valueSwitch = true;
        break;
    case TWFieldTypeDate:
        set(TWFilterValueTypeNamedPeriod);
        m_valueIdentifier = TWFilterPeriodToday;
        break;
    case TWFieldTypeList: {
        set(TWFilterValueTypeIdentifier);
        const TWFieldListItemList &items = field->listItems();
        m_valueIdentifier = !items.isEmpty() && items.first() ? items.first()->identifier() : -1;
        break;
    }
    case TWFieldTypeTags: {
        set(TWFilterValueTypeIdentifier);
        const TWFieldTagItemList &items = field->tagItems();
        m_valueIdentifier = !items.isEmpty() && items.first() ? items.first()->identifier() : -1;
        break;
    }
    default:
        break;
    }
}
