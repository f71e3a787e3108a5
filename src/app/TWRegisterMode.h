#pragma once
// What a register lists. Accounts and Filters have the values of the two
// register detail kinds (TWDetailTransactionsAccounts, TWDetailTransactionsFilters),
// which the document hands over as the mode.

enum class TWRegisterMode : int {
    Nothing = 0,
    Accounts = 1,
    Filters = 2,
    RepeatItems = 3,     // one schedule's items
    InvoicePayments = 4, // the payments of the invoices shown
    BillPayments = 5,    // the payments of the bills shown
    ImportPreview = 6,   // the transactions an import would add
    AllTransactions = 7, // every transaction (the import's comparison list)
};
