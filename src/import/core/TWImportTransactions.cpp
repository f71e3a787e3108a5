#include "import/core/TWImportTransactions.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "import/core/TWImportNames.h"
#include "import/core/TWImportValues.h"
#include "import/core/TWImportWarnings.h"
#include "import/core/TWParser.h"
#include "model/TWAccountNumbers.h"
#include "model/TWBuiltInFields.h"
#include "model/TWDateReader.h"
#include "model/TWFormatter.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

// A unit code -> amount in its minor units, for the amount columns of one row.
// Rows give one to three units, so a short list beats a hash.
class Amounts
{
public:
    void set(const TWUnitPtr &unit, qint64 amount)
    {
        for (auto &entry : m_entries) {
            if (entry.first == unit->code()) {
                entry.second = amount;
                return;
            }
        }
        m_entries.append({unit->code(), amount});
    }
    std::optional<qint64> value(const TWUnitPtr &unit) const
    {
        if (!unit)
            return std::nullopt;
        for (const auto &entry : m_entries) {
            if (entry.first == unit->code())
                return entry.second;
        }
        return std::nullopt;
    }
    bool isEmpty() const { return m_entries.isEmpty(); }

    // The first amount as written, so that it can be read again in the unit a
    // unit column names.
    void noteFirst(const QString &text, bool negate, const QString &column)
    {
        if (!m_first) {
            m_first = text;
            m_negateFirst = negate;
            m_firstColumn = column;
        }
    }
    bool hasFirst() const { return m_first.has_value(); }
    // The column the first amount came from, to name in a warning.
    const QString &firstColumn() const { return m_firstColumn; }
    // A unit column names the unit the row's amounts are written in: when no
    // amount column was read in that unit, the first amount is that unit's
    // (and the readings in the columns' own units are dropped). Otherwise an
    // "Amount" column next to a "Currency" column would book 0 for every row
    // not in the column's unit. `read` reads a text in a unit.
    template <typename Read> void readFirstIn(const TWUnitPtr &unit, const Read &read)
    {
        if (!unit || !m_first || value(unit))
            return;
        const qint64 amount = read(*m_first, unit.get()).value_or(0);
        m_entries.clear();
        set(unit, m_negateFirst ? -amount : amount);
    }

private:
    QList<std::pair<QString, qint64>> m_entries;
    std::optional<QString> m_first;
    bool m_negateFirst = false;
    QString m_firstColumn;
};

// The working data of one run over the rows.
class Processor
{
public:
    Processor(TWImportTransactions &owner, TWBusiness &business,
              const TWImportTransactionsSettings &settings)
        : m_owner(owner), m_business(business), m_settings(settings),
          m_formatter(TWFormatter::formatter()), m_splitWord(TWImportValues::splitWord()),
          m_splitPrefix(TWImportValues::splitPrefix()), m_homeUnit(business.homeUnit()),
          m_accounts(business.accounts())
    {
        for (const TWImportTransactionFieldPtr &line : settings.importFields())
            m_lines.append(line.get());
    }

    bool run(TWTransactionList &results, QString *warnings);
    QStringList missingAccounts(const QList<QStringList> &rows);

private:
    struct Unread {
        QString column;
        QString value;
        qsizetype row = 0;
        bool tooPrecise = false;
        bool first = false; // the row's first amount
    };
    struct Row {
        TWTransactionPtr transaction;
        Amounts amounts;
        TWUnitPtr unitColumn;      // chosen by a unit column
        TWUnitPtr firstAmountUnit; // of the first amount the row gave
        TWUnitPtr account1Unit;
        TWUnitPtr splitUnit; // of the first split line
        bool changed = false;
        bool splitMarker = false;
        bool currencyColumns = false;
        // No account 2 came from the file: the one it gets is a guess.
        bool openCounterpart = false;
        // An amount of the row (or of its split lines) was refused.
        bool refused = false;
        // The row's statement names no account and is not the chosen one.
        bool leftOut = false;
        // Amounts of the row not read in their column's unit.
        QList<Unread> unread;
    };

    void applyLine(Row &row, const TWImportTransactionField &line, const QString &value);
    // The account a name in an account column stands for; `placeholder` is
    // set when the name was made up by the parser (then null means: the
    // default account, nothing missing).
    TWAccountPtr findAccount(const QString &name, bool *placeholder)
    {
        *placeholder = m_owner.placeholderAccountNames().contains(name);
        return *placeholder ? m_accounts.findExact(name) : m_accounts.find(name);
    }
    // The account a statement's label names, found once a run: every row
    // of the statement asks.
    TWAccountPtr statementAccount(const QString &label)
    {
        auto found = m_statementAccounts.constFind(label);
        if (found == m_statementAccounts.constEnd())
            found = m_statementAccounts.insert(label, m_owner.accountOfStatement(label));
        return *found;
    }
    // The account an opening balance is booked against: the business's
    // nominal-transfer account, else its first equity account.
    qint32 equityAccount() const;
    // The amount the text names in the unit, with either decimal mark; 0 and
    // a warning when it names none.
    qint64 readAmount(const TWImportTransactionField &line, const QString &value,
                      const TWUnit *unit);
    // The same by the column's name; none when the text names no amount.
    std::optional<qint64> readAmount(const QString &column, const QString &value,
                                     const TWUnit *unit);
    // The same without the warning: none when the text names no amount.
    std::optional<qint64> amountIn(const QString &column, const QString &value, const TWUnit *unit,
                                   bool *tooPrecise = nullptr) const;
    // A spreadsheet's amount columns: the decimal mark of each settled from
    // all its values, else by the locale's marks; a column neither settles is
    // named in the warnings and read by the locale. A column where one mark,
    // standing lone before three digits, would be read as grouping in some
    // values and as the decimal mark in others (amounts a thousand apart) is
    // named and refused.
    void settleColumnMarks(const QList<QStringList> &rows);
    static bool readsAmounts(const TWImportTransactionField &line);
    void unreadable(const TWImportTransactionField &line, const QString &value);
    void applyBuiltIn(Row &row, const TWImportTransactionField &line, qint32 identifier,
                      const QString &value);
    void applyCustom(Row &row, const TWImportTransactionField &line, const QString &value);
    void applyAccountLine(Row &row, const TWImportTransactionField &line, const QString &value);
    qsizetype scanSplits(Row &row, const QList<QStringList> &rows, qsizetype k);
    void finish(Row &row);
    void addAttachments(Row &row, const TWImportTransactionField &line, const QString &value);

    TWUnitPtr lineUnit(const TWImportTransactionField &line) const;
    QDateTime readDate(const TWImportTransactionField &line, const QString &value, bool withTime);
    static void join(QString &text, const QString &value, const QString &separator);
    bool isSplitWord(const QString &value) const
    {
        return value.compare(m_splitWord, Qt::CaseInsensitive) == 0;
    }
    bool hasSplitPrefix(const QString &value) const
    {
        return value.startsWith(m_splitPrefix, Qt::CaseInsensitive);
    }
    TWUnitPtr accountUnit(qint32 identifier) const
    {
        const TWAccountPtr account = m_business.accountWithIdentifier(identifier);
        return account ? account->unit() : TWUnitPtr();
    }
    TWImportNames<TWFieldListItem> &listItems(const TWField &field);
    TWImportNames<TWFieldTagItem> &tagItems(const TWField &field);

    TWImportTransactions &m_owner;
    TWBusiness &m_business;
    const TWImportTransactionsSettings &m_settings;
    const TWFormatter &m_formatter;
    const QString m_splitWord;
    const QString m_splitPrefix;
    const TWUnitPtr m_homeUnit;
    QList<const TWImportTransactionField *> m_lines;
    TWImportNames<TWAccount> m_accounts;
    QHash<QString, TWAccountPtr> m_statementAccounts;
    QHash<qint32, TWImportNames<TWFieldListItem>> m_listItems;
    QHash<qint32, TWImportNames<TWFieldTagItem>> m_tagItems;
    QHash<QString, TWDateReader> m_dateReaders;
    // Pattern and text -> the date read: a file repeats few days, and reading
    // one into a local moment is costly.
    QHash<std::pair<QString, QString>, QDateTime> m_dates;
    TWNewTransactionDefaults m_defaults;
    TWAccountDefaults m_accountDefaults;
    TWUnitConverter m_convert;
    qint32 m_nextIdentifier = 0;

    TWImportWarningList m_missingAccounts;
    TWImportWarningList m_missingAttachments;
    // Values the rows hold but that could not be read ("row 3, Date: 31/02/2024").
    TWImportWarningList m_unreadable;
    // Amounts with more places than their unit keeps ("row 3, Amount: 1.234" in yen).
    TWImportWarningList m_tooPrecise;
    // Amount columns whose values leave the decimal mark open.
    TWImportWarningList m_ambiguousColumns;
    // Amount columns whose values would read at two scales: none is read.
    TWImportWarningList m_twoScaleColumns;
    QSet<QString> m_refusedColumns;
    // Statements of no account of the business that were not chosen.
    TWImportWarningList m_statementsLeftOut;
    // Column name -> its decimal mark; a column not here is read value by value.
    QHash<QString, QChar> m_columnDecimal;
    // An amount of the row was refused: the row is kept out of the import.
    bool m_rowRefused = false;
    qsizetype m_rowNumber = 0;
    TWImportWarningList m_missingListItems;
    TWImportWarningList m_missingTags;
};

QStringList Processor::missingAccounts(const QList<QStringList> &rows)
{
    TWImportWarningList missing;
    if (rows.isEmpty())
        return {};
    const qsizetype n = std::min<qsizetype>(rows.first().size(), m_lines.size());
    for (qsizetype j = 0; j < n; ++j) {
        const TWImportTransactionField *line = m_lines.at(j);
        if (!line)
            continue;
        const qint32 identifier = line->builtInIdentifier();
        if (identifier != TWFieldIdentifierAccount1 && identifier != TWFieldIdentifierAccount2)
            continue;
        for (const QStringList &row : rows) {
            if (j >= row.size())
                continue;
            const QString &value = row.at(j);
            if (isSplitWord(value) || m_owner.statements().contains(value))
                continue;
            const QString name = hasSplitPrefix(value) ? value.mid(m_splitPrefix.size()) : value;
            bool placeholder = false;
            if (!findAccount(name, &placeholder) && !placeholder)
                missing.add(name);
        }
    }
    return missing.names();
}

bool Processor::run(TWTransactionList &results, QString *warnings)
{
    results.clear();
    // Two accounts at least: every transaction moves money between two.
    if (m_business.accounts().size() < 2) {
        if (warnings)
            *warnings = TWLocalized("importNeedsTwoAccounts");
        return false;
    }
    m_defaults = m_business.newTransactionDefaults();
    m_accountDefaults = m_business.accountDefaults();
    m_convert = TWBusiness::unitConverter();
    m_nextIdentifier = m_defaults.identifier;
    if (m_nextIdentifier == 0) {
        if (warnings)
            *warnings = TWLocalized("importNeedsTwoAccounts");
        return false;
    }

    const QList<QStringList> &rows = m_owner.rows();
    if (!m_owner.plainAmounts())
        settleColumnMarks(rows);
    results.reserve(rows.size());
    // The account the file's unsplit rows are listed under, 0 when several.
    std::optional<qint32> listing;
    TWTransactionList splitEntries;
    qsizetype k = 0;
    while (k < rows.size()) {
        const QStringList &cells = rows.at(k);
        m_rowRefused = false;
        Row row;
        row.transaction = TWTransaction::transactionWithDefaults(m_defaults);
        row.transaction->setCleared(true);
        const qsizetype n = std::min<qsizetype>(cells.size(), m_lines.size());
        m_rowNumber = k + 1;
        bool anyValue = false;
        for (qsizetype j = 0; j < n; ++j)
            anyValue = anyValue || !cells.at(j).isEmpty();
        for (qsizetype j = 0; j < n; ++j) {
            const QString &value = cells.at(j);
            if (!value.isEmpty() && m_lines.at(j))
                applyLine(row, *m_lines.at(j), value);
            // A row without its date takes today's: say so.
            else if (value.trimmed().isEmpty() && anyValue && m_lines.at(j) &&
                     m_lines.at(j)->builtInIdentifier() == TWFieldIdentifierDate)
                unreadable(*m_lines.at(j), value);
        }
        ++k;
        if (row.splitMarker)
            k = scanSplits(row, rows, k);

        // A unit column decides the unit; otherwise the first amount the row
        // gave (a split transaction: its first line), then account 1's unit.
        // A file that writes no unit (QIF) lists a row under an account of
        // its own in that account's unit, not the default account's: a
        // section of a file of several accounts.
        TWUnitPtr spoken = row.unitColumn;
        if (!spoken && !row.splitMarker && m_owner.plainAmounts() && row.account1Unit)
            spoken = row.account1Unit;
        TWUnitPtr unit = spoken;
        if (!unit)
            unit = row.splitMarker ? row.splitUnit : row.firstAmountUnit;
        if (!unit && !row.splitMarker)
            unit = row.account1Unit;
        row.transaction->setUnit(unit ? unit : m_homeUnit);
        if (spoken && !row.splitMarker)
            row.amounts.readFirstIn(spoken, [this, &row](const QString &text, const TWUnit *in) {
                // Read again in the row's own unit: that reading is the one
                // to warn of.
                row.unread.removeIf([](const Unread &unread) { return unread.first; });
                return readAmount(row.amounts.firstColumn(), text, in);
            });
        for (const Unread &unread : std::as_const(row.unread))
            (unread.tooPrecise ? m_tooPrecise : m_unreadable)
                .add(TWImportWarnings::valueNotRead(unread.row, unread.column, unread.value));
        row.refused = !row.unread.isEmpty();

        if (row.currencyColumns) {
            for (qsizetype j = 0; j < n; ++j) {
                const TWImportTransactionField *line = m_lines.at(j);
                const QString &value = cells.at(j);
                if (!line || value.isEmpty() || line->type() != TWImportFieldTypeField ||
                    !line->field())
                    continue;
                const TWField &field = *line->field();
                if (field.type() != TWFieldTypeCurrency && field.type() != TWFieldTypePercentTotal)
                    continue;
                const TWFieldValuePtr fieldValue =
                    row.transaction->fieldValueWithField(field, true);
                fieldValue->setCurrency(readAmount(*line, value, row.transaction->unit().get()));
                row.changed = true;
            }
        }
        if (!row.changed || row.leftOut)
            continue;
        row.refused = row.refused || m_rowRefused;
        finish(row);
        results.append(row.transaction);
        if (row.splitMarker)
            splitEntries.append(row.transaction);
        else if (!listing.has_value())
            listing = row.transaction->account1Identifier();
        else if (*listing != row.transaction->account1Identifier())
            listing = 0;
    }
    // A split entry stands under the register its file lists it in: said by
    // the file (QIF), or the one account all its other rows are listed under
    // (the default account when it has no others); a spreadsheet of several
    // registers does not say.
    if (!m_owner.splitsLeadWithTheirAccount()) {
        const qint32 fileAccount = listing.value_or(
            m_settings.defaultAccount() ? m_settings.defaultAccount()->identifier() : 0);
        for (const TWTransactionPtr &entry : std::as_const(splitEntries)) {
            if (fileAccount != 0 && entry->touchesAccount(fileAccount))
                entry->setActiveAccountIdentifier(fileAccount);
            else
                m_owner.addUnlistedSplit(entry->identifier());
        }
    }

    const QString text = TWImportWarnings::text({{"valuesNotRead", &m_unreadable},
                                                 {"amountsTooPrecise", &m_tooPrecise},
                                                 {"amountColumnsAmbiguous", &m_ambiguousColumns},
                                                 {"amountColumnsTwoScales", &m_twoScaleColumns},
                                                 {"statementsLeftOut", &m_statementsLeftOut},
                                                 {"accountsNotFound", &m_missingAccounts},
                                                 {"attachmentsNotFound", &m_missingAttachments},
                                                 {"listItemsNotFound", &m_missingListItems},
                                                 {"tagsNotFound", &m_missingTags}});
    if (warnings)
        *warnings = text;
    return text.isNull();
}

qint32 Processor::equityAccount() const
{
    const TWBusinessInfoPtr info = m_business.businessInfo();
    if (info && info->nominalTransferAccountIdentifier() != 0 &&
        m_business.accountWithIdentifier(info->nominalTransferAccountIdentifier()))
        return info->nominalTransferAccountIdentifier();
    const TWAccountList equity = m_business.accountsOfType(TWAccountTypeEquity);
    return equity.isEmpty() || !equity.constFirst() ? 0 : equity.constFirst()->identifier();
}

void Processor::unreadable(const TWImportTransactionField &line, const QString &value)
{
    m_unreadable.add(TWImportWarnings::valueNotRead(m_rowNumber, line.sourceName(), value));
}

bool Processor::readsAmounts(const TWImportTransactionField &line)
{
    if (line.type() == TWImportFieldTypeAccount)
        return true;
    if (line.type() != TWImportFieldTypeField || !line.field())
        return false;
    const qint32 identifier = line.builtInIdentifier();
    return identifier == TWFieldIdentifierDebit || identifier == TWFieldIdentifierCredit ||
           identifier == TWFieldIdentifierTotal || line.field()->type() == TWFieldTypeCurrency ||
           line.field()->type() == TWFieldTypePercentTotal;
}

// Whether the three digits after the value's lone mark, read as decimals,
// fit the unit's places ("2.500" is 2.50 dollars, "2.345" no amount of them).
bool decimalFits(const QString &value, QChar mark, unsigned places)
{
    for (qsizetype at = 1; at + 1 < value.size(); ++at) {
        if (value.at(at) != mark || !value.at(at - 1).isDigit() || !value.at(at + 1).isDigit())
            continue;
        const QStringView beyond = QStringView(value).mid(at + 1, 3).mid(qsizetype(places));
        return std::all_of(beyond.begin(), beyond.end(),
                           [](QChar c) { return c == QLatin1Char('0'); });
    }
    return false;
}

void Processor::settleColumnMarks(const QList<QStringList> &rows)
{
    // Values of columns of one name are one column's: they are read alike,
    // in the unit of the first of them.
    QHash<QString, QStringList> values;
    QHash<QString, TWUnitPtr> units;
    QStringList order;
    for (qsizetype j = 0; j < m_lines.size(); ++j) {
        const TWImportTransactionField *line = m_lines.at(j);
        if (!line || !readsAmounts(*line))
            continue;
        if (!values.contains(line->sourceName())) {
            order.append(line->sourceName());
            units.insert(line->sourceName(), lineUnit(*line));
        }
        QStringList &column = values[line->sourceName()];
        for (const QStringList &row : rows) {
            if (j < row.size() && !row.at(j).trimmed().isEmpty())
                column.append(row.at(j).trimmed());
        }
    }
    const QLocale &locale = m_formatter.locale();
    const QString localeDecimal = locale.decimalPoint();
    const QString localeGroup = locale.groupSeparator();
    const bool localeMark =
        localeDecimal == QLatin1String(".") || localeDecimal == QLatin1String(",");
    for (const QString &name : std::as_const(order)) {
        const QStringList &column = values.value(name);
        const TWUnitPtr unit = units.value(name);
        const unsigned places = unit ? unit->decimalPlaces() : 0;
        const TWImportValues::ColumnMarks marks = TWImportValues::columnMarks(column);
        if (marks.decimal) {
            m_columnDecimal.insert(name, *marks.decimal);
            continue;
        }
        // The values no value decides: a lone mark before three digits.
        QString example;
        std::optional<QChar> undecided;
        bool undecidedBothWays = false;
        bool open = false;
        for (const QString &value : column) {
            const std::optional<QChar> mark = TWImportValues::undecidedMark(value);
            if (!mark)
                continue;
            if (!undecided) {
                undecided = mark;
                example = value;
            }
            undecidedBothWays = undecidedBothWays || *mark != *undecided;
            open = open || marks.conflicting || !localeMark ||
                   (QString(*mark) != localeDecimal && QString(*mark) != localeGroup);
        }
        if (undecided && !marks.conflicting && !undecidedBothWays && places == 3 &&
            !TWImportValues::isLocaleGrouping(*undecided, locale)) {
            // Three places: the mark before three digits is the decimal one,
            // the reading that fits the unit ("1.250" dinars are one and a
            // quarter, as the program writes them), unless it is the comma
            // the locale groups with ("10,000" is ten thousand in every unit
            // under en_US). Named where the locale would have read it
            // otherwise.
            m_columnDecimal.insert(name, *undecided);
            open = !localeMark || QString(*undecided) != localeDecimal;
        } else if (localeMark && !marks.conflicting) {
            // No value tells: the locale's marks do, where they are the ones
            // written. Values that tell both ways are each read by their own
            // shape; a value that tells nothing among them is open.
            m_columnDecimal.insert(name, localeDecimal.at(0));
        }
        if (!undecided)
            continue;
        // One lone mark before three digits read as grouping in one value
        // and as the decimal mark in another puts the column's amounts a
        // thousand apart. Two marks, one grouping and the other the decimal
        // mark ("1,250" beside "2.500"), are one reading: each value reads
        // one way. A decimal reading with more places than the unit keeps is
        // refused by itself (too precise) and reads at no scale.
        const auto settled = m_columnDecimal.constFind(name);
        QHash<QChar, QString> asGrouping, asDecimal; // mark -> a value read so
        for (const QString &value : column) {
            const std::optional<QChar> mark = TWImportValues::undecidedMark(value);
            if (!mark)
                continue;
            const bool decimal =
                settled != m_columnDecimal.constEnd()
                    ? *mark == *settled
                    : places == 3 && !TWImportValues::isLocaleGrouping(*mark, locale);
            if (!decimal)
                asGrouping.insert(*mark, value);
            else if (decimalFits(value, *mark, places))
                asDecimal.insert(*mark, value);
        }
        bool twoScales = false;
        for (auto it = asGrouping.cbegin(); it != asGrouping.cend() && !twoScales; ++it) {
            const auto decimal = asDecimal.constFind(it.key());
            if (decimal == asDecimal.cend())
                continue;
            twoScales = true;
            m_refusedColumns.insert(name);
            m_twoScaleColumns.add(
                TWLocalized("importColumnTwoScales").arg(name, it.value(), decimal.value()));
        }
        if (twoScales)
            continue;
        // Values that tell nothing alone but differ between them are read
        // alike, so one of them is not what it seems.
        open = open || undecidedBothWays;
        if (!open)
            continue;
        // Named with the reading taken, in the user's own way of writing
        // the amount it became.
        const std::optional<qint64> read = amountIn(name, example, unit.get());
        m_ambiguousColumns.add(read ? TWLocalized("importColumnReading")
                                          .arg(name, example,
                                               m_formatter.valueString(*read, unit.get(), false,
                                                                       true, false, false, true))
                                    : name);
    }
}

std::optional<qint64> Processor::amountIn(const QString &column, const QString &value,
                                          const TWUnit *unit, bool *tooPrecise) const
{
    // A column whose amounts would read at two scales gives none.
    if (m_refusedColumns.contains(column) && !value.trimmed().isEmpty())
        return std::nullopt;
    const auto settled = m_columnDecimal.constFind(column);
    const std::optional<TWDecimal> amount =
        settled != m_columnDecimal.constEnd()
            ? TWImportValues::fileAmount(value, unit, *settled, m_formatter.locale())
            : TWImportValues::fileAmount(value, unit, m_owner.plainAmounts(), m_formatter.locale());
    if (!amount)
        return std::nullopt;
    // Digits past the unit's places are never cut: 1.234 is no amount of yen.
    const unsigned places = unit ? unit->decimalPlaces() : 0;
    if (!TWImportValues::fitsPlaces(*amount, places)) {
        if (tooPrecise)
            *tooPrecise = true;
        return std::nullopt;
    }
    return amount->minorUnits(places);
}

qint64 Processor::readAmount(const TWImportTransactionField &line, const QString &value,
                             const TWUnit *unit)
{
    return readAmount(line.sourceName(), value, unit).value_or(0);
}

std::optional<qint64> Processor::readAmount(const QString &column, const QString &value,
                                            const TWUnit *unit)
{
    bool tooPrecise = false;
    const std::optional<qint64> amount = amountIn(column, value, unit, &tooPrecise);
    if (!amount)
        m_rowRefused = true;
    const QString named = TWImportWarnings::valueNotRead(m_rowNumber, column, value);
    if (tooPrecise)
        m_tooPrecise.add(named);
    else if (!amount)
        m_unreadable.add(named);
    return amount;
}

TWUnitPtr Processor::lineUnit(const TWImportTransactionField &line) const
{
    // A line whose stored unit the business no longer has reads in the
    // default account's unit, else the home unit.
    if (line.unit())
        return line.unit();
    if (m_settings.defaultAccount() && m_settings.defaultAccount()->unit())
        return m_settings.defaultAccount()->unit();
    return m_homeUnit;
}

QDateTime Processor::readDate(const TWImportTransactionField &line, const QString &value,
                              bool withTime)
{
    QString pattern = line.format();
    if (pattern.isNull())
        pattern = withTime ? m_formatter.shortDateTimeFormat() : m_formatter.shortDateFormat();
    std::pair<QString, QString> key{pattern, value};
    const auto known = m_dates.constFind(key);
    if (known != m_dates.constEnd())
        return *known;
    auto reader = m_dateReaders.find(pattern);
    if (reader == m_dateReaders.end())
        reader = m_dateReaders.insert(pattern, TWDateReader(pattern, m_formatter.locale()));
    const QDateTime date = reader->read(value);
    m_dates.insert(std::move(key), date);
    return date;
}

void Processor::join(QString &text, const QString &value, const QString &separator)
{
    if (text.isEmpty())
        text = value;
    else
        text += separator + value;
}

void Processor::applyLine(Row &row, const TWImportTransactionField &line, const QString &value)
{
    if (line.type() == TWImportFieldTypeAccount) {
        applyAccountLine(row, line, value);
        return;
    }
    if (line.type() != TWImportFieldTypeField || !line.field())
        return;
    if (line.field()->type() == TWFieldTypeStandard)
        applyBuiltIn(row, line, line.field()->identifier(), value);
    else
        applyCustom(row, line, value);
}

void Processor::applyAccountLine(Row &row, const TWImportTransactionField &line,
                                 const QString &value)
{
    const TWUnitPtr unit = lineUnit(line);
    const qint64 amount = readAmount(line, value, unit.get());
    if (amount == 0)
        return;
    // The column's account is gone: the column is left out and reported.
    if (!line.account()) {
        m_missingAccounts.add(line.sourceName());
        return;
    }
    auto split = TWSplit::splitWithIdentifier(0, QString(), line.account()->identifier(), -amount,
                                              0, 0, 0, 0, unit);
    split->updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll, line.account()->unit(),
                                           m_homeUnit, m_convert);
    TWSplitList splits = row.transaction->splits();
    splits.append(split);
    row.transaction->setSplits(splits);
    row.transaction->setHasSplit(true);
    row.changed = true;
}

void Processor::applyBuiltIn(Row &row, const TWImportTransactionField &line, qint32 identifier,
                             const QString &value)
{
    TWTransaction &transaction = *row.transaction;
    switch (identifier) {
    case TWFieldIdentifierCleared:
        transaction.setCleared(TWImportWarnings::isTrue(value));
        row.changed = true;
        break;
    case TWFieldIdentifierDate:
        if (const QDateTime date = readDate(line, value, false); date.isValid()) {
            transaction.setDate(date);
            row.changed = true;
        } else {
            // The row keeps today's date; the user is asked before it is taken.
            unreadable(line, value);
        }
        break;
    case TWFieldIdentifierDateCreated:
    case TWFieldIdentifierDateModified:
        if (const QDateTime date = readDate(line, value, true); date.isValid()) {
            if (identifier == TWFieldIdentifierDateCreated)
                transaction.setDateCreated(date);
            else
                transaction.setDateModified(date);
            row.changed = true;
        } else {
            unreadable(line, value);
        }
        break;
    case TWFieldIdentifierPayee:
    case TWFieldIdentifierDescription: {
        QString text =
            identifier == TWFieldIdentifierPayee ? transaction.payee() : transaction.description();
        join(text, value, QStringLiteral(" / "));
        if (identifier == TWFieldIdentifierPayee)
            transaction.setPayee(text);
        else
            transaction.setDescription(text);
        row.changed = true;
        break;
    }
    case TWFieldIdentifierNotes: {
        QString notes = transaction.notes();
        join(notes, value, QStringLiteral("\r\n\r\n"));
        transaction.setNotes(notes);
        row.changed = true;
        break;
    }
    case TWFieldIdentifierAccount1:
    case TWFieldIdentifierAccount2: {
        if (isSplitWord(value)) {
            row.splitMarker = true;
            break;
        }
        if (m_owner.statementNumbers().contains(value) || m_owner.statements().contains(value)) {
            // A statement's label: its rows are the account's the file
            // names, else the chosen account's when it is the chosen
            // statement, else left out.
            const TWAccountPtr account = statementAccount(value);
            if (!account && value != m_owner.chosenStatement()) {
                row.leftOut = true;
                m_statementsLeftOut.add(value);
                break;
            }
            if (account && identifier == TWFieldIdentifierAccount1) {
                transaction.setAccount1Identifier(account->identifier());
                row.account1Unit = account->unit();
            } else if (account) {
                transaction.setAccount2Identifier(account->identifier());
            }
            row.changed = true;
            break;
        }
        bool placeholder = false;
        const TWAccountPtr account = findAccount(value, &placeholder);
        if (!account) {
            // A made-up name leaves the side to the default account.
            if (!placeholder)
                m_missingAccounts.add(value);
            else
                row.changed = true;
            break;
        }
        if (identifier == TWFieldIdentifierAccount1) {
            transaction.setAccount1Identifier(account->identifier());
            row.account1Unit = account->unit();
        } else {
            transaction.setAccount2Identifier(account->identifier());
        }
        row.changed = true;
        break;
    }
    case TWFieldIdentifierDebit:
    case TWFieldIdentifierCredit:
    case TWFieldIdentifierTotal: {
        const TWUnitPtr unit = lineUnit(line);
        if (!unit)
            break;
        // Warned of once the row's unit is known: a unit column may ask for
        // the first amount again in a unit of other places.
        bool tooPrecise = false;
        const qint64 amount =
            amountIn(line.sourceName(), value, unit.get(), &tooPrecise).value_or(0);
        if (tooPrecise || !amountIn(line.sourceName(), value, unit.get()))
            row.unread.append(
                {line.sourceName(), value, m_rowNumber, tooPrecise, !row.amounts.hasFirst()});
        row.amounts.set(unit, identifier == TWFieldIdentifierCredit ? -amount : amount);
        row.amounts.noteFirst(value, identifier == TWFieldIdentifierCredit, line.sourceName());
        if (!row.firstAmountUnit)
            row.firstAmountUnit = unit;
        row.changed = true;
        break;
    }
    case TWFieldIdentifierUnit:
        row.unitColumn = m_business.unitWithCode(value.trimmed());
        row.changed = true;
        break;
    case TWFieldIdentifierAttachments:
        addAttachments(row, line, value);
        break;
    default:
        break;
    }
}

void Processor::applyCustom(Row &row, const TWImportTransactionField &line, const QString &value)
{
    const TWField &field = *line.field();
    TWTransaction &transaction = *row.transaction;
    switch (field.type()) {
    case TWFieldTypeText: {
        const TWFieldValuePtr fieldValue = transaction.fieldValueWithField(field, true);
        QString text = fieldValue->text();
        join(text, value, QStringLiteral(" / "));
        fieldValue->setText(text);
        row.changed = true;
        break;
    }
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        // Read once the transaction's unit is known.
        row.currencyColumns = true;
        break;
    case TWFieldTypeNumber:
        transaction.fieldValueWithField(field, true)
            ->setNumber(TWImportWarnings::leadingDouble(value));
        row.changed = true;
        break;
    case TWFieldTypePercent:
        transaction.fieldValueWithField(field, true)
            ->setPercent(float(TWImportWarnings::leadingDouble(value)));
        row.changed = true;
        break;
    case TWFieldTypeCheckbox:
        transaction.fieldValueWithField(field, true)
            ->setCheckboxValue(TWImportWarnings::isTrue(value));
        row.changed = true;
        break;
    case TWFieldTypeDate:
        transaction.fieldValueWithField(field, true)->setDate(readDate(line, value, false));
        row.changed = true;
        break;
    case TWFieldTypeList: {
        TWFieldListItemPtr item = listItems(field).find(value);
        if (!item && line.createIfNeeded()) {
            const TWFieldPtr stored = m_business.fieldWithIdentifier(field.identifier());
            auto created = TWFieldListItem::fieldListItemWithName(value, 0);
            if (stored && !m_business.addFieldListItem(created, stored, true)) {
                item = created;
                listItems(field).add(created);
            }
        }
        if (!item) {
            m_missingListItems.add(field.name());
            break;
        }
        transaction.fieldValueWithField(field, true)->setListItemIdentifier(item->identifier());
        row.changed = true;
        break;
    }
    case TWFieldTypeTags: {
        const TWFieldValuePtr fieldValue = transaction.fieldValueWithField(field, true);
        QList<qint32> tags = fieldValue->tagItemIdentifiers();
        for (const QString &piece : value.split(QLatin1Char(','))) {
            const QString name = piece.trimmed();
            TWFieldTagItemPtr tag = tagItems(field).find(name);
            // An empty piece (two commas in a row) takes the first tag by the
            // empty-search rule, but never becomes a tag of its own.
            if (!tag && line.createIfNeeded() && !name.isEmpty()) {
                const TWFieldPtr stored = m_business.fieldWithIdentifier(field.identifier());
                auto created = TWFieldTagItem::fieldTagItemWithName(name, 0);
                if (stored && !m_business.addFieldTagItem(created, stored, true)) {
                    tag = created;
                    tagItems(field).add(created);
                }
            }
            if (!tag) {
                m_missingTags.add(field.name());
                continue;
            }
            tags.append(tag->identifier());
            row.changed = true;
        }
        fieldValue->setTagItemIdentifiers(tags);
        break;
    }
    default:
        break;
    }
}

TWImportNames<TWFieldListItem> &Processor::listItems(const TWField &field)
{
    auto found = m_listItems.find(field.identifier());
    if (found == m_listItems.end()) {
        const TWFieldPtr stored = m_business.fieldWithIdentifier(field.identifier());
        found = m_listItems.insert(field.identifier(), TWImportNames<TWFieldListItem>(
                                                           (stored ? *stored : field).listItems()));
    }
    return *found;
}

TWImportNames<TWFieldTagItem> &Processor::tagItems(const TWField &field)
{
    auto found = m_tagItems.find(field.identifier());
    if (found == m_tagItems.end()) {
        const TWFieldPtr stored = m_business.fieldWithIdentifier(field.identifier());
        found =
            m_tagItems.insert(field.identifier(),
                              TWImportNames<TWFieldTagItem>((stored ? *stored : field).tagItems()));
    }
    return *found;
}

void Processor::addAttachments(Row &row, const TWImportTransactionField &line, const QString &value)
{
    const QString folder =
        line.folderURL().isLocalFile() ? line.folderURL().toLocalFile() : QString();
    for (const QString &piece : value.split(QLatin1Char(','))) {
        const QString name = piece.trimmed();
        if (name.isEmpty())
            continue;
        const QString path = TWImportTransactions::attachmentPath(folder, name);
        if (path.isEmpty()) {
            m_missingAttachments.add(line.field()->name());
            continue;
        }
        if (m_owner.addAttachment(*row.transaction, QUrl::fromLocalFile(path)))
            row.changed = true;
    }
}

qsizetype Processor::scanSplits(Row &row, const QList<QStringList> &rows, qsizetype k)
{
    TWSplitList splits = row.transaction->splits();
    for (; k < rows.size(); ++k) {
        const QStringList &cells = rows.at(k);
        auto split = TWSplit::splitWithIdentifier(0);
        Amounts amounts;
        TWUnitPtr unit;
        bool unitFromColumn = false;
        bool changed = false;
        bool ended = false;
        const qsizetype n = std::min<qsizetype>(cells.size(), m_lines.size());
        for (qsizetype j = 0; j < n && !ended; ++j) {
            const QString &value = cells.at(j);
            const TWImportTransactionField *line = m_lines.at(j);
            if (value.isEmpty() || !line)
                continue;
            switch (line->builtInIdentifier()) {
            case TWFieldIdentifierUnit:
                unit = m_business.unitWithCode(value.trimmed());
                unitFromColumn = true;
                changed = true;
                break;
            case TWFieldIdentifierDebit:
            case TWFieldIdentifierCredit:
            case TWFieldIdentifierTotal: {
                const TWUnitPtr amountUnit = lineUnit(*line);
                if (!amountUnit)
                    break;
                const qint64 amount = readAmount(*line, value, amountUnit.get());
                amounts.set(amountUnit, line->builtInIdentifier() == TWFieldIdentifierCredit
                                            ? -amount
                                            : amount);
                amounts.noteFirst(value, line->builtInIdentifier() == TWFieldIdentifierCredit,
                                  line->sourceName());
                if (!unit && !unitFromColumn)
                    unit = amountUnit;
                changed = true;
                break;
            }
            case TWFieldIdentifierAccount1:
            case TWFieldIdentifierAccount2: {
                if (!hasSplitPrefix(value)) {
                    ended = true;
                    break;
                }
                bool placeholder = false;
                const TWAccountPtr account =
                    findAccount(value.mid(m_splitPrefix.size()), &placeholder);
                if (!account) {
                    // A made-up name leaves the line to the default account.
                    if (!placeholder)
                        m_missingAccounts.add(value);
                    else
                        changed = true;
                    break;
                }
                split->setAccountIdentifier(account->identifier());
                if (!unit && !unitFromColumn)
                    unit = account->unit();
                changed = true;
                break;
            }
            case TWFieldIdentifierDescription: {
                QString description = split->description();
                join(description, value, QStringLiteral(" / "));
                split->setDescription(description);
                changed = true;
                break;
            }
            default:
                break;
            }
        }
        if (ended)
            break;
        if (!changed)
            continue;
        split->setUnit(unit ? unit : m_homeUnit);
        if (unitFromColumn)
            amounts.readFirstIn(split->unit(),
                                [this, &amounts](const QString &text, const TWUnit *in) {
                                    return readAmount(amounts.firstColumn(), text, in);
                                });
        if (!row.splitUnit)
            row.splitUnit = split->unit();
        if (split->accountIdentifier() == 0) {
            qint32 account = m_settings.defaultAccount() ? m_settings.defaultAccount()->identifier()
                                                         : m_business.lastAccount1Identifier();
            if (account == 0 || !m_business.accountWithIdentifier(account))
                account = m_business.accounts().first()->identifier();
            split->setAccountIdentifier(account);
        }
        const TWUnitPtr accountUnit = this->accountUnit(split->accountIdentifier());
        split->setTotal(amounts.value(split->unit()).value_or(0));
        if (const auto amount = amounts.value(accountUnit))
            split->setTotalAccount(*amount);
        else
            split->updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAccount,
                                                   accountUnit, m_homeUnit, m_convert);
        if (const auto amount = amounts.value(m_homeUnit))
            split->setTotalBusiness(*amount);
        else
            split->updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeBusiness,
                                                   accountUnit, m_homeUnit, m_convert);
        splits.append(split);
    }
    row.transaction->setSplits(splits);
    if (!splits.isEmpty())
        row.transaction->setHasSplit(true);
    if (splits.size() > 1)
        row.changed = true;
    return k;
}

void Processor::finish(Row &row)
{
    TWTransaction &transaction = *row.transaction;
    TWSplitList splits = transaction.splits();
    if (row.splitMarker) {
        // Seen from the register it was read from: the account of its first
        // line where the file leads with it (a QIF section's), else the
        // default account when one of its lines is on it; else from its
        // first line.
        const TWAccountPtr &preset = m_settings.defaultAccount();
        const bool onPreset = preset && transaction.touchesAccount(preset->identifier());
        const qint32 first = splits.isEmpty() ? 0 : splits.first()->accountIdentifier();
        transaction.setActiveAccountIdentifier(
            onPreset && !(m_owner.splitsLeadWithTheirAccount() && first != 0) ? preset->identifier()
                                                                              : first);
    } else {
        if (transaction.account1Identifier() == 0 && m_settings.defaultAccount())
            transaction.setAccount1Identifier(m_settings.defaultAccount()->identifier());
        // A QIF opening balance names its own account as the other side: it
        // is the owner's money put into that account.
        if (transaction.account1Identifier() != 0 &&
            transaction.account1Identifier() == transaction.account2Identifier()) {
            if (const qint32 equity = equityAccount())
                transaction.setAccount2Identifier(equity);
        }
        row.openCounterpart = transaction.account2Identifier() == 0;
        // The unit the file wrote the amount in stands: an entry of a
        // Mileage account that the file gives in dollars is dollars, not 0
        // in the mileage unit the accounts' rule would pick.
        const TWUnitPtr written = transaction.unit();
        transaction.updateAccounts(m_accountDefaults, std::nullopt, true);
        if (written && transaction.unit() != written && row.amounts.value(written))
            transaction.setUnit(written);
        transaction.setActiveAccountIdentifier(transaction.account1Identifier());
        const TWUnitPtr account1Unit = accountUnit(transaction.account1Identifier());
        const TWUnitPtr account2Unit = accountUnit(transaction.account2Identifier());
        transaction.setTotal(row.amounts.value(transaction.unit()).value_or(0));
        const auto convert = [&](int target) {
            transaction.updateTotalsWithMasterTotalType(TWTotalTypeTotal, target, account1Unit,
                                                        account2Unit, m_homeUnit, m_convert);
        };
        if (const auto amount = row.amounts.value(account1Unit))
            transaction.setTotalAccount1(*amount);
        else
            convert(TWTotalTypeAccount1);
        if (const auto amount = row.amounts.value(account2Unit))
            transaction.setTotalAccount2(*amount);
        else
            convert(TWTotalTypeAccount2);
        if (const auto amount = row.amounts.value(m_homeUnit))
            transaction.setTotalBusiness(*amount);
        else
            convert(TWTotalTypeBusiness);
    }

    if (transaction.hasSplit() && !splits.isEmpty()) {
        // Lines converted one by one that balance in their unit balance in
        // the home unit too: the rounding residue is no line of its own.
        QList<TWUnitPtr> accountUnits;
        accountUnits.reserve(splits.size());
        for (const TWSplitPtr &split : std::as_const(splits))
            accountUnits.append(split ? accountUnit(split->accountIdentifier()) : TWUnitPtr());
        TWTransaction::settleSplitResidue(splits, accountUnits);
        qint64 linesHome = 0;
        for (const TWSplitPtr &split : std::as_const(splits))
            linesHome += split->totalBusiness();
        const qint64 remainder = transaction.totalBusiness() - linesHome;
        const qint32 firstAccount = row.splitMarker ? splits.first()->accountIdentifier()
                                                    : transaction.account1Identifier();
        if (remainder != 0) {
            auto split = TWSplit::splitWithIdentifier(0, QString(), firstAccount, 0, 0, remainder,
                                                      0, 0, transaction.unit());
            split->updateTotalsWithMasterTotalType(TWTotalTypeBusiness, TWTotalTypeAll,
                                                   accountUnit(firstAccount), m_homeUnit,
                                                   m_convert);
            splits.insert(0, split);
        }
        if (transaction.total() != 0) {
            // Account 2's side in account 2's own unit (its amount, not
            // account 1's, which differs whenever the two units do).
            splits.insert(1, TWSplit::splitWithIdentifier(
                                 0, QString(), transaction.account2Identifier(),
                                 -transaction.total(), -transaction.totalAccount2(),
                                 -transaction.totalBusiness(), 0, 0, transaction.unit()));
        }
        transaction.setSplits(splits);
    }
    if (row.splitMarker) {
        // A split entry's total is its size: what its debit lines come to
        // (its credit lines come to as much), whichever line comes first.
        qint64 debits = 0;
        qint64 debitsHome = 0;
        for (const TWSplitPtr &split : std::as_const(splits)) {
            if (!split)
                continue;
            if (split->total() > 0 && split->unit() && transaction.unit() &&
                split->unit()->isEqual(*transaction.unit()))
                debits += split->total();
            debitsHome += std::max<qint64>(split->totalBusiness(), 0);
        }
        transaction.setTotal(debits);
        transaction.setTotalBusiness(debitsHome);
    }
    transaction.setState(TWTransactionStateNormal);
    transaction.setIdentifier(m_nextIdentifier++);
    if (row.openCounterpart)
        m_owner.addOpenCounterpart(transaction.identifier());
    if (row.refused)
        m_owner.addRefused(transaction.identifier());
}

} // namespace

TWImportTransactions::TWImportTransactions(const QList<QStringList> &rows,
                                           const TWImportTransactionsSettingsPtr &importSettings,
                                           TWBusiness &business)
    : m_rows(rows), m_importSettings(importSettings), m_business(&business)
{
}

std::shared_ptr<TWImportTransactions> TWImportTransactions::importTransactionsWithRows(
    const QList<QStringList> &rows, const TWImportTransactionsSettingsPtr &importSettings,
    TWBusiness &business)
{
    return std::make_shared<TWImportTransactions>(rows, importSettings, business);
}

std::shared_ptr<TWImportTransactions> TWImportTransactions::importTransactionsWithParser(
    const TWParser &parser, const TWImportTransactionsSettingsPtr &settings, TWBusiness &business)
{
    auto importer = std::make_shared<TWImportTransactions>(parser.rows(), settings, business);
    importer->setPlaceholderAccountNames(parser.placeholderAccountNames());
    importer->setPlainAmounts(parser.plainAmounts());
    importer->setSplitsLeadWithTheirAccount(parser.splitsLeadWithTheirAccount());
    importer->setStatements(parser.statements(), parser.statementNumbers(),
                            parser.statementMarks());
    return importer;
}

TWAccountPtr TWImportTransactions::statementAccount(const TWBusiness &business,
                                                    const QString &number,
                                                    const TWAccountNumbers::WriterMark &mark)
{
    const bool own = TWAccountNumbers::writtenBy(mark, business.businessIdentity());
    // The business's own file says which account each statement was written
    // from: that account's, never another's of the same number.
    if (own) {
        if (const qint32 identifier = TWAccountNumbers::labelledIdentifier(mark.account))
            return business.accountWithIdentifier(identifier);
    }
    const QString wanted = number.trimmed();
    if (wanted.isEmpty() || wanted == QLatin1String("0"))
        return nullptr;
    // The number names the one account that holds it: in the business's own
    // file the number its writer gives any account, in any other a number
    // held on an account of the balance sheet (a bank, a card, a loan, a
    // payment service), never an income, expense or equity account's.
    TWAccountPtr found;
    for (const TWAccountPtr &account : business.accounts()) {
        if (!account)
            continue;
        bool holds = false;
        if (own) {
            holds = TWAccountNumbers::statementNumber(*account) == wanted;
        } else {
            const TWAccountGroupType group = TWAccount::accountGroupType(account->accountType());
            holds =
                (group == TWAccountGroupTypeAsset || group == TWAccountGroupTypeLiability) &&
                ((account->isInstitution() && account->institutionNumber().trimmed() == wanted) ||
                 account->number().trimmed() == wanted);
        }
        if (!holds)
            continue;
        if (found && found != account)
            return nullptr;
        found = account;
    }
    return found;
}

QString
TWImportTransactions::statementsNote(const TWBusiness &business, const QStringList &labels,
                                     const QHash<QString, QString> &numbers,
                                     const QHash<QString, TWAccountNumbers::WriterMark> &marks,
                                     const QString &chosen, const TWAccount *chosenAccount)
{
    if (labels.isEmpty())
        return {};
    QStringList named, leftOut;
    QString into;
    for (const QString &label : labels) {
        if (const TWAccountPtr account =
                statementAccount(business, numbers.value(label), marks.value(label)))
            named.append(TWLocalized("importStatementNamed").arg(label, account->name()));
        else if (label == chosen)
            into = label;
        else
            leftOut.append(label);
    }
    QStringList sentences{TWLocalized("importStatementsNote").arg(labels.size())};
    // Those that go where their numbers say are the usual case: a few are
    // named, the rest counted, so that a file of every account stays short.
    constexpr qsizetype kNamedShown = 4;
    if (!named.isEmpty())
        sentences.append(
            TWLocalized("importStatementsNamed")
                .arg(TWStringAdditions::shortList(
                    named.size(), [&named](qsizetype i) { return named.at(i); },
                    QStringLiteral(", "), TWLocalized("importMoreNames"), kNamedShown)));
    if (!into.isEmpty())
        sentences.append(
            chosenAccount ? TWLocalized("importStatementsChosen").arg(chosenAccount->name(), into)
                          : TWLocalized("importStatementsChosenNoAccount").arg(into));
    if (!leftOut.isEmpty())
        sentences.append(
            TWLocalized("importStatementsLeftOut").arg(TWImportWarnings::names(leftOut)));
    return sentences.join(QLatin1Char(' '));
}

QStringList TWImportTransactions::missingAccounts()
{
    if (!m_importSettings)
        return {};
    Processor processor(*this, *m_business, *m_importSettings);
    return processor.missingAccounts(m_rows);
}

bool TWImportTransactions::processTransactions(QString *warnings)
{
    if (warnings)
        *warnings = QString();
    m_transactions.clear();
    m_openCounterparts.clear();
    m_refused.clear();
    m_unlistedSplits.clear();
    if (!m_importSettings)
        return true;
    Processor processor(*this, *m_business, *m_importSettings);
    return processor.run(m_transactions, warnings);
}

bool TWImportTransactions::addAttachment(TWTransaction &transaction, const QUrl &url)
{
    const QFileInfo source(url.toLocalFile());
    const QString copy = TWUtilities::utilities().temporaryFilePath(source.suffix());
    if (copy.isEmpty() || !QFile::copy(source.filePath(), copy))
        return false;
    if (!transaction.addAttachmentFile(copy, TWAttachmentTypeFile, source.fileName(), -1)) {
        QFile::remove(copy);
        return false;
    }
    return true;
}

QString TWImportTransactions::attachmentPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || name.isEmpty() || QDir::isAbsolutePath(name))
        return {};
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty())
        return {};
    const QString resolved = QFileInfo(QDir(root).filePath(name)).canonicalFilePath();
    if (resolved.isEmpty() || !resolved.startsWith(root + QLatin1Char('/')))
        return {};
    const QFileInfo info(resolved);
    return info.isFile() ? resolved : QString();
}
