#include "ledger/TWMissingAccountsController.h"

#include "app/TWBusinessController.h"
#include "app/TWListViews.h"
#include "app/TWMasterController.h"
#include "ledger/TWMissingAccountsModel.h"

#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TWMissingAccountsController::TWMissingAccountsController(QObject *parent)
    : TWLazyViewController<TWEditorController>(parent)
{
}

TWMissingAccountsController::~TWMissingAccountsController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

TWAccountList TWMissingAccountsController::accountsWithNames(TWBusiness &business,
                                                             const QStringList &names,
                                                             TWErrorResult *error)
{
    TWAccountList accounts;
    if (names.isEmpty())
        return accounts;
    const qint32 first = business.nextAccountIdentifier();
    if (first == 0) {
        if (error)
            *error = TWBusiness::databaseError(1, TWLocalized("missingAccountsNoIdentifier"));
        return accounts;
    }
    qint32 identifier = first;
    for (const QString &name : names) {
        accounts.append(TWAccount::accountWithIdentifier(identifier++, name, 0, 0,
                                                         TWAccountTypeExpense, QString(), QImage(),
                                                         business.homeUnit(), QString()));
    }
    return accounts;
}

void TWMissingAccountsController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWMissingAccounts"));
    m_view->resize(640, 320);
    auto *message = new QLabel(TWLocalized("missingAccountsMessage"), m_view);
    message->setWordWrap(true);
    m_model = new TWMissingAccountsModel(this);
    m_model->setAccounts(m_pending);
    m_delegate = new TWMissingAccountsDelegate(this);
    m_table = new TWTableView(m_view);
    m_table->setObjectName(QStringLiteral("tableView"));
    m_table->setModel(m_model);
    m_table->setItemDelegate(m_delegate);
    // No selection highlight: the rows are edited through their pop-ups.
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(TWMissingAccountsModel::NameColumn, 160);
    m_table->setColumnWidth(TWMissingAccountsModel::TypeColumn, 150);

    // Cancel then Create, as in the document's other sheets.
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    m_cancel = new QPushButton(TWLocalized("cancel"), m_view);
    m_create = new QPushButton(TWLocalized("missingAccountsCreate"), m_view);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_create);
    m_create->setDefault(true);
    connect(m_create, &QPushButton::clicked, this, [this] { doCreate(1); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { doCreate(0); });

    auto *layout = new QVBoxLayout(m_view);
    layout->addWidget(message);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
}

void TWMissingAccountsController::setAccounts(const TWAccountList &accounts)
{
    m_pending = accounts;
    if (m_model)
        m_model->setAccounts(accounts);
}

const TWAccountList &TWMissingAccountsController::accounts() const
{
    return m_model ? m_model->accounts() : m_pending;
}

void TWMissingAccountsController::reset()
{
    view();
    m_model->setBusiness(m_business);
    m_model->setAccounts(m_pending);
}

void TWMissingAccountsController::finish(TWSheetResult result)
{
    if (m_document && m_view)
        m_document->endSheet(m_view, result);
    emit endRequested(sheetReturnCode(result));
}

void TWMissingAccountsController::doCreate(int tag)
{
    if (tag != 1 || !m_business) {
        finish(TWSheetResult::Cancelled);
        return;
    }
    bool added = false;
    for (const TWAccountPtr &account : accounts()) {
        if (m_document)
            m_document->updateItemParentAndSortOrder(account, nullptr);
        if (TWErrorResult error = m_business->addAccount(account, true)) {
            // The import would go on with rows naming an account that does
            // not exist: say why and stop it. Those added so far stay.
            if (added && m_document)
                m_document->updateChangeCount(0);
            if (m_document)
                m_document->presentError(*error);
            emit errorPresented(*error);
            finish(TWSheetResult::Cancelled);
            return;
        }
        added = true;
        if (m_document && m_document->masterController())
            m_document->masterController()->updateAddAccount(account);
    }
    if (m_document)
        m_document->updateChangeCount(0);
    finish(TWSheetResult::Confirmed);
}
