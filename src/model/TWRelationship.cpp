#include "model/TWRelationship.h"

namespace
{

template <typename Matches>
TWRelationshipList matching(const TWRelationshipList &list, Matches matches)
{
    TWRelationshipList found;
    for (const TWRelationshipPtr &relationship : list) {
        if (relationship && matches(*relationship))
            found.append(relationship);
    }
    return found;
}

} // namespace

TWRelationship::TWRelationship(std::uint32_t type, double value, qint32 parentIdentifier,
                               qint32 childIdentifier, qint32 transactionIdentifier,
                               qint32 splitIdentifier, qint32 identifier)
    : m_type(type), m_value(value), m_parentIdentifier(parentIdentifier),
      m_childIdentifier(childIdentifier), m_transactionIdentifier(transactionIdentifier),
      m_splitIdentifier(splitIdentifier), m_identifier(identifier)
{
}

TWRelationshipPtr TWRelationship::relationshipWithType(std::uint32_t type, double value,
                                                       qint32 parentIdentifier,
                                                       qint32 childIdentifier,
                                                       qint32 transactionIdentifier,
                                                       qint32 splitIdentifier, qint32 identifier)
{
    return std::make_shared<TWRelationship>(type, value, parentIdentifier, childIdentifier,
                                            transactionIdentifier, splitIdentifier, identifier);
}

TWRelationshipPtr TWRelationship::relationshipWithIdentifier(const TWRelationshipList &list,
                                                             qint32 identifier)
{
    for (const TWRelationshipPtr &relationship : list) {
        if (relationship && relationship->m_identifier == identifier)
            return relationship;
    }
    return {};
}

TWRelationshipList TWRelationship::relationshipsOfType(const TWRelationshipList &list,
                                                       std::uint32_t type)
{
    return matching(list, [type](const TWRelationship &r) { return r.m_type == type; });
}

TWRelationshipList TWRelationship::relationshipsWithParentIdentifier(const TWRelationshipList &list,
                                                                     qint32 parentIdentifier,
                                                                     std::uint32_t type)
{
    return matching(list, [=](const TWRelationship &r) {
        return r.m_type == type && r.m_parentIdentifier == parentIdentifier;
    });
}

TWRelationshipList TWRelationship::relationshipsWithChildIdentifier(const TWRelationshipList &list,
                                                                    qint32 childIdentifier,
                                                                    std::uint32_t type)
{
    return matching(list, [=](const TWRelationship &r) {
        return r.m_type == type && r.m_childIdentifier == childIdentifier;
    });
}

TWRelationshipList TWRelationship::relationshipsWithParentIdentifier(const TWRelationshipList &list,
                                                                     qint32 parentIdentifier,
                                                                     qint32 childIdentifier,
                                                                     std::uint32_t type)
{
    return matching(list, [=](const TWRelationship &r) {
        return r.m_type == type && r.m_parentIdentifier == parentIdentifier &&
               r.m_childIdentifier == childIdentifier;
    });
}

TWRelationshipList TWRelationship::relationshipsWithTransaction(const TWRelationshipList &list,
                                                                qint32 transactionIdentifier)
{
    if (transactionIdentifier == 0)
        return {};
    return matching(list, [=](const TWRelationship &r) {
        return r.m_transactionIdentifier == transactionIdentifier;
    });
}

TWRelationshipList TWRelationship::relationshipsWithTransaction(const TWRelationshipList &list,
                                                                qint32 transactionIdentifier,
                                                                std::uint32_t type)
{
    if (transactionIdentifier == 0)
        return {};
    return matching(list, [=](const TWRelationship &r) {
        return r.m_type == type && r.m_transactionIdentifier == transactionIdentifier;
    });
}

TWRelationshipList TWRelationship::relationshipsWithSplit(const TWRelationshipList &list,
                                                          qint32 splitIdentifier)
{
    if (splitIdentifier == 0)
        return {};
    return matching(
        list, [=](const TWRelationship &r) { return r.m_splitIdentifier == splitIdentifier; });
}
