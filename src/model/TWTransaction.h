#pragma once
// A ledger entry: an amount moved from account 2 into account 1 on a date (or
// spread over split lines), held at once in its own unit, in both accounts'
// units and in the home unit, with custom-field values, attachments, a repeat
// link and the state that decides whether it may still be edited.

#include "model/TWAccount.h"
#include "model/TWAttachment.h"
#include "model/TWField.h"
#include "model/TWFieldValue.h"
#include "model/TWSplit.h"
#include "model/TWTotalType.h"
#include "model/TWUnit.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class TWTransaction;

enum TWTransactionType : int {
    TWTransactionTypeNormal = 0,
    TWTransactionTypeNominal = 1, // a year-end transfer the store makes
};

enum TWTransactionState : int {
    TWTransactionStateNormal = 0,
    TWTransactionStateClosed = 1, // its date lies in a closed accounting period
    TWTransactionStateLocked = 2,
};

// The business's account with that identifier, or null.
using TWAccountLookup = std::function<TWAccountPtr(qint32 identifier)>;
// The business's field with that identifier, or null.
using TWFieldLookup = std::function<TWFieldPtr(qint32 identifier)>;
// Writes a photo's thumbnail image to a file and answers its path (empty when
// it could not be written).
using TWThumbnailWriter = std::function<QString(const QImage &image)>;

// What a new transaction takes from the business and its preferences.
struct TWNewTransactionDefaults {
    qint32 identifier = 0; // the next transaction identifier
    // The preference to start from the last entered date and unit; without it,
    // or when the business has not remembered one, now and the home unit.
    bool useLastDateUnit = false;
    QDateTime lastDate;
    TWUnitPtr lastUnit;
    TWUnitPtr homeUnit;
    TWFieldList userFields; // the custom fields, in field-list order
};

// What choosing default accounts takes from the business.
struct TWAccountDefaults {
    TWAccountList accounts; // the business's accounts, in list order
    qint32 lastAccount1Identifier = 0;
    qint32 lastAccount2Identifier = 0;
    // The unit a transaction between mileage accounts switches to: the last
    // mileage unit used, else the business's miles or kilometres. Null: none.
    TWUnitPtr mileageUnit;
};

// What the search takes from the business.
struct TWTransactionSearchContext {
    bool contains = true; // the business searches words anywhere (else prefixes)
    TWAccountLookup account;
    TWFieldLookup field;
    TWUnitPtr homeUnit;
    // Also asked for the lines' amounts, whose account may be unknown (a null
    // unit).
    TWMoneyText moneyText;
};

using TWTransactionPtr = std::shared_ptr<TWTransaction>;
using TWTransactionList = QList<TWTransactionPtr>;

class TWTransaction
{
    struct SharePartsTag {
    };

public:
    // Everything 0, empty or absent.
    TWTransaction() = default;
    // Every stored field as passed (the store's loader): no attachment list
    // yet, no active account, balance 0, attachments not dirty. A date that is
    // not valid is kept as "no date".
    TWTransaction(qint32 identifier, std::uint32_t type, std::uint32_t state, QString payee,
                  QString description, qint32 account1Identifier, qint32 account2Identifier,
                  QDateTime date, qint64 total, qint64 totalAccount1, qint64 totalAccount2,
                  qint64 totalBusiness, qint64 totalStart, qint64 totalEnd, TWUnitPtr unit,
                  bool hasAttachments, qint32 repeatIdentifier, TWFieldValueList fieldValues,
                  bool cleared, QString notes, bool hasSplit, TWSplitList splits,
                  QDateTime dateCreated, QDateTime dateModified);
    // Copies are deep: splits, field values and attachments are copied one by
    // one, so editing a copy leaves the stored transaction alone until the store
    // writes it. Units are shared records and stay shared.
    TWTransaction(const TWTransaction &other);
    TWTransaction &operator=(const TWTransaction &other);
    TWTransaction(TWTransaction &&) = default;
    ~TWTransaction() = default;
    // A register row (transactionForActiveAccount): shares the parts until
    // they are asked for. Public only so that make_shared can reach it.
    TWTransaction(const TWTransaction &other, SharePartsTag);
    TWTransaction &operator=(TWTransaction &&) = default;

    static TWTransactionPtr transactionWithIdentifier(
        qint32 identifier, std::uint32_t type, std::uint32_t state, const QString &payee,
        const QString &description, qint32 account1Identifier, qint32 account2Identifier,
        const QDateTime &date, qint64 total, qint64 totalAccount1, qint64 totalAccount2,
        qint64 totalBusiness, qint64 totalStart, qint64 totalEnd, const TWUnitPtr &unit,
        bool hasAttachments, qint32 repeatIdentifier, const TWFieldValueList &fieldValues,
        bool cleared, const QString &notes, bool hasSplit, const TWSplitList &splits,
        const QDateTime &dateCreated, const QDateTime &dateModified);

    // A new transaction: the given identifier, the last date and unit (or now
    // and the home unit), and every list field with choices set to its first
    // choice. No accounts, no amounts.
    static TWTransactionPtr transactionWithDefaults(const TWNewTransactionDefaults &defaults);

    TWTransactionPtr copy() const { return std::make_shared<TWTransaction>(*this); }
    // The row a register, query or report shows: a copy seen from that account
    // (and, for one line of a split transaction, that split). The running
    // balance is written into these copies, never into the stored transaction.
    TWTransactionPtr transactionForActiveAccount(qint32 accountIdentifier,
                                                 qint32 splitIdentifier) const;

    // Over a list: whether some transaction belongs to a repeat, some is closed
    // or locked, some is neither. All false for an empty list; a null output
    // is skipped.
    static void validateEditTransactions(const TWTransactionList &transactions,
                                         bool *containsRepeat, bool *containsClosedLocked,
                                         bool *containsNormal);

    // --- Stored fields ---
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }
    std::uint32_t type() const { return m_type != kWide ? m_type : m_cold->wideType; }
    void setType(std::uint32_t v)
    {
        if (v < kWide) {
            m_type = std::uint8_t(v);
        } else {
            cold().wideType = v;
            m_type = kWide;
        }
    }
    std::uint32_t state() const { return m_state != kWide ? m_state : m_cold->wideState; }
    void setState(std::uint32_t v)
    {
        if (v < kWide) {
            m_state = std::uint8_t(v);
        } else {
            cold().wideState = v;
            m_state = kWide;
        }
    }
    const QString &payee() const { return m_payee; }
    void setPayee(const QString &v) { m_payee = v; }
    const QString &description() const { return m_description; }
    void setDescription(const QString &v) { m_description = v; }
    // 0 = none. A split transaction keeps its accounts in its lines.
    qint32 account1Identifier() const { return m_account1Identifier; }
    void setAccount1Identifier(qint32 v) { m_account1Identifier = v; }
    qint32 account2Identifier() const { return m_account2Identifier; }
    void setAccount2Identifier(qint32 v) { m_account2Identifier = v; }
    // A calendar date; invalid = no date.
    const QDateTime &date() const { return m_date; }
    void setDate(const QDateTime &v);
    // setDate with the day already worked out: `dayValue` must be what
    // TWDateAdditions::dateValue gives for `v` (a loader that converts each
    // distinct stored day once hands it along instead of asking the
    // calendar per transaction).
    void setDate(const QDateTime &v, std::uint32_t dayValue);
    // The packed calendar day of `date` (TWDateAdditions::dateValue), 0
    // without a date: cheap to compare by day over many transactions.
    std::uint32_t dayValue() const { return m_dayValue; }
    // The amount in the transaction's own unit.
    qint64 total() const { return m_total; }
    void setTotal(qint64 v) { m_total = v; }
    qint64 totalAccount1() const { return m_totalAccount1; }
    void setTotalAccount1(qint64 v) { m_totalAccount1 = v; }
    qint64 totalAccount2() const { return m_totalAccount2; }
    void setTotalAccount2(qint64 v) { m_totalAccount2 = v; }
    qint64 totalBusiness() const { return m_totalBusiness; }
    void setTotalBusiness(qint64 v) { m_totalBusiness = v; }
    // Odometer readings of a mileage transaction, in its unit; else 0.
    qint64 totalStart() const { return m_cold ? m_cold->totalStart : 0; }
    void setTotalStart(qint64 v)
    {
        if (v != 0 || m_cold)
            cold().totalStart = v;
    }
    qint64 totalEnd() const { return m_cold ? m_cold->totalEnd : 0; }
    void setTotalEnd(qint64 v)
    {
        if (v != 0 || m_cold)
            cold().totalEnd = v;
    }
    const TWUnitPtr &unit() const { return m_unit; }
    void setUnit(const TWUnitPtr &v) { m_unit = v; }
    // The store holds at least one attachment of the transaction.
    bool hasAttachments() const { return m_hasAttachments; }
    void setHasAttachments(bool v) { m_hasAttachments = v; }
    // The attachment records; absent until the store has loaded them (an
    // absent list tells the store to keep the stored attachments as they are).
    const std::optional<TWAttachmentList> &attachments() const
    {
        detachParts();
        return attachmentList();
    }
    void setAttachments(const std::optional<TWAttachmentList> &v)
    {
        detachParts();
        if (v || m_cold)
            cold().attachments = v;
    }
    // The store has attachments to load before the list can be used.
    bool needsAttachmentLoad() const { return m_hasAttachments && !attachmentList(); }
    qint32 repeatIdentifier() const { return m_repeatIdentifier; }
    void setRepeatIdentifier(qint32 v) { m_repeatIdentifier = v; }
    // One value per custom field that has one, in the order they were added.
    // The pointers are the transaction's own values: changing one changes
    // the transaction.
    TWFieldValueList fieldValues() const;
    void setFieldValues(const TWFieldValueList &v);
    // The store's loader: `count` values made together by
    // TWFieldValue::fieldValueBlock (one allocation for all of a
    // transaction's values), `first` the first of them. The values are the
    // transaction's own, as if each were set by pointer.
    void setFieldValues(TWFieldValuePtr first, std::size_t count);
    bool hasFieldValues() const
    {
        return m_valueBlock ? true : m_cold && !m_cold->values.isEmpty();
    }
    bool cleared() const { return m_cleared; }
    void setCleared(bool v) { m_cleared = v; }
    const QString &notes() const
    {
        if (m_cold)
            return m_cold->notes;
        return m_emptyNotes ? emptyText() : noText();
    }
    void setNotes(const QString &v)
    {
        // No notes and empty notes (stored as NULL and as '') need no room.
        if (m_cold || !v.isEmpty())
            cold().notes = v;
        else
            m_emptyNotes = !v.isNull();
    }
    // In local time, as every date the application shows.
    const QDateTime &dateCreated() const
    {
        if (m_dateCreatedUniversal)
            toLocalTime(m_dateCreated, m_dateCreatedUniversal);
        return m_dateCreated;
    }
    void setDateCreated(const QDateTime &v)
    {
        m_dateCreated = v;
        m_dateCreatedUniversal = false;
    }
    const QDateTime &dateModified() const
    {
        if (m_dateModifiedUniversal)
            toLocalTime(m_dateModified, m_dateModifiedUniversal);
        return m_dateModified;
    }
    void setDateModified(const QDateTime &v)
    {
        m_dateModified = v;
        m_dateModifiedUniversal = false;
    }
    // The creation and modification moments as a document stores them (UTC
    // seconds since 1970; 0 and what is no moment are none). They become local
    // times only when first asked for: turning every row's into local time as
    // a document opens would consult the time zone twice per transaction.
    void setStoredDates(double created, double modified);
    // The creation and modification moments as a document stores them, read
    // without turning a moment still in UTC into local time.
    double storedDateCreated() const { return storedSeconds(m_dateCreated); }
    double storedDateModified() const { return storedSeconds(m_dateModified); }
    bool hasSplit() const { return m_hasSplit; }
    void setHasSplit(bool v) { m_hasSplit = v; }
    const TWSplitList &splits() const
    {
        detachParts();
        return splitList();
    }
    void setSplits(const TWSplitList &v)
    {
        detachParts();
        if (!v.isEmpty() || m_cold)
            cold().splits = v;
    }

    // --- In memory only ---
    // The attachment list changed; the store writes its files at the next save.
    bool dirtyAttachments() const { return m_dirtyAttachments; }
    void setDirtyAttachments(bool v) { m_dirtyAttachments = v; }
    // The account (and split) whose register shows this copy; 0 = none.
    qint32 activeAccountIdentifier() const { return m_activeAccountIdentifier; }
    void setActiveAccountIdentifier(qint32 v) { m_activeAccountIdentifier = v; }
    // Only the rows of split transactions' lines have one.
    qint32 activeSplitIdentifier() const { return m_cold ? m_cold->activeSplitIdentifier : 0; }
    void setActiveSplitIdentifier(qint32 v)
    {
        if (v != 0 || m_cold)
            cold().activeSplitIdentifier = v;
    }
    // The active account's running balance after this transaction, in that
    // account's unit; written by the store.
    qint64 balance() const { return m_balance; }
    void setBalance(qint64 v) { m_balance = v; }

    // --- Questions ---
    // Closed and locked transactions cannot be edited.
    bool canEdit() const;
    // The register shows the amount from account 2's side, so debit and credit
    // change places.
    bool swapDebitCredit() const { return m_activeAccountIdentifier != m_account1Identifier; }
    // The account the running balance of this row counts for: account 1 when
    // it is the active account, else account 2; for a split transaction the
    // active account, or the first line's account when none is active.
    qint32 balanceAccountIdentifier() const;
    // What this row moves into that account, in the account's unit and signed
    // the store's way (plus into account 1, minus out of account 2; a split
    // line's own signed amount): the sum of the lines of the account, or only
    // the active split's line when one is set.
    qint64 activeAccountTotal() const;

    // The same transaction: same identifier, and the same active account and
    // active split wherever both sides have one (a copy without them is the
    // same as each of the rows made from it).
    bool isEqual(const TWTransaction &other) const;
    // Whether the transaction moves money into or out of the account: its two
    // accounts, or for a split transaction its lines only (never the leftover
    // account fields of a split transaction). Account 0 is none.
    bool touchesAccount(qint32 accountIdentifier) const;
    // By calendar day, a missing date first; the same day by identifier.
    // -1, 0 or 1.
    int compare(const TWTransaction &other) const;
    // The strict weak ordering of compare(), for sorting.
    static bool lessThan(const TWTransactionPtr &a, const TWTransactionPtr &b);
    // Stable sort by compare(); null entries go last.
    static void sortTransactions(TWTransactionList &transactions);

    TWSplitPtr splitWithIdentifier(qint32 identifier) const;

    // The value of that field; with `create`, a new empty value of the field's
    // identifier and type is added when there is none. Null otherwise.
    TWFieldValuePtr fieldValueWithField(const TWField &field, bool create);
    TWFieldValuePtr fieldValueWithIdentifier(qint32 fieldIdentifier) const;
    // Removes the value of that field, if any.
    void removeFieldValueWithIdentifier(qint32 fieldIdentifier);

    // --- Amounts ---
    // Recomputes the amounts that follow from the typed one. `masterTotalType`
    // is TWTotalTypeTotal, TWTotalTypeAccount1, TWTotalTypeAccount2 or
    // TWTotalTypeBusiness (any other changes nothing); `totalType` is
    // TWTotalTypeAll or the one amount to recompute. Every amount is converted
    // from the master, which never changes. An amount whose unit is missing is
    // left as it is.
    void updateTotalsWithMasterTotalType(int masterTotalType, int totalType,
                                         const TWUnitPtr &account1Unit,
                                         const TWUnitPtr &account2Unit, const TWUnitPtr &homeUnit,
                                         const TWUnitConverter &convert);
    // Converts every line of a split transaction from its typed amount
    // (`total`) into its account's unit and the home unit. Each line rounds
    // on its own, so when the lines balance in their one unit, the residue
    // of the rounding goes to the line with the largest absolute amount and
    // the lines balance exactly in the home unit too (and in the accounts'
    // unit, when every line's account has the same one).
    void updateSplitTotals(const TWAccountLookup &account, const TWUnitPtr &homeUnit,
                           const TWUnitConverter &convert);
    // The rounding residue of lines converted one by one: when the lines
    // balance in their one unit, their home amounts (and their account
    // amounts, when `accountUnits` names one unit for every line) are made
    // to balance too by giving the residue to the line with the largest
    // absolute amount (the first of equal ones). Every path that sets split
    // lines ends with this. Nothing changes for lines in several units, lines
    // that do not balance, or sums that leave 64 bits.
    static void settleSplitResidue(const TWSplitList &lines, const QList<TWUnitPtr> &accountUnits);
    // A split transaction's total is its size: what its debit lines come to
    // in its own unit (and, for `totalBusiness`, in the home unit). A total
    // of 0 on lines that book something says nothing of them (an earlier
    // build stored a taxed invoice's entry so, and a filter on the total
    // never found it): it is set to the lines' size. Any other stored total
    // stays as it is: an imported row's total is its bank amount, whatever
    // its lines add up to, and a register's split keeps the amount it was
    // split from. Nothing changes without a line in the transaction's unit
    // or where a sum leaves 64 bits. Answers whether the total changed.
    bool settleSplitSize();
    // The amounts of every percent-of-total field (the share of the positive
    // base, or the share on top of it), truncated toward zero. An amount that
    // cannot be represented (the percent makes it infinite, or it overflows)
    // is 0.
    void updatePercentTotals(const TWFieldList &fields);
    // Fills the fields marked for autofill, except the trigger, from a
    // remembered transaction: built-in ones by identifier, custom ones by
    // taking a copy of the source's value. When the amount was filled, the
    // other amounts are converted from it with the accounts as they stand
    // after filling.
    void autofill(qint32 triggerFieldIdentifier, const TWTransaction &source,
                  const TWFieldList &fields, const TWAccountLookup &account,
                  const TWUnitPtr &homeUnit, const TWUnitConverter &convert);
    // Chooses missing accounts (from the lines of a split transaction unless
    // `ignoreSplits`, then the last used ones, then the business's first
    // ones), keeps the two different, and switches to the mileage unit when
    // either account is a mileage account. `accounts`, when given and not
    // empty, is the list account 1 must come from.
    void updateAccounts(const TWAccountDefaults &defaults,
                        const std::optional<TWAccountList> &accounts, bool ignoreSplits);

    // --- Repeats ---
    // The next occurrence of a repeated transaction: a new record with the
    // given identifier and date, closed when `closed`, created now, without
    // attachments. Its lines are new lines (identifier 0), so storing it adds
    // rows instead of taking over this transaction's lines.
    TWTransactionPtr repeatTransactionWithDate(const QDateTime &date, qint32 identifier,
                                               bool closed) const;
    // A later occurrence takes over what was edited in `source`: texts,
    // accounts, amounts, unit, notes and new copies of its lines (identifier
    // 0). Custom values follow the source, except that dates keep the
    // occurrence's own. Identifier, date, state, type, repeat link and the
    // cleared mark stay: each occurrence was reconciled on its own statement.
    void copyRepeatFields(const TWTransaction &source, const TWFieldList &userFields);

    // --- Attachments ---
    // Adds the file as a new attachment (unsaved, identifier 0) at `index`
    // (-1 or past the end: at the end). Type TWAttachmentTypeFile asks for
    // detection by extension (photo, audio or file). A photo records its pixel
    // size and a thumbnail when a writer is given; a recording its duration.
    // Null, and nothing changes, when the store holds attachments that have
    // not been loaded yet (they would be lost when the transaction is saved).
    TWAttachmentPtr addAttachmentFile(const QString &path, std::uint32_t type, const QString &name,
                                      int index, const TWThumbnailWriter &thumbnail = {});
    // "name.extension", or "name-2.extension", "name-3.extension", ... when the
    // attachments already hold that file name. Without an extension, no dot.
    QString uniqueAttachmentName(const QString &name, const QString &extension) const;
    // The attachment type a file name's extension suggests.
    static std::uint32_t attachmentTypeForPath(const QString &path);

    // --- Search ---
    // The identifier by prefix; payee, description, notes and the account names
    // by word search; the amounts as money texts by prefix; the lines; the
    // custom values by their type.
    bool searchString(const QString &search, const TWTransactionSearchContext &context) const;
    bool searchStringSplits(const QString &search, const TWTransactionSearchContext &context) const;

private:
    static void toLocalTime(QDateTime &date, bool &universal);
    // Moments are stored as seconds since 1970; none as 0.
    static double storedSeconds(const QDateTime &moment)
    {
        return moment.isValid() ? double(moment.toMSecsSinceEpoch()) / 1000.0 : 0.0;
    }

    // What most transactions lack, kept out of line so that the many that
    // lack it do not carry its room: the lines of a split transaction, the
    // loaded attachment list, the notes and the odometer readings. Made on
    // the first setting of any of them to something.
    struct Cold {
        TWSplitList splits;
        // The custom values once the set of them has changed since they were
        // made together (see m_valueBlock).
        TWFieldValueList values;
        std::optional<TWAttachmentList> attachments;
        QString notes;
        qint64 totalStart = 0;
        qint64 totalEnd = 0;
        qint32 activeSplitIdentifier = 0;
        // A type or state of kWide or more (what no version writes).
        std::uint32_t wideType = 0;
        std::uint32_t wideState = 0;
    };
    static constexpr std::uint8_t kWide = 0xFF;
    // The most values kept in one block.
    static constexpr std::size_t kMostBlockValues = 0xFFFF;
    Cold &cold()
    {
        if (!m_cold) {
            m_cold = std::make_unique<Cold>();
            if (m_emptyNotes)
                m_cold->notes = emptyText();
        }
        return *m_cold;
    }
    const TWSplitList &splitList() const { return m_cold ? m_cold->splits : noSplits(); }
    const std::optional<TWAttachmentList> &attachmentList() const
    {
        return m_cold ? m_cold->attachments : noAttachments();
    }
    static const TWSplitList &noSplits();
    static const std::optional<TWAttachmentList> &noAttachments();
    static const QString &noText();
    static const QString &emptyText();

    // What the passes over the whole ledger read (balances, statements,
    // year-end sums) comes first and together, and the members are ordered so
    // that no padding is left between them: a large ledger holds a million
    // of these.
    qint32 m_identifier = 0;
    qint32 m_account1Identifier = 0;
    qint32 m_account2Identifier = 0;
    // The packed calendar day of m_date (0 without a date), kept so that
    // sorting thousands of rows does not convert dates in every comparison.
    std::uint32_t m_dayValue = 0;
    qint32 m_repeatIdentifier = 0;
    qint32 m_activeAccountIdentifier = 0;
    // Type and state are small numbers; one of kWide or more is kept in the
    // out-of-line part, and these hold kWide.
    std::uint8_t m_type = TWTransactionTypeNormal;
    std::uint8_t m_state = TWTransactionStateNormal;
    bool m_hasSplit : 1 = false;
    bool m_hasAttachments : 1 = false;
    bool m_cleared : 1 = false;
    bool m_dirtyAttachments : 1 = false;
    // Without out-of-line parts: the notes are empty rather than none.
    bool m_emptyNotes : 1 = false;
    // A register row shares the lines, values and attachments of the
    // transaction it was made from until anything asks for them; they are
    // copied then, so a row can never change the stored transaction.
    void detachParts() const;
    // (The flags changed by const calls are bytes of their own.)
    mutable bool m_sharesParts = false;
    // m_dateCreated / m_dateModified still hold the stored moment in UTC.
    mutable bool m_dateCreatedUniversal = false;
    mutable bool m_dateModifiedUniversal = false;
    // How many values m_valueBlock holds.
    std::uint16_t m_valueCount = 0;
    qint64 m_total = 0;
    qint64 m_totalAccount1 = 0;
    qint64 m_totalAccount2 = 0;
    qint64 m_totalBusiness = 0;
    qint64 m_balance = 0;
    QDateTime m_date;
    TWUnitPtr m_unit;
    QString m_payee;
    QString m_description;
    // A transaction holds a few custom values at most: they are looked up by
    // walking them, which needs no index beside them. Values made together (a
    // loaded or copied transaction's) lie in one block, the first of them
    // here sharing the ownership of the whole block; a value added or removed
    // turns them into the list in the out-of-line part, whose pointers still
    // keep the block alive, so no pointer handed out ever stops being the
    // transaction's value.
    TWFieldValuePtr m_valueBlock;
    // Calls `visit` with each value (never null) until it answers true.
    template <typename Visit> bool anyFieldValue(Visit visit) const
    {
        if (m_valueBlock) {
            for (std::uint16_t i = 0; i < m_valueCount; ++i) {
                if (visit(m_valueBlock.get()[i]))
                    return true;
            }
            return false;
        }
        if (m_cold) {
            for (const TWFieldValuePtr &value : m_cold->values) {
                if (value && visit(*value))
                    return true;
            }
        }
        return false;
    }
    // Turns block storage into the list.
    void listFieldValues();
    // Makes the values copies of those of `from` (which may be this one).
    void takeValueCopies(const TWTransaction &from);
    mutable QDateTime m_dateCreated;
    mutable QDateTime m_dateModified;
    std::unique_ptr<Cold> m_cold;
};
