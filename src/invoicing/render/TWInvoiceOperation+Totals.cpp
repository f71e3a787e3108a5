// The totals block under the item table: subtotal, tax, previous balance and
// payments, then the amount due. The amounts are the sums of the printed
// lines' own, so that the page adds up; the receivable entry books the tax by
// rate groups and may differ from them by a minor unit or so.

#include "invoicing/render/TWInvoiceOperation.h"

#include "invoicing/render/TWInvoiceGeometry.h"
#include "model/TWExpense.h"
#include "model/TWInvoice.h"
#include "model/TWTask.h"
#include "model/TWWorkArithmetic.h"

#include <algorithm>

namespace
{

struct Lines {
    TWTaskList tasks;
    TWExpenseList expenses;
};

Lines linesOf(const TWInvoiceItemList &items)
{
    Lines lines;
    for (const TWInvoiceItemPtr &item : items) {
        if (item->type() == TWInvoiceItemTypeTask)
            lines.tasks.append(std::static_pointer_cast<TWTask>(item));
        else if (item->type() == TWInvoiceItemTypeExpense)
            lines.expenses.append(std::static_pointer_cast<TWExpense>(item));
    }
    return lines;
}

bool isEmpty(const QRectF &rect)
{
    return rect.width() <= 0 || rect.height() <= 0;
}

const QString kTotals = QStringLiteral("componentTableTotals");
const QString kHeaders = QStringLiteral("componentTableTotalsHeaders");
const QString kValues = QStringLiteral("componentTableTotalsValues");
const QString kDueHeader = QStringLiteral("componentTableTotalsDueHeader");
const QString kDueValue = QStringLiteral("componentTableTotalsDueValue");

} // namespace

qint64 TWInvoiceOperation::invoiceSubtotalTotal() const
{
    const Lines lines = linesOf(m_data->items());
    return TWInvoice::invoiceSubtotalTotal(lines.tasks, lines.expenses);
}

qint64 TWInvoiceOperation::invoiceTaxTotal() const
{
    const Lines lines = linesOf(m_data->items());
    qint64 tax = 0;
    for (const TWTaskPtr &task : lines.tasks)
        tax = TWWorkArithmetic::add(tax, task->invoiceTax());
    for (const TWExpensePtr &expense : lines.expenses)
        tax = TWWorkArithmetic::add(tax, expense->invoiceTax());
    return tax;
}

qint64 TWInvoiceOperation::invoiceBalanceTotal() const
{
    return m_data->balance();
}

qint64 TWInvoiceOperation::invoicePaymentsTotal() const
{
    return m_data->payments();
}

qint64 TWInvoiceOperation::invoiceTotal() const
{
    // Subtotal and tax as printed, added: a line's total taken whole may
    // round a minor unit away from its subtotal and tax.
    qint64 total = TWWorkArithmetic::add(invoiceSubtotalTotal(), invoiceTaxTotal());
    if (display(TWDisplayTotalBalance))
        total = TWWorkArithmetic::add(total, m_data->balance());
    if (display(TWDisplayTotalPayments))
        total = TWWorkArithmetic::subtract(total, m_data->payments());
    return total;
}

QList<TWInvoiceOperation::TotalLine> TWInvoiceOperation::totalLines() const
{
    return {
        {TWDisplayTotalSubtotal, m_data->totalSubtotalLabel(), invoiceSubtotalTotal()},
        {TWDisplayTotalTax, m_data->totalTaxLabel(), invoiceTaxTotal()},
        {TWDisplayTotalBalance, m_data->totalBalanceLabel(), invoiceBalanceTotal()},
        {TWDisplayTotalPayments, m_data->totalPaymentsLabel(), invoicePaymentsTotal()},
    };
}

void TWInvoiceOperation::calculateBoundsTableTotals()
{
    const double w = actualStrokeWidth(settings(QStringLiteral("componentTable")));
    const double e = w + 3;
    const TWTextAttributes labelAttributes = attributesForSettings(settings(kHeaders));
    const TWTextAttributes valueAttributes = attributesForSettings(settings(kValues));
    const QList<TotalLine> lines = totalLines();
    QRectF h, v, dh, dv;
    int count = 0;
    for (const auto &line : lines) {
        if (!display(line.tag))
            continue;
        if (!line.label.isEmpty())
            h = h.united(measureText(line.label, labelAttributes, 1.0e6));
        const QString amount = money(line.amount, true);
        if (!amount.isEmpty())
            v = v.united(measureText(amount, valueAttributes, 1.0e6));
        ++count;
    }
    if (!isEmpty(h))
        h = TWInvoiceGeometry::integral(QRectF(e, e, h.width(), h.height()));
    if (display(TWDisplayTotalDue)) {
        if (!m_data->totalDueLabel().isEmpty())
            dh = measureText(m_data->totalDueLabel(), attributesForSettings(settings(kDueHeader)),
                             1.0e6);
        const QString due = money(invoiceTotal(), true);
        if (!due.isEmpty())
            dv = measureText(due, attributesForSettings(settings(kDueValue)), 1.0e6);
    }
    const double labelWidth = std::max(h.width(), dh.width());
    if (!isEmpty(h))
        h = TWInvoiceGeometry::integral(QRectF(h.x(), h.y(), labelWidth, h.height()));
    if (!isEmpty(dh) || !isEmpty(h))
        dh.setWidth(std::max(labelWidth, dh.width()));
    if (isEmpty(dh) && !isEmpty(dv))
        dh = QRectF(0, 0, 0, dv.height());
    const double valueWidth = std::max(v.width(), dv.width());
    if (!isEmpty(v))
        v.setWidth(valueWidth);
    if (!isEmpty(dv))
        dv.setWidth(valueWidth);
    v.moveTo(isEmpty(h) ? QPointF(e, e) : QPointF(h.x() + h.width() + e + 3, e));
    dh = TWInvoiceGeometry::integral(QRectF(e, e, dh.width(), dh.height()));
    dv.moveTo(dh.x() + dh.width() + e + 3, e);

    double width = h.width() + v.width() + 2 * e;
    if ((!isEmpty(h) && !isEmpty(v)) || (!isEmpty(dh) && !isEmpty(dv)))
        width += e + 3;
    double height =
        count * std::max(h.height(), v.height()) + std::max(dh.height(), dv.height()) + 2 * e;
    if (!isEmpty(dh) || !isEmpty(dv))
        height += e + 3;
    m_strokeFrames.insert(kTotals, TWInvoiceGeometry::integral(QRectF(0, 0, width, height)));
    const auto store = [this](const QString &key, const QRectF &rect) {
        if (!isEmpty(rect))
            m_stringBounds.insert(key, rect);
    };
    store(kHeaders, h);
    store(kValues, v);
    store(kDueHeader, dh);
    store(kDueValue, dv);
}

void TWInvoiceOperation::drawTotals()
{
    const QRectF h = m_stringBounds.value(kHeaders);
    const QRectF v = m_stringBounds.value(kValues);
    const QRectF dh = m_stringBounds.value(kDueHeader);
    const QRectF dv = m_stringBounds.value(kDueValue);
    if (isEmpty(h) && isEmpty(v) && isEmpty(dh) && isEmpty(dv))
        return;
    const QVariantMap table = settings(QStringLiteral("componentTable"));
    const double w = actualStrokeWidth(table);
    const double e = w + 3;
    const double lineHeight = std::max(h.height(), v.height());
    const double dueHeight = std::max(dh.height(), dv.height());
    const double g = (!isEmpty(dh) || !isEmpty(dv)) ? e : 0;
    const QSizeF size = m_strokeFrames.value(kTotals).size();

    bool broke = false;
    if (m_yOffset - size.height() < m_contentFrame.y()) {
        newPage();
        broke = true;
    }
    const QRectF block(m_contentFrame.x() + m_contentFrame.width() - size.width(),
                       m_yOffset - size.height(), size.width(), size.height());
    const double top = block.y() + block.height();
    drawFillRect(block, table);

    const double upperBottom = block.y() + dueHeight + g;
    if (!isEmpty(h))
        drawFillRect(QRectF(block.x(), upperBottom, h.width() + 2 * e, top - upperBottom),
                     settings(kHeaders));
    if (!isEmpty(v)) {
        const double x = isEmpty(h) ? block.x() : block.x() + h.width() + e + 3;
        drawFillRect(QRectF(x, upperBottom, v.width() + 2 * e, top - upperBottom),
                     settings(kValues));
    }
    if (!isEmpty(dh))
        drawFillRect(QRectF(block.x(), block.y(), dh.width() + 2 * e, dueHeight + g + e),
                     settings(kDueHeader));
    if (!isEmpty(dv)) {
        const double x = isEmpty(dh) ? block.x() : block.x() + dh.width() + e + 3;
        drawFillRect(QRectF(x, block.y(), dv.width() + 2 * e, dueHeight + g + e),
                     settings(kDueValue));
    }

    if (table.value(QStringLiteral("strokeStyle")).toInt() != 0) {
        const double half = w / 2;
        const double right = block.x() + block.width();
        if (broke)
            drawLine(QPointF(block.x(), top - half), QPointF(right, top - half), table);
        double rule = block.x() + half;
        drawLine(QPointF(rule, top), QPointF(rule, block.y()), table);
        if (!isEmpty(h) || !isEmpty(dh)) {
            rule += std::max(h.width(), dh.width()) + w + 6;
            drawLine(QPointF(rule, top), QPointF(rule, block.y()), table);
        }
        rule += std::max(v.width(), dv.width()) + w + 6;
        drawLine(QPointF(rule, top), QPointF(rule, block.y()), table);
        if (display(TWDisplayTotalDue)) {
            const double y = block.y() + e + dueHeight + 3 + half;
            drawLine(QPointF(block.x(), y), QPointF(right, y), table);
        }
        drawLine(QPointF(block.x(), block.y() + half), QPointF(right, block.y() + half), table);
    }

    const TWTextAttributes labelAttributes = attributesForSettings(settings(kHeaders));
    const TWTextAttributes valueAttributes = attributesForSettings(settings(kValues));
    const QList<TotalLine> lines = totalLines();
    double slotTop = top - e;
    for (const auto &line : lines) {
        if (!display(line.tag))
            continue;
        const auto centred = [&](const QRectF &column, const QString &text,
                                 const TWTextAttributes &attributes) {
            const double textHeight = measureText(text, attributes, column.width() + 0.01).height();
            drawText(text, attributes,
                     QRectF(block.x() + column.x(), slotTop - (lineHeight + textHeight) / 2,
                            column.width(), textHeight));
        };
        if (!line.label.isEmpty())
            centred(h, line.label, labelAttributes);
        const QString amount = money(line.amount, true);
        if (!amount.isEmpty())
            centred(v, amount, valueAttributes);
        slotTop -= lineHeight;
    }
    if (display(TWDisplayTotalDue)) {
        const double dueTop = block.y() + e + dueHeight;
        const auto centred = [&](const QRectF &column, const QString &text, const QString &key) {
            const TWTextAttributes attributes = attributesForSettings(settings(key));
            const double textHeight = measureText(text, attributes, column.width() + 0.01).height();
            drawText(text, attributes,
                     QRectF(block.x() + column.x(), dueTop - (dueHeight + textHeight) / 2,
                            column.width(), textHeight));
        };
        if (!m_data->totalDueLabel().isEmpty())
            centred(dh, m_data->totalDueLabel(), kDueHeader);
        const QString due = money(invoiceTotal(), true);
        if (!due.isEmpty())
            centred(dv, due, kDueValue);
    }
    m_yOffset -= size.height();
}
