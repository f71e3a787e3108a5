// The transactions of a business in memory: loading them with their custom
// values, tags and lines, reading a transaction's lines and attachments, the
// queries the register, exports and reports ask, and the list changes the
// transaction writes make.

#include "store/TWBusiness.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWUtilities.h"
#include "store/TWSchema.h"
#include "store/TWTransactionSearch.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace
{

// The 22 fixed columns in the order the load reads them; the custom columns
// follow.
const char *const kTransactionsSelectColumns =
    "SELECT identifier, type, state, payee, description, account1Identifier, "
    "account2Identifier, date, total, totalAccount1, totalAccount2, totalBusiness, totalStart, "
    "totalEnd, unit, attachments, repeatIdentifier, cleared, notes, split, dateCreated, "
    "dateModified";
constexpr int kFixedColumns = 22;

// Every line and every tag in one pass each, grouped by transaction. The tags
// of a transaction keep the order they were written in.
const char *const kSplitsLoadAllSQL =
    "SELECT identifier, description, accountIdentifier, total, totalAccount, totalBusiness, "
    "totalStart, totalEnd, unit, transactionIdentifier FROM splits "
    "ORDER BY transactionIdentifier ASC, identifier ASC;";
const char *const kTransactionTagsLoadAllSQL =
    "SELECT transactionIdentifier, fieldIdentifier, tagIdentifier FROM transactionTags "
    "ORDER BY transactionIdentifier ASC, rowid ASC;";

const char *const kSplitsGetTransactionSQL =
    "SELECT identifier, description, accountIdentifier, total, totalAccount, totalBusiness, "
    "totalStart, totalEnd, unit FROM splits WHERE transactionIdentifier=? ORDER BY identifier ASC;";
const char *const kAttachmentsGetSQL =
    "SELECT identifier, fileName, mimeType, type, attachmentOrder, timeSeconds, photoWidth, "
    "photoHeight, fileSize FROM attachments WHERE transactionIdentifier=? "
    "ORDER BY attachmentOrder ASC;";

const char *const kTransactionsMaxSQL = "SELECT MAX(identifier) FROM transactions;";

// The field types that own a column of the transactions table.
bool hasColumn(std::uint32_t type)
{
    return type != TWFieldTypeStandard && type <= TWFieldTypePercentTotal &&
           type != TWFieldTypeTags;
}

// Looks texts up by the bytes a statement holds, without making a string.
struct Utf8Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        return std::hash<std::string_view>{}(text);
    }
};

// Days as stored (packed calendar days) turned into dates, each distinct day
// once: a ledger has many rows per day, and each conversion asks the time zone.
class DayCache
{
public:
    QDateTime day(double stored)
    {
        if (!std::isfinite(stored) || stored < 1.0 || stored >= 4294967296.0)
            return {};
        const std::uint32_t packed = std::uint32_t(stored);
        auto found = m_days.constFind(packed);
        if (found == m_days.cend())
            found = m_days.insert(packed, TWDateAdditions::dateWithValue(packed));
        return found.value();
    }

private:
    QHash<std::uint32_t, QDateTime> m_days;
};

// Payees, descriptions and notes repeat across a ledger: equal texts share one
// buffer (a copy is made only when one of them is changed). They are matched
// on the bytes SQLite holds, so a repeated text is neither converted nor
// allocated again. Past a bound on distinct texts new ones are no longer
// remembered, so a ledger of all different texts does not double its load
// memory.
class SharedTexts
{
public:
    QString text(const TWStatement &row, int column)
    {
        const std::string_view bytes = row.columnUtf8(column);
        if (bytes.empty())
            return row.columnText(column); // keeps NULL apart from an empty text
        const auto found = m_texts.find(bytes);
        if (found != m_texts.end())
            return found->second;
        QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        if (m_texts.size() < kLimit)
            m_texts.emplace(std::string(bytes), text);
        return text;
    }

private:
    static constexpr std::size_t kLimit = 65536;
    std::unordered_map<std::string, QString, Utf8Hash, std::equal_to<>> m_texts;
};

// Units as stored (currency codes), each distinct code looked up once and
// matched on the bytes SQLite holds. A row without a code counts in US
// dollars, as it always has.
class StoredUnits
{
public:
    explicit StoredUnits(std::function<TWUnitPtr(const QString &)> unitForCode)
        : m_unitForCode(std::move(unitForCode))
    {
    }
    TWUnitPtr unit(const TWStatement &row, int column)
    {
        std::string_view code = row.columnUtf8(column);
        if (code.empty())
            code = "USD";
        auto found = m_units.find(code);
        if (found == m_units.end())
            found =
                m_units
                    .emplace(std::string(code),
                             m_unitForCode(QString::fromUtf8(code.data(), qsizetype(code.size()))))
                    .first;
        return found->second;
    }

private:
    std::function<TWUnitPtr(const QString &)> m_unitForCode;
    std::unordered_map<std::string, TWUnitPtr, Utf8Hash, std::equal_to<>> m_units;
};

// Custom texts and tag lists repeat across a ledger as payees do: a value
// copied from an earlier equal one shares its text or list (values keep
// them in a shared box). Bounded as the texts above are.
class SharedValues
{
public:
    // A text value of the field from the bytes of a non-empty text.
    void text(std::string_view bytes, qint32 field, TWFieldValue &made)
    {
        const auto found = m_texts.find(bytes);
        if (found != m_texts.end()) {
            made = found->second;
        } else {
            made = TWFieldValue(field, TWFieldTypeText);
            made.setText(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
            if (m_texts.size() < kLimit)
                m_texts.emplace(std::string(bytes), made);
        }
        made.setIdentifier(field);
    }
    // A tags value of the field from a non-empty list of tags.
    void tags(const QList<qint32> &identifiers, qint32 field, TWFieldValue &made)
    {
        const auto found = m_tags.constFind(identifiers);
        if (found != m_tags.cend()) {
            made = found.value();
        } else {
            made = TWFieldValue(field, TWFieldTypeTags);
            made.setTagItemIdentifiers(identifiers);
            if (std::size_t(m_tags.size()) < kLimit)
                m_tags.insert(identifiers, made);
        }
        made.setIdentifier(field);
    }

private:
    static constexpr std::size_t kLimit = 65536;
    std::unordered_map<std::string, TWFieldValue, Utf8Hash, std::equal_to<>> m_texts;
    QHash<QList<qint32>, TWFieldValue> m_tags;
};

// One custom column of a row as a value of its field, made in `made`; false
// when the column holds none (NULL, 0, an empty text or a number the value
// refuses).
bool readFieldValue(const TWStatement &row, int column, const TWField &field, DayCache &days,
                    SharedValues &shared, TWFieldValue &made)
{
    if (row.isNull(column))
        return false;
    const std::uint32_t type = field.type();
    made = TWFieldValue(field.identifier(), type);
    TWFieldValue *value = &made;
    switch (type) {
    case TWFieldTypeText:
        if (const std::string_view bytes = row.columnUtf8(column); !bytes.empty())
            shared.text(bytes, field.identifier(), made);
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        if (const qint64 amount = row.columnInt64(column))
            value->setCurrency(amount);
        break;
    case TWFieldTypeNumber:
        if (const double number = row.columnDouble(column); number != 0.0)
            value->setNumber(number);
        break;
    case TWFieldTypePercent:
        if (const double percent = row.columnDouble(column); percent != 0.0)
            value->setPercentFromDouble(percent);
        break;
    case TWFieldTypeCheckbox:
        if (row.columnInt64(column) != 0)
            value->setCheckboxValue(true);
        break;
    case TWFieldTypeDate: {
        if (const QDateTime day = days.day(row.columnDouble(column)); day.isValid())
            value->setDate(day);
        break;
    }
    case TWFieldTypeList:
        if (const qint32 item = row.columnInt32(column))
            value->setListItemIdentifier(item);
        break;
    default:
        break;
    }
    return value->hasValue();
}

// The account a transaction is seen from when no account is asked for.
qint32 defaultViewAccount(const TWTransaction &transaction)
{
    if (!transaction.hasSplit())
        return transaction.account1Identifier();
    for (const TWSplitPtr &split : transaction.splits()) {
        if (split)
            return split->accountIdentifier();
    }
    return 0;
}

TWTransactionList sorted(TWTransactionList list)
{
    TWTransaction::sortTransactions(list);
    return list;
}

} // namespace

// ---- The list and its index ----

TWTransactionPtr TWBusiness::transactionWithIdentifier(qint32 identifier) const
{
    return m_transactionIndex.value(identifier);
}

void TWBusiness::setTransactionList(const TWTransactionList &transactions)
{
    m_transactions = transactions;
    m_yearEndSums.invalidate();
    m_transactionIndex.assign(transactions);
}

void TWBusiness::reindexTransactionIdentifier(qint32 identifier)
{
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (transaction && transaction->identifier() == identifier) {
            m_transactionIndex.insert(identifier, transaction);
            return;
        }
    }
    m_transactionIndex.remove(identifier);
}

qsizetype TWBusiness::transactionPosition(const TWTransactionPtr &transaction) const
{
    if (!transaction)
        return -1;
    return m_transactions.indexOf(transaction);
}

void TWBusiness::appendTransaction(WriteScope &scope, const TWTransactionPtr &transaction)
{
    if (!transaction)
        return;
    const qint32 identifier = transaction->identifier();
    m_transactions.append(transaction);
    m_yearEndSums.count(*transaction, 1);
    const bool indexed = !m_transactionIndex.contains(identifier);
    if (indexed)
        m_transactionIndex.insert(identifier, transaction);
    scope.onRollback([this, identifier, indexed] {
        m_yearEndSums.invalidate();
        m_transactions.removeLast();
        if (indexed)
            m_transactionIndex.remove(identifier);
    });
}

void TWBusiness::replaceTransactionAt(WriteScope &scope, qsizetype position,
                                      const TWTransactionPtr &transaction)
{
    if (!transaction || position < 0 || position >= m_transactions.size())
        return;
    const TWTransactionPtr old = m_transactions.at(position);
    const TWTransactionPtr oldIndexed = m_transactionIndex.value(old->identifier());
    const TWTransactionPtr oldNewIndexed = m_transactionIndex.value(transaction->identifier());
    m_transactions[position] = transaction;
    m_yearEndSums.invalidate();
    reindexTransactionIdentifier(old->identifier());
    if (transaction->identifier() != old->identifier())
        reindexTransactionIdentifier(transaction->identifier());
    scope.onRollback([this, position, old, oldIndexed, transaction, oldNewIndexed] {
        m_yearEndSums.invalidate();
        m_transactions[position] = old;
        const auto restore = [this](qint32 identifier, const TWTransactionPtr &entry) {
            if (entry)
                m_transactionIndex.insert(identifier, entry);
            else
                m_transactionIndex.remove(identifier);
        };
        restore(transaction->identifier(), oldNewIndexed);
        restore(old->identifier(), oldIndexed);
    });
}

void TWBusiness::removeTransactionAt(WriteScope &scope, qsizetype position)
{
    if (position < 0 || position >= m_transactions.size())
        return;
    const TWTransactionPtr transaction = m_transactions.takeAt(position);
    m_yearEndSums.count(*transaction, -1);
    const qint32 identifier = transaction->identifier();
    const TWTransactionPtr oldIndexed = m_transactionIndex.value(identifier);
    if (oldIndexed == transaction)
        reindexTransactionIdentifier(identifier);
    scope.onRollback([this, position, transaction, identifier, oldIndexed] {
        m_yearEndSums.invalidate();
        m_transactions.insert(position, transaction);
        if (oldIndexed)
            m_transactionIndex.insert(identifier, oldIndexed);
        else
            m_transactionIndex.remove(identifier);
    });
}

TWTransactionList
TWBusiness::removeTransactionsIf(WriteScope &scope,
                                 const std::function<bool(const TWTransaction &)> &pick)
{
    return removeTransactionsWhere(scope, [&pick](const TWTransactionPtr &transaction) {
        return transaction && pick(*transaction);
    });
}

TWTransactionList TWBusiness::removeTransactionObjects(WriteScope &scope,
                                                       const TWTransactionList &objects)
{
    if (objects.isEmpty())
        return {};
    // With every identifier listed once, the objects are exactly the entries
    // of their identifiers, and a pass comparing addresses needs no look at
    // the transactions themselves (most of which are not in the cache).
    if (m_transactionIndex.size() == m_transactions.size()) {
        std::vector<const TWTransaction *> sorted;
        sorted.reserve(std::size_t(objects.size()));
        for (const TWTransactionPtr &transaction : objects)
            if (transaction)
                sorted.push_back(transaction.get());
        std::sort(sorted.begin(), sorted.end());
        const auto lowest = sorted.empty() ? nullptr : sorted.front();
        const auto highest = sorted.empty() ? nullptr : sorted.back();
        return removeTransactionsWhere(scope, [&](const TWTransactionPtr &transaction) {
            const TWTransaction *address = transaction.get();
            return address >= lowest && address <= highest &&
                   std::binary_search(sorted.cbegin(), sorted.cend(), address);
        });
    }
    QSet<qint32> identifiers;
    for (const TWTransactionPtr &transaction : objects)
        if (transaction)
            identifiers.insert(transaction->identifier());
    return removeTransactionsIf(scope, [&identifiers](const TWTransaction &transaction) {
        return identifiers.contains(transaction.identifier());
    });
}

template <typename Pick>
TWTransactionList TWBusiness::removeTransactionsWhere(WriteScope &scope, const Pick &pick)
{
    // Compacted in place: the entries kept are moved, never copied, so that
    // no reference count (next to each transaction) is touched.
    const qsizetype count = m_transactions.size();
    qsizetype first = 0;
    {
        const TWTransactionList &listed = std::as_const(m_transactions);
        while (first < count && !pick(listed.at(first)))
            ++first;
    }
    if (first == count)
        return {};
    std::vector<std::pair<qsizetype, TWTransactionPtr>> removed;
    TWTransactionPtr *entries = m_transactions.data();
    qsizetype kept = first;
    for (qsizetype read = first; read < count; ++read) {
        if (pick(std::as_const(entries[read])))
            removed.emplace_back(read, std::move(entries[read]));
        else
            entries[kept++] = std::move(entries[read]);
    }
    m_transactions.resize(kept);

    TWTransactionList result;
    result.reserve(qsizetype(removed.size()));
    for (const auto &entry : removed) {
        if (entry.second)
            m_yearEndSums.count(*entry.second, -1);
        result.append(entry.second);
    }
    // The index changes only where it named a removed object: rebuilding all
    // of it would cost a pass of hashing per delete.
    QSet<qint32> orphaned;
    for (const TWTransactionPtr &transaction : std::as_const(result)) {
        if (m_transactionIndex.value(transaction->identifier()) == transaction) {
            m_transactionIndex.remove(transaction->identifier());
            orphaned.insert(transaction->identifier());
        }
    }
    // Another listed object of the same identifier takes over, if there is one.
    if (!orphaned.isEmpty() && m_transactionIndex.size() < m_transactions.size()) {
        for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
            if (transaction && orphaned.remove(transaction->identifier())) {
                m_transactionIndex.insert(transaction->identifier(), transaction);
                if (orphaned.isEmpty())
                    break;
            }
        }
    }
    // Undone by putting each removed entry back at its old position (the
    // positions ascend, so each insert lands where it was).
    scope.onRollback([this, removed = std::move(removed)] {
        TWTransactionList restored;
        restored.reserve(m_transactions.size() + qsizetype(removed.size()));
        qsizetype from = 0;
        for (const auto &[position, transaction] : removed) {
            while (restored.size() < position && from < m_transactions.size())
                restored.append(m_transactions.at(from++));
            restored.append(transaction);
        }
        while (from < m_transactions.size())
            restored.append(m_transactions.at(from++));
        setTransactionList(restored);
    });
    return result;
}

// ---- Loading ----

TWErrorResult TWBusiness::loadTransactions()
{
    setTransactionList({});
    // One snapshot for the three passes (joins the open's own transaction).
    beginTransaction();
    TWTransactionList list;
    // The year-end sums are made as the rows are read, while each
    // transaction is still in the cache, rather than by a pass of their own.
    qint32 nominalIdentifier = 0;
    TWAccountingPeriodList periods;
    std::vector<TWYearEndSums::PeriodDays> days;
    std::vector<qint32> accounts;
    yearEndLayout(nominalIdentifier, periods, days, accounts);
    TWYearEndSums sums;
    sums.reset(std::move(days), std::move(accounts));
    TWErrorResult error = readTransactions(list, sums);
    commitTransaction();
    if (error)
        return error;
    setTransactionList(list);
    m_yearEndSums = std::move(sums);
    return std::nullopt;
}

TWErrorResult TWBusiness::readTransactions(TWTransactionList &list, TWYearEndSums &sums)
{
    // The custom columns, named from integer identifiers only, so the text
    // built here can hold nothing but column names.
    TWFieldList columnFields;
    TWFieldList tagFields;
    for (const TWFieldPtr &field : userFields()) {
        if (field->type() == TWFieldTypeTags)
            tagFields.append(field);
        else if (hasColumn(field->type()))
            columnFields.append(field);
    }
    QString sql = QString::fromLatin1(kTransactionsSelectColumns);
    for (const TWFieldPtr &field : std::as_const(columnFields))
        sql += QStringLiteral(", ") + TWSchema::userColumnName(field->identifier());
    sql += QStringLiteral(" FROM transactions");

    // Many transactions share a day and a unit: each is converted once.
    DayCache days;
    StoredUnits units([this](const QString &code) { return unitForStoredCode(code); });
    SharedTexts texts;

    SharedValues sharedValues;
    // The lines and tags come ordered by transaction identifier, and so do
    // the rows of a ledger whose entries were added one after another: while
    // they do, each line and tag is matched to its transaction by stepping
    // the three statements side by side (a merge, with no lookup per row);
    // lines and tags of identifiers that have no transaction are skipped.
    // From a row out of that order on, the rest are matched after the rows.
    sql += QStringLiteral(";");
    TWStatement rows = temporaryStatement(sql);
    bool merging = true;
    qsizetype unmerged = -1; // where the rows left identifier order
    qint64 previous = std::numeric_limits<qint64>::min();
    TWStatement splits = statement(kSplitsLoadAllSQL);
    bool splitRow = splits.next();
    std::optional<TWStatement> tags;
    bool tagRow = false;
    if (!tagFields.isEmpty()) {
        tags.emplace(statement(kTransactionTagsLoadAllSQL));
        tagRow = tags->next();
    }
    QHash<qint32, qsizetype> tagFieldPosition;
    for (qsizetype i = 0; i < tagFields.size(); ++i)
        tagFieldPosition.insert(tagFields.at(i)->identifier(), i);
    QList<QList<qint32>> tagRun(tagFields.size());
    TWSplitList lines;

    list.reserve(1024);
    // Each transaction's values are gathered here first, so that it holds
    // only what it has rather than room for every field. They are then made
    // in one block: one allocation per transaction rather than per value.
    std::vector<TWFieldValue> gathered(std::size_t(columnFields.size() + tagFields.size()));
    while (rows.next()) {
        const qint32 identifier = rows.columnInt32(0);
        if (merging && identifier <= previous) {
            merging = false;
            unmerged = list.size();
        }
        previous = identifier;
        std::size_t found = 0;
        for (qsizetype i = 0; i < columnFields.size(); ++i) {
            if (readFieldValue(rows, kFixedColumns + int(i), *columnFields.at(i), days,
                               sharedValues, gathered[found]))
                ++found;
        }
        // The tags, as one value per tags field (in field order, after the
        // column values). The tags of a transaction keep the order they were
        // written in.
        while (merging && tagRow && tags->columnInt32(0) < identifier)
            tagRow = tags->next();
        if (merging && tagRow && tags->columnInt32(0) == identifier) {
            do {
                const auto position = tagFieldPosition.constFind(tags->columnInt32(1));
                if (position != tagFieldPosition.cend())
                    tagRun[position.value()].append(tags->columnInt32(2));
                tagRow = tags->next();
            } while (tagRow && tags->columnInt32(0) == identifier);
            for (qsizetype i = 0; i < tagFields.size(); ++i) {
                if (tagRun.at(i).isEmpty())
                    continue;
                sharedValues.tags(tagRun.at(i), tagFields.at(i)->identifier(), gathered[found++]);
                tagRun[i].clear();
            }
        }
        const bool hasSplit = rows.columnBool(19);
        auto transaction = std::make_shared<TWTransaction>(
            identifier, std::uint32_t(rows.columnInt64(1)), std::uint32_t(rows.columnInt64(2)),
            texts.text(rows, 3), texts.text(rows, 4), rows.columnInt32(5), rows.columnInt32(6),
            days.day(rows.columnDouble(7)), rows.columnInt64(8), rows.columnInt64(9),
            rows.columnInt64(10), rows.columnInt64(11), rows.columnInt64(12), rows.columnInt64(13),
            units.unit(rows, 14), rows.columnBool(15), rows.columnInt32(16), TWFieldValueList(),
            rows.columnBool(17), texts.text(rows, 18), hasSplit, TWSplitList(), QDateTime(),
            QDateTime());
        transaction->setStoredDates(rows.columnDouble(20), rows.columnDouble(21));
        if (found > 0) {
            TWFieldValuePtr block = TWFieldValue::fieldValueBlock(found);
            for (std::size_t i = 0; i < found; ++i)
                block.get()[i] = std::move(gathered[i]);
            transaction->setFieldValues(std::move(block), found);
        }
        // The lines; only a split transaction takes them.
        while (merging && splitRow && splits.columnInt32(9) < identifier)
            splitRow = splits.next();
        while (merging && splitRow && splits.columnInt32(9) == identifier) {
            lines.append(TWSplit::splitWithIdentifier(
                splits.columnInt32(0), texts.text(splits, 1), splits.columnInt32(2),
                splits.columnInt64(3), splits.columnInt64(4), splits.columnInt64(5),
                splits.columnInt64(6), splits.columnInt64(7), units.unit(splits, 8)));
            splitRow = splits.next();
        }
        const bool nominal = transaction->type() == TWTransactionTypeNominal;
        // A split transaction counts once its lines are set.
        if (!hasSplit || nominal)
            sums.count(*transaction, 1);
        if (merging && hasSplit && !lines.isEmpty()) {
            // A list of its own, exactly as long as the lines (the gathering
            // one keeps its room for the next transaction).
            transaction->setSplits(TWSplitList(lines.cbegin(), lines.cend()));
            if (!nominal)
                sums.count(*transaction, 1);
        }
        lines.clear();
        list.append(std::move(transaction));
    }
    if (TWErrorResult error = rows.error())
        return error;
    // A failed read must not leave split transactions without lines: a
    // later save would take the missing lines as deleted.
    if (TWErrorResult error = splits.error())
        return error;
    if (tags) {
        if (TWErrorResult error = tags->error())
            return error;
    }
    if (unmerged >= 0)
        return readUnorderedParts(list, unmerged, tagFields, sums);
    return std::nullopt;
}

TWErrorResult TWBusiness::readUnorderedParts(TWTransactionList &list, qsizetype from,
                                             const TWFieldList &tagFields, TWYearEndSums &sums)
{
    // The transactions from `from` on, by identifier, matched to the lines
    // and tags by walking both in the same order. The table's key makes
    // identifiers unique; should a damaged file repeat one, the first row
    // gets the lines and tags.
    std::vector<std::pair<qint32, TWTransaction *>> byIdentifier;
    byIdentifier.reserve(std::size_t(list.size() - from));
    for (qsizetype i = from; i < list.size(); ++i)
        byIdentifier.emplace_back(list.at(i)->identifier(), list.at(i).get());
    std::stable_sort(byIdentifier.begin(), byIdentifier.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    // The transaction with that identifier, for identifiers asked in
    // ascending order; nullptr when there is none.
    const auto merger = [&byIdentifier] {
        return [&byIdentifier, next = std::size_t(0)](qint32 identifier) mutable {
            while (next < byIdentifier.size() && byIdentifier[next].first < identifier)
                ++next;
            return next < byIdentifier.size() && byIdentifier[next].first == identifier
                       ? byIdentifier[next].second
                       : nullptr;
        };
    };
    SharedTexts texts;
    StoredUnits units([this](const QString &code) { return unitForStoredCode(code); });

    // The lines, in runs per transaction; only a split transaction takes them.
    {
        TWStatement splits = statement(kSplitsLoadAllSQL);
        auto owning = merger();
        qint32 runTransaction = 0;
        bool inRun = false;
        TWSplitList run;
        const auto flush = [&] {
            if (inRun) {
                TWTransaction *owner = owning(runTransaction);
                if (owner && owner->hasSplit()) {
                    owner->setSplits(run);
                    if (owner->type() != TWTransactionTypeNominal)
                        sums.count(*owner, 1);
                }
            }
            run.clear();
        };
        while (splits.next()) {
            const qint32 transactionIdentifier = splits.columnInt32(9);
            if (!inRun || transactionIdentifier != runTransaction) {
                flush();
                runTransaction = transactionIdentifier;
                inRun = true;
            }
            run.append(TWSplit::splitWithIdentifier(
                splits.columnInt32(0), texts.text(splits, 1), splits.columnInt32(2),
                splits.columnInt64(3), splits.columnInt64(4), splits.columnInt64(5),
                splits.columnInt64(6), splits.columnInt64(7), units.unit(splits, 8)));
        }
        if (TWErrorResult error = splits.error())
            return error;
        flush();
    }

    // The tags, in runs per transaction, as one value per tags field (in
    // field order, after the column values).
    if (!tagFields.isEmpty()) {
        QHash<qint32, qsizetype> tagFieldPosition;
        for (qsizetype i = 0; i < tagFields.size(); ++i)
            tagFieldPosition.insert(tagFields.at(i)->identifier(), i);
        TWStatement tags = statement(kTransactionTagsLoadAllSQL);
        auto owning = merger();
        qint32 runTransaction = 0;
        bool inRun = false;
        QList<QList<qint32>> run(tagFields.size());
        const auto flush = [&] {
            if (inRun) {
                if (TWTransaction *owner = owning(runTransaction)) {
                    TWFieldValueList values = owner->fieldValues();
                    for (qsizetype i = 0; i < tagFields.size(); ++i) {
                        if (run.at(i).isEmpty())
                            continue;
                        TWFieldValuePtr value = TWFieldValue::fieldValueWithIdentifier(
                            tagFields.at(i)->identifier(), TWFieldTypeTags);
                        value->setTagItemIdentifiers(run.at(i));
                        values.append(value);
                    }
                    owner->setFieldValues(values);
                }
            }
            for (QList<qint32> &identifiers : run)
                identifiers.clear();
        };
        while (tags.next()) {
            const qint32 transactionIdentifier = tags.columnInt32(0);
            if (!inRun || transactionIdentifier != runTransaction) {
                flush();
                runTransaction = transactionIdentifier;
                inRun = true;
            }
            const auto position = tagFieldPosition.constFind(tags.columnInt32(1));
            if (position != tagFieldPosition.cend())
                run[position.value()].append(tags.columnInt32(2));
        }
        if (TWErrorResult error = tags.error())
            return error;
        flush();
    }
    return std::nullopt;
}

std::optional<TWSplitList> TWBusiness::transactionSplits(qint32 transactionIdentifier)
{
    TWStatement query = statement(kSplitsGetTransactionSQL);
    query.bindInt32(transactionIdentifier);
    TWSplitList splits;
    while (query.next()) {
        splits.append(TWSplit::splitWithIdentifier(
            query.columnInt32(0), query.columnText(1), query.columnInt32(2), query.columnInt64(3),
            query.columnInt64(4), query.columnInt64(5), query.columnInt64(6), query.columnInt64(7),
            unitForStoredCode(query.isNull(8) || query.columnText(8).isEmpty()
                                  ? QStringLiteral("USD")
                                  : query.columnText(8))));
    }
    if (query.error())
        return std::nullopt;
    return splits;
}

// ---- Attachments ----

std::optional<TWAttachmentList> TWBusiness::transactionAttachments(const TWTransaction &transaction)
{
    TWStatement query = statement(kAttachmentsGetSQL);
    query.bindInt32(transaction.identifier());
    const QDir folder(m_attachmentsFolderPath);
    TWAttachmentList attachments;
    while (query.next()) {
        const qint32 identifier = query.columnInt32(0);
        const QString fileName = query.columnText(1);
        const std::uint32_t type = std::uint32_t(query.columnInt64(3));
        QString thumbnail;
        if (type == TWAttachmentTypePhoto) {
            const QString path = folder.filePath(attachmentThumbnailFileName(identifier));
            if (QFileInfo::exists(path))
                thumbnail = path;
        }
        attachments.append(TWAttachment::attachmentWithFileName(
            fileName, folder.filePath(attachmentFileName(identifier, fileName)),
            query.columnText(2), type, std::uint32_t(query.columnInt64(4)), query.columnDouble(5),
            thumbnail, std::uint32_t(query.columnInt64(6)), std::uint32_t(query.columnInt64(7)),
            std::uint64_t(query.columnInt64(8)), identifier));
    }
    if (query.error())
        return std::nullopt;
    return attachments;
}

void TWBusiness::loadTransactionAttachments(TWTransaction &transaction)
{
    if (std::optional<TWAttachmentList> attachments = transactionAttachments(transaction))
        transaction.setAttachments(attachments);
}

// ---- Queries ----

TWTransactionList TWBusiness::allTransactions() const
{
    TWTransactionList views;
    views.reserve(m_transactions.size());
    for (const TWTransactionPtr &transaction : m_transactions)
        views.append(transaction->transactionForActiveAccount(defaultViewAccount(*transaction), 0));
    return sorted(views);
}

TWTransactionList TWBusiness::transactionsForAccount(const TWAccount &account) const
{
    TWTransactionList views;
    const qint32 identifier = account.identifier();
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (transaction->touchesAccount(identifier))
            views.append(transaction->transactionForActiveAccount(identifier, 0));
    }
    return sorted(views);
}

TWTransactionList TWBusiness::transactionsForAccounts(const TWAccountList &accounts) const
{
    TWTransactionList views;
    for (const TWTransactionPtr &transaction : m_transactions) {
        for (const TWAccountPtr &account : accounts) {
            if (account && transaction->touchesAccount(account->identifier()))
                views.append(transaction->transactionForActiveAccount(account->identifier(), 0));
        }
    }
    return sorted(views);
}

TWTransactionList TWBusiness::transactionsForFilter(const TWFilter &filter)
{
    TWTransactionList views;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (filterHookMatchTransaction(filter, *transaction))
            views.append(
                transaction->transactionForActiveAccount(defaultViewAccount(*transaction), 0));
    }
    return sorted(views);
}

TWTransactionList TWBusiness::transactionsForFilters(const TWFilterList &filters)
{
    TWTransactionList views;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        const bool matched =
            std::any_of(filters.cbegin(), filters.cend(), [&](const TWFilterPtr &filter) {
                return filter && filterHookMatchTransaction(*filter, *transaction);
            });
        if (matched)
            views.append(
                transaction->transactionForActiveAccount(defaultViewAccount(*transaction), 0));
    }
    return sorted(views);
}

TWTransactionList TWBusiness::transactionsForAccounts(
    const std::optional<TWAccountList> &accounts, const TWFilterPtr &filter, std::uint32_t interval,
    const QDateTime &intervalFromDate, const QDateTime &intervalToDate, bool *hasAttachments)
{
    const QDateTime from = TWUtilities::intervalFromDate(interval, intervalFromDate);
    const QDateTime to = TWUtilities::intervalToDate(interval, intervalToDate);
    QSet<qint32> listed;
    if (accounts) {
        for (const TWAccountPtr &account : *accounts) {
            if (account)
                listed.insert(account->identifier());
        }
    }
    const auto inList = [&](qint32 identifier) {
        return identifier != 0 && listed.contains(identifier) && accountWithIdentifier(identifier);
    };

    TWTransactionList result;
    bool attachmentsSeen = false;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (filter && !filterHookMatchTransaction(*filter, *transaction))
            continue;
        if (accounts) {
            bool taken = false;
            if (transaction->hasSplit()) {
                for (const TWSplitPtr &split : transaction->splits()) {
                    if (split && inList(split->accountIdentifier())) {
                        taken = true;
                        break;
                    }
                }
            } else {
                taken = inList(transaction->account1Identifier()) ||
                        inList(transaction->account2Identifier());
            }
            if (!taken)
                continue;
        }
        if (from.isValid() && transaction->date() < from)
            continue;
        if (to.isValid() && transaction->date() > to)
            continue;
        attachmentsSeen = attachmentsSeen || transaction->hasAttachments();
        transaction->setActiveAccountIdentifier(0);
        result.append(transaction);
    }
    TWTransaction::sortTransactions(result);
    if (hasAttachments)
        *hasAttachments = attachmentsSeen;
    return result;
}

TWTransactionList
TWBusiness::exportTransactionsForAccounts(const TWAccountList &accounts,
                                          const TWTransactionList &transactions) const
{
    TWAccountList sortedAccounts;
    for (const TWAccountPtr &account : accounts) {
        if (account)
            sortedAccounts.append(account);
    }
    std::stable_sort(
        sortedAccounts.begin(), sortedAccounts.end(),
        [](const TWAccountPtr &a, const TWAccountPtr &b) { return a->compare(*b) < 0; });
    const TWTransactionList sortedTransactions = sorted(transactions);

    TWTransactionList views;
    for (const TWAccountPtr &account : std::as_const(sortedAccounts)) {
        for (const TWTransactionPtr &transaction : sortedTransactions) {
            if (transaction && transaction->touchesAccount(account->identifier()))
                views.append(transaction->transactionForActiveAccount(account->identifier(), 0));
        }
    }
    balanceHookUpdateBalance(views);
    return views;
}

// ---- Identifiers and periods ----

qint32 TWBusiness::nextTransactionIdentifier()
{
    return nextIdentifier(kTransactionsMaxSQL, qint64(startingTransactionIdentifier()));
}

TWAccountingPeriodPtr
TWBusiness::accountingPeriodForTransaction(const TWTransaction &transaction) const
{
    return accountingPeriodForDate(transaction.date());
}

bool TWBusiness::transactionBeforeActiveAccountingPeriod(const TWTransaction &transaction) const
{
    return dateBeforeActiveAccountingPeriod(transaction.date());
}

// ---- Other groups' settings and calls ----

TWBusiness::LastTransactionSettings TWBusiness::lastTransactionSettings() const
{
    return {lastDate(), lastUnit(), lastMileageUnit(), lastAccount1Identifier(),
            lastAccount2Identifier()};
}

qint32 TWBusiness::transactionSearchFieldType() const
{
    return searchFieldType();
}

bool TWBusiness::filterHookMatchTransaction(const TWFilter &filter,
                                            const TWTransaction &transaction)
{
    return twMatchTransaction(filter, transaction, *this);
}

void TWBusiness::balanceHookUpdateBalance(TWTransactionList &views) const
{
    updateBalance(views);
}
