#include "ledger/TWTransactionsModel.h"

#include "ledger/TWRegisterSort.h"
#include "ledger/TWTransactionsDelegate.h"

#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFieldValue.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWRepeat.h"
#include "model/TWSplit.h"
#include "store/TWBusiness.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPalette>

TWTransactionsModel::TWTransactionsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void TWTransactionsModel::setColumns(const TWFieldList &fields)
{
    beginResetModel();
    m_columns = fields;
    endResetModel();
}

void TWTransactionsModel::reload()
{
    beginResetModel();
    endResetModel();
}

void TWTransactionsModel::refreshRows(int first, int last)
{
    if (first > last || m_columns.isEmpty() || rowCount() == 0)
        return;
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
}

int TWTransactionsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_rows || m_columns.isEmpty() ? 0 : int(m_rows->size());
}

int TWTransactionsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

bool TWTransactionsModel::isCheckboxField(const TWField &field)
{
    if (field.type() == TWFieldTypeCheckbox)
        return true;
    return field.type() == TWFieldTypeStandard && (field.identifier() == TWFieldIdentifierCleared ||
                                                   field.identifier() == TWFieldIdentifierImport);
}

TWUnitPtr TWTransactionsModel::accountUnit(qint32 accountIdentifier) const
{
    const TWAccountPtr account =
        m_business ? m_business->accountWithIdentifier(accountIdentifier) : nullptr;
    return account ? account->unit() : nullptr;
}

QString TWTransactionsModel::amount(qint64 value, const TWUnitPtr &unit, bool tooltip) const
{
    // Tool tips show magnitudes without brackets; cells sign with brackets.
    return TWFormatter::formatter().valueString(value, unit.get(), true, true, tooltip, !tooltip,
                                                true);
}

QColor TWTransactionsModel::transactionColour(const TWTransaction &t) const
{
    const TWPreferences &preferences = TWPreferences::preferences();
    if (m_mode != TWRegisterMode::ImportPreview) {
        if (t.state() == TWTransactionStateLocked)
            return preferences.lockedColour();
        if (t.state() == TWTransactionStateClosed)
            return preferences.closedColour();
    }
    return t.cleared() ? preferences.clearedColour() : preferences.transactionColour();
}

QString TWTransactionsModel::cellText(const TWTransaction &t, const TWField &field) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    if (field.type() != TWFieldTypeStandard) {
        const TWFieldValuePtr value = t.fieldValueWithIdentifier(field.identifier());
        if (!value)
            return {};
        switch (field.type()) {
        case TWFieldTypeText:
            return value->text();
        case TWFieldTypeCurrency:
        case TWFieldTypePercentTotal:
            return amount(value->currency(), t.unit(), false);
        case TWFieldTypeNumber:
            return formatter.doubleValueString(value->number());
        case TWFieldTypePercent:
            return formatter.numberString(value->percent()) + QLatin1Char('%');
        case TWFieldTypeDate:
            return formatter.shortDateString(value->date());
        case TWFieldTypeList:
            return field.listNameWithIdentifier(value->listItemIdentifier()).value_or(QString());
        case TWFieldTypeTags:
            return field.tagNameWithIdentifiers(value->tagItemIdentifiers());
        default:
            return {};
        }
    }
    switch (field.identifier()) {
    case TWFieldIdentifierDateModified:
        return formatter.shortDateTimeString(t.dateModified());
    case TWFieldIdentifierDateCreated:
        return formatter.shortDateTimeString(t.dateCreated());
    case TWFieldIdentifierNotes:
        return t.notes();
    case TWFieldIdentifierDescription:
        return t.description();
    case TWFieldIdentifierPayee:
        return t.payee();
    case TWFieldIdentifierBalance:
        return amount(t.balance(), accountUnit(t.balanceAccountIdentifier()), false);
    case TWFieldIdentifierDebit:
    case TWFieldIdentifierCredit: {
        const TWRegisterDebitCredit amounts = twRegisterDebitCredit(t);
        const qint64 value =
            field.identifier() == TWFieldIdentifierDebit ? amounts.debit : amounts.credit;
        return value ? amount(value, accountUnit(t.balanceAccountIdentifier()), false) : QString();
    }
    case TWFieldIdentifierRepeat: {
        const TWRepeatPtr repeat = m_business && t.repeatIdentifier()
                                       ? m_business->repeatWithIdentifier(t.repeatIdentifier())
                                       : nullptr;
        return repeat ? formatter.repeatString(repeat->interval(), repeat->intervalUnit(),
                                               repeat->endDate())
                      : QString();
    }
    case TWFieldIdentifierAccount1:
    case TWFieldIdentifierAccount2: {
        if (t.hasSplit())
            return TWLocalized("splitColumn");
        const TWAccountPtr account = m_business
                                         ? m_business->accountWithIdentifier(twRegisterShownAccount(
                                               t, field.identifier() == TWFieldIdentifierAccount1))
                                         : nullptr;
        return account ? account->name() : QString();
    }
    case TWFieldIdentifierIdentifier:
        return QString::number(quint32(t.identifier()));
    case TWFieldIdentifierDate:
        return formatter.shortDateString(t.date());
    default:
        return {};
    }
}

QString TWTransactionsModel::totalToolTip(const TWTransaction &t) const
{
    if (t.hasSplit() || !m_business)
        return {};
    const TWUnitPtr unit = t.unit();
    const TWUnitPtr unit1 = accountUnit(t.account1Identifier());
    const TWUnitPtr unit2 = accountUnit(t.account2Identifier());
    const TWUnitPtr home = m_business->homeUnit();
    if (unit == unit1 && unit == unit2 && unit == home)
        return {};
    QStringList lines;
    const auto line = [&](const char *key, qint64 value, const TWUnitPtr &in) {
        lines.append(QStringLiteral("%1 = %2").arg(TWLocalized(key), amount(value, in, true)));
    };
    line("total", t.total(), unit);
    if (unit1 != unit)
        line("account1", t.totalAccount1(), unit1);
    if (unit2 != unit && unit2 != unit1)
        line("account2", t.totalAccount2(), unit2);
    if (home != unit && home != unit1 && home != unit2)
        line("home", t.totalBusiness(), home);
    if (unit && unit->type() == 0)
        lines.append(QStringLiteral("%1 - %2").arg(
            TWFormatter::formatter().valueString(t.totalStart(), unit.get(), false, true, true,
                                                 false, true),
            amount(t.totalEnd(), unit, true)));
    return lines.join(u'\r');
}

QString TWTransactionsModel::splitToolTip(const TWTransaction &t) const
{
    if (!t.hasSplit() || !m_business)
        return {};
    const TWUnitPtr home = m_business->homeUnit();
    QStringList blocks;
    int number = 0;
    for (const TWSplitPtr &split : t.splits()) {
        QStringList lines;
        const TWAccountPtr account = m_business->accountWithIdentifier(split->accountIdentifier());
        const QString side = TWLocalized(split->total() < 1 ? "credit" : "debit");
        lines.append(QStringLiteral("%1 %2:").arg(TWLocalized("split")).arg(++number));
        lines.append(
            QStringLiteral("%1: %2").arg(TWLocalized("description"), split->description()));
        lines.append(QStringLiteral("%1: %2").arg(TWLocalized("account"),
                                                  account ? account->name() : QString()));
        lines.append(
            QStringLiteral("%1 = %2 %3")
                .arg(TWLocalized("total"), side, amount(split->total(), split->unit(), true)));
        const TWUnitPtr accountUnit = account ? account->unit() : nullptr;
        if (accountUnit && accountUnit != split->unit())
            lines.append(QStringLiteral("%1 = %2 %3")
                             .arg(TWLocalized("account"), side,
                                  amount(split->totalAccount(), accountUnit, true)));
        if (home && home != split->unit() && home != accountUnit)
            lines.append(
                QStringLiteral("%1 = %2 %3")
                    .arg(TWLocalized("home"), side, amount(split->totalBusiness(), home, true)));
        if (t.unit() && t.unit()->type() == 0)
            lines.append(QStringLiteral("%1 - %2").arg(
                TWFormatter::formatter().valueString(t.totalStart(), t.unit().get(), false, true,
                                                     true, false, true),
                amount(t.totalEnd(), t.unit(), true)));
        blocks.append(lines.join(u'\r'));
    }
    return blocks.join(QStringLiteral("\r\r"));
}

std::optional<bool> TWTransactionsModel::checkState(const TWTransaction &t,
                                                    const TWField &field) const
{
    if (field.type() == TWFieldTypeCheckbox) {
        const TWFieldValuePtr value = t.fieldValueWithIdentifier(field.identifier());
        return value && value->checkboxValue();
    }
    if (field.type() != TWFieldTypeStandard)
        return std::nullopt;
    if (field.identifier() == TWFieldIdentifierCleared)
        return t.cleared();
    if (field.identifier() == TWFieldIdentifierImport)
        return m_ticks && m_ticks->contains(&t);
    return std::nullopt;
}

bool TWTransactionsModel::checkEnabled(const TWTransaction &t, const TWField &field) const
{
    if (field.type() == TWFieldTypeStandard && field.identifier() == TWFieldIdentifierImport)
        return true;
    return t.canEdit();
}

QVariant TWTransactionsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_rows || index.row() >= m_rows->size() ||
        index.column() >= m_columns.size())
        return {};
    const TWTransaction &t = *m_rows->at(index.row());
    const TWField &field = *m_columns.at(index.column());
    const qint32 identifier = field.identifier();
    const bool standard = field.type() == TWFieldTypeStandard;
    const bool accountColumn = standard && (identifier == TWFieldIdentifierAccount1 ||
                                            identifier == TWFieldIdentifierAccount2);
    switch (role) {
    case Qt::DisplayRole:
        if (isCheckboxField(field) || (standard && (identifier == TWFieldIdentifierAttachments)))
            return {};
        return cellText(t, field);
    case Qt::CheckStateRole: {
        const std::optional<bool> on = checkState(t, field);
        if (!on)
            return {};
        return *on ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::ForegroundRole:
        if (accountColumn && t.hasSplit())
            return QColor(Qt::gray);
        return transactionColour(t);
    case Qt::TextAlignmentRole: {
        if (accountColumn && t.hasSplit())
            return int(Qt::AlignCenter);
        bool right = false;
        if (standard)
            right = identifier == TWFieldIdentifierBalance ||
                    identifier == TWFieldIdentifierDebit || identifier == TWFieldIdentifierCredit ||
                    identifier == TWFieldIdentifierIdentifier;
        else
            right = field.type() == TWFieldTypeCurrency || field.type() == TWFieldTypeNumber ||
                    field.type() == TWFieldTypePercent || field.type() == TWFieldTypePercentTotal;
        return int((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    case Qt::ToolTipRole:
        if (accountColumn && t.hasSplit())
            return splitToolTip(t);
        if (standard &&
            (identifier == TWFieldIdentifierDebit || identifier == TWFieldIdentifierCredit))
            return totalToolTip(t);
        return {};
    case FieldIdentifierRole:
        return identifier;
    case HasButtonRole:
        if (!standard)
            return false;
        if (identifier == TWFieldIdentifierAttachments)
            return t.hasAttachments();
        if (identifier == TWFieldIdentifierRepeat)
            return t.repeatIdentifier() != 0;
        return false;
    default:
        return {};
    }
}

bool TWTransactionsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || !m_rows ||
        index.row() >= m_rows->size() || index.column() >= m_columns.size())
        return false;
    const TWTransaction &t = *m_rows->at(index.row());
    const TWField &field = *m_columns.at(index.column());
    if (!isCheckboxField(field) || !checkEnabled(t, field))
        return false;
    if (onCheckbox)
        onCheckbox(index.row(), index.column(), Qt::CheckState(value.toInt()) == Qt::Checked);
    return true;
}

Qt::ItemFlags TWTransactionsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || !m_rows || index.row() >= m_rows->size() ||
        index.column() >= m_columns.size())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const TWField &field = *m_columns.at(index.column());
    if (isCheckboxField(field) && checkEnabled(*m_rows->at(index.row()), field))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QString TWTransactionsModel::headerTitle(const TWField &field) const
{
    const qint32 identifier = field.identifier();
    if (field.type() == TWFieldTypeStandard) {
        if (identifier == TWFieldIdentifierAttachments)
            return {};
        if ((identifier == TWFieldIdentifierDebit || identifier == TWFieldIdentifierCredit) &&
            m_debitCreditType) {
            const TWFormatter &formatter = TWFormatter::formatter();
            const QString side = identifier == TWFieldIdentifierDebit
                                     ? formatter.debitNameString(*m_debitCreditType)
                                     : formatter.creditNameString(*m_debitCreditType);
            if (!side.isEmpty())
                return QStringLiteral("%1 (%2)").arg(side, field.name());
        }
    }
    return field.name();
}

namespace
{

// The attachments column's title: the paperclip the cells show, in the
// header's text colour, at one and two device pixels a point.
QIcon paperclipIcon()
{
    QIcon icon;
    const QColor colour = QApplication::palette().color(QPalette::ButtonText);
    for (const int scale : {1, 2}) {
        QImage image(16 * scale, 16 * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        image.setDevicePixelRatio(scale);
        QPainter painter(&image);
        TWTransactionsDelegate::paintPaperclip(&painter, QRectF(0, 0, 16, 16), colour);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace

QVariant TWTransactionsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const TWField &field = *m_columns.at(section);
    switch (role) {
    case Qt::DisplayRole:
        return headerTitle(field);
    case Qt::DecorationRole:
        if (field.type() == TWFieldTypeStandard &&
            field.identifier() == TWFieldIdentifierAttachments) {
            static const QIcon paperclip = paperclipIcon();
            return paperclip;
        }
        return {};
    case Qt::ToolTipRole:
        return field.name();
    case FieldIdentifierRole:
        return field.identifier();
    default:
        return QAbstractTableModel::headerData(section, orientation, role);
    }
}
