#pragma once
// One update's reading of the transactions linked to invoices and bills. A list asks for the
// same documents' transactions several times in one update (its rows, the payments pane's
// sums, the projects' and clients' sums); while a scope is open on a business, each
// document's transactions are read from the store on the first ask only. A scope spans
// reading alone: nothing is written while one is open (the store is main-thread only).

class TWBusiness;

class TWDocumentReadScope
{
public:
    // Opens nothing without a business.
    explicit TWDocumentReadScope(const TWBusiness *business);
    ~TWDocumentReadScope();
    TWDocumentReadScope(const TWDocumentReadScope &) = delete;
    TWDocumentReadScope &operator=(const TWDocumentReadScope &) = delete;

    // Whether the document's transactions were read already in a scope open on the business;
    // notes them read.
    static bool readBefore(const TWBusiness &business, const void *document);

private:
    bool m_open = false;
};
