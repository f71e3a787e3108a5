// The documents tables: every shape of an invoice, a credit note, an invoice
// without lines, a bill and a bill credit, put through each operation and
// read as the lists, the printed page and the books show it. One table a kind
// of document, each compared row by row with its kept file.

#include "BehaviourTable.h"
#include "DocumentShapes.h"

#include <gtest/gtest.h>

namespace
{

void checkDocuments(int document, const char *fileName)
{
    TWBehaviourTable table(QString::fromLatin1(fileName), twDocumentColumns(), twDocumentKeys());
    for (const TWDocumentShape &shape : twDocumentShapes())
        if (shape.document == document)
            table.add(twDocumentRow(shape));
    twCheckBehaviourTable(table);
}

TEST(DocumentsTable, Invoices)
{
    checkDocuments(0, "documents-invoice.table");
}

TEST(DocumentsTable, CreditNotes)
{
    checkDocuments(1, "documents-credit-note.table");
}

TEST(DocumentsTable, InvoicesWithoutLines)
{
    checkDocuments(2, "documents-invoice-without-lines.table");
}

TEST(DocumentsTable, Bills)
{
    checkDocuments(3, "documents-bill.table");
}

TEST(DocumentsTable, BillCredits)
{
    checkDocuments(4, "documents-bill-credit.table");
}

} // namespace
