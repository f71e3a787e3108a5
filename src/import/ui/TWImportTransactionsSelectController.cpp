#include "import/ui/TWImportTransactionsSelectController.h"

#include "import/ui/TWImportSelectSheet.h"
#include "ledger/TWTransactionsController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWControls.h"

#include "foundation/TWLocalized.h"
#include "import/core/TWImportDuplicates.h"
#include "store/TWAmountLimits.h"
#include "store/TWBusiness.h"
#include "store/TWNotifications.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>

TWImportTransactionsSelectController::TWImportTransactionsSelectController(QObject *parent)
    : TWLazyViewController<TWEditorController>(parent)
{
}

TWImportTransactionsSelectController::~TWImportTransactionsSelectController()
{
    stopObserving();
    delete m_view;
}

void TWImportTransactionsSelectController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWImportTransactionsSelect"));
    m_view->setWindowTitle(TWLocalized("importSelectTitle"));
    m_import = new TWTransactionsController(this);
    m_import->setBusinessController(m_document);
    m_import->setBusiness(m_business);
    m_import->setMode(TWRegisterMode::ImportPreview);
    m_import->importSelectedTransactionsChanged = [this](TWTransactionsController *) {
        // A row whose amount was refused takes no tick: it is never booked.
        const TWTransactionList ticked = m_import->importSelectedTransactions();
        const TWTransactionList takeable = this->takeable(ticked);
        if (takeable.size() != ticked.size()) {
            m_import->setImportSelectedTransactions(takeable);
            m_import->updateTransactions();
        }
        updateUI();
    };
    m_all = new TWTransactionsController(this);
    m_all->setBusinessController(m_document);
    m_all->setBusiness(m_business);
    m_all->setMode(TWRegisterMode::AllTransactions);

    // Wide enough for both lists' amounts (the business's list shows every
    // column); a smaller screen narrows it, and the columns give way.
    QWidget *fileList = m_import->view();
    QWidget *existingList = m_all->view();
    const TWImportSelectSheet sheet = twLayOutImportSelectSheet(
        m_view, TWLocalized("importFileTransactions"), fileList,
        TWLocalized("importExistingTransactions"), existingList, QSize(1100, 620));
    sheet.splitter->setObjectName(QStringLiteral("splitView"));
    m_accountPopUp = sheet.popUp;
    m_accountPopUp->setObjectName(QStringLiteral("accountPopUpButton"));
    connect(m_accountPopUp, &QComboBox::activated, this, [this](int index) { doAccount(index); });
    m_importAll = sheet.importAll;
    connect(m_importAll, &QCheckBox::clicked, this, [this] { doImportAllNone(); });
    m_cancelButton = sheet.cancel;
    m_importButton = sheet.import;
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { doImport(0); });
    connect(m_importButton, &QPushButton::clicked, this, [this] { doImport(1); });
}

void TWImportTransactionsSelectController::update()
{
    view();
    if (!m_business)
        return;
    m_import->setBusinessController(m_document);
    m_all->setBusinessController(m_document);
    m_import->setBusiness(m_business);
    m_all->setBusiness(m_business);
    // Duplicates start unticked: one hash of the stored transactions for the
    // whole file, not a scan per row.
    const QList<bool> duplicates = TWImportDuplicates::transactions(
        *m_business, m_transactions, m_openCounterparts, m_unlistedSplits);
    TWTransactionList preselected;
    for (qsizetype i = 0; i < m_transactions.size(); ++i) {
        if (!duplicates.value(i))
            preselected.append(m_transactions.at(i));
    }
    preselected = takeable(preselected);
    m_import->setTransactions(m_transactions);
    m_import->setImportSelectedTransactions(preselected);
    m_import->update();
    m_all->setAccounts({});
    m_all->update();
    // A new choice starts at the lists' left edge, wherever the last one was
    // scrolled to: the tick and the date come first.
    for (TWTransactionsController *list : {m_import, m_all})
        if (QTableView *table = list->tableView())
            table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->minimum());

    m_accountPopUp->clear();
    m_popUpAccounts.clear();
    m_accountPopUp->addItem(TWLocalized("all"));
    m_popUpAccounts.append(nullptr);
    bool first = true;
    for (const TWAccountGroupType group :
         {TWAccountGroupTypeAsset, TWAccountGroupTypeLiability, TWAccountGroupTypeIncome,
          TWAccountGroupTypeExpense, TWAccountGroupTypeEquity}) {
        const TWAccountList accounts = m_business->accountsOfType(quint32(group));
        if (accounts.isEmpty() && !first)
            continue;
        m_accountPopUp->insertSeparator(m_accountPopUp->count());
        m_popUpAccounts.append(nullptr);
        first = false;
        for (const TWAccountPtr &account : accounts) {
            m_accountPopUp->addItem(account ? account->name() : QString());
            m_popUpAccounts.append(account);
        }
    }
    m_accountPopUp->setCurrentIndex(0);
    updateUI();

    stopObserving();
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    for (const QString &name : {TWTransactionNewNotification, TWTransactionDeleteNotification,
                                TWTransactionUpdateNotification})
        m_observers.append(center.addObserver(name, m_business, [this](const TWNotification &) {
            if (m_all)
                m_all->updateTransactions();
        }));
}

TWTransactionList
TWImportTransactionsSelectController::takeable(const TWTransactionList &transactions) const
{
    if (m_refused.isEmpty())
        return transactions;
    TWTransactionList result;
    result.reserve(transactions.size());
    for (const TWTransactionPtr &transaction : transactions) {
        if (transaction && !m_refused.contains(transaction->identifier()))
            result.append(transaction);
    }
    return result;
}

void TWImportTransactionsSelectController::updateUI()
{
    if (!m_import)
        return;
    const qsizetype ticked = m_import->importSelectedTransactions().size();
    m_importAll->setCheckState(twImportAllState(ticked, takeable(m_import->transactions()).size()));
    m_importButton->setEnabled(ticked != 0);
}

void TWImportTransactionsSelectController::doImportAllNone()
{
    // A click on the mixed state ticks everything.
    if (m_importAll->checkState() == Qt::PartiallyChecked)
        m_importAll->setCheckState(Qt::Checked);
    m_import->setImportSelectedTransactions(m_importAll->checkState() == Qt::Checked
                                                ? takeable(m_import->transactions())
                                                : TWTransactionList());
    m_import->updateTransactions();
    updateUI();
}

void TWImportTransactionsSelectController::doAccount(int index)
{
    const TWAccountPtr account = m_popUpAccounts.value(index);
    m_all->setAccounts(account ? TWAccountList{account} : TWAccountList());
    m_all->updateTransactions();
}

void TWImportTransactionsSelectController::doImport(int tag)
{
    if (tag != 1) {
        finish(TWSheetResult::Cancelled);
        return;
    }
    if (!m_business)
        return;
    const TWTransactionList ticked = takeable(m_import->importSelectedTransactions());
    // A closed period refuses the whole import, before any identifier is taken.
    for (const TWTransactionPtr &transaction : ticked) {
        if (transaction && m_business->transactionClosed(*transaction)) {
            twRunAlert(TWAlert{TWLocalized("containsClosedTransactions"),
                               QString(),
                               {TWLocalized("ok")},
                               m_view->window()});
            return;
        }
    }
    // The ticked transactions the list shows go in, in its display order; a
    // row a search hides keeps its tick for a later import but is not added.
    const TWTransactionList toAdd = takeable(m_import->sortedImportTransactions());
    // A balance the rows would take past what 64 bits hold refuses them all.
    if (TWErrorResult refused = TWAmountLimits::amountsError(*m_business, toAdd)) {
        presentError(*refused);
        return;
    }

    // All or nothing: a refused transaction leaves the store, its lists and
    // its notifications as they were, and the sheet open with its ticks.
    bool beforePeriod = false;
    TWErrorResult error;
    QList<qint32> provisional;
    for (const TWTransactionPtr &transaction : std::as_const(toAdd))
        provisional.append(transaction->identifier());
    {
        TWBusiness::WriteScope scope(*m_business);
        for (const TWTransactionPtr &transaction : std::as_const(toAdd)) {
            transaction->setIdentifier(m_business->nextTransactionIdentifier());
            error = m_business->addTransaction(transaction, true, false, false, false);
            if (error)
                break;
            beforePeriod =
                beforePeriod || m_business->transactionBeforeActiveAccountingPeriod(*transaction);
        }
        if (!error && beforePeriod)
            error = m_business->updateNominalTransferTransactions();
        error = scope.finish(error);
    }
    if (error) {
        for (qsizetype i = 0; i < toAdd.size(); ++i)
            toAdd.at(i)->setIdentifier(provisional.at(i));
        presentError(*error);
        return;
    }
    if (!toAdd.isEmpty()) {
        m_business->notifyTransactionsAdd();
        m_business->notifyValuesAdd();
    }
    if (m_document)
        m_document->updateChangeCount(0);
    finish(TWSheetResult::Confirmed);
}

void TWImportTransactionsSelectController::finish(TWSheetResult result)
{
    if (m_document)
        m_document->endSheet(m_view, result);
    emit endRequested(sheetReturnCode(result));
    m_import->setTransactions({});
    m_import->setImportSelectedTransactions({});
    m_transactions.clear();
    m_openCounterparts.clear();
    m_refused.clear();
    m_unlistedSplits.clear();
    stopObserving();
}

void TWImportTransactionsSelectController::stopObserving()
{
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    for (const TWNotificationCenter::Token token : std::as_const(m_observers))
        center.removeObserver(token);
    m_observers.clear();
}

void TWImportTransactionsSelectController::updateTransaction(const TWTransactionPtr &original,
                                                             const TWTransactionPtr &edited)
{
    if (!m_import || !original || !edited)
        return;
    m_import->updateTransaction(original, edited);
    for (TWTransactionPtr &transaction : m_transactions) {
        if (transaction == original)
            transaction = edited;
    }
    updateUI();
}

QObject *TWImportTransactionsSelectController::list(TWImportController::SelectionList which) const
{
    return which == TWImportController::ImportList ? static_cast<QObject *>(m_import)
                                                   : static_cast<QObject *>(m_all);
}

bool TWImportTransactionsSelectController::listHasContextMenu(
    TWImportController::SelectionList which, QMenu *menu) const
{
    const TWTransactionsController *list =
        which == TWImportController::ImportList ? m_import : m_all;
    return list && list->tableViewHasContextMenu(menu);
}

bool TWImportTransactionsSelectController::listHasFirstResponder(
    TWImportController::SelectionList which) const
{
    const TWTransactionsController *list =
        which == TWImportController::ImportList ? m_import : m_all;
    return list && list->hasFirstResponder();
}

void TWImportTransactionsSelectController::presentError(const TWError &error)
{
    emit errorPresented(error);
    if (m_document)
        m_document->presentError(error);
}
