#pragma once
// The conditions of a saved filter or of the search bar: a tree whose compound
// nodes combine their children (all, any, none) and whose simple nodes compare
// one transaction field with one typed value. Matching only reads.

#include "model/TWTransaction.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class TWFilterCriteria;

using TWFilterCriteriaPtr = std::shared_ptr<TWFilterCriteria>;
using TWFilterCriteriaList = QList<TWFilterCriteriaPtr>;

enum TWFilterCriteriaType : int {
    TWFilterCriteriaTypeCompound = 0,
    TWFilterCriteriaTypeSimple = 1,
};

// How a compound node combines its children.
enum TWFilterMatch : int {
    TWFilterMatchAll = 0,
    TWFilterMatchAny = 1,
    TWFilterMatchNone = 2,
};

// The comparison of a simple node.
enum TWFilterComparison : int {
    TWFilterComparisonIs = 3,
    TWFilterComparisonIsNot = 4,
    TWFilterComparisonContains = 5,
    TWFilterComparisonDoesNotContain = 6,
    TWFilterComparisonBeginsWith = 7,
    TWFilterComparisonEndsWith = 8,
    TWFilterComparisonLess = 9, // before, for dates
    TWFilterComparisonLessOrEqual = 10,
    TWFilterComparisonGreater = 11, // after, for dates
    TWFilterComparisonGreaterOrEqual = 12,
    TWFilterComparisonWithinDays = 13,
    TWFilterComparisonWithinWeeks = 14,
    TWFilterComparisonWithinMonths = 15,
    TWFilterComparisonWithinYears = 16,
};

// Which value of a simple node is compared.
enum TWFilterValueType : int {
    TWFilterValueTypeIdentifier = 0,   // valueIdentifier
    TWFilterValueTypeText = 1,         // valueText
    TWFilterValueTypeSwitch = 2,       // valueSwitch
    TWFilterValueTypeCurrency = 3,     // valueCurrency, two decimal places
    TWFilterValueTypeNumber = 4,       // valueNumber
    TWFilterValueTypeNamedPeriod = 5,  // valueIdentifier names a period
    TWFilterValueTypeRelativeDate = 6, // valueRelativeDate, with comparisons 13 to 16
    TWFilterValueTypeDate = 7,         // valueDate
    TWFilterValueTypePercent = 8,      // valuePercent
};

// The periods a date criterion of value type 5 names.
enum TWFilterNamedPeriod : int {
    TWFilterPeriodToday = 0,
    TWFilterPeriodYesterday = 1,
    TWFilterPeriodLastSevenDays = 2,
    TWFilterPeriodThisWeek = 3,
    TWFilterPeriodSinceLastMonth = 4, // since the same day last month
    TWFilterPeriodThisMonth = 5,
    TWFilterPeriodSinceThreeMonthsAgo = 6,
    TWFilterPeriodThisQuarter = 7,
    TWFilterPeriodSinceLastYear = 8,
    TWFilterPeriodThisYear = 9,
};

// What criteria take from the business: its custom fields, its home unit and
// its first account.
struct TWFilterContext {
    // The business's field with that identifier, or null. Built-in fields are
    // known by their identifiers; custom ones are looked up here.
    TWFieldLookup field;
    // Gives a new unit criterion its code, and home-currency amounts their
    // decimal places.
    TWUnitPtr homeUnit;
    // The first account of the business's list; none when it has no accounts.
    std::optional<qint32> firstAccountIdentifier;
};

class TWFilterCriteria
{
public:
    // Nodes nested deeper are not walked by matching, copying or removing: no
    // editor builds such trees, and a tree read from a damaged document might
    // loop back on itself.
    static constexpr int kMaxDepth = 256;

    // A compound node that matches all (of no children yet).
    TWFilterCriteria() = default;
    // The store's loader: the value fields are set afterwards.
    TWFilterCriteria(quint32 identifier, quint32 type, quint32 parentIdentifier,
                     qint32 fieldIdentifier, quint32 sortOrder, quint32 match, quint32 valueType);
    // Every value at once; identifier, parent and sort order 0.
    TWFilterCriteria(quint32 type, qint32 fieldIdentifier, quint32 match, quint32 valueType,
                     qint32 valueIdentifier, QString valueText, bool valueSwitch,
                     qint64 valueCurrency, double valueNumber, QDateTime valueDate,
                     qint32 valueRelativeDate, float valuePercent);
    // A copy takes the node's identity, field, match and value type, only the
    // value its value type names, and copies of the children, so that editing
    // the copy leaves the original tree alone.
    TWFilterCriteria(const TWFilterCriteria &other);
    TWFilterCriteria &operator=(const TWFilterCriteria &other);
    TWFilterCriteria(TWFilterCriteria &&) = default;
    TWFilterCriteria &operator=(TWFilterCriteria &&) = default;

    static TWFilterCriteriaPtr filterCriteriaCompound();
    static TWFilterCriteriaPtr
    filterCriteriaCompoundWithMatch(quint32 match, const TWFilterCriteriaList &children);
    // A simple node set up for the field by updateFieldIdentifier().
    static TWFilterCriteriaPtr filterCriteriaWithFieldIdentifier(qint32 fieldIdentifier,
                                                                 const TWFilterContext &context);
    static TWFilterCriteriaPtr filterCriteriaWithIdentifier(quint32 identifier, quint32 type,
                                                            quint32 parentIdentifier,
                                                            qint32 fieldIdentifier,
                                                            quint32 sortOrder, quint32 match,
                                                            quint32 valueType);
    static TWFilterCriteriaPtr
    filterCriteriaWithType(quint32 type, qint32 fieldIdentifier, quint32 match, quint32 valueType,
                           qint32 valueIdentifier, const QString &valueText, bool valueSwitch,
                           qint64 valueCurrency, double valueNumber, const QDateTime &valueDate,
                           qint32 valueRelativeDate, float valuePercent);
    // A compound node (all) holding one account criterion: "is the business's
    // first account".
    static TWFilterCriteriaPtr defaultCriteria(const TWFilterContext &context);

    TWFilterCriteriaPtr copy() const { return std::make_shared<TWFilterCriteria>(*this); }

    // --- Stored fields ---
    // The store's key, unique within one filter's tree.
    quint32 identifier() const { return m_identifier; }
    void setIdentifier(quint32 v) { m_identifier = v; }
    quint32 type() const { return m_type; }
    void setType(quint32 v) { m_type = v; }
    bool isCompound() const { return m_type == TWFilterCriteriaTypeCompound; }
    // The identifier of the compound node holding this one; 0 for a root.
    quint32 parentIdentifier() const { return m_parentIdentifier; }
    void setParentIdentifier(quint32 v) { m_parentIdentifier = v; }
    // Changed only through updateFieldIdentifier(), which sets up the value too.
    qint32 fieldIdentifier() const { return m_fieldIdentifier; }
    quint32 sortOrder() const { return m_sortOrder; }
    void setSortOrder(quint32 v) { m_sortOrder = v; }
    // TWFilterMatch for a compound node, TWFilterComparison for a simple one.
    quint32 match() const { return m_match; }
    void setMatch(quint32 v) { m_match = v; }
    quint32 valueType() const { return m_valueType; }
    void setValueType(quint32 v) { m_valueType = v; }

    // An account, transaction, list item or tag identifier, or a named period;
    // -1 means none (no account, no list item, no tags).
    qint32 valueIdentifier() const { return m_valueIdentifier; }
    void setValueIdentifier(qint32 v) { m_valueIdentifier = v; }
    // Null when absent; compared as the empty text.
    const QString &valueText() const { return m_valueText; }
    void setValueText(const QString &v) { m_valueText = v; }
    bool valueSwitch() const { return m_valueSwitch; }
    void setValueSwitch(bool v) { m_valueSwitch = v; }
    // Money with two decimal places, whatever the unit of what it is compared
    // with.
    qint64 valueCurrency() const { return m_valueCurrency; }
    void setValueCurrency(qint64 v) { m_valueCurrency = v; }
    double valueNumber() const { return m_valueNumber; }
    void setValueNumber(double v) { m_valueNumber = v; }
    // A calendar day; invalid when absent.
    const QDateTime &valueDate() const { return m_valueDate; }
    void setValueDate(const QDateTime &v) { m_valueDate = v; }
    // N of "within N days, weeks, months, years": ahead from today when 1 or
    // more, back to today when 0 or less.
    qint32 valueRelativeDate() const { return m_valueRelativeDate; }
    void setValueRelativeDate(qint32 v) { m_valueRelativeDate = v; }
    float valuePercent() const { return m_valuePercent; }
    void setValuePercent(float v) { m_valuePercent = v; }

    // The children of a compound node, in order.
    const TWFilterCriteriaList &childCriteria() const { return m_childCriteria; }
    void setChildCriteria(const TWFilterCriteriaList &v) { m_childCriteria = v; }

    // --- In memory only ---
    // The nesting level the filter editor shows the node at; matching ignores it.
    qint64 depth() const { return m_depth; }
    void setDepth(qint64 v) { m_depth = v; }

    // --- The tree ---
    // Appends, or inserts at `index` (clamped to the list). A null child is
    // ignored.
    void addChildCriteria(const TWFilterCriteriaPtr &child);
    void addChildCriteria(const TWFilterCriteriaPtr &child, qsizetype index);
    // Removes that very node (not an equal one).
    void removeChildCriteria(const TWFilterCriteriaPtr &child);

    // By sortOrder, ascending: -1, 0 or 1.
    int compare(const TWFilterCriteria &other) const;
    // The strict weak ordering of compare(), for std::stable_sort; null last.
    static bool lessThan(const TWFilterCriteriaPtr &a, const TWFilterCriteriaPtr &b);

    // Every node of the tree, the root first, each node before its children
    // and the children in order. A node met a second time (a tree read from a
    // damaged document may loop) is left out.
    static TWFilterCriteriaList preOrderCriteria(const TWFilterCriteriaPtr &root);
    // Numbers the tree for storing, in the same order: the node takes
    // `nextIdentifier` (which then grows by one) and is appended to `list`;
    // each child gets the node's identifier as parent and its position among
    // its siblings as sort order. The root keeps its own parent identifier.
    static void numberCriteria(TWFilterCriteriaList &list, const TWFilterCriteriaPtr &criterion,
                               quint32 &nextIdentifier);
    // The type of a node read back from storage, which keeps no type: a node
    // with children is compound; so is a childless node that names no field
    // (only compound nodes lack one), so that an empty "all" saved and read
    // back still matches everything.
    static quint32 typeForStoredCriteria(bool hasChildren, qint32 fieldIdentifier);

    // --- Algorithms ---
    // Points the node at a field and gives it that field's comparison and
    // default value (for example "is today" for a date, "is the first account"
    // for the accounts).
    void updateFieldIdentifier(qint32 fieldIdentifier, const TWFilterContext &context);
    // Whether the transaction passes the tree below and including this node.
    bool matchTransaction(const TWTransaction &transaction, const TWFilterContext &context) const;
    // The day range a date criterion stands for (its day, its named period, or
    // today to N days/weeks/months/years away). Fills the given outputs and
    // returns true; without a range (no date, an unknown period, a relative
    // value with another comparison, another value type) it sets both outputs
    // to invalid and returns false.
    bool startDate(QDateTime *startDate, QDateTime *endDate) const;

private:
    void copyFrom(const TWFilterCriteria &other, int depth);
    void resetValue();
    bool matchTransaction(const TWTransaction &transaction, const TWFilterContext &context,
                          int depth) const;

    quint32 m_identifier = 0;
    quint32 m_type = TWFilterCriteriaTypeCompound;
    quint32 m_parentIdentifier = 0;
    qint32 m_fieldIdentifier = 0;
    quint32 m_sortOrder = 0;
    quint32 m_match = TWFilterMatchAll;
    quint32 m_valueType = TWFilterValueTypeIdentifier;
    qint32 m_valueIdentifier = 0;
    QString m_valueText;
    bool m_valueSwitch = false;
    qint64 m_valueCurrency = 0;
    double m_valueNumber = 0.0;
    QDateTime m_valueDate;
    qint32 m_valueRelativeDate = 0;
    float m_valuePercent = 0.0f;
    TWFilterCriteriaList m_childCriteria;
    qint64 m_depth = 0;
};
