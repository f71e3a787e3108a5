// The page's components: client, business and title blocks, the invoice
// information table and the details (terms and notes).

#include "invoicing/render/TWInvoiceOperation.h"

#include "invoicing/render/TWInvoiceGeometry.h"
#include "model/TWUtilities.h"

#include <QUrl>

#include <algorithm>

namespace
{

// A link target the PDF engine can copy as it stands: ASCII, with the
// characters that would end or escape a PDF string percent-encoded.
QString pdfSafeHref(const QUrl &url)
{
    if (!url.isValid() || url.isEmpty())
        return QString();
    QString href = QString::fromLatin1(url.toEncoded());
    href.replace(QLatin1Char('('), QStringLiteral("%28"))
        .replace(QLatin1Char(')'), QStringLiteral("%29"))
        .replace(QLatin1Char('\\'), QStringLiteral("%5C"));
    return href;
}

// An image's size in points at the resolution it records.
QSizeF imagePointSize(const QImage &image)
{
    const double x = qRound(image.dotsPerMeterX() * 0.0254);
    const double y = qRound(image.dotsPerMeterY() * 0.0254);
    return QSizeF(x > 1 ? image.width() * 72.0 / x : image.width(),
                  y > 1 ? image.height() * 72.0 / y : image.height());
}

} // namespace

QList<TWInvoiceOperation::PartSpec> TWInvoiceOperation::clientParts() const
{
    return {{"componentClientTo", TWDisplayClientTo, m_data->clientToLabel(), {}},
            {"componentClientName", TWDisplayClientName, m_data->clientName(), {}},
            {"componentClientCompany", TWDisplayClientCompany, m_data->clientCompany(), {}},
            {"componentClientAddress", TWDisplayClientAddress, m_data->clientAddress(), {}}};
}

QList<TWInvoiceOperation::PartSpec> TWInvoiceOperation::businessParts() const
{
    const auto labelled = [](const QString &label, const QString &number) {
        if (number.isEmpty())
            return QString();
        return label.isEmpty() ? number : label + QLatin1Char(' ') + number;
    };
    QString mailto;
    if (!m_data->businessEmail().isEmpty()) {
        QUrl url;
        url.setScheme(QStringLiteral("mailto"));
        url.setPath(m_data->businessEmail(), QUrl::DecodedMode);
        mailto = pdfSafeHref(url);
    }
    const QUrl &website = m_data->businessWebsite();
    PartSpec logo{"componentBusinessLogo", TWDisplayBusinessLogo, QString(), {}, true};
    return {logo,
            {"componentBusinessFrom", TWDisplayBusinessFrom, m_data->businessFromLabel(), {}},
            {"componentBusinessName", TWDisplayBusinessName, m_data->businessName(), {}},
            {"componentBusinessAddress", TWDisplayBusinessAddress, m_data->businessAddress(), {}},
            {"componentBusinessPhone",
             TWDisplayBusinessPhone,
             labelled(m_data->businessPhoneLabel(), m_data->businessPhone()),
             {}},
            {"componentBusinessFax",
             TWDisplayBusinessFax,
             labelled(m_data->businessFaxLabel(), m_data->businessFax()),
             {}},
            {"componentBusinessEmail", TWDisplayBusinessEmail, m_data->businessEmail(), mailto},
            {"componentBusinessWebsite", TWDisplayBusinessWebsite,
             website.isEmpty() ? QString() : website.toString(), pdfSafeHref(website)}};
}

QList<TWInvoiceOperation::PartSpec> TWInvoiceOperation::titleParts() const
{
    return {{"componentTitle",
             TWDisplayTitle,
             m_data->isInvoice() ? m_data->invoiceTitleInvoiceLabel()
                                 : m_data->invoiceTitleEstimateLabel(),
             {}}};
}

void TWInvoiceOperation::measureComponent(const char *key, const QList<PartSpec> &parts, bool title)
{
    const QVariantMap component = settings(QString::fromLatin1(key));
    const double stroke = actualStrokeWidth(component);
    const double inset = stroke > 0 ? stroke + 3 : stroke;
    const double width = stroke > 0 ? m_columnWidth - 2 * inset : m_columnWidth;
    QList<QRectF> measured;
    double widest = 0;
    double height = 0;
    for (const PartSpec &part : parts) {
        QRectF rect;
        if (part.image) {
            if (display(part.tag) && !m_data->businessLogo().isNull())
                rect =
                    QRectF(QPointF(), TWUtilities::scaleSize(imagePointSize(m_data->businessLogo()),
                                                             QSizeF(width, width)));
        } else if (display(part.tag) && !part.text.isEmpty()) {
            const QVariantMap partSettings =
                title ? component : settings(QString::fromLatin1(part.key));
            rect = measureText(part.text, attributesForSettings(partSettings), width);
        }
        measured.append(rect);
        widest = std::max(widest, rect.width());
        height += rect.height();
    }
    const QRectF frame =
        TWInvoiceGeometry::integral(QRectF(0, 0, widest + 2 * inset, height + 2 * inset));
    m_strokeFrames.insert(QString::fromLatin1(key), frame);
    double y = frame.height() - inset;
    const double textWidth = frame.width() - 2 * inset;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QRectF &rect = measured.at(i);
        if (rect.width() <= 0 || rect.height() <= 0)
            continue;
        y -= rect.height();
        m_stringBounds.insert(
            QString::fromLatin1(parts.at(i).key),
            TWInvoiceGeometry::integral(QRectF(inset, y, textWidth, rect.height())));
    }
}

void TWInvoiceOperation::drawComponent(const char *key, const QList<PartSpec> &parts, bool title)
{
    const QString componentKey = QString::fromLatin1(key);
    const QVariantMap component = settings(componentKey);
    const QRectF frame = m_strokeFrames.value(componentKey).translated(0, m_yOffset);
    drawStrokeFillRect(frame, false, component);
    for (const PartSpec &part : parts) {
        const QString partKey = QString::fromLatin1(part.key);
        const auto stored = m_stringBounds.constFind(partKey);
        if (stored == m_stringBounds.cend() || !display(part.tag))
            continue;
        const QRectF target = stored->translated(frame.topLeft());
        if (part.image) {
            drawImage(m_data->businessLogo(), target, 1.0);
        } else if (!part.text.isEmpty()) {
            TWTextAttributes attributes =
                attributesForSettings(title ? component : settings(partKey));
            attributes.href = part.href;
            drawText(part.text, attributes, target);
        }
    }
}

QList<TWInvoiceOperation::InvoiceRow> TWInvoiceOperation::invoiceRows() const
{
    const auto date = [this](const QDateTime &value) {
        return value.isValid() ? m_formatter.shortDateString(value) : QString();
    };
    return {{TWDisplayInvoiceName, "componentInvoiceNameLabel", m_data->invoiceNameLabel(),
             "componentInvoiceName", m_data->invoiceName()},
            {TWDisplayInvoiceNumber, "componentInvoiceNumberLabel", m_data->invoiceNumberLabel(),
             "componentInvoiceNumber", m_data->invoiceNumber()},
            {TWDisplayInvoiceDate, "componentInvoiceDateLabel", m_data->invoiceDateLabel(),
             "componentInvoiceDate", date(m_data->invoiceDate())},
            {TWDisplayInvoiceDueDate, "componentInvoiceDueDateLabel", m_data->invoiceDueDateLabel(),
             "componentInvoiceDueDate", date(m_data->invoiceDueDate())}};
}

void TWInvoiceOperation::calculateBoundsInvoice()
{
    const QVariantMap component = settings(QStringLiteral("componentInvoice"));
    const double stroke = actualStrokeWidth(component);
    const double inset = stroke > 0 ? stroke + 3 : stroke;
    const double width = stroke > 0 ? m_columnWidth - 2 * inset - 5 : m_columnWidth - 5;
    const QList<InvoiceRow> rows = invoiceRows();
    QList<QRectF> labels;
    QList<QRectF> values;
    double labelWidth = 0;
    double valueWidth = 0;
    for (const InvoiceRow &row : rows) {
        QRectF label;
        QRectF value;
        if (display(row.tag)) {
            if (!row.label.isEmpty())
                label = measureText(
                    row.label, attributesForSettings(settings(QString::fromLatin1(row.labelKey))),
                    width);
            if (!row.value.isEmpty())
                value = measureText(
                    row.value, attributesForSettings(settings(QString::fromLatin1(row.valueKey))),
                    width);
        }
        labels.append(label);
        values.append(value);
        labelWidth = std::max(labelWidth, label.width());
        valueWidth = std::max(valueWidth, value.width());
    }
    if (labelWidth + valueWidth > width) {
        // The values give way first, but never below half the block: a long
        // label wraps rather than squeezing its value to nothing.
        if (labelWidth > width / 2)
            labelWidth = std::max(width - valueWidth, width / 2);
        valueWidth = width - labelWidth;
        // Each row is as tall as its texts laid out at the widths they are
        // drawn at, so the next row starts below a wrapped name.
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const InvoiceRow &row = rows.at(i);
            if (!labels.at(i).isEmpty())
                labels[i] = measureText(
                    row.label, attributesForSettings(settings(QString::fromLatin1(row.labelKey))),
                    labelWidth);
            if (!values.at(i).isEmpty())
                values[i] = measureText(
                    row.value, attributesForSettings(settings(QString::fromLatin1(row.valueKey))),
                    valueWidth);
        }
    }
    double height = 2 * inset;
    for (qsizetype i = 0; i < rows.size(); ++i)
        height += std::max(labels.at(i).height(), values.at(i).height());
    const QRectF frame =
        TWInvoiceGeometry::integral(QRectF(0, 0, 2 * inset + labelWidth + 5 + valueWidth, height));
    m_strokeFrames.insert(QStringLiteral("componentInvoice"), frame);
    double y = frame.height() - inset;
    const auto empty = [](const QRectF &rect) { return rect.width() <= 0 || rect.height() <= 0; };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QRectF &label = labels.at(i);
        const QRectF &value = values.at(i);
        if (empty(label) && empty(value))
            continue;
        // Label and value share the row's bottom edge (y grows upward): a
        // one-line label sits level with the last line of a wrapped value.
        // The taller sets where the next row starts.
        y -= std::max(label.height(), value.height());
        if (!empty(label))
            m_stringBounds.insert(
                QString::fromLatin1(rows.at(i).labelKey),
                TWInvoiceGeometry::integral(QRectF(inset, y, labelWidth, label.height())));
        if (!empty(value))
            m_stringBounds.insert(QString::fromLatin1(rows.at(i).valueKey),
                                  TWInvoiceGeometry::integral(QRectF(inset + labelWidth + 5, y,
                                                                     valueWidth, value.height())));
    }
}

void TWInvoiceOperation::drawInvoice()
{
    const QVariantMap component = settings(QStringLiteral("componentInvoice"));
    const QRectF frame =
        m_strokeFrames.value(QStringLiteral("componentInvoice")).translated(0, m_yOffset);
    drawStrokeFillRect(frame, false, component);
    for (const InvoiceRow &row : invoiceRows()) {
        if (!display(row.tag))
            continue;
        const QString labelKey = QString::fromLatin1(row.labelKey);
        const QString valueKey = QString::fromLatin1(row.valueKey);
        if (!row.label.isEmpty() && m_stringBounds.contains(labelKey))
            drawText(row.label, attributesForSettings(settings(labelKey)),
                     m_stringBounds.value(labelKey).translated(frame.topLeft()));
        if (!row.value.isEmpty() && m_stringBounds.contains(valueKey))
            drawText(row.value, attributesForSettings(settings(valueKey)),
                     m_stringBounds.value(valueKey).translated(frame.topLeft()));
    }
}

QList<TWInvoiceOperation::PartSpec> TWInvoiceOperation::detailParts() const
{
    return {{"componentDetailsTerms", TWDisplayDetailsTerms, m_data->invoiceTerms(), {}},
            {"componentDetailsNotes", TWDisplayDetailsNotes, m_data->invoiceNotes(), {}}};
}

void TWInvoiceOperation::calculateBoundsDetails()
{
    const QVariantMap component = settings(QStringLiteral("componentDetails"));
    const double stroke = actualStrokeWidth(component);
    const double inset = stroke > 0 ? stroke + 3 : stroke;
    const double width = stroke > 0 ? m_contentFrame.width() - 2 * inset : m_contentFrame.width();
    const QList<PartSpec> parts = detailParts();
    QRectF measured[2];
    for (int i = 0; i < 2; ++i) {
        if (display(parts[i].tag) && !parts[i].text.isEmpty())
            measured[i] = measureText(
                parts[i].text, attributesForSettings(settings(QString::fromLatin1(parts[i].key))),
                width);
    }
    const QRectF frame = TWInvoiceGeometry::integral(
        QRectF(0, 0, std::max(measured[0].width(), measured[1].width()) + 2 * inset,
               measured[0].height() + measured[1].height() + 2 * inset));
    m_strokeFrames.insert(QStringLiteral("componentDetails"), frame);
    for (int i = 0; i < 2; ++i) {
        if (measured[i].width() <= 0 || measured[i].height() <= 0)
            continue;
        m_stringBounds.insert(QString::fromLatin1(parts[i].key),
                              TWInvoiceGeometry::integral(QRectF(
                                  inset, inset, frame.width() - 2 * inset, measured[i].height())));
    }
}

void TWInvoiceOperation::drawDetails()
{
    QStringList strings;
    QList<TWTextAttributes> attributes;
    QList<QRectF> rects;
    const QList<PartSpec> parts = detailParts();
    for (const auto &part : parts) {
        const QString key = QString::fromLatin1(part.key);
        if (!display(part.tag) || part.text.isEmpty() || !m_stringBounds.contains(key))
            continue;
        strings.append(part.text);
        attributes.append(attributesForSettings(settings(key)));
        rects.append(m_stringBounds.value(key));
    }
    if (strings.isEmpty())
        return;
    drawMultiPageStrings(strings, attributes, rects, m_contentFrame.width(),
                         settings(QStringLiteral("componentDetails")),
                         m_strokeFrames.value(QStringLiteral("componentDetails")));
}
