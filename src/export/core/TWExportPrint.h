#pragma once
// Printing a register: its rows become a transactions export table with the
// printed columns, laid out by the PDF writer on the printer's pages.

#include "TWField.h"
#include "TWTransaction.h"

#include <QByteArray>
#include <QHash>
#include <QPageLayout>

#include <optional>

class TWBusiness;

namespace TWExportPrint
{

// The PDF of the register's rows (in display order) with the given columns;
// pages of the printer's paper when a page layout is given.
QByteArray registerPDF(TWBusiness *business, const TWTransactionList &transactions,
                       const TWFieldList &fields, const QHash<qint32, QString> &attachmentFileNames,
                       const std::optional<QPageLayout> &pageLayout);

} // namespace TWExportPrint
