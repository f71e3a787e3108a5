#pragma once
// The sheet an import shows when its rows name accounts the business lacks:
// one proposed account a row, whose type and unit the user picks, then all of
// them are created (the sheet ends with Confirmed and the import goes on) or
// none (Cancelled, the import stops). A refused account is shown and stops the
// import (Cancelled); the accounts added before it stay.
//
// Use: `accountsWithNames` proposes the accounts, `setAccounts`, `reset`,
// show `view()` as a sheet, and act on the code of `endRequested` (also
// handed to the document's `endSheet` when there is a document).

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"

#include "foundation/TWError.h"
#include "model/TWAccount.h"

#include <QPointer>

class QPushButton;
class TWMissingAccountsDelegate;
class TWMissingAccountsModel;
class TWTableView;

class TWMissingAccountsController final : public TWLazyViewController<TWEditorController>
{
    Q_OBJECT
public:
    explicit TWMissingAccountsController(QObject *parent = nullptr);
    ~TWMissingAccountsController() override;

    // One new account per name, in order: consecutive identifiers from the
    // store's next free one, no parent, sort order 0, an expense account in
    // the home unit. Empty (with `error` set) when no identifier can be read.
    static TWAccountList accountsWithNames(TWBusiness &business, const QStringList &names,
                                           TWErrorResult *error = nullptr);

    void setAccounts(const TWAccountList &accounts);
    const TWAccountList &accounts() const;
    // Refills the unit choices (no mileage units) and the rows; only once
    // the view exists.
    void reset() override;
    // Tag 1 creates every account in order, any other cancels.
    void doCreate(int tag);

    TWTableView *tableView() const { return m_table; }
    TWMissingAccountsModel *model() const { return m_model; }
    QPushButton *createButton() const { return m_create; }
    QPushButton *cancelButton() const { return m_cancel; }

signals:
    // An error was shown to the user (through the document when there is one).
    void errorPresented(const TWError &error);

private:
    void build() override;
    void finish(TWSheetResult result);

    TWMissingAccountsModel *m_model = nullptr;
    TWMissingAccountsDelegate *m_delegate = nullptr;
    TWTableView *m_table = nullptr;
    QPushButton *m_create = nullptr;
    QPushButton *m_cancel = nullptr;
    TWAccountList m_pending;
};
