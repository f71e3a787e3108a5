#include "invoicing/render/TWPdfInfo.h"

#include <QRegularExpression>

namespace
{

// A PDF text string: UTF-16BE with its byte-order mark, written in hex so no
// character needs escaping.
QByteArray textString(const QString &text)
{
    QByteArray bytes("<FEFF");
    for (const QChar c : text)
        bytes += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    bytes += '>';
    return bytes;
}

} // namespace

QByteArray TWPdfInfo::withInformation(const QByteArray &pdf, const TWPdfInformation &information)
{
    // The last trailer tells the object count and the catalogue.
    const qsizetype trailerAt = pdf.lastIndexOf("trailer");
    const qsizetype startAt = pdf.lastIndexOf("startxref");
    if (trailerAt < 0 || startAt < trailerAt)
        return pdf;
    const QString trailer = QString::fromLatin1(pdf.mid(trailerAt, startAt - trailerAt));
    static const QRegularExpression sizePattern(QStringLiteral("/Size\\s+(\\d+)"));
    static const QRegularExpression rootPattern(QStringLiteral("/Root\\s+(\\d+\\s+\\d+\\s+R)"));
    static const QRegularExpression startPattern(QStringLiteral("startxref\\s+(\\d+)"));
    const QRegularExpressionMatch size = sizePattern.match(trailer);
    const QRegularExpressionMatch root = rootPattern.match(trailer);
    const QRegularExpressionMatch start =
        startPattern.match(QString::fromLatin1(pdf.mid(startAt, 64)));
    if (!size.hasMatch() || !root.hasMatch() || !start.hasMatch())
        return pdf;
    const qint64 object = size.captured(1).toLongLong();

    QByteArray result = pdf;
    if (!result.endsWith('\n'))
        result += '\n';
    const qint64 objectOffset = result.size();
    QByteArray dictionary("<<");
    const auto entry = [&dictionary](const char *key, const QString &value) {
        if (!value.isNull())
            dictionary += QByteArray(" /") + key + ' ' + textString(value);
    };
    entry("Title", information.title);
    entry("Author", information.author);
    entry("Creator", information.creator);
    entry("Producer", information.producer);
    dictionary += " >>";
    result += QByteArray::number(object) + " 0 obj\n" + dictionary + "\nendobj\n";
    const qint64 xrefOffset = result.size();
    result += "xref\n" + QByteArray::number(object) + " 1\n" +
              QByteArray::number(objectOffset).rightJustified(10, '0') + " 00000 n \n";
    result += "trailer\n<< /Size " + QByteArray::number(object + 1) + " /Root " +
              root.captured(1).toLatin1() + " /Info " + QByteArray::number(object) + " 0 R /Prev " +
              start.captured(1).toLatin1() + " >>\nstartxref\n" + QByteArray::number(xrefOffset) +
              "\n%%EOF\n";
    return result;
}
