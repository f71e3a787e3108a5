#include "TWPrint.h"

#include "TWBusiness.h"
#include "TWLocalized.h"
#include "TWUtilities.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>

namespace
{

TWError printError(const QString &description)
{
    return TWError(TWLocalized("printErrorDomain"), -1, description);
}

} // namespace

TWErrorResult twPrintPdf(const QByteArray &pdf, QPrinter &printer)
{
    QByteArray bytes = pdf;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    if (document.status() != QPdfDocument::Status::Ready)
        return printError(TWLocalized("printReadError").arg(int(document.error())));
    const int pages = document.pageCount();
    if (pages <= 0)
        return printError(TWLocalized("printNoPagesError"));

    QPainter painter;
    if (!painter.begin(&printer))
        return printError(TWLocalized("printStartError"));
    const int resolution = printer.resolution();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage()) {
            painter.end();
            return printError(TWLocalized("printStartError"));
        }
        // Points to printer dots: the page keeps its own size.
        const QSizeF points = document.pagePointSize(page);
        const QSize size(qRound(points.width() * resolution / 72.0),
                         qRound(points.height() * resolution / 72.0));
        const QImage image = document.render(page, size);
        if (image.isNull()) {
            painter.end();
            return printError(TWLocalized("printReadError").arg(page + 1));
        }
        painter.drawImage(QPoint(0, 0), image);
    }
    painter.end();
    return std::nullopt;
}

std::optional<qint32> twRegisterPrintView(const TWItem &item)
{
    switch (item.type()) {
    case TWItemTypeAccountGroup:
        return TWRegisterViewAccountGroup;
    case TWItemTypeAccount:
        return item.identifier();
    case TWItemTypeFilterGroup:
    case TWItemTypeFilter:
        return TWRegisterViewFilter;
    default:
        return std::nullopt;
    }
}

TWFieldList twRegisterPrintFields(const QVariantMap &layout, qint32 view,
                                  const TWBusiness &business)
{
    TWFieldList fields;
    const QVariantList entries = layout.value(TWColumnSettingsFieldsKey).toList();
    for (const QVariant &value : entries) {
        const QVariantMap entry = value.toMap();
        bool shown = false;
        for (const QVariant &visible : entry.value(TWColumnSettingsVisibleViewsKey).toList())
            if (visible.toInt() == view) {
                shown = true;
                break;
            }
        if (!shown)
            continue;
        if (TWFieldPtr field =
                business.fieldWithIdentifier(entry.value(TWColumnSettingsIdentifierKey).toInt()))
            fields.append(field);
    }
    return fields;
}

QHash<qint32, QString> twAttachmentFileNames(const TWTransactionList &transactions,
                                             TWBusiness &business)
{
    QHash<qint32, QString> names;
    QSet<QString> used;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction || !transaction->hasAttachments())
            continue;
        const std::optional<TWAttachmentList> &attachments =
            transaction->attachmentsWithBusiness(business);
        if (!attachments)
            continue;
        for (const TWAttachmentPtr &attachment : *attachments)
            if (attachment)
                names.insert(attachment->identifier(),
                             TWUtilities::uniqueFileName(attachment->fileName(), used));
    }
    return names;
}
