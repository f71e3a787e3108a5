#include "model/TWFieldItem.h"

TWFieldListItemPtr TWFieldListItem::fieldListItem()
{
    return std::make_shared<TWFieldListItem>();
}

TWFieldListItemPtr TWFieldListItem::fieldListItemWithName(const QString &name, qint32 identifier)
{
    return std::make_shared<TWFieldListItem>(name, identifier);
}

TWFieldListItemPtr TWFieldListItem::copy() const
{
    return std::make_shared<TWFieldListItem>(*this);
}

TWFieldTagItemPtr TWFieldTagItem::fieldTagItem()
{
    return std::make_shared<TWFieldTagItem>();
}

TWFieldTagItemPtr TWFieldTagItem::fieldTagItemWithName(const QString &name, qint32 identifier)
{
    return std::make_shared<TWFieldTagItem>(name, identifier);
}

TWFieldTagItemPtr TWFieldTagItem::copy() const
{
    return std::make_shared<TWFieldTagItem>(*this);
}
