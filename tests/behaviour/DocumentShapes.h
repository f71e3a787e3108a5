#pragma once
// Every shape of an invoice or a bill a user's business comes to, each built
// in a small business of its own by the store's own calls, put through one
// operation with the windows' own controllers, and read as the lists, the
// printed page and the books show it: one row of a documents table.

#include <QList>
#include <QString>
#include <QStringList>

enum class TWShapeDocument { Invoice, CreditNote, NoLines, Bill, BillCredit };

// One row's shape and operation, each dimension by its index in the names below.
struct TWDocumentShape {
    int document = 0;
    int unit = 0;
    int paid = 0;
    int period = 0;
    int entry = 0;
    int linked = 0;
    int operation = 0;
};

// The values of each dimension, in the order of the shape's fields.
const QList<QStringList> &twDocumentShapeDimensions();

// Every row the documents tables hold: each document with each linked
// transaction and each operation, the other dimensions crossed pairwise with
// every dimension besides.
const QList<TWDocumentShape> &twDocumentShapes();

// The columns of a documents table and how many of them name the row.
QStringList twDocumentColumns();
int twDocumentKeys();

// The row of one shape: its key cells, then its readings.
QStringList twDocumentRow(const TWDocumentShape &shape);
