#include "platform/print/TWPrintSpooler.h"

#include <cups/cups.h>

#include <algorithm>

QList<QPair<QByteArray, QByteArray>> twSpoolOptions(const TWSpoolJob &job)
{
    QList<QPair<QByteArray, QByteArray>> options;
    if (job.copies > 1) {
        options.append({"copies", QByteArray::number(job.copies)});
        const QByteArray handling = job.collate ? "separate-documents-collated-copies"
                                                : "separate-documents-uncollated-copies";
        options.append({"multiple-document-handling", handling});
    }
    if (!job.sides.isEmpty())
        options.append({"sides", job.sides.toUtf8()});
    if (!job.pageRanges.isEmpty())
        options.append({"page-ranges", job.pageRanges.toUtf8()});
    return options;
}

std::optional<QString> twSpoolPdf(const QByteArray &pdf, const TWSpoolJob &job)
{
    if (job.printer.isEmpty())
        return QString();
    const QByteArray printer = job.printer.toUtf8();
    const QByteArray title = job.title.toUtf8();
    cups_option_t *options = nullptr;
    int count = 0;
    for (const auto &[name, value] : twSpoolOptions(job))
        count = cupsAddOption(name.constData(), value.constData(), count, &options);
    const int id =
        cupsCreateJob(CUPS_HTTP_DEFAULT, printer.constData(), title.constData(), count, options);
    cupsFreeOptions(count, options);
    if (id <= 0)
        return QString::fromUtf8(cupsLastErrorString());
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, printer.constData(), id, title.constData(),
                          CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE) {
        const QString message = QString::fromUtf8(cupsLastErrorString());
        cupsCancelJob2(CUPS_HTTP_DEFAULT, printer.constData(), id, 0);
        return message;
    }
    constexpr qsizetype kChunk = 64 * 1024;
    for (qsizetype at = 0; at < pdf.size(); at += kChunk) {
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData() + at,
                                 size_t(std::min(kChunk, pdf.size() - at))) !=
            HTTP_STATUS_CONTINUE) {
            const QString message = QString::fromUtf8(cupsLastErrorString());
            cupsFinishDocument(CUPS_HTTP_DEFAULT, printer.constData());
            cupsCancelJob2(CUPS_HTTP_DEFAULT, printer.constData(), id, 0);
            return message;
        }
    }
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, printer.constData()) != IPP_STATUS_OK)
        return QString::fromUtf8(cupsLastErrorString());
    return std::nullopt;
}
