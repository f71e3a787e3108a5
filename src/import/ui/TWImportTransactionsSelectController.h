#pragma once
// The second sheet of a transaction import: the file's transactions with an
// import tick each (those that duplicate a stored transaction start
// unticked) over the business's own, narrowed to one account when asked.
// Import adds the ticked transactions the list shows in one write, or none.

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"

#include "foundation/TWError.h"
#include "foundation/TWNotificationCenter.h"
#include "model/TWTransaction.h"

#include <QPointer>
#include <QSet>

class QCheckBox;
class QMenu;
class QPushButton;
class TWPopUpButton;
class TWTransactionsController;

class TWImportTransactionsSelectController final : public TWLazyViewController<TWEditorController>
{
    Q_OBJECT
public:
    explicit TWImportTransactionsSelectController(QObject *parent = nullptr);
    ~TWImportTransactionsSelectController() override;

    void setTransactions(const TWTransactionList &transactions) { m_transactions = transactions; }
    const TWTransactionList &transactions() const { return m_transactions; }
    // Those of the transactions whose account 2 the file did not give
    // (TWImportTransactions::openCounterparts).
    void setOpenCounterparts(const QSet<qint32> &identifiers) { m_openCounterparts = identifiers; }
    // Those whose amount was refused (TWImportTransactions::refused): they
    // start unticked, take no tick and are never added.
    void setRefused(const QSet<qint32> &identifiers) { m_refused = identifiers; }
    // The split transactions listed under no account the file names
    // (TWImportTransactions::unlistedSplits).
    void setUnlistedSplits(const QSet<qint32> &identifiers) { m_unlistedSplits = identifiers; }
    // Fills both lists, ticks what is not a duplicate, starts observing.
    void update() override;
    // The check box and the import button from the ticks.
    void updateUI();
    // The check box was clicked.
    void doImportAllNone();
    // Narrows the lower list to the pop-up's account (item 0: all).
    void doAccount(int index);
    // Tag 1 imports, any other cancels.
    void doImport(int tag);
    // The user saved one of the file's transactions in the editor.
    void updateTransaction(const TWTransactionPtr &original, const TWTransactionPtr &edited);

    // The shell's questions about the two lists (0 the file's, 1 the business's).
    QObject *list(TWImportController::SelectionList which) const;
    bool listHasContextMenu(TWImportController::SelectionList which, QMenu *menu) const;
    bool listHasFirstResponder(TWImportController::SelectionList which) const;

    TWTransactionsController *importTransactionsController() const { return m_import; }
    TWTransactionsController *allTransactionsController() const { return m_all; }
    TWPopUpButton *accountPopUpButton() const { return m_accountPopUp; }
    QCheckBox *importAllCheckbox() const { return m_importAll; }
    QPushButton *importButton() const { return m_importButton; }

signals:
    void errorPresented(const TWError &error);

private:
    void build() override;
    void finish(TWSheetResult result);
    // The transactions of the list that may be added: not refused.
    TWTransactionList takeable(const TWTransactionList &transactions) const;
    void stopObserving();
    void presentError(const TWError &error);

    TWTransactionsController *m_import = nullptr;
    TWTransactionsController *m_all = nullptr;
    TWPopUpButton *m_accountPopUp = nullptr;
    QCheckBox *m_importAll = nullptr;
    QPushButton *m_importButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    TWTransactionList m_transactions;
    QSet<qint32> m_openCounterparts;
    QSet<qint32> m_refused;
    QSet<qint32> m_unlistedSplits;
    TWAccountList m_popUpAccounts;
    QList<TWNotificationCenter::Token> m_observers;
};
