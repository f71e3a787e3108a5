#include "ledger/TWRegisterSort.h"

#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFieldValue.h"
#include "model/TWRepeat.h"
#include "model/TWSplit.h"
#include "store/TWBusiness.h"

#include <algorithm>
#include <numeric>

TWRegisterDebitCredit twRegisterDebitCredit(const TWTransaction &t)
{
    TWRegisterDebitCredit result;
    const qint32 active = t.activeAccountIdentifier();
    if (!t.hasSplit()) {
        const bool isAccount1 = active == t.account1Identifier();
        if (isAccount1 && t.total() > 0)
            result.debit = t.totalAccount1();
        else if (!isAccount1 && t.total() < 0)
            result.debit = -t.totalAccount2();
        if (isAccount1 && t.total() < 0)
            result.credit = -t.totalAccount1();
        else if (!isAccount1 && t.total() > 0)
            result.credit = t.totalAccount2();
        return result;
    }
    // The lines on the shown account net to one amount, shown in the column
    // of its sign. A row shown for no account in particular (a document's
    // linked transaction whose first account is none) shows the lines the
    // balance column adds: those of its first line's account.
    const qint32 shown = t.balanceAccountIdentifier();
    const qint32 activeSplit = t.activeSplitIdentifier();
    qint64 sum = 0;
    for (const TWSplitPtr &split : t.splits()) {
        if (!split || split->accountIdentifier() != shown)
            continue;
        if (activeSplit != 0 && split->identifier() != activeSplit)
            continue;
        sum += split->totalAccount();
    }
    if (sum > 0)
        result.debit = sum;
    else if (sum < 0)
        result.credit = -sum;
    return result;
}

qint32 twRegisterShownAccount(const TWTransaction &t, bool first)
{
    const bool swap = t.swapDebitCredit();
    if (first)
        return swap ? t.account2Identifier() : t.account1Identifier();
    return swap ? t.account1Identifier() : t.account2Identifier();
}

TWRegisterSorter::TWRegisterSorter(TWBusiness &business, qint32 fieldIdentifier, bool ascending,
                                   const QSet<const TWTransaction *> &ticks)
    : m_business(business), m_field(fieldIdentifier), m_ascending(ascending), m_ticks(ticks)
{
    m_fieldRecord = business.fieldWithIdentifier(fieldIdentifier);
    m_splitText = TWLocalized("splitColumn");
}

int TWRegisterSorter::rankOfRepeat(qint32 repeatIdentifier)
{
    if (!m_repeatRanksBuilt) {
        // Ranks by the repeats' own order; equal lengths share a rank so that
        // the tie-break decides between them.
        TWRepeatList repeats = m_business.repeats();
        std::stable_sort(
            repeats.begin(), repeats.end(),
            [](const TWRepeatPtr &a, const TWRepeatPtr &b) { return a->compare(*b) < 0; });
        int rank = 0;
        for (qsizetype i = 0; i < repeats.size(); ++i) {
            if (i > 0 && repeats[i - 1]->compare(*repeats[i]) != 0)
                ++rank;
            m_repeatRanks.insert(repeats[i]->identifier(), rank);
        }
        m_repeatRanksBuilt = true;
    }
    const auto found = m_repeatRanks.constFind(repeatIdentifier);
    return found == m_repeatRanks.constEnd() ? -1 : *found;
}

TWRegisterSorter::Key TWRegisterSorter::keyFor(const TWTransaction &t)
{
    Key key;
    const auto setText = [&key](const QString &text) {
        if (!text.isEmpty()) {
            key.rank = 2;
            key.text = text;
            key.hasText = true;
        }
    };
    const auto setNumber = [&key](qint64 value) {
        key.rank = 1;
        key.number = value;
    };
    const auto setDate = [&key](const QDateTime &date) {
        if (date.isValid()) {
            key.rank = 1;
            key.number = date.toMSecsSinceEpoch();
        }
    };
    if (!m_fieldRecord)
        return key;
    if (m_fieldRecord->type() != TWFieldTypeStandard) {
        const TWFieldValuePtr value = t.fieldValueWithIdentifier(m_field);
        if (!value)
            return key; // missing values first
        key.rank = 1;
        switch (m_fieldRecord->type()) {
        case TWFieldTypeText:
            setText(value->text());
            break;
        case TWFieldTypeCurrency:
        case TWFieldTypePercentTotal:
            key.number = value->currency();
            break;
        case TWFieldTypeNumber:
            key.real = value->number();
            key.hasReal = true;
            break;
        case TWFieldTypePercent:
            key.real = value->percent();
            key.hasReal = true;
            break;
        case TWFieldTypeCheckbox:
            key.number = value->checkboxValue() ? 1 : 0;
            break;
        case TWFieldTypeDate: {
            const QDateTime date = value->date();
            key.number =
                date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
            break;
        }
        case TWFieldTypeList:
            setText(m_fieldRecord->listNameWithIdentifier(value->listItemIdentifier())
                        .value_or(QString()));
            break;
        case TWFieldTypeTags:
            setText(m_fieldRecord->tagNameWithIdentifiers(value->tagItemIdentifiers()));
            break;
        default:
            key.rank = 0;
            break;
        }
        return key;
    }
    switch (m_field) {
    case TWFieldIdentifierDateModified:
        setDate(t.dateModified());
        break;
    case TWFieldIdentifierDateCreated:
        setDate(t.dateCreated());
        break;
    case TWFieldIdentifierNotes:
        setText(t.notes());
        break;
    case TWFieldIdentifierDescription:
        setText(t.description());
        break;
    case TWFieldIdentifierPayee:
        setText(t.payee());
        break;
    case TWFieldIdentifierAttachments:
        setNumber(t.hasAttachments() ? 1 : 0);
        break;
    case TWFieldIdentifierBalance:
        setNumber(t.balance());
        break;
    case TWFieldIdentifierCredit:
        setNumber(twRegisterDebitCredit(t).credit);
        break;
    case TWFieldIdentifierDebit:
        setNumber(twRegisterDebitCredit(t).debit);
        break;
    case TWFieldIdentifierRepeat: {
        // Rows without a repeat come first, whichever side they are on.
        const int rank = t.repeatIdentifier() ? rankOfRepeat(t.repeatIdentifier()) : -1;
        if (rank >= 0)
            setNumber(rank);
        break;
    }
    case TWFieldIdentifierAccount1:
    case TWFieldIdentifierAccount2: {
        // By the text the cell shows: the active account in -7, the other in -8.
        if (t.hasSplit()) {
            setText(m_splitText);
            break;
        }
        const TWAccountPtr account = m_business.accountWithIdentifier(
            twRegisterShownAccount(t, m_field == TWFieldIdentifierAccount1));
        setText(account ? account->name() : QString());
        break;
    }
    case TWFieldIdentifierIdentifier:
        setNumber(qint64(quint32(t.identifier())));
        break;
    case TWFieldIdentifierDate:
        // Stored dates are whole days: the packed day orders them without a
        // time-zone conversion per row.
        if (t.date().isValid())
            setNumber(t.dayValue());
        break;
    case TWFieldIdentifierCleared:
        setNumber(t.cleared() ? 1 : 0);
        break;
    case TWFieldIdentifierImport:
        setNumber(m_ticks.contains(&t) ? 1 : 0);
        break;
    default:
        break;
    }
    return key;
}

int TWRegisterSorter::compareKeys(const Key &a, const Key &b)
{
    if (a.rank != b.rank)
        return a.rank < b.rank ? -1 : 1;
    if (a.hasText || b.hasText) {
        const int c = a.text.compare(b.text, Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.hasReal || b.hasReal) {
        // NaN ties with everything in a plain comparison: give it the lowest place.
        const bool aNan = std::isnan(a.real), bNan = std::isnan(b.real);
        if (aNan || bNan)
            return aNan == bNan ? 0 : (aNan ? -1 : 1);
        return a.real < b.real ? -1 : (a.real > b.real ? 1 : 0);
    }
    return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
}

int TWRegisterSorter::compare(const TWTransaction &a, const TWTransaction &b)
{
    int c = compareKeys(keyFor(a), keyFor(b));
    if (c == 0) {
        const quint32 ia = quint32(a.identifier()), ib = quint32(b.identifier());
        c = ia < ib ? -1 : (ia > ib ? 1 : 0);
    }
    return m_ascending ? c : -c;
}

void TWRegisterSorter::sort(TWTransactionList &rows)
{
    std::vector<Key> keys;
    keys.reserve(size_t(rows.size()));
    for (const TWTransactionPtr &row : rows)
        keys.push_back(keyFor(*row));
    // Texts repeat (payees, account names): each distinct text is compared
    // once, then the rows compare by its position among them.
    QHash<QString, qint64> textRanks;
    for (const Key &key : keys)
        if (key.hasText)
            textRanks.insert(key.text, 0);
    if (!textRanks.isEmpty()) {
        QStringList texts = textRanks.keys();
        std::sort(texts.begin(), texts.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseSensitive) < 0;
        });
        for (qsizetype i = 0; i < texts.size(); ++i)
            textRanks[texts[i]] = i;
        for (Key &key : keys) {
            if (key.hasText) {
                key.number = textRanks.value(key.text);
                key.hasText = false;
                key.text.clear();
            }
        }
    }
    std::vector<quint32> identifiers;
    identifiers.reserve(size_t(rows.size()));
    for (const TWTransactionPtr &row : rows)
        identifiers.push_back(quint32(row->identifier()));
    std::vector<qsizetype> order(size_t(rows.size()));
    std::iota(order.begin(), order.end(), 0);
    const bool ascending = m_ascending;
    std::stable_sort(order.begin(), order.end(), [&](qsizetype i, qsizetype j) {
        int c = compareKeys(keys[size_t(i)], keys[size_t(j)]);
        if (c == 0) {
            const quint32 a = identifiers[size_t(i)], b = identifiers[size_t(j)];
            c = a < b ? -1 : (a > b ? 1 : 0);
        }
        return ascending ? c < 0 : c > 0;
    });
    TWTransactionList sorted;
    sorted.reserve(rows.size());
    for (qsizetype i : order)
        sorted.append(rows[i]);
    rows.swap(sorted);
}
