#pragma once
// The choices of a custom field: one entry of a list field (the transaction picks
// one) and one tag of a tags field (the transaction picks any number). Both are a
// name and an identifier unique within their field.

#include <QList>
#include <QString>

#include <memory>

// What list entries and tags share. Equality needs the same class, so the two
// kinds never compare equal to each other.
template <typename Item> class TWFieldChoice
{
public:
    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    // Unique within its field; the store issues them per field, from 1.
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 identifier) { m_identifier = identifier; }

    // Same name and same identifier.
    bool isEqual(const Item &other) const
    {
        return m_identifier == other.m_identifier && m_name == other.m_name;
    }
    // By name, case-sensitively.
    int compare(const Item &other) const
    {
        const int c = m_name.compare(other.m_name, Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }

protected:
    TWFieldChoice() = default;
    TWFieldChoice(QString name, qint32 identifier)
        : m_name(std::move(name)), m_identifier(identifier)
    {
    }

private:
    QString m_name;
    qint32 m_identifier = 0;
};

class TWFieldListItem final : public TWFieldChoice<TWFieldListItem>
{
public:
    TWFieldListItem() = default;
    TWFieldListItem(QString name, qint32 identifier) : TWFieldChoice(std::move(name), identifier) {}

    static std::shared_ptr<TWFieldListItem> fieldListItem();
    static std::shared_ptr<TWFieldListItem> fieldListItemWithName(const QString &name,
                                                                  qint32 identifier);
    std::shared_ptr<TWFieldListItem> copy() const;
};

using TWFieldListItemPtr = std::shared_ptr<TWFieldListItem>;
using TWFieldListItemList = QList<TWFieldListItemPtr>;

class TWFieldTagItem final : public TWFieldChoice<TWFieldTagItem>
{
public:
    TWFieldTagItem() = default;
    TWFieldTagItem(QString name, qint32 identifier) : TWFieldChoice(std::move(name), identifier) {}

    static std::shared_ptr<TWFieldTagItem> fieldTagItem();
    static std::shared_ptr<TWFieldTagItem> fieldTagItemWithName(const QString &name,
                                                                qint32 identifier);
    std::shared_ptr<TWFieldTagItem> copy() const;
};

using TWFieldTagItemPtr = std::shared_ptr<TWFieldTagItem>;
using TWFieldTagItemList = QList<TWFieldTagItemPtr>;
