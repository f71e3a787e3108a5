// The item table: its columns and their widths, the cell texts, the header
// band repeated on every page, one row per item with its notes below, and the
// table's closing rule.

#include "invoicing/render/TWInvoiceOperation.h"

#include "foundation/TWDecimal.h"
#include "foundation/TWLocalized.h"
#include "invoicing/render/TWInvoiceGeometry.h"
#include "model/TWCell.h"
#include "model/TWExpense.h"
#include "model/TWTask.h"
#include "model/TWWorkArithmetic.h"

#include <QFontMetricsF>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace
{

constexpr double kNoLimit = 1.0e6;

struct ColumnSpec {
    quint32 type;
    int tag;
    const char *settingsKey;
};

constexpr ColumnSpec kColumnSpecs[] = {
    {0, TWDisplayItemDate, "componentTableValuesDate"},
    {1, TWDisplayItemDescription, "componentTableValuesDescription"},
    {2, TWDisplayItemType, "componentTableValuesType"},
    {3, TWDisplayItemQuantity, "componentTableValuesQuantity"},
    {4, TWDisplayItemRate, "componentTableValuesRate"},
    {5, TWDisplayItemSubtotal, "componentTableValuesSubtotal"},
    {6, TWDisplayItemTax, "componentTableValuesTax"},
    {7, TWDisplayItemTotal, "componentTableValuesTotal"},
};

// A decimal in the locale's own writing ("12,5" in German), without
// grouping or trailing zeros.
QString plainNumber(double value, const QLocale &locale)
{
    std::optional<TWDecimal> decimal = TWDecimal::fromDouble(value, 6);
    if (!decimal)
        return locale.toString(value, 'g', 15);
    decimal->trimFraction(0);
    return decimal->signedLocalized(locale, false);
}

const QString kTable = QStringLiteral("componentTable");

} // namespace

QVariantMap TWInvoiceOperation::settingsForColumnType(quint32 type) const
{
    if (type > 7)
        return QVariantMap();
    return settings(QString::fromLatin1(kColumnSpecs[type].settingsKey));
}

QString TWInvoiceOperation::headerLabel(quint32 type) const
{
    switch (type) {
    case 0:
        return m_data->itemDateLabel();
    case 1:
        return display(TWDisplayItemDescription) && !m_data->itemDescriptionLabel().isEmpty()
                   ? m_data->itemDescriptionLabel()
                   : m_data->itemNotesLabel();
    case 2:
        return m_data->itemTypeLabel();
    case 3:
        return m_data->itemQuantityLabel();
    case 4:
        return m_data->itemRateLabel();
    case 5:
        return m_data->itemSubtotalLabel();
    case 6:
        return m_data->itemTaxLabel();
    case 7:
        return m_data->itemTotalLabel();
    default:
        return QString();
    }
}

QString TWInvoiceOperation::invoiceItemString(const TWInvoiceItem &item, quint32 type) const
{
    if (type == 0)
        return item.date().isValid() ? m_formatter.shortDateString(item.date()) : QString();
    if (type == 1)
        return display(TWDisplayItemDescription) && !item.name().isEmpty() ? item.name()
                                                                           : QString();
    const TWTask *task =
        item.type() == TWInvoiceItemTypeTask ? static_cast<const TWTask *>(&item) : nullptr;
    const TWExpense *expense =
        item.type() == TWInvoiceItemTypeExpense ? static_cast<const TWExpense *>(&item) : nullptr;
    if (!task && !expense)
        return QString();
    switch (type) {
    case 2:
        if (task)
            return m_formatter.taskTypeString(task->taskType());
        return TWLocalized(expense->isCharge() ? "charge" : "expense");
    case 3:
        if (task && task->taskType() == TWTaskTypeTimed)
            return m_formatter.timeString(task->invoiceQuantity(), false, m_timeFormat);
        return plainNumber(task ? task->invoiceQuantity() : expense->invoiceQuantity(),
                           m_formatter.locale());
    case 4:
        return money(task ? task->rate() : expense->cost(), false);
    case 5:
        return money(task ? task->invoiceSubtotal() : expense->invoiceSubtotal(), false);
    case 6:
        return money(task ? task->invoiceTax() : expense->invoiceTax(), false);
    case 7:
        // The row's subtotal and tax added, so that the row adds up.
        return money(task
                         ? TWWorkArithmetic::add(task->invoiceSubtotal(), task->invoiceTax())
                         : TWWorkArithmetic::add(expense->invoiceSubtotal(), expense->invoiceTax()),
                     false);
    default:
        return QString();
    }
}

QRectF TWInvoiceOperation::headerBounds(quint32 type, double maximumWidth) const
{
    const QString label = headerLabel(type);
    if (label.isEmpty())
        return QRectF();
    return TWInvoiceGeometry::integral(measureText(
        label, tableAttributes(settings(QStringLiteral("componentTableHeaders"))), maximumWidth));
}

QRectF TWInvoiceOperation::invoiceItemsBounds(quint32 type, double maximumWidth) const
{
    const TWTextAttributes attributes = tableAttributes(settingsForColumnType(type));
    QRectF bounds;
    for (const TWInvoiceItemPtr &item : m_data->items()) {
        const QString text = invoiceItemString(*item, type);
        if (text.isEmpty())
            continue;
        bounds =
            TWInvoiceGeometry::integral(bounds.united(measureText(text, attributes, maximumWidth)));
    }
    return bounds;
}

TWTextAttributes TWInvoiceOperation::tableAttributes(const QVariantMap &settings) const
{
    TWTextAttributes attributes = attributesForSettings(settings);
    if (m_tableScale < 1.0 && attributes.hasFont && attributes.font.pointSizeF() > 0) {
        attributes.font.setPointSizeF(attributes.font.pointSizeF() * m_tableScale);
        attributes.maximumLineHeight = 0.75 * QFontMetricsF(attributes.font).height();
    }
    return attributes;
}

double TWInvoiceOperation::longestWord(const QString &text,
                                       const TWTextAttributes &attributes) const
{
    double widest = 0;
    for (const QString &word :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        widest = std::max(
            widest, TWInvoiceGeometry::integral(measureText(word, attributes, kNoLimit)).width());
    return widest;
}

double TWInvoiceOperation::longestHeaderWord(quint32 type) const
{
    return longestWord(headerLabel(type),
                       tableAttributes(settings(QStringLiteral("componentTableHeaders"))));
}

double TWInvoiceOperation::longestItemWord(quint32 type) const
{
    const TWTextAttributes attributes = tableAttributes(settingsForColumnType(type));
    double widest = 0;
    for (const TWInvoiceItemPtr &item : m_data->items())
        widest = std::max(widest, longestWord(invoiceItemString(*item, type), attributes));
    return widest;
}

const TWColumn *TWInvoiceOperation::columnOfType(quint32 type) const
{
    for (const TWColumn &column : m_columns) {
        if (column.type() == type)
            return &column;
    }
    return nullptr;
}

void TWInvoiceOperation::calculateBoundsTable()
{
    m_columns.clear();
    m_itemHeights.clear();
    const double stroke = actualStrokeWidth(settings(kTable));
    QList<quint32> types;
    for (const ColumnSpec &kind : kColumnSpecs) {
        const bool on = kind.type == 1
                            ? display(TWDisplayItemDescription) || display(TWDisplayItemNotes)
                            : display(kind.tag);
        if (on)
            types.append(kind.type);
    }
    if (types.isEmpty())
        return;
    QList<double> natural, minimum;
    int description = -1;
    // Where even the narrowest columns leave no room (amounts of trillions in
    // every money column), the table's texts are set smaller until they fit.
    m_tableScale = 1.0;
    const double gap = stroke > 0 ? 6 + stroke : 6;
    const double room = m_contentFrame.width() - double(types.size() + 1) * gap + 6;
    for (int attempt = 0; attempt < 8; ++attempt) {
        natural.clear();
        minimum.clear();
        double least = 0;
        for (qsizetype i = 0; i < types.size(); ++i) {
            const quint32 type = types.at(i);
            if (type == 1)
                description = int(i);
            const double cells = type == 1 ? 0 : invoiceItemsBounds(type, kNoLimit).width();
            natural.append(type == 1 ? 0 : std::max(headerBounds(type, kNoLimit).width(), cells));
            // Dates and numbers stay on one line; words of the headers, the
            // types and the descriptions stay whole.
            const bool unbroken = type == 0 || type >= 3;
            minimum.append(
                std::max(unbroken ? cells : longestItemWord(type), longestHeaderWord(type)));
            least += type == 1 ? std::min(100.0, minimum.last()) : minimum.last();
        }
        if (least <= room || room <= 0)
            break;
        m_tableScale *= std::max(0.5, room / least * 0.98);
    }
    const TWInvoiceGeometry::TableColumns placed = TWInvoiceGeometry::tableColumns(
        natural, minimum, description, m_contentFrame.width(), stroke);
    for (qsizetype i = 0; i < types.size(); ++i) {
        const double width = placed.widths.at(i);
        TWCellList cells{TWCell::cellWithValue(headerLabel(types.at(i)), QVariant(), QUrl(), 0, 0,
                                               0, 0, 0, false, true, false, 1)};
        m_columns.append(TWColumn::columnWithHeaderCells(
            cells, placed.offsets.at(i), QSizeF(width, headerBounds(types.at(i), width).height()),
            types.at(i)));
    }
    calculateBoundsTableValues();
    calculateBoundsTableTotals();
}

void TWInvoiceOperation::calculateBoundsTableValues()
{
    m_itemNotesHeights.clear();
    for (const TWInvoiceItemPtr &item : m_data->items()) {
        QList<double> heights;
        for (const TWColumn &column : std::as_const(m_columns)) {
            const QString text = invoiceItemString(*item, column.type());
            heights.append(
                text.isEmpty()
                    ? 0.0
                    : float(measureText(text, tableAttributes(settingsForColumnType(column.type())),
                                        column.size().width())
                                .height()));
        }
        m_itemHeights.insert(item.get(), heights);
        // The notes are measured once too: the page break keeps them with
        // their row.
        const QString notes = invoiceItemNotes(*item);
        if (!notes.isEmpty())
            m_itemNotesHeights.insert(
                item.get(), measureText(notes,
                                        attributesForSettings(
                                            settings(QStringLiteral("componentTableValuesNotes"))),
                                        columnOfType(1)->size().width())
                                .height());
    }
}

void TWInvoiceOperation::drawTableStart()
{
    if (m_columns.isEmpty())
        return;
    const double y0 = m_yOffset;
    const QVariantMap table = settings(kTable);
    const QVariantMap headers = settings(QStringLiteral("componentTableHeaders"));
    const TWTextAttributes headerAttributes = tableAttributes(headers);
    const bool rules = table.value(QStringLiteral("strokeStyle")).toInt() != 0;
    const double w = actualStrokeWidth(table);
    const TWColumn &last = m_columns.last();
    const double length = last.xOffset() + last.size().width() + 3 + w;
    const double left = m_contentFrame.x();
    const double bottom = m_contentFrame.y();

    drawFillRect(QRectF(left, bottom, m_contentFrame.width(), m_yOffset - bottom), table);
    if (rules) {
        m_yOffset -= w / 2;
        drawLine(QPointF(left, m_yOffset), QPointF(left + length, m_yOffset), table);
        m_yOffset -= w / 2 + 3;
    } else {
        m_yOffset -= 3;
    }
    double headerHeight = 0;
    for (const TWColumn &column : std::as_const(m_columns))
        headerHeight = std::max(headerHeight, column.size().height());
    drawFillRect(QRectF(left + w, m_yOffset - headerHeight - 3, m_contentFrame.width() - 2 * w,
                        headerHeight + 6),
                 headers);
    double rule = w / 2;
    for (const TWColumn &column : std::as_const(m_columns)) {
        if (rules) {
            drawLine(QPointF(left + rule, m_yOffset + 3), QPointF(left + rule, bottom), table);
            rule += column.size().width() + w;
        }
        const double columnTop = m_yOffset - headerHeight - 3 - w;
        drawFillRect(QRectF(left + column.xOffset() - 3, bottom, column.size().width() + 6,
                            columnTop - bottom),
                     settingsForColumnType(column.type()));
        const QString label =
            column.headerCells().isEmpty() ? QString() : column.headerCells().first().value();
        if (!label.isEmpty())
            drawText(label, headerAttributes,
                     QRectF(left + column.xOffset(), m_yOffset - column.size().height(),
                            column.size().width(), column.size().height()));
        rule += 6;
    }
    if (rules) {
        drawLine(QPointF(left + rule, m_yOffset + 3), QPointF(left + rule, bottom), table);
        m_yOffset -= headerHeight + 3 + w / 2;
        drawLine(QPointF(left, m_yOffset), QPointF(left + length, m_yOffset), table);
        m_yOffset -= w / 2;
    } else {
        m_yOffset -= headerHeight + 3;
    }
    m_tableHeaderHeight = y0 - m_yOffset;
}

QString TWInvoiceOperation::invoiceItemNotes(const TWInvoiceItem &item) const
{
    if (!display(TWDisplayItemNotes) || !columnOfType(1))
        return QString();
    QString notes;
    if (item.type() == TWInvoiceItemTypeTask)
        notes = static_cast<const TWTask &>(item).notes();
    else if (item.type() == TWInvoiceItemTypeExpense)
        notes = static_cast<const TWExpense &>(item).notes();
    if (notes.isEmpty() || m_data->itemNotesLabel().isEmpty())
        return notes;
    return m_data->itemNotesLabel() + QStringLiteral(" ") + notes;
}

double TWInvoiceOperation::invoiceItemNotesHeight(const TWInvoiceItem &item) const
{
    return m_itemNotesHeights.value(&item);
}

void TWInvoiceOperation::drawInvoiceItem(const TWInvoiceItem &item)
{
    const double rowHeight = invoiceItemHeight(item);
    const QList<double> heights = m_itemHeights.value(&item);
    const double left = m_contentFrame.x();
    const QString notes = invoiceItemNotes(item);
    const TWColumn *descriptionColumn = columnOfType(1);
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const TWColumn &column = m_columns.at(i);
        const QString text = invoiceItemString(item, column.type());
        if (text.isEmpty())
            continue;
        const double h = i < heights.size() ? heights.at(i) : 0;
        const double top = m_yOffset - (rowHeight - h) / 2;
        drawText(text, tableAttributes(settingsForColumnType(column.type())),
                 QRectF(left + column.xOffset(), top - h, column.size().width(), h));
    }
    m_yOffset -= rowHeight - 5;
    if (notes.isEmpty() || !descriptionColumn) {
        m_yOffset -= 5;
        return;
    }
    const QVariantMap notesSettings = settings(QStringLiteral("componentTableValuesNotes"));
    const TWTextAttributes attributes = attributesForSettings(notesSettings);
    const double width = descriptionColumn->size().width();
    const double height = invoiceItemNotesHeight(item);
    drawMultiPageStrings({notes}, {attributes}, {QRectF(0, 0, width, height)}, width, notesSettings,
                         QRectF(left + descriptionColumn->xOffset(), 0, width, height));
}

void TWInvoiceOperation::drawTableEnd()
{
    if (m_columns.isEmpty())
        return;
    const QVariantMap table = settings(kTable);
    const bool rules = table.value(QStringLiteral("strokeStyle")).toInt() != 0;
    const double w = actualStrokeWidth(table);
    const double left = m_contentFrame.x();
    const TWColumn &last = m_columns.last();
    if (rules) {
        m_yOffset -= 3 + w / 2;
        drawLine(QPointF(left, m_yOffset),
                 QPointF(left + last.xOffset() + last.size().width() + 3, m_yOffset), table);
        m_yOffset -= w / 2;
    } else {
        m_yOffset -= 3;
    }
    // Erase what the table start drew below the table's end.
    drawFillRect(QRectF(left - w / 2, m_contentFrame.y(), m_contentFrame.width() + 2 * w,
                        m_yOffset - m_contentFrame.y()),
                 QColor(Qt::white));
}
