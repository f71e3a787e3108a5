#pragma once
// The transaction editor's phases for the register benchmark: saving a new
// transaction through the editor's save road (the register refreshes from the
// store's notifications meanwhile), and the autofill lookup that fills a new
// transaction from the latest one with the same payee.

#include <QString>

#include <memory>

class TWBusiness;
class TWBusinessController;
class TWTransactionController;

class TWBenchEditor
{
public:
    // `document` may be none: the editor then ends its sheet by itself.
    explicit TWBenchEditor(TWBusiness &business, TWBusinessController *document = nullptr);
    ~TWBenchEditor();

    // Opens the editor on a new transaction with that payee (one the ledger
    // knows, for the lookup); false when the business has fewer than two accounts.
    bool prepare(const QString &payee);
    // The save of the prepared transaction; what was saved, empty on failure.
    QString save();
    // The lookup a payee typed into the prepared transaction starts; what it
    // found, empty when nothing.
    QString autofillLookup();

private:
    TWBusiness &m_business;
    TWBusinessController *m_document;
    std::unique_ptr<TWTransactionController> m_editor;
};
