#include "model/TWGroup.h"

TWGroup::TWGroup(qint32 identifier, TWItemType type, QString name, qint32 parentIdentifier,
                 quint32 sortOrder, QColor tintColour, bool expanded)
    : TWItem(identifier, type, std::move(name), parentIdentifier, sortOrder),
      m_tintColour(std::move(tintColour)), m_expanded(expanded)
{
}

TWGroupPtr TWGroup::groupWithIdentifier(qint32 identifier, TWItemType type, const QString &name,
                                        qint32 parentIdentifier, quint32 sortOrder,
                                        const QColor &tintColour, bool expanded)
{
    return std::make_shared<TWGroup>(identifier, type, name, parentIdentifier, sortOrder,
                                     tintColour, expanded);
}

TWItemPtr TWGroup::clone() const
{
    return copy();
}
