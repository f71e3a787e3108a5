#include "export/core/TWExportTransactions.h"

#include <limits>

#include "export/core/TWExportNumbers.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

namespace
{

enum : qint32 {
    kCleared = -2,
    kDate = -3,
    kIdentifier = -4,
    kPayee = -5,
    kDescription = -6,
    kAccount1 = -7,
    kAccount2 = -8,
    kRepeat = -9,
    kDebit = -10,
    kCredit = -11,
    kTotal = -12,
    kBalance = -13,
    kAttachments = -14,
    kNotes = -15,
    kUnit = -16,
    kDateCreated = -17,
    kDateModified = -18,
};

constexpr quint32 kAmount = 0;
constexpr quint32 kText = 1;
constexpr quint32 kDateType = 2;

bool isMoneyField(const TWField &field)
{
    return field.type() == TWFieldTypeStandard &&
           (field.identifier() == kDebit || field.identifier() == kCredit ||
            field.identifier() == kTotal);
}

// The sums of one money field over an account's group.
struct Sums {
    QList<qint64> units;
    qint64 home = 0;
};

// Amounts of a transaction or a split line, as the listed account sees them.
struct Amounts {
    qint64 total = 0;
    qint64 start = 0;
    qint64 end = 0;
    qint64 business = 0;
    TWUnitPtr unit;
};

} // namespace

class TWExportTransactions::Builder
{
public:
    Builder(TWExportTransactions &table) : m_table(table), m_formatter(TWFormatter::formatter())
    {
        m_cells.reserve(1024);
    }

    TWCellList run();
    TWErrorResult run(const TWExportTransactions::CellSink &sink, qsizetype rowsPerPart);

private:
    void add(const QString &value, quint32 type, quint32 style = 0, bool header = false,
             const QUrl &link = QUrl())
    {
        m_cells.append(TWCell(value, QVariant(), link, style, TWCellJustifyLeft, type,
                              m_table.m_row, m_table.m_column, true, header, true, 1));
        ++m_table.m_column;
    }
    void gap(quint32 count = 1) { m_table.m_column += count; }
    void endRow()
    {
        ++m_table.m_row;
        m_table.m_column = 0;
    }

    QString money(qint64 value, const TWUnitPtr &unit, bool forcePositive) const
    {
        return m_formatter.valueString(value, unit.get(), false, m_table.m_displayGroupingSeparator,
                                       forcePositive, false, true);
    }
    qsizetype unitIndex(const TWUnitPtr &unit) const
    {
        return unit ? m_unitIndex.value(unit->code(), -1) : -1;
    }
    bool showsMileage(const TWUnitPtr &unit) const
    {
        return m_mileageShown && unit && unit->type() == TWUnitTypeMileage;
    }
    // The columns one money field takes.
    quint32 moneyColumns() const
    {
        if (m_homeOnly)
            return 1;
        quint32 columns = 1;
        for (const TWUnitPtr &unit : m_units)
            columns += showsMileage(unit) ? 3 : 1;
        return columns;
    }

    void collectUnits();
    void headerRow();
    void moneyCells(const Amounts &amounts, bool forcePositive, Sums &sums);
    void transactionRow(TWTransaction &transaction);
    void splitRow(const TWSplit &split, bool reversed);
    void totalsRow();
    void resetSums();
    QString accountName(qint32 identifier) const;

    TWExportTransactions &m_table;
    const TWFormatter &m_formatter;
    TWCellList m_cells;
    TWUnitList m_units;
    QHash<QString, qsizetype> m_unitIndex;
    bool m_mileageShown = false;
    bool m_homeOnly = false;
    Sums m_debit, m_credit, m_total;
};

void TWExportTransactions::Builder::collectUnits()
{
    const auto use = [this](const TWUnitPtr &unit) {
        if (unit && !m_unitIndex.contains(unit->code())) {
            m_unitIndex.insert(unit->code(), m_units.size());
            m_units.append(unit);
        }
    };
    for (const TWTransactionPtr &transaction : m_table.m_transactions) {
        if (!transaction)
            continue;
        if (transaction->hasSplit()) {
            for (const TWSplitPtr &split : transaction->splits()) {
                if (split)
                    use(split->unit());
            }
        } else {
            use(transaction->unit());
        }
        if (transaction->unit() && transaction->unit()->type() == TWUnitTypeMileage)
            m_mileageShown = true;
    }
    const TWUnitPtr home = m_table.m_business ? m_table.m_business->homeUnit() : nullptr;
    m_homeOnly = m_units.size() == 1 && home && m_units.constFirst()->code() == home->code();
    resetSums();
}

void TWExportTransactions::Builder::resetSums()
{
    for (Sums *sums : {&m_debit, &m_credit, &m_total}) {
        sums->units = QList<qint64>(m_units.size(), 0);
        sums->home = 0;
    }
}

void TWExportTransactions::Builder::headerRow()
{
    const TWUnitPtr home = m_table.m_business ? m_table.m_business->homeUnit() : nullptr;
    const QString homeCode = home ? home->code() : QString();
    const auto heading = [](const QString &name, const QString &code) {
        return QStringLiteral("%1 (%2)").arg(name, code);
    };
    for (const TWFieldPtr &field : m_table.m_exportSettings->fields()) {
        if (!field)
            continue;
        if (!isMoneyField(*field)) {
            add(field->name(), kText, 0, true);
            continue;
        }
        if (!m_homeOnly) {
            for (const TWUnitPtr &unit : m_units) {
                add(heading(field->name(), unit->code()), kText, 0, true);
                if (showsMileage(unit)) {
                    add(heading(field->name(), TWLocalized("start")), kText, 0, true);
                    add(heading(field->name(), TWLocalized("end")), kText, 0, true);
                }
            }
        }
        add(heading(field->name(), homeCode), kText, 0, true);
    }
    endRow();
}

void TWExportTransactions::Builder::moneyCells(const Amounts &amounts, bool forcePositive,
                                               Sums &sums)
{
    if (m_homeOnly) {
        add(money(amounts.total, amounts.unit, forcePositive), kAmount);
        sums.home += amounts.total;
        return;
    }
    const qsizetype own = unitIndex(amounts.unit);
    for (qsizetype index = 0; index < m_units.size(); ++index) {
        const TWUnitPtr &unit = m_units.at(index);
        const bool mileage = showsMileage(unit);
        if (index != own) {
            gap(mileage ? 3 : 1);
            continue;
        }
        add(money(amounts.total, unit, forcePositive), kAmount);
        if (mileage) {
            for (const qint64 reading : {amounts.start, amounts.end}) {
                if (reading == 0)
                    gap();
                else
                    add(money(reading, unit, forcePositive), kAmount);
            }
        }
        sums.units[index] += amounts.total;
    }
    const TWUnitPtr home = m_table.m_business ? m_table.m_business->homeUnit() : nullptr;
    add(money(amounts.business, home, forcePositive), kAmount);
    sums.home += amounts.business;
}

QString TWExportTransactions::Builder::accountName(qint32 identifier) const
{
    const TWAccountPtr account =
        m_table.m_business ? m_table.m_business->accountWithIdentifier(identifier) : nullptr;
    return account ? account->name() : QString();
}

void TWExportTransactions::Builder::transactionRow(TWTransaction &transaction)
{
    TWBusiness *business = m_table.m_business;
    const bool split = transaction.hasSplit();
    const bool reversed = transaction.activeAccountIdentifier() != 0 &&
                          transaction.activeAccountIdentifier() == transaction.account2Identifier();
    const qint64 sign = reversed ? -1 : 1;
    const Amounts amounts{sign * transaction.total(), sign * transaction.totalStart(),
                          sign * transaction.totalEnd(), sign * transaction.totalBusiness(),
                          transaction.unit()};
    const auto text = [this](const QString &value) {
        if (value.isEmpty())
            gap();
        else
            add(value, kText);
    };

    for (const TWFieldPtr &field : m_table.m_exportSettings->fields()) {
        if (!field)
            continue;
        if (field->type() != TWFieldTypeStandard) {
            const TWFieldValuePtr value = transaction.fieldValueWithIdentifier(field->identifier());
            if (field->type() == TWFieldTypeCheckbox) {
                add(QString::number(value && value->checkboxValue() ? 1 : 0), kAmount);
                continue;
            }
            if (!value) {
                gap();
                continue;
            }
            switch (field->type()) {
            case TWFieldTypeText:
                text(value->text());
                break;
            case TWFieldTypeCurrency:
            case TWFieldTypePercentTotal:
                add(money(value->currency(), transaction.unit(), false), kAmount);
                break;
            case TWFieldTypeNumber:
                add(twShortestNumber(value->number()), kAmount);
                break;
            case TWFieldTypePercent:
                add(twShortestNumber(value->percent()), kAmount);
                break;
            case TWFieldTypeDate:
                add(m_formatter.shortDateString(value->date()), kDateType);
                break;
            case TWFieldTypeList: {
                QString name;
                for (const auto &item : field->listItems()) {
                    if (item && item->identifier() == value->listItemIdentifier()) {
                        name = item->name();
                        break;
                    }
                }
                text(name);
                break;
            }
            case TWFieldTypeTags: {
                const QList<qint32> tags = value->tagItemIdentifiers();
                QStringList names;
                for (const auto &item : field->tagItems()) {
                    if (item && tags.contains(item->identifier()))
                        names.append(item->name());
                }
                if (tags.isEmpty())
                    gap();
                else
                    add(names.join(QLatin1Char(',')), kText);
                break;
            }
            default:
                gap();
            }
            continue;
        }

        switch (field->identifier()) {
        case kCleared:
            add(QString::number(transaction.cleared() ? 1 : 0), kAmount);
            break;
        case kDate:
            add(m_formatter.shortDateString(transaction.date()), kDateType);
            break;
        case kIdentifier:
            add(QString::number(quint32(transaction.identifier())), kAmount);
            break;
        case kPayee:
            text(transaction.payee());
            break;
        case kDescription:
            text(transaction.description());
            break;
        case kAccount1:
        case kAccount2: {
            if (split) {
                add(TWLocalized("split"), kText);
                break;
            }
            const bool first = (field->identifier() == kAccount1) != transaction.swapDebitCredit();
            add(accountName(first ? transaction.account1Identifier()
                                  : transaction.account2Identifier()),
                kText);
            break;
        }
        case kRepeat: {
            const TWRepeatPtr repeat =
                business ? business->repeatWithIdentifier(transaction.repeatIdentifier()) : nullptr;
            add(repeat ? m_formatter.repeatString(repeat->interval(), repeat->intervalUnit(),
                                                  repeat->endDate())
                       : m_formatter.noneString(),
                kText);
            break;
        }
        case kDebit:
        case kCredit:
            if (!split && (field->identifier() == kDebit ? amounts.total > 0 : amounts.total < 0))
                moneyCells(amounts, true, field->identifier() == kDebit ? m_debit : m_credit);
            else
                gap(moneyColumns());
            break;
        case kTotal:
            if (!split)
                moneyCells(amounts, false, m_total);
            else
                gap(moneyColumns());
            break;
        case kBalance: {
            if (transaction.activeAccountIdentifier() == 0) {
                gap();
                break;
            }
            const TWAccountPtr account =
                business ? business->accountWithIdentifier(transaction.activeAccountIdentifier())
                         : nullptr;
            add(m_formatter.valueString(transaction.balance(),
                                        account ? account->unit().get() : nullptr, false,
                                        m_table.m_displayGroupingSeparator, false, true, true),
                kAmount);
            break;
        }
        case kAttachments: {
            if (!transaction.hasAttachments() || !business) {
                gap();
                break;
            }
            QStringList names;
            const std::optional<TWAttachmentList> &attachments =
                twLoadedAttachments(transaction, *business);
            if (attachments) {
                for (const TWAttachmentPtr &attachment : *attachments) {
                    if (attachment)
                        names.append(m_table.m_attachmentFileNames.value(attachment->identifier()));
                }
            }
            QUrl link;
            if (m_table.m_exportSettings->includeAttachments() && !names.isEmpty())
                link = QUrl::fromEncoded("./Attachments/" +
                                         QUrl::toPercentEncoding(names.constFirst()));
            add(names.join(QLatin1Char(',')), kText, 0, false, link);
            break;
        }
        case kNotes:
            text(transaction.notes());
            break;
        case kUnit:
            if (split || !transaction.unit())
                gap();
            else
                add(transaction.unit()->code(), kText);
            break;
        case kDateCreated:
        case kDateModified: {
            const QDateTime &date = field->identifier() == kDateCreated
                                        ? transaction.dateCreated()
                                        : transaction.dateModified();
            if (date.isValid())
                add(m_formatter.shortDateTimeString(date), kDateType);
            else
                gap();
            break;
        }
        default:
            gap();
        }
    }
    endRow();

    if (split) {
        for (const TWSplitPtr &line : transaction.splits()) {
            if (line)
                splitRow(*line, reversed);
        }
    }
}

void TWExportTransactions::Builder::splitRow(const TWSplit &split, bool reversed)
{
    // Every line printed adds to the group's totals, so that a totals row
    // is the sum of the column above it.
    const qint64 sign = reversed ? -1 : 1;
    const Amounts adjusted{sign * split.total(), sign * split.totalStart(), sign * split.totalEnd(),
                           sign * split.totalBusiness(), split.unit()};
    const Amounts own{split.total(), split.totalStart(), split.totalEnd(), split.totalBusiness(),
                      split.unit()};
    for (const TWFieldPtr &field : m_table.m_exportSettings->fields()) {
        if (!field)
            continue;
        if (field->type() != TWFieldTypeStandard) {
            gap();
            continue;
        }
        switch (field->identifier()) {
        case kDescription:
            if (split.description().isEmpty())
                gap();
            else
                add(split.description(), kText);
            break;
        case kAccount1:
        case kAccount2:
            add(QStringLiteral("%1 - %2").arg(TWLocalized("split"),
                                              accountName(split.accountIdentifier())),
                kText);
            break;
        case kDebit:
        case kCredit:
            if (field->identifier() == kDebit ? adjusted.total > 0 : adjusted.total < 0)
                moneyCells(adjusted, true, field->identifier() == kDebit ? m_debit : m_credit);
            else
                gap(moneyColumns());
            break;
        case kTotal:
            moneyCells(own, false, m_total);
            break;
        case kUnit:
            if (split.unit())
                add(split.unit()->code(), kText);
            else
                gap();
            break;
        default:
            gap();
        }
    }
    endRow();
}

void TWExportTransactions::Builder::totalsRow()
{
    const TWUnitPtr home = m_table.m_business ? m_table.m_business->homeUnit() : nullptr;
    const auto sumCells = [&](const Sums &sums, bool forcePositive) {
        const auto cell = [&](qint64 value, const TWUnitPtr &unit) {
            m_cells.append(TWCell(money(value, unit, forcePositive), QVariant(), QUrl(),
                                  TWCellStyleBold, TWCellJustifyLeft, kAmount, m_table.m_row,
                                  m_table.m_column, true, false, true, 1));
            ++m_table.m_column;
        };
        if (m_homeOnly) {
            cell(sums.home, home);
            return;
        }
        for (qsizetype index = 0; index < m_units.size(); ++index) {
            cell(sums.units.at(index), m_units.at(index));
            if (showsMileage(m_units.at(index)))
                gap(2);
        }
        cell(sums.home, home);
    };
    for (const TWFieldPtr &field : m_table.m_exportSettings->fields()) {
        if (!field)
            continue;
        if (!isMoneyField(*field)) {
            gap();
            continue;
        }
        if (field->identifier() == kTotal)
            sumCells(m_total, false);
        else
            sumCells(field->identifier() == kDebit ? m_debit : m_credit, true);
    }
    endRow();
}

TWCellList TWExportTransactions::Builder::run()
{
    if (!m_table.m_exportSettings)
        return m_cells;
    // Room for every cell at once: a list of this size reallocated again and
    // again would dominate the export.
    qsizetype columns = 0;
    for (const TWFieldPtr &field : m_table.m_exportSettings->fields())
        columns += field && isMoneyField(*field) ? moneyColumns() : 1;
    m_cells.reserve(std::max<qsizetype>(1024, (m_table.m_transactions.size() + 2) * columns));
    TWCellList all;
    run(
        [&all](TWCellList &part) -> TWErrorResult {
            all.swap(part);
            return std::nullopt;
        },
        std::numeric_limits<qsizetype>::max());
    return all;
}

TWErrorResult TWExportTransactions::Builder::run(const TWExportTransactions::CellSink &sink,
                                                 qsizetype rowsPerPart)
{
    if (!m_table.m_exportSettings)
        return std::nullopt;
    collectUnits();
    m_table.m_column = 0;
    headerRow();
    bool first = true;
    qint32 group = 0;
    quint32 partStart = m_table.m_row;
    const auto handOver = [&]() -> TWErrorResult {
        if (m_cells.isEmpty())
            return std::nullopt;
        TWErrorResult error = sink(m_cells);
        m_cells.clear();
        partStart = m_table.m_row;
        return error;
    };
    // Written a part at a time, a row's transaction is let go once its rows
    // are made: a view of a transaction keeps the values the rows read, and
    // an export of every account lists each transaction about twice.
    const bool release = rowsPerPart != std::numeric_limits<qsizetype>::max();
    TWTransactionList &transactions = m_table.m_transactions;
    for (qsizetype index = 0; index < transactions.size(); ++index) {
        const TWTransactionPtr transaction = transactions.at(index);
        if (!transaction)
            continue;
        if (m_table.m_includeTotals && !first && transaction->activeAccountIdentifier() != group) {
            totalsRow();
            resetSums();
        }
        first = false;
        group = transaction->activeAccountIdentifier();
        transactionRow(*transaction);
        if (release)
            transactions[index].reset();
        if (qsizetype(m_table.m_row - partStart) >= rowsPerPart) {
            if (TWErrorResult error = handOver())
                return error;
        }
    }
    if (m_table.m_includeTotals && !first)
        totalsRow();
    return handOver();
}

TWExportTransactions::TWExportTransactions(TWTransactionList transactions, bool includeTotals,
                                           bool displayGroupingSeparator,
                                           TWExportTransactionsSettingsPtr exportSettings,
                                           QHash<qint32, QString> attachmentFileNames,
                                           TWBusiness *business)
    : m_transactions(std::move(transactions)), m_includeTotals(includeTotals),
      m_displayGroupingSeparator(displayGroupingSeparator),
      m_exportSettings(std::move(exportSettings)),
      m_attachmentFileNames(std::move(attachmentFileNames)), m_business(business)
{
}

std::unique_ptr<TWExportTransactions> TWExportTransactions::exportTransactionsWithTransactions(
    const TWTransactionList &transactions, bool includeTotals, bool displayGroupingSeparator,
    const TWExportTransactionsSettingsPtr &exportSettings,
    const QHash<qint32, QString> &attachmentFileNames, TWBusiness *business)
{
    return std::make_unique<TWExportTransactions>(transactions, includeTotals,
                                                  displayGroupingSeparator, exportSettings,
                                                  attachmentFileNames, business);
}

TWCellList TWExportTransactions::cells()
{
    Builder builder(*this);
    return builder.run();
}

TWErrorResult TWExportTransactions::cells(const CellSink &sink, qsizetype rowsPerPart)
{
    Builder builder(*this);
    return builder.run(sink, std::max<qsizetype>(1, rowsPerPart));
}
