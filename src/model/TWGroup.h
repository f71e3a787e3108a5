#pragma once
// A folder of the master list: it holds accounts, clients, merchants, reports
// or filters (its item type says which) and other groups of the same kind.

#include "model/TWItem.h"

#include <QColor>

class TWGroup : public TWItem
{
public:
    TWGroup() = default;
    // The type is one of the group item types (account, client, merchant,
    // report or filter group).
    TWGroup(qint32 identifier, TWItemType type, QString name, qint32 parentIdentifier,
            quint32 sortOrder, QColor tintColour, bool expanded);

    static std::shared_ptr<TWGroup> groupWithIdentifier(qint32 identifier, TWItemType type,
                                                        const QString &name,
                                                        qint32 parentIdentifier, quint32 sortOrder,
                                                        const QColor &tintColour, bool expanded);

    TWItemPtr clone() const override;
    std::shared_ptr<TWGroup> copy() const { return std::make_shared<TWGroup>(*this); }

    // An invalid colour when the group has no tint.
    const QColor &tintColour() const { return m_tintColour; }
    void setTintColour(const QColor &v) { m_tintColour = v; }
    // Shown open in the master list.
    bool expanded() const { return m_expanded; }
    void setExpanded(bool v) { m_expanded = v; }

private:
    QColor m_tintColour;
    bool m_expanded = false;
};

using TWGroupPtr = std::shared_ptr<TWGroup>;
using TWGroupList = QList<TWGroupPtr>;
