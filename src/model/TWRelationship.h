#pragma once
// A typed link between two records: a transaction (or one of its split lines)
// paying an invoice or a bill, a task or an expense billed on an invoice with
// the quantity billed, a year-end transfer made for an accounting period.

#include <QList>

#include <cstdint>
#include <memory>

enum TWRelationshipType : int {
    // parent: the invoice's project, child: the invoice; the paying transaction and split.
    TWRelationshipTypeInvoicePayment = 0,
    // parent: the invoice, child: the task; value: the quantity billed.
    TWRelationshipTypeInvoiceTask = 1,
    // parent: the invoice, child: the expense; value: the quantity billed.
    TWRelationshipTypeInvoiceExpense = 2,
    // parent: the bill's merchant, child: the bill; the paying transaction and split.
    TWRelationshipTypeBillPayment = 3,
    // parent: the accounting period; the transfer transaction.
    TWRelationshipTypeNominalTransfer = 4,
    // parent: a repeat; value: the packed day of its latest occurrence that
    // was deleted alone. The repeat steps on from that day, so the occurrence
    // is not made again.
    TWRelationshipTypeRepeatPast = 5,
};

// What a link of an invoice or a bill (types 0 and 3) says of its transaction,
// kept in its value (which these links otherwise leave at 0, and which builds
// that do not know it ignore): the document's own entry, made by the
// document's save or copied by a repeat from its source's entry; anything
// else linked to the document (a payment, or a further charge the user
// linked); or nothing said, as links stored before the entry was kept are:
// those are decided when the business is opened.
enum TWDocumentLinkRole : int {
    TWDocumentLinkUnsaid = 0,
    TWDocumentLinkEntry = 1,
    TWDocumentLinkOther = 2,
    // A duplicate's copy of its source's entry: its entry, booked by the
    // duplicate's own lines at its first save.
    TWDocumentLinkCopy = 3,
};

// The role a link's value says; any value but the three kept is unsaid.
inline TWDocumentLinkRole twDocumentLinkRole(double value)
{
    if (value == double(TWDocumentLinkEntry))
        return TWDocumentLinkEntry;
    if (value == double(TWDocumentLinkOther))
        return TWDocumentLinkOther;
    if (value == double(TWDocumentLinkCopy))
        return TWDocumentLinkCopy;
    return TWDocumentLinkUnsaid;
}

class TWRelationship;
using TWRelationshipPtr = std::shared_ptr<TWRelationship>;
using TWRelationshipList = QList<TWRelationshipPtr>;

class TWRelationship
{
public:
    TWRelationship() = default;
    TWRelationship(std::uint32_t type, double value, qint32 parentIdentifier,
                   qint32 childIdentifier, qint32 transactionIdentifier, qint32 splitIdentifier,
                   qint32 identifier);

    static TWRelationshipPtr relationshipWithType(std::uint32_t type, double value,
                                                  qint32 parentIdentifier, qint32 childIdentifier,
                                                  qint32 transactionIdentifier,
                                                  qint32 splitIdentifier, qint32 identifier);

    TWRelationshipPtr copy() const { return std::make_shared<TWRelationship>(*this); }

    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t v) { m_type = v; }
    // The quantity where the type has one; for an invoice's or a bill's
    // link, the role of its transaction (TWDocumentLinkRole); else 0.
    double value() const { return m_value; }
    void setValue(double v) { m_value = v; }
    qint32 parentIdentifier() const { return m_parentIdentifier; }
    void setParentIdentifier(qint32 v) { m_parentIdentifier = v; }
    qint32 childIdentifier() const { return m_childIdentifier; }
    void setChildIdentifier(qint32 v) { m_childIdentifier = v; }
    // 0 when no transaction (or no single split line) is linked.
    qint32 transactionIdentifier() const { return m_transactionIdentifier; }
    void setTransactionIdentifier(qint32 v) { m_transactionIdentifier = v; }
    qint32 splitIdentifier() const { return m_splitIdentifier; }
    void setSplitIdentifier(qint32 v) { m_splitIdentifier = v; }
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }

    // A relationship is only ever equal to itself: two links with the same
    // fields are still two links.
    bool isEqual(const TWRelationship &other) const { return this == &other; }

    // Lookups over a list of relationships: the matching elements (the list's
    // own objects) in list order.
    static TWRelationshipPtr relationshipWithIdentifier(const TWRelationshipList &list,
                                                        qint32 identifier);
    static TWRelationshipList relationshipsOfType(const TWRelationshipList &list,
                                                  std::uint32_t type);
    static TWRelationshipList relationshipsWithParentIdentifier(const TWRelationshipList &list,
                                                                qint32 parentIdentifier,
                                                                std::uint32_t type);
    static TWRelationshipList relationshipsWithChildIdentifier(const TWRelationshipList &list,
                                                               qint32 childIdentifier,
                                                               std::uint32_t type);
    static TWRelationshipList relationshipsWithParentIdentifier(const TWRelationshipList &list,
                                                                qint32 parentIdentifier,
                                                                qint32 childIdentifier,
                                                                std::uint32_t type);
    // Every type, or one type, linked to the transaction. Identifier 0 means
    // "none" in a relationship, so asking for transaction or split 0 (a record
    // not yet stored) finds nothing rather than every link without one.
    static TWRelationshipList relationshipsWithTransaction(const TWRelationshipList &list,
                                                           qint32 transactionIdentifier);
    static TWRelationshipList relationshipsWithTransaction(const TWRelationshipList &list,
                                                           qint32 transactionIdentifier,
                                                           std::uint32_t type);
    static TWRelationshipList relationshipsWithSplit(const TWRelationshipList &list,
                                                     qint32 splitIdentifier);

private:
    std::uint32_t m_type = TWRelationshipTypeInvoicePayment;
    double m_value = 0.0;
    qint32 m_parentIdentifier = 0;
    qint32 m_childIdentifier = 0;
    qint32 m_transactionIdentifier = 0;
    qint32 m_splitIdentifier = 0;
    qint32 m_identifier = 0;
};
