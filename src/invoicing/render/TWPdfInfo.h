#pragma once
// Sets a finished PDF's document information, author included, which
// QPdfWriter cannot write: appends an incremental update (a new Info
// dictionary, one cross-reference subsection and a trailer pointing back at
// the previous one). The original bytes stay as they were.

#include <QByteArray>
#include <QString>

struct TWPdfInformation {
    QString title;
    QString author;
    QString creator;
    QString producer;
};

class TWPdfInfo
{
public:
    // `pdf` with the information added; `pdf` unchanged when its trailer
    // cannot be read.
    static QByteArray withInformation(const QByteArray &pdf, const TWPdfInformation &information);
};
