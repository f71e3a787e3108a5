#pragma once
// A node of a business's master list: the root, a group, or a leaf (account,
// client, merchant, report, filter). Items are plain values; the store numbers,
// loads and orders them, and the master list arranges them into a tree by
// their parent identifiers.

#include <QList>
#include <QString>

#include <cstddef>
#include <memory>

// What a master-list node is. Stored as integers; the values never change.
enum TWItemType : int {
    TWItemTypeRoot = 0,
    TWItemTypeAccountGroup = 1,
    TWItemTypeClientGroup = 2,
    TWItemTypeMerchantGroup = 3,
    TWItemTypeReportGroup = 4,
    TWItemTypeAccount = 5,
    TWItemTypeClient = 6,
    TWItemTypeMerchant = 7,
    TWItemTypeReport = 8,
    TWItemTypeFilterGroup = 9,
    TWItemTypeFilter = 10,
};

class TWItem
{
public:
    TWItem() = default;
    TWItem(qint32 identifier, TWItemType type, QString name, qint32 parentIdentifier,
           quint32 sortOrder);
    virtual ~TWItem() = default;
    TWItem(const TWItem &) = default;
    TWItem &operator=(const TWItem &) = default;

    static std::shared_ptr<TWItem> itemWithIdentifier(qint32 identifier, TWItemType type,
                                                      const QString &name, qint32 parentIdentifier,
                                                      quint32 sortOrder);

    // The one root of every master list (identifier 0, type 0, no name), made on
    // first use and kept for the program's life. Main thread only.
    static const std::shared_ptr<TWItem> &rootItem();

    // A new item of the receiver's own class with the same field values. Image,
    // text and colour fields are values, so changing the copy leaves the original
    // alone; a unit or a criteria tree is shared.
    virtual std::shared_ptr<TWItem> clone() const;
    std::shared_ptr<TWItem> copy() const { return clone(); }

    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }
    TWItemType type() const { return m_type; }
    void setType(TWItemType v) { m_type = v; }
    // Null when the item has no name.
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    // The group holding the item; 0 at the top level.
    qint32 parentIdentifier() const { return m_parentIdentifier; }
    void setParentIdentifier(qint32 v) { m_parentIdentifier = v; }
    // Position among the siblings when the master list is ordered by hand.
    quint32 sortOrder() const { return m_sortOrder; }
    void setSortOrder(quint32 v) { m_sortOrder = v; }

    // The same node: same item type and same identifier (an account and a client
    // may share an identifier).
    bool isEqual(const TWItem &other) const
    {
        return m_type == other.m_type && m_identifier == other.m_identifier;
    }
    std::size_t hash() const
    {
        return static_cast<std::size_t>(static_cast<quint32>(m_identifier));
    }

    // Order by name: the plain, case-sensitive comparison of the texts (so
    // "Zebra" comes before "apple"); only identical names tie. Returns -1, 0
    // or 1.
    int compare(const TWItem &other) const;
    static int compareNames(const QString &a, const QString &b);

    // The sibling order of a master list in the given sort mode: 0 by name (as
    // compare), 1 by sortOrder ascending; any other mode leaves every pair tied.
    static int compareForSortBy(const TWItem &a, const TWItem &b, quint32 sortBy);

    // Groups hold other nodes; leaves are accounts, clients, merchants, reports
    // and filters.
    static bool isGroupType(int type);
    static bool isLeafType(int type);

private:
    qint32 m_identifier = 0;
    TWItemType m_type = TWItemTypeRoot;
    QString m_name;
    qint32 m_parentIdentifier = 0;
    quint32 m_sortOrder = 0;
};

using TWItemPtr = std::shared_ptr<TWItem>;
using TWItemList = QList<TWItemPtr>;
