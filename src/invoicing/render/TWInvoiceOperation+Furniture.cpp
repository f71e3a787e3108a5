// What every page carries: the layout's images, the page frame, the page
// number, the header and footer texts, and the paid or overdue stamp.

#include "invoicing/render/TWInvoiceOperation.h"

#include "invoicing/render/TWInvoiceGeometry.h"

#include <QPainter>

QRectF TWInvoiceOperation::pageImageRect(const QRectF &rect) const
{
    // The layout measures from the paper's top-left corner, y downwards.
    const QRectF placed(rect.x(), m_pageSize.height() - rect.y() - rect.height(), rect.width(),
                        rect.height());
    // Layouts are drawn up on a US Letter page: on shorter paper an image
    // that lies on such a page but would fall off this one keeps its
    // distance from the paper's bottom instead of being lost.
    constexpr double kLayoutPageHeight = 792;
    if (placed.y() < 0 && rect.y() + rect.height() <= kLayoutPageHeight)
        return QRectF(rect.x(), kLayoutPageHeight - rect.y() - rect.height(), rect.width(),
                      rect.height());
    return placed;
}

void TWInvoiceOperation::drawPageImages()
{
    const QVariantList images = m_layoutSettings.value(QStringLiteral("images")).toList();
    for (const QVariant &entry : images) {
        const QVariantMap image = entry.toMap();
        drawImage(image.value(QStringLiteral("image")).value<QImage>(),
                  pageImageRect(image.value(QStringLiteral("rect")).toRectF()),
                  image.value(QStringLiteral("alpha")).toFloat());
    }
}

void TWInvoiceOperation::drawPageStrokeFill()
{
    drawStrokeFillRect(m_pageFrame, false, settings(QStringLiteral("page")));
}

void TWInvoiceOperation::drawBand(const char *key, const QString &text)
{
    const QString bandKey = QString::fromLatin1(key);
    const QVariantMap bandSettings = settings(bandKey);
    const QRectF frame = m_strokeFrames.value(bandKey);
    const QRectF textRect = m_stringBounds.value(bandKey).translated(frame.topLeft());
    drawStrokeFillRect(frame, false, bandSettings);
    drawText(text, attributesForSettings(bandSettings), textRect);
}

void TWInvoiceOperation::drawPageNumber()
{
    if (!display(TWDisplayPageNumber))
        return;
    const QString &label = m_data->headerPageLabel();
    const QString number = QString::number(m_pageNumber);
    drawBand("number", label.isNull() ? number : label + QLatin1Char(' ') + number);
}

void TWInvoiceOperation::drawPageHeader()
{
    if (display(TWDisplayHeader) && !m_data->invoiceHeader().isEmpty())
        drawBand("header", m_data->invoiceHeader());
}

void TWInvoiceOperation::drawPageFooter()
{
    if (display(TWDisplayFooter) && !m_data->invoiceFooter().isEmpty())
        drawBand("footer", m_data->invoiceFooter());
}

void TWInvoiceOperation::drawPageOverlay()
{
    QString text;
    QVariantMap stamp;
    if (display(TWDisplayPaidOverlay) && m_data->invoicePaid() &&
        !m_data->invoicePaidLabel().isEmpty()) {
        text = m_data->invoicePaidLabel();
        stamp = settings(QStringLiteral("overlayPaid"));
    } else if (!m_data->invoicePaid() && display(TWDisplayOverdueOverlay) &&
               m_data->invoiceDueDate().isValid() && m_data->invoiceDueDate() < m_now &&
               !m_data->invoiceOverdueLabel().isEmpty()) {
        // A paid invoice is never stamped overdue, whatever its paid stamp.
        text = m_data->invoiceOverdueLabel();
        stamp = settings(QStringLiteral("overlayOverdue"));
    } else {
        return;
    }
    if (!m_painter)
        return;
    const TWTextAttributes attributes = attributesForSettings(stamp);
    const QRectF size = measureText(text, attributes, 1.0e6);
    const double inset = actualStrokeWidth(stamp) + 3;
    const QRectF textRect(-size.width() / 2, -size.height() / 2, size.width(), size.height());
    const QRectF frame = textRect.adjusted(-inset, -inset, inset, inset);

    // Drawn about the centre of the printable area: page space there is
    // y-up with the origin at the centre, which the painter sees as a page
    // of height 0 (y flipped about the origin).
    m_painter->save();
    const QPointF centre = TWInvoiceGeometry::toPainter(m_pageFrame.center(), m_pageSize.height());
    m_painter->translate(centre);
    // Counter-clockwise on the page is clockwise in the painter's y-down space.
    m_painter->rotate(-stamp.value(QStringLiteral("angle")).toInt());
    const QSizeF pageSize = m_pageSize;
    m_pageSize = QSizeF(pageSize.width(), 0);
    drawStrokeFillRect(frame, true, stamp);
    drawText(text, attributes, textRect);
    m_pageSize = pageSize;
    m_painter->restore();
}
