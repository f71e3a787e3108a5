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
#include <QRandomGenerator>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
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
// The same lines as they lie in the table, and the two numbers that tell
// whether that is the order above.
const char *const kSplitsLoadTableSQL =
    "SELECT identifier, description, accountIdentifier, total, totalAccount, totalBusiness, "
    "totalStart, totalEnd, unit, transactionIdentifier FROM splits NOT INDEXED ORDER BY rowid;";
const char *const kSplitsOrderSQL =
    "SELECT transactionIdentifier, identifier FROM splits NOT INDEXED ORDER BY rowid;";
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

// Values looked up by the bytes a statement holds, without making a string.
// Open addressing over a flat array of slots, each a tag of the bytes' hash
// beside the entry's number: a look-up reads one slot, mostly, and an entry
// only when the tags agree (a node-based map follows a pointer, a miss in the
// processor's cache, at every step). Past `limit` entries nothing more is
// remembered. The hash is seeded afresh for each table and a look-up gives up
// after a bounded number of slots, so no set of stored texts can make the
// table slow.
template <typename Value> class BytesTable
{
public:
    explicit BytesTable(std::size_t limit)
        : m_limit(std::min<std::size_t>(limit, kEntryMask - 1)),
          m_seed(QRandomGenerator::global()->generate64())
    {
    }

    std::uint64_t hash(std::string_view bytes) const
    {
        std::uint64_t h = m_seed ^ (std::uint64_t(bytes.size()) * 0x9E3779B97F4A7C15ULL);
        const char *at = bytes.data();
        std::size_t left = bytes.size();
        for (; left >= 8; at += 8, left -= 8) {
            std::uint64_t word;
            std::memcpy(&word, at, 8);
            h = mix(h ^ word);
        }
        if (left > 0) {
            std::uint64_t word = 0;
            std::memcpy(&word, at, left);
            h = mix(h ^ word ^ (std::uint64_t(left) << 59));
        }
        return h;
    }

    // The value stored for the bytes; nullptr when there is none.
    const Value *find(std::string_view bytes, std::uint64_t hash) const
    {
        if (m_slots.empty())
            return nullptr;
        const std::size_t mask = m_slots.size() - 1;
        const std::uint64_t tag = hash & ~kEntryMask;
        std::size_t at = std::size_t(hash >> 32) & mask;
        for (std::size_t probe = 0; probe < kProbes; ++probe, at = (at + 1) & mask) {
            const std::uint64_t slot = m_slots[at];
            if (slot == 0)
                return nullptr;
            if ((slot & ~kEntryMask) == tag) {
                const auto &entry = m_entries[std::size_t(slot & kEntryMask) - 1];
                if (std::string_view(entry.first) == bytes)
                    return &entry.second;
            }
        }
        return nullptr;
    }

    // Remembers the value of bytes not stored yet, while there is room.
    void insert(std::string_view bytes, std::uint64_t hash, Value value)
    {
        if (m_entries.size() >= m_limit)
            return;
        if ((m_entries.size() + 1) * 2 > m_slots.size())
            grow();
        if (place(hash, m_entries.size() + 1)) {
            m_hashes.push_back(hash);
            m_entries.emplace_back(std::string(bytes), std::move(value));
        }
    }

private:
    // Low bits of a slot: the entry's number plus one (0 is an empty slot).
    static constexpr std::uint64_t kEntryMask = (std::uint64_t(1) << 20) - 1;
    static constexpr std::size_t kProbes = 32;

    static std::uint64_t mix(std::uint64_t x)
    {
        x ^= x >> 30;
        x *= 0xBF58476D1CE4E5B9ULL;
        x ^= x >> 27;
        x *= 0x94D049BB133111EBULL;
        return x ^ (x >> 31);
    }

    bool place(std::uint64_t hash, std::size_t number)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t at = std::size_t(hash >> 32) & mask;
        for (std::size_t probe = 0; probe < kProbes; ++probe, at = (at + 1) & mask) {
            if (m_slots[at] == 0) {
                m_slots[at] = (hash & ~kEntryMask) | std::uint64_t(number);
                return true;
            }
        }
        return false;
    }

    void grow()
    {
        m_slots.assign(std::max<std::size_t>(1024, m_slots.size() * 2), 0);
        // (An entry that finds no slot now is only no longer found.)
        for (std::size_t i = 0; i < m_hashes.size(); ++i)
            place(m_hashes[i], i + 1);
    }

    std::size_t m_limit;
    std::uint64_t m_seed;
    std::vector<std::uint64_t> m_slots;
    std::vector<std::uint64_t> m_hashes; // of each entry, for growing
    std::vector<std::pair<std::string, Value>> m_entries;
};

// Days as stored (packed calendar days) turned into dates with their day
// values, each distinct day once: a ledger has many rows per day, and each
// conversion asks the time zone and the calendar. A direct-mapped cache:
// the slot is chosen by the low bits of the packed day, so sixteen years of
// days never push each other out.
class DayCache
{
public:
    struct Day {
        QDateTime date;
        std::uint32_t value = 0; // TWDateAdditions::dateValue(date)
    };

    const Day &day(double stored)
    {
        if (!std::isfinite(stored) || stored < 1.0 || stored >= 4294967296.0)
            return m_none;
        const std::uint32_t packed = std::uint32_t(stored);
        Slot &slot = m_slots[packed & (kSlots - 1)];
        if (slot.packed != packed) {
            slot.packed = packed;
            slot.day.date = TWDateAdditions::dateWithValue(packed);
            slot.day.value = TWDateAdditions::dateValue(slot.day.date);
        }
        return slot.day;
    }

private:
    static constexpr std::size_t kSlots = 8192;
    struct Slot {
        std::uint32_t packed = 0; // never a stored day (those are 1 or more)
        Day day;
    };
    std::vector<Slot> m_slots = std::vector<Slot>(kSlots);
    Day m_none;
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
        return text(bytes);
    }
    // The text of bytes that are not empty.
    QString text(std::string_view bytes)
    {
        const std::uint64_t hash = m_texts.hash(bytes);
        if (const QString *found = m_texts.find(bytes, hash))
            return *found;
        QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        m_texts.insert(bytes, hash, text);
        return text;
    }

private:
    BytesTable<QString> m_texts{65536};
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
        // Most rows have the unit of the row before.
        if (m_lastUnit && code == m_lastCode)
            return m_lastUnit;
        const std::uint64_t hash = m_units.hash(code);
        TWUnitPtr unit;
        if (const TWUnitPtr *found = m_units.find(code, hash)) {
            unit = *found;
        } else {
            unit = m_unitForCode(QString::fromUtf8(code.data(), qsizetype(code.size())));
            m_units.insert(code, hash, unit);
        }
        m_lastCode.assign(code);
        m_lastUnit = unit;
        return unit;
    }

private:
    std::function<TWUnitPtr(const QString &)> m_unitForCode;
    // Every distinct code is remembered: each names a unit of the business.
    BytesTable<TWUnitPtr> m_units{std::numeric_limits<std::size_t>::max()};
    std::string m_lastCode;
    TWUnitPtr m_lastUnit;
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
        const std::uint64_t hash = m_texts.hash(bytes);
        if (const TWFieldValue *found = m_texts.find(bytes, hash)) {
            made = *found;
        } else {
            made = TWFieldValue(field, TWFieldTypeText);
            made.setText(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
            m_texts.insert(bytes, hash, made);
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
    BytesTable<TWFieldValue> m_texts{kLimit};
    QHash<QList<qint32>, TWFieldValue> m_tags;
};

// ---- The load's two halves ----
//
// Reading a ledger is two kinds of work of about equal cost: stepping SQLite
// through the rows and taking each column out, and making the objects (texts
// shared, days converted, values, lines, the year-end sums). The first stays
// on the calling thread, which alone uses the connection; it hands the
// columns it took out, in batches, to a second thread that makes the
// objects, so that both run at once. Nothing else passes between them, and
// the objects are made in the order of the rows, exactly as one thread would
// make them.

// A text column as read: its bytes kept in the batch, or (for NULL and an
// empty text, which differ) the text the statement gives for it.
struct TextCell {
    std::uint32_t at = 0;   // where the bytes start, or which kept text
    std::int32_t size = -1; // how many bytes; -1 for a kept text
};

// A custom column as read; only the member its field's type uses is set.
struct ValueCell {
    bool present = false; // something that may make a value
    qint64 integer = 0;
    double number = 0.0;
    TextCell text;
};

struct LineRow {
    qint32 identifier = 0;
    qint32 account = 0;
    TextCell description;
    qint64 total = 0;
    qint64 totalAccount = 0;
    qint64 totalBusiness = 0;
    qint64 totalStart = 0;
    qint64 totalEnd = 0;
    TWUnitPtr unit;
};

struct TransactionRow {
    qint32 identifier = 0;
    qint32 account1 = 0;
    qint32 account2 = 0;
    qint32 repeat = 0;
    std::uint32_t type = 0;
    std::uint32_t state = 0;
    bool attachments = false;
    bool cleared = false;
    bool split = false;
    double date = 0.0;
    double created = 0.0;
    double modified = 0.0;
    qint64 total = 0;
    qint64 totalAccount1 = 0;
    qint64 totalAccount2 = 0;
    qint64 totalBusiness = 0;
    qint64 totalStart = 0;
    qint64 totalEnd = 0;
    TWUnitPtr unit;
    TextCell payee;
    TextCell description;
    TextCell notes;
    // Its lines and tags in the batch's lists.
    std::uint32_t firstLine = 0;
    std::uint32_t lineCount = 0;
    std::uint32_t firstTag = 0;
    std::uint32_t tagCount = 0;
};

// Rows as read, handed over whole.
struct RowBatch {
    static constexpr std::size_t kRows = 1024;
    static constexpr std::size_t kBytes = 1 << 20;

    std::vector<TransactionRow> rows;
    std::vector<ValueCell> cells; // the custom columns of each row in turn
    std::vector<LineRow> lines;
    std::vector<std::pair<qsizetype, qint32>> tags; // tags field position, tag
    std::string bytes;
    std::vector<QString> kept;

    bool full() const { return rows.size() >= kRows || bytes.size() >= kBytes; }
    void clear()
    {
        rows.clear();
        cells.clear();
        lines.clear();
        tags.clear();
        bytes.clear();
        kept.clear();
    }
    // Reads a text column as SharedTexts takes it.
    TextCell text(const TWStatement &row, int column)
    {
        const std::string_view read = row.columnUtf8(column);
        if (read.empty()) {
            kept.push_back(row.columnText(column)); // keeps NULL apart from an empty text
            return {std::uint32_t(kept.size() - 1), -1};
        }
        return textBytes(read);
    }
    TextCell textBytes(std::string_view read)
    {
        const TextCell cell{std::uint32_t(bytes.size()), std::int32_t(read.size())};
        bytes.append(read);
        return cell;
    }
    std::string_view bytesOf(TextCell cell) const
    {
        return {bytes.data() + cell.at, std::size_t(cell.size)};
    }
};

// Takes a custom column out of the row as readFieldValue wants it.
void readValueCell(const TWStatement &row, int column, std::uint32_t type, RowBatch &batch,
                   ValueCell &cell)
{
    cell = ValueCell();
    if (row.isNull(column))
        return;
    cell.present = true;
    switch (type) {
    case TWFieldTypeText:
        if (const std::string_view bytes = row.columnUtf8(column); !bytes.empty())
            cell.text = batch.textBytes(bytes);
        else
            cell.present = false; // an empty text is no value
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
    case TWFieldTypeCheckbox:
        cell.integer = row.columnInt64(column);
        break;
    case TWFieldTypeNumber:
    case TWFieldTypePercent:
    case TWFieldTypeDate:
        cell.number = row.columnDouble(column);
        break;
    case TWFieldTypeList:
        cell.integer = row.columnInt32(column);
        break;
    default:
        break;
    }
}

// One custom column of a row as a value of its field, made in `made`; false
// when the column holds none (NULL, 0, an empty text or a number the value
// refuses).
bool readFieldValue(const RowBatch &batch, const ValueCell &cell, const TWField &field,
                    DayCache &days, SharedValues &shared, TWFieldValue &made)
{
    if (!cell.present)
        return false;
    const std::uint32_t type = field.type();
    made = TWFieldValue(field.identifier(), type);
    TWFieldValue *value = &made;
    switch (type) {
    case TWFieldTypeText:
        shared.text(batch.bytesOf(cell.text), field.identifier(), made);
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        if (cell.integer != 0)
            value->setCurrency(cell.integer);
        break;
    case TWFieldTypeNumber:
        if (cell.number != 0.0)
            value->setNumber(cell.number);
        break;
    case TWFieldTypePercent:
        if (cell.number != 0.0)
            value->setPercentFromDouble(cell.number);
        break;
    case TWFieldTypeCheckbox:
        if (cell.integer != 0)
            value->setCheckboxValue(true);
        break;
    case TWFieldTypeDate: {
        if (const QDateTime &day = days.day(cell.number).date; day.isValid())
            value->setDate(day);
        break;
    }
    case TWFieldTypeList:
        if (const qint32 item = qint32(cell.integer))
            value->setListItemIdentifier(item);
        break;
    default:
        break;
    }
    return value->hasValue();
}

// Makes the transactions of the batches handed to it, in order, appending
// them to the list and counting them in the year-end sums.
class TransactionMaker
{
public:
    TransactionMaker(const TWFieldList &columnFields, const TWFieldList &tagFields,
                     TWTransactionList &list, TWYearEndSums &sums)
        : m_columnFields(columnFields), m_tagFields(tagFields), m_list(list), m_sums(sums),
          m_gathered(std::size_t(columnFields.size() + tagFields.size())),
          m_tagRun(tagFields.size())
    {
    }

    void make(const RowBatch &batch)
    {
        const std::size_t columns = std::size_t(m_columnFields.size());
        for (std::size_t r = 0; r < batch.rows.size(); ++r) {
            const TransactionRow &row = batch.rows[r];
            // Each transaction's values are gathered here first, so that it
            // holds only what it has rather than room for every field. They
            // are then made in one block: one allocation per transaction
            // rather than per value.
            std::size_t found = 0;
            for (std::size_t i = 0; i < columns; ++i) {
                if (readFieldValue(batch, batch.cells[r * columns + i],
                                   *m_columnFields.at(qsizetype(i)), m_days, m_values,
                                   m_gathered[found]))
                    ++found;
            }
            // The tags, as one value per tags field (in field order, after
            // the column values), each keeping the order it was written in.
            if (row.tagCount > 0) {
                for (std::uint32_t t = row.firstTag; t < row.firstTag + row.tagCount; ++t)
                    m_tagRun[batch.tags[t].first].append(batch.tags[t].second);
                for (qsizetype i = 0; i < m_tagFields.size(); ++i) {
                    if (m_tagRun.at(i).isEmpty())
                        continue;
                    m_values.tags(m_tagRun.at(i), m_tagFields.at(i)->identifier(),
                                  m_gathered[found++]);
                    m_tagRun[i].clear();
                }
            }
            // Made without its date, which comes with its day value below.
            auto transaction = std::make_shared<TWTransaction>(
                row.identifier, row.type, row.state, text(batch, row.payee),
                text(batch, row.description), row.account1, row.account2, QDateTime(), row.total,
                row.totalAccount1, row.totalAccount2, row.totalBusiness, row.totalStart,
                row.totalEnd, row.unit, row.attachments, row.repeat, TWFieldValueList(),
                row.cleared, text(batch, row.notes), row.split, TWSplitList(), QDateTime(),
                QDateTime());
            {
                const DayCache::Day &day = m_days.day(row.date);
                transaction->setDate(day.date, day.value);
            }
            transaction->setStoredDates(row.created, row.modified);
            if (found > 0) {
                TWFieldValuePtr block = TWFieldValue::fieldValueBlock(found);
                for (std::size_t i = 0; i < found; ++i)
                    block.get()[i] = std::move(m_gathered[i]);
                transaction->setFieldValues(std::move(block), found);
            }
            // The lines; only a split transaction is handed them.
            for (std::uint32_t l = row.firstLine; l < row.firstLine + row.lineCount; ++l) {
                const LineRow &line = batch.lines[l];
                m_lines.append(TWSplit::splitWithIdentifier(
                    line.identifier, text(batch, line.description), line.account, line.total,
                    line.totalAccount, line.totalBusiness, line.totalStart, line.totalEnd,
                    line.unit));
            }
            const bool nominal = transaction->type() == TWTransactionTypeNominal;
            // A split transaction counts once its lines are set.
            if (!row.split || nominal)
                m_sums.count(*transaction, 1);
            if (!m_lines.isEmpty()) {
                // A list of its own, exactly as long as the lines (the
                // gathering one keeps its room for the next transaction).
                transaction->setSplits(TWSplitList(m_lines.cbegin(), m_lines.cend()));
                if (!nominal)
                    m_sums.count(*transaction, 1);
                m_lines.clear();
            }
            m_list.append(std::move(transaction));
        }
    }

private:
    QString text(const RowBatch &batch, TextCell cell)
    {
        return cell.size < 0 ? batch.kept[cell.at] : m_texts.text(batch.bytesOf(cell));
    }

    const TWFieldList &m_columnFields;
    const TWFieldList &m_tagFields;
    TWTransactionList &m_list;
    TWYearEndSums &m_sums;
    DayCache m_days;
    SharedTexts m_texts;
    SharedValues m_values;
    std::vector<TWFieldValue> m_gathered;
    QList<QList<qint32>> m_tagRun;
    TWSplitList m_lines;
};

// The batches between the reading thread and the making one: a few in
// turn, so that reading never runs far ahead. The rows are read on a second
// thread (the connection is used by it alone until it is done) and the
// transactions made on the calling one, whose memory they then live in.
// Without a second thread the reading makes each batch's transactions
// itself.
class BatchPipe
{
public:
    explicit BatchPipe(TransactionMaker &maker) : m_maker(maker)
    {
        for (auto &batch : m_batches)
            m_free.push_back(&batch);
    }
    BatchPipe(const BatchPipe &) = delete;
    BatchPipe &operator=(const BatchPipe &) = delete;

    // Runs `read`, which fills batches (batch(), send()), and makes their
    // transactions; false when reading or making them failed (what they
    // threw: no memory, a list past its size).
    bool run(const std::function<void()> &read)
    {
        std::thread reader;
        try {
            reader = std::thread([this, &read] {
                readSafely(read);
                {
                    std::lock_guard lock(m_mutex);
                    m_done = true;
                }
                m_changed.notify_all();
            });
        } catch (const std::system_error &) {
            // No thread to be had: everything happens here.
            m_inline = true;
            readSafely(read);
            return !m_failed;
        }
        for (;;) {
            RowBatch *batch = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_full.empty() || m_done; });
                if (m_full.empty())
                    break;
                batch = m_full.front();
                m_full.pop_front();
            }
            makeSafely(*batch);
            batch->clear();
            {
                std::lock_guard lock(m_mutex);
                m_free.push_back(batch);
            }
            m_changed.notify_all();
        }
        reader.join();
        return !m_failed;
    }

    // An empty batch to fill.
    RowBatch &batch()
    {
        if (!m_filling) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_free.empty(); });
            m_filling = m_free.front();
            m_free.pop_front();
        }
        return *m_filling;
    }
    // Hands the batch being filled over to be made.
    void send()
    {
        if (!m_filling)
            return;
        if (m_inline) {
            makeSafely(*m_filling);
            m_filling->clear();
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            m_full.push_back(m_filling);
        }
        m_filling = nullptr;
        m_changed.notify_all();
    }

private:
    void readSafely(const std::function<void()> &read)
    {
        try {
            read();
            send();
        } catch (...) {
            m_failed = true;
            // What was filled is handed over all the same, so that the
            // batch goes back to the free ones.
            send();
        }
    }
    void makeSafely(const RowBatch &batch)
    {
        if (m_failed)
            return;
        try {
            m_maker.make(batch);
        } catch (...) {
            m_failed = true;
        }
    }

    TransactionMaker &m_maker;
    std::array<RowBatch, 4> m_batches;
    std::deque<RowBatch *> m_free;
    std::deque<RowBatch *> m_full;
    RowBatch *m_filling = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    bool m_inline = false;
    std::atomic<bool> m_failed = false;
};

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
    bumpReadingRevision();
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

    // Many transactions share a unit: each code is looked up once, by the
    // reading thread (while the rows are read, nothing else asks the
    // business for a unit).
    StoredUnits units([this](const QString &code) { return unitForStoredCode(code); });

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
    qsizetype read = 0;
    qint64 previous = std::numeric_limits<qint64>::min();
    // Steps a statement of lines or tags, keeping the transaction its row
    // belongs to (read once per row).
    const auto nextOwned = [](TWStatement &statement, int column, qint32 &owner) {
        const bool row = statement.next();
        if (row)
            owner = statement.columnInt32(column);
        return row;
    };
    TWStatement splits = statement(linesInTableOrder() ? kSplitsLoadTableSQL : kSplitsLoadAllSQL);
    qint32 splitOwner = 0;
    bool splitRow = nextOwned(splits, 9, splitOwner);
    std::optional<TWStatement> tags;
    qint32 tagOwner = 0;
    bool tagRow = false;
    if (!tagFields.isEmpty()) {
        tags.emplace(statement(kTransactionTagsLoadAllSQL));
        tagRow = nextOwned(*tags, 0, tagOwner);
    }
    QHash<qint32, qsizetype> tagFieldPosition;
    for (qsizetype i = 0; i < tagFields.size(); ++i)
        tagFieldPosition.insert(tagFields.at(i)->identifier(), i);
    std::vector<std::uint32_t> columnTypes;
    for (const TWFieldPtr &field : std::as_const(columnFields))
        columnTypes.push_back(field->type());

    list.reserve(1024);
    TransactionMaker maker(columnFields, tagFields, list, sums);
    BatchPipe pipe(maker);
    // (Every statement is prepared before the reading thread starts.)
    const bool made = pipe.run([&] {
        while (rows.next()) {
            const qint32 identifier = rows.columnInt32(0);
            if (merging && identifier <= previous) {
                merging = false;
                unmerged = read;
            }
            previous = identifier;
            ++read;
            RowBatch &batch = pipe.batch();
            TransactionRow &row = batch.rows.emplace_back();
            const std::size_t firstCell = batch.cells.size();
            batch.cells.resize(firstCell + columnTypes.size());
            for (std::size_t i = 0; i < columnTypes.size(); ++i)
                readValueCell(rows, kFixedColumns + int(i), columnTypes[i], batch,
                              batch.cells[firstCell + i]);
            row.firstTag = std::uint32_t(batch.tags.size());
            while (merging && tagRow && tagOwner < identifier)
                tagRow = nextOwned(*tags, 0, tagOwner);
            if (merging && tagRow && tagOwner == identifier) {
                do {
                    const auto position = tagFieldPosition.constFind(tags->columnInt32(1));
                    if (position != tagFieldPosition.cend())
                        batch.tags.emplace_back(position.value(), tags->columnInt32(2));
                    tagRow = nextOwned(*tags, 0, tagOwner);
                } while (tagRow && tagOwner == identifier);
            }
            row.tagCount = std::uint32_t(batch.tags.size()) - row.firstTag;
            row.identifier = identifier;
            row.type = std::uint32_t(rows.columnInt64(1));
            row.state = std::uint32_t(rows.columnInt64(2));
            row.payee = batch.text(rows, 3);
            row.description = batch.text(rows, 4);
            row.account1 = rows.columnInt32(5);
            row.account2 = rows.columnInt32(6);
            row.date = rows.columnDouble(7);
            row.total = rows.columnInt64(8);
            row.totalAccount1 = rows.columnInt64(9);
            row.totalAccount2 = rows.columnInt64(10);
            row.totalBusiness = rows.columnInt64(11);
            row.totalStart = rows.columnInt64(12);
            row.totalEnd = rows.columnInt64(13);
            row.unit = units.unit(rows, 14);
            row.attachments = rows.columnBool(15);
            row.repeat = rows.columnInt32(16);
            row.cleared = rows.columnBool(17);
            row.notes = batch.text(rows, 18);
            row.split = rows.columnBool(19);
            row.created = rows.columnDouble(20);
            row.modified = rows.columnDouble(21);
            // The lines; only a split transaction takes them.
            row.firstLine = std::uint32_t(batch.lines.size());
            while (merging && splitRow && splitOwner < identifier)
                splitRow = nextOwned(splits, 9, splitOwner);
            while (merging && splitRow && splitOwner == identifier) {
                if (row.split) {
                    LineRow &line = batch.lines.emplace_back();
                    line.identifier = splits.columnInt32(0);
                    line.description = batch.text(splits, 1);
                    line.account = splits.columnInt32(2);
                    line.total = splits.columnInt64(3);
                    line.totalAccount = splits.columnInt64(4);
                    line.totalBusiness = splits.columnInt64(5);
                    line.totalStart = splits.columnInt64(6);
                    line.totalEnd = splits.columnInt64(7);
                    line.unit = units.unit(splits, 8);
                }
                splitRow = nextOwned(splits, 9, splitOwner);
            }
            row.lineCount = std::uint32_t(batch.lines.size()) - row.firstLine;
            if (batch.full())
                pipe.send();
        }
    });
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
    if (!made)
        return databaseError(SQLITE_NOMEM);
    if (unmerged >= 0)
        return readUnorderedParts(list, unmerged, tagFields, sums);
    return std::nullopt;
}

bool TWBusiness::linesInTableOrder()
{
    // Every row's transaction and identifier integers, and each pair after
    // the one before: ORDER BY would return the rows as they lie. (Equal
    // pairs, which only a damaged file holds, leave their order to SQLite.)
    TWStatement rows = statement(kSplitsOrderSQL);
    bool first = true;
    qint64 transaction = 0;
    qint64 identifier = 0;
    while (rows.next()) {
        if (rows.columnType(0) != SQLITE_INTEGER || rows.columnType(1) != SQLITE_INTEGER)
            return false;
        const qint64 nextTransaction = rows.columnInt64(0);
        const qint64 nextIdentifier = rows.columnInt64(1);
        if (!first && (nextTransaction < transaction ||
                       (nextTransaction == transaction && nextIdentifier <= identifier)))
            return false;
        first = false;
        transaction = nextTransaction;
        identifier = nextIdentifier;
    }
    return !rows.error();
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
