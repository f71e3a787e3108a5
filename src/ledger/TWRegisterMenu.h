#pragma once
// The register's context menu as a plain list of items, decided from the
// register's mode, its inputs and the clicked rows, so it is tested without a
// window. The controller turns the list into a QMenu whose items go to the
// document's commands.

#include "app/TWMenuValidation.h"
#include "app/TWRegisterMode.h"

#include <QList>
#include <QString>

struct TWRegisterMenuInput {
    TWRegisterMode mode = TWRegisterMode::Nothing;
    bool hasParentItems = false;
    // InvoicePayments and BillPayments: the invoices (bills) shown and whether they all belong to
    // one project (merchant).
    int invoiceCount = 0;
    bool invoicesShareProject = false;
    int billCount = 0;
    bool billsShareMerchant = false;
    // The row under the pointer (-1 none) and the table's selected rows.
    int clickedRow = -1;
    QList<int> selectedRows;
    // Whether the one context row has a repeat or an invoice or bill payment.
    bool contextRowRelated = false;
};

struct TWRegisterMenuItem {
    QString key; // strings-table key; empty for a separator
    TWAction action = TWAction::count;
    int tag = 0;
    QList<TWRegisterMenuItem> submenu;
    bool isSeparator() const { return key.isEmpty(); }
};

// The rows the context menu acts on: the selection when the clicked row lies
// in it, else the clicked row alone; none without a clicked row.
QList<int> twRegisterContextRows(int clickedRow, const QList<int> &selectedRows);

// Whether the register can take a new transaction now.
bool twRegisterCanAddTransaction(const TWRegisterMenuInput &input);

QList<TWRegisterMenuItem> twRegisterContextMenu(const TWRegisterMenuInput &input);
