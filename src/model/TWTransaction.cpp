#include "model/TWTransaction.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace
{

TWSplitList copySplits(const TWSplitList &splits, bool asNewLines)
{
    TWSplitList copies;
    copies.reserve(splits.size());
    for (const TWSplitPtr &split : splits) {
        if (split)
            copies.append(asNewLines ? split->copyForRepeat() : split->copy());
    }
    return copies;
}

std::optional<TWAttachmentList> copyAttachments(const std::optional<TWAttachmentList> &list)
{
    if (!list)
        return std::nullopt;
    TWAttachmentList attachments;
    attachments.reserve(list->size());
    for (const TWAttachmentPtr &attachment : *list) {
        if (attachment)
            attachments.append(attachment->copy());
    }
    return attachments;
}

} // namespace

TWTransaction::TWTransaction(qint32 identifier, std::uint32_t type, std::uint32_t state,
                             QString payee, QString description, qint32 account1Identifier,
                             qint32 account2Identifier, QDateTime date, qint64 total,
                             qint64 totalAccount1, qint64 totalAccount2, qint64 totalBusiness,
                             qint64 totalStart, qint64 totalEnd, TWUnitPtr unit,
                             bool hasAttachments, qint32 repeatIdentifier,
                             TWFieldValueList fieldValues, bool cleared, QString notes,
                             bool hasSplit, TWSplitList splits, QDateTime dateCreated,
                             QDateTime dateModified)
    : m_identifier(identifier), m_account1Identifier(account1Identifier),
      m_account2Identifier(account2Identifier), m_repeatIdentifier(repeatIdentifier),
      m_hasSplit(hasSplit), m_hasAttachments(hasAttachments), m_cleared(cleared), m_total(total),
      m_totalAccount1(totalAccount1), m_totalAccount2(totalAccount2),
      m_totalBusiness(totalBusiness), m_unit(std::move(unit)), m_payee(std::move(payee)),
      m_description(std::move(description)), m_dateCreated(std::move(dateCreated)),
      m_dateModified(std::move(dateModified))
{
    setType(type);
    setState(state);
    setFieldValues(fieldValues);
    setDate(date);
    setTotalStart(totalStart);
    setTotalEnd(totalEnd);
    setNotes(notes);
    setSplits(splits);
}

const TWSplitList &TWTransaction::noSplits()
{
    static const TWSplitList none;
    return none;
}

const std::optional<TWAttachmentList> &TWTransaction::noAttachments()
{
    static const std::optional<TWAttachmentList> none;
    return none;
}

const QString &TWTransaction::noText()
{
    static const QString none;
    return none;
}

const QString &TWTransaction::emptyText()
{
    static const QString empty(QLatin1String(""));
    return empty;
}

TWTransaction::TWTransaction(const TWTransaction &other)
    : m_identifier(other.m_identifier), m_account1Identifier(other.m_account1Identifier),
      m_account2Identifier(other.m_account2Identifier), m_dayValue(other.m_dayValue),
      m_repeatIdentifier(other.m_repeatIdentifier),
      m_activeAccountIdentifier(other.m_activeAccountIdentifier), m_type(other.m_type),
      m_state(other.m_state), m_hasSplit(other.m_hasSplit),
      m_hasAttachments(other.m_hasAttachments), m_cleared(other.m_cleared),
      m_dirtyAttachments(other.m_dirtyAttachments), m_emptyNotes(other.m_emptyNotes),
      m_dateCreatedUniversal(other.m_dateCreatedUniversal),
      m_dateModifiedUniversal(other.m_dateModifiedUniversal), m_total(other.m_total),
      m_totalAccount1(other.m_totalAccount1), m_totalAccount2(other.m_totalAccount2),
      m_totalBusiness(other.m_totalBusiness), m_balance(other.m_balance), m_date(other.m_date),
      m_unit(other.m_unit), m_payee(other.m_payee), m_description(other.m_description),
      m_dateCreated(other.m_dateCreated), m_dateModified(other.m_dateModified)
{
    if (other.m_cold) {
        m_cold = std::make_unique<Cold>(*other.m_cold);
        m_cold->splits = copySplits(other.m_cold->splits, false);
        m_cold->attachments = copyAttachments(other.m_cold->attachments);
    }
    takeValueCopies(other);
}

void TWTransaction::setStoredDates(double created, double modified)
{
    // Beyond the year 9999 a stored value is damage, not a moment.
    const auto universal = [](double seconds) -> QDateTime {
        constexpr double limit = 253402300800.0;
        if (!std::isfinite(seconds) || seconds == 0.0 || std::fabs(seconds) >= limit)
            return {};
        return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)), Qt::UTC);
    };
    m_dateCreated = universal(created);
    m_dateCreatedUniversal = m_dateCreated.isValid();
    m_dateModified = universal(modified);
    m_dateModifiedUniversal = m_dateModified.isValid();
}

void TWTransaction::toLocalTime(QDateTime &date, bool &universal)
{
    // The same local time QDateTime::fromMSecsSinceEpoch gives by default.
    date = QDateTime::fromMSecsSinceEpoch(date.toMSecsSinceEpoch());
    universal = false;
}

void TWTransaction::detachParts() const
{
    if (!m_sharesParts)
        return;
    // Rows are made by the business as new objects, never const ones.
    auto *self = const_cast<TWTransaction *>(this);
    self->m_sharesParts = false;
    self->takeValueCopies(*this);
    if (m_cold) {
        self->m_cold->splits = copySplits(m_cold->splits, false);
        self->m_cold->attachments = copyAttachments(m_cold->attachments);
    }
}

TWTransaction::TWTransaction(const TWTransaction &other, SharePartsTag)
    : m_identifier(other.m_identifier), m_account1Identifier(other.m_account1Identifier),
      m_account2Identifier(other.m_account2Identifier), m_dayValue(other.m_dayValue),
      m_repeatIdentifier(other.m_repeatIdentifier), m_type(other.m_type), m_state(other.m_state),
      m_hasSplit(other.m_hasSplit), m_hasAttachments(other.m_hasAttachments),
      m_cleared(other.m_cleared), m_dirtyAttachments(other.m_dirtyAttachments),
      m_emptyNotes(other.m_emptyNotes), m_sharesParts(true),
      m_dateCreatedUniversal(other.m_dateCreatedUniversal),
      m_dateModifiedUniversal(other.m_dateModifiedUniversal), m_valueCount(other.m_valueCount),
      m_total(other.m_total), m_totalAccount1(other.m_totalAccount1),
      m_totalAccount2(other.m_totalAccount2), m_totalBusiness(other.m_totalBusiness),
      m_balance(other.m_balance), m_date(other.m_date), m_unit(other.m_unit),
      m_payee(other.m_payee), m_description(other.m_description), m_valueBlock(other.m_valueBlock),
      m_dateCreated(other.m_dateCreated), m_dateModified(other.m_dateModified),
      m_cold(other.m_cold ? std::make_unique<Cold>(*other.m_cold) : nullptr)
{
    // A row is seen from the account and line it is made for, never from
    // those of the transaction it was made from.
    if (m_cold)
        m_cold->activeSplitIdentifier = 0;
}

TWTransaction &TWTransaction::operator=(const TWTransaction &other)
{
    if (this != &other) {
        TWTransaction copied(other);
        *this = std::move(copied);
    }
    return *this;
}

TWTransactionPtr TWTransaction::transactionWithIdentifier(
    qint32 identifier, std::uint32_t type, std::uint32_t state, const QString &payee,
    const QString &description, qint32 account1Identifier, qint32 account2Identifier,
    const QDateTime &date, qint64 total, qint64 totalAccount1, qint64 totalAccount2,
    qint64 totalBusiness, qint64 totalStart, qint64 totalEnd, const TWUnitPtr &unit,
    bool hasAttachments, qint32 repeatIdentifier, const TWFieldValueList &fieldValues, bool cleared,
    const QString &notes, bool hasSplit, const TWSplitList &splits, const QDateTime &dateCreated,
    const QDateTime &dateModified)
{
    return std::make_shared<TWTransaction>(
        identifier, type, state, payee, description, account1Identifier, account2Identifier, date,
        total, totalAccount1, totalAccount2, totalBusiness, totalStart, totalEnd, unit,
        hasAttachments, repeatIdentifier, fieldValues, cleared, notes, hasSplit, splits,
        dateCreated, dateModified);
}

TWTransactionPtr TWTransaction::transactionWithDefaults(const TWNewTransactionDefaults &defaults)
{
    auto transaction = std::make_shared<TWTransaction>();
    transaction->m_identifier = defaults.identifier;

    // A business that has not remembered a date or unit yet starts from today
    // and the home unit rather than from nothing.
    const bool useLast = defaults.useLastDateUnit;
    transaction->setDate(useLast && defaults.lastDate.isValid() ? defaults.lastDate
                                                                : TWClock::now());
    transaction->m_unit = useLast && defaults.lastUnit ? defaults.lastUnit : defaults.homeUnit;

    for (const TWFieldPtr &field : defaults.userFields) {
        if (!field || field->type() != TWFieldTypeList || field->listItems().isEmpty())
            continue;
        const TWFieldListItemPtr &first = field->listItems().first();
        if (!first)
            continue;
        TWFieldValuePtr value = transaction->fieldValueWithField(*field, true);
        value->setListItemIdentifier(first->identifier());
    }
    return transaction;
}

TWTransactionPtr TWTransaction::transactionForActiveAccount(qint32 accountIdentifier,
                                                            qint32 splitIdentifier) const
{
    // A register holds tens of thousands of rows and reads few of their parts:
    // the row shares them and copies them the first time they are asked for.
    auto view = std::make_shared<TWTransaction>(*this, SharePartsTag());
    view->m_activeAccountIdentifier = accountIdentifier;
    view->setActiveSplitIdentifier(splitIdentifier);
    return view;
}

void TWTransaction::validateEditTransactions(const TWTransactionList &transactions,
                                             bool *containsRepeat, bool *containsClosedLocked,
                                             bool *containsNormal)
{
    bool repeat = false;
    bool closedLocked = false;
    bool normal = false;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        repeat = repeat || transaction->m_repeatIdentifier != 0;
        if (transaction->canEdit())
            normal = true;
        else
            closedLocked = true;
    }
    if (containsRepeat)
        *containsRepeat = repeat;
    if (containsClosedLocked)
        *containsClosedLocked = closedLocked;
    if (containsNormal)
        *containsNormal = normal;
}

void TWTransaction::setDate(const QDateTime &v)
{
    m_date = v.isValid() ? v : QDateTime();
    m_dayValue = TWDateAdditions::dateValue(m_date);
}

void TWTransaction::setDate(const QDateTime &v, std::uint32_t dayValue)
{
    const bool valid = v.isValid();
    m_date = valid ? v : QDateTime();
    m_dayValue = valid ? dayValue : 0;
}

TWFieldValueList TWTransaction::fieldValues() const
{
    detachParts();
    if (!m_valueBlock)
        return m_cold ? m_cold->values : TWFieldValueList();
    TWFieldValueList values;
    values.reserve(qsizetype(m_valueCount));
    for (std::uint16_t i = 0; i < m_valueCount; ++i)
        values.append(TWFieldValuePtr(m_valueBlock, m_valueBlock.get() + i));
    return values;
}

void TWTransaction::setFieldValues(const TWFieldValueList &v)
{
    detachParts();
    m_valueBlock.reset();
    m_valueCount = 0;
    if (!v.isEmpty() || m_cold)
        cold().values = v;
}

void TWTransaction::setFieldValues(TWFieldValuePtr first, std::size_t count)
{
    detachParts();
    if (!first || count == 0 || count > kMostBlockValues) {
        TWFieldValueList values;
        for (std::size_t i = 0; first && i < count; ++i)
            values.append(TWFieldValuePtr(first, first.get() + i));
        setFieldValues(values);
        return;
    }
    if (m_cold)
        m_cold->values.clear();
    m_valueBlock = std::move(first);
    m_valueCount = std::uint16_t(count);
}

void TWTransaction::listFieldValues()
{
    if (!m_valueBlock)
        return;
    TWFieldValueList values = fieldValues();
    m_valueBlock.reset();
    m_valueCount = 0;
    cold().values = std::move(values);
}

void TWTransaction::takeValueCopies(const TWTransaction &from)
{
    std::size_t found = 0;
    from.anyFieldValue([&found](const TWFieldValue &) {
        ++found;
        return false;
    });
    TWFieldValuePtr block;
    TWFieldValueList list;
    if (found > kMostBlockValues) {
        list.reserve(qsizetype(found));
        from.anyFieldValue([&list](const TWFieldValue &value) {
            list.append(value.copy());
            return false;
        });
    } else if (found > 0) {
        block = TWFieldValue::fieldValueBlock(found);
        TWFieldValue *next = block.get();
        from.anyFieldValue([&next](const TWFieldValue &value) {
            *next++ = value;
            return false;
        });
    }
    m_valueBlock = std::move(block);
    m_valueCount = m_valueBlock ? std::uint16_t(found) : 0;
    if (!list.isEmpty() || m_cold)
        cold().values = std::move(list);
}

bool TWTransaction::canEdit() const
{
    return state() != TWTransactionStateClosed && state() != TWTransactionStateLocked;
}

qint32 TWTransaction::balanceAccountIdentifier() const
{
    if (!m_hasSplit)
        return m_activeAccountIdentifier == m_account1Identifier ? m_account1Identifier
                                                                 : m_account2Identifier;
    if (m_activeAccountIdentifier != 0)
        return m_activeAccountIdentifier;
    for (const TWSplitPtr &split : splitList()) {
        if (split)
            return split->accountIdentifier();
    }
    return 0;
}

qint64 TWTransaction::activeAccountTotal() const
{
    if (!m_hasSplit)
        return m_activeAccountIdentifier == m_account1Identifier ? m_totalAccount1
                                                                 : -m_totalAccount2;
    const qint32 account = balanceAccountIdentifier();
    const qint32 activeSplit = activeSplitIdentifier();
    qint64 sum = 0;
    for (const TWSplitPtr &split : splitList()) {
        if (!split || split->accountIdentifier() != account)
            continue;
        if (activeSplit != 0 && split->identifier() != activeSplit)
            continue;
        sum += split->totalAccount();
    }
    return sum;
}

bool TWTransaction::isEqual(const TWTransaction &other) const
{
    if (m_identifier != other.m_identifier)
        return false;
    if (m_activeAccountIdentifier != 0 && other.m_activeAccountIdentifier != 0 &&
        m_activeAccountIdentifier != other.m_activeAccountIdentifier)
        return false;
    if (activeSplitIdentifier() != 0 && other.activeSplitIdentifier() != 0 &&
        activeSplitIdentifier() != other.activeSplitIdentifier())
        return false;
    return true;
}

int TWTransaction::compare(const TWTransaction &other) const
{
    if (m_dayValue != other.m_dayValue)
        return m_dayValue < other.m_dayValue ? -1 : 1;
    if (m_identifier != other.m_identifier)
        return m_identifier < other.m_identifier ? -1 : 1;
    return 0;
}

bool TWTransaction::lessThan(const TWTransactionPtr &a, const TWTransactionPtr &b)
{
    if (!a || !b)
        return a && !b;
    return a->compare(*b) < 0;
}

void TWTransaction::sortTransactions(TWTransactionList &transactions)
{
    // Sorted on a compact copy of the keys: comparing through the pointers
    // visits every transaction again at each pass of the sort. The position
    // breaks ties, so the order is the stable one lessThan gives.
    struct Key {
        bool missing;
        std::uint32_t day;
        qint32 identifier;
        qsizetype position;
        bool operator<(const Key &other) const
        {
            return std::tie(missing, day, identifier, position) <
                   std::tie(other.missing, other.day, other.identifier, other.position);
        }
    };
    std::vector<Key> keys;
    keys.reserve(size_t(transactions.size()));
    for (qsizetype i = 0; i < transactions.size(); ++i) {
        const TWTransaction *t = transactions.at(i).get();
        keys.push_back({t == nullptr, t ? t->m_dayValue : 0, t ? t->m_identifier : 0, i});
    }
    if (std::is_sorted(keys.begin(), keys.end()))
        return;
    std::sort(keys.begin(), keys.end());
    TWTransactionList result;
    result.reserve(transactions.size());
    for (const Key &key : keys)
        result.append(std::move(transactions[key.position]));
    transactions = std::move(result);
}

TWSplitPtr TWTransaction::splitWithIdentifier(qint32 identifier) const
{
    detachParts();
    for (const TWSplitPtr &split : splitList()) {
        if (split && split->identifier() == identifier)
            return split;
    }
    return {};
}

TWFieldValuePtr TWTransaction::fieldValueWithIdentifier(qint32 fieldIdentifier) const
{
    detachParts();
    // The first value of a field wins, as it does for the store's writes.
    if (m_valueBlock) {
        for (std::uint16_t i = 0; i < m_valueCount; ++i) {
            if (m_valueBlock.get()[i].identifier() == fieldIdentifier)
                return TWFieldValuePtr(m_valueBlock, m_valueBlock.get() + i);
        }
        return {};
    }
    if (m_cold) {
        for (const TWFieldValuePtr &value : m_cold->values) {
            if (value && value->identifier() == fieldIdentifier)
                return value;
        }
    }
    return {};
}

TWFieldValuePtr TWTransaction::fieldValueWithField(const TWField &field, bool create)
{
    detachParts();
    TWFieldValuePtr value = fieldValueWithIdentifier(field.identifier());
    if (value || !create)
        return value;
    value = TWFieldValue::fieldValueWithIdentifier(field.identifier(), field.type());
    listFieldValues();
    cold().values.append(value);
    return value;
}

void TWTransaction::removeFieldValueWithIdentifier(qint32 fieldIdentifier)
{
    detachParts();
    listFieldValues();
    if (m_cold) {
        m_cold->values.removeIf([fieldIdentifier](const TWFieldValuePtr &value) {
            return !value || value->identifier() == fieldIdentifier;
        });
    }
}

TWTransactionPtr TWTransaction::repeatTransactionWithDate(const QDateTime &date, qint32 identifier,
                                                          bool closed) const
{
    detachParts();
    auto repeated = std::make_shared<TWTransaction>();
    repeated->m_identifier = identifier;
    repeated->setType(type());
    repeated->setDate(date);
    repeated->setState(closed ? TWTransactionStateClosed : TWTransactionStateNormal);
    repeated->m_payee = m_payee;
    repeated->m_description = m_description;
    repeated->m_account1Identifier = m_account1Identifier;
    repeated->m_account2Identifier = m_account2Identifier;
    repeated->m_total = m_total;
    repeated->m_totalAccount1 = m_totalAccount1;
    repeated->m_totalAccount2 = m_totalAccount2;
    repeated->m_totalBusiness = m_totalBusiness;
    repeated->setTotalStart(totalStart());
    repeated->setTotalEnd(totalEnd());
    repeated->m_unit = m_unit;
    repeated->m_repeatIdentifier = m_repeatIdentifier;
    repeated->m_cleared = m_cleared;
    repeated->setNotes(notes());
    repeated->m_hasSplit = m_hasSplit;
    repeated->m_dirtyAttachments = m_dirtyAttachments;
    repeated->takeValueCopies(*this);
    repeated->setSplits(copySplits(splitList(), true));
    const QDateTime now = TWClock::now();
    repeated->m_dateCreated = now;
    repeated->m_dateModified = now;
    return repeated;
}

void TWTransaction::copyRepeatFields(const TWTransaction &source, const TWFieldList &userFields)
{
    detachParts();
    m_payee = source.m_payee;
    m_description = source.m_description;
    m_account1Identifier = source.m_account1Identifier;
    m_account2Identifier = source.m_account2Identifier;
    m_total = source.m_total;
    m_totalAccount1 = source.m_totalAccount1;
    m_totalAccount2 = source.m_totalAccount2;
    m_totalBusiness = source.m_totalBusiness;
    setTotalStart(source.totalStart());
    setTotalEnd(source.totalEnd());
    m_unit = source.m_unit;
    setNotes(source.notes());
    m_hasSplit = source.m_hasSplit;
    // New lines: the occurrence's own stored lines are replaced, never the
    // source's rows taken over.
    setSplits(copySplits(source.splitList(), true));

    if (!hasFieldValues() && !source.hasFieldValues())
        return;
    TWFieldValueList values;
    values.reserve(userFields.size());
    for (const TWFieldPtr &field : userFields) {
        if (!field)
            continue;
        if (field->type() == TWFieldTypeDate) {
            if (TWFieldValuePtr own = fieldValueWithIdentifier(field->identifier()))
                values.append(own);
        } else if (TWFieldValuePtr theirs = source.fieldValueWithIdentifier(field->identifier())) {
            values.append(theirs->copy());
        }
    }
    setFieldValues(values);
}

bool TWTransaction::touchesAccount(qint32 accountIdentifier) const
{
    if (accountIdentifier == 0)
        return false;
    if (!hasSplit())
        return account1Identifier() == accountIdentifier ||
               account2Identifier() == accountIdentifier;
    for (const TWSplitPtr &split : splits()) {
        if (split && split->accountIdentifier() == accountIdentifier)
            return true;
    }
    return false;
}
