#pragma once
// Fixtures of the window suites: records added to a real store, registers
// and views that count how they were made and called, and a shown document.

#include "TWAppTestSupport.h"
#include "app/TWDetailInterfaces.h"
#include "app/TWMasterController.h"
#include "app/TWMasterModel.h"
#include "app/TWWindowController.h"
#include "store/TWTransactionEditing.h"

#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>

// The view a fake shows: made on first use, deleted with the fake unless a
// window has taken it.
template <typename View = QLabel> class TWStandInView
{
public:
    explicit TWStandInView(QString text = {}) : m_text(std::move(text)) {}
    TWStandInView(const TWStandInView &) = delete;
    TWStandInView &operator=(const TWStandInView &) = delete;
    ~TWStandInView()
    {
        if (m_view && !m_view->parent())
            delete m_view;
    }
    View *get()
    {
        if (!m_view)
            m_view = new View(m_text);
        return m_view;
    }
    View *data() const { return m_view.data(); }

private:
    QString m_text;
    QPointer<View> m_view;
};

// A register that remembers what the document told it.
class TWFakeRegister final : public TWRegisterDetail
{
    Q_OBJECT
public:
    using TWRegisterDetail::TWRegisterDetail;
    QWidget *view() override { return m_view.get(); }
    void setAccounts(const TWAccountList &accounts) override { this->accounts = accounts; }
    void setFilters(const TWFilterList &filters) override { this->filters = filters; }
    void updateTransactions() override { ++reloads; }
    bool hasSelectedTransaction() const override { return !selected.isEmpty(); }
    TWTransactionList selectedTransactions() const override { return selected; }
    TWTransactionList transactions() const override { return rows; }

    TWAccountList accounts;
    TWFilterList filters;
    TWTransactionList rows;
    TWTransactionList selected;
    int reloads = 0;

private:
    TWStandInView<> m_view{QStringLiteral("register")};
};

class TWFakeClients final : public TWClientDetail
{
    Q_OBJECT
public:
    using TWClientDetail::TWClientDetail;
    QWidget *view() override { return m_view.get(); }
    void selectProject(const TWProjectPtr &project, const TWInvoicePtr &) override
    {
        ++projectSelections;
        selectedProject = project;
    }
    int projectSelections = 0;
    TWProjectPtr selectedProject;

private:
    TWStandInView<> m_view{QStringLiteral("clients")};
};

class TWFakeMerchants final : public TWMerchantDetail
{
    Q_OBJECT
public:
    using TWMerchantDetail::TWMerchantDetail;
    QWidget *view() override { return m_view.get(); }
    void transactionsUpdated() override
    {
        ++refreshes;
        payments.updateTransactions();
    }
    TWRegisterDetail *transactionsController() const override
    {
        return const_cast<TWFakeRegister *>(&payments);
    }
    TWBillList bills() const override { return allBills; }
    TWBillList selectedBills() const override { return chosenBills; }

    TWFakeRegister payments;
    TWBillList allBills;
    TWBillList chosenBills;
    int refreshes = 0;

private:
    TWStandInView<> m_view{QStringLiteral("merchants")};
};

class TWFakeUnits final : public TWUnitsDetail
{
    Q_OBJECT
public:
    using TWUnitsDetail::TWUnitsDetail;
    QWidget *view() override { return m_view.get(); }

private:
    TWStandInView<> m_view{QStringLiteral("units")};
};

class TWWindowTest : public TWAppTest
{
protected:
    // Registers the fakes and counts how often each kind is made.
    void registerFakes()
    {
        TWAppRegistry &registry = TWAppRegistry::registry();
        registry.setDetailFactory(TWDetailTransactionsAccounts, [this](QObject *parent) {
            ++made[TWDetailTransactionsAccounts];
            registerView = new TWFakeRegister(parent);
            return registerView;
        });
        registry.setDetailFactory(TWDetailClients, [this](QObject *parent) {
            ++made[TWDetailClients];
            clientsView = new TWFakeClients(parent);
            return clientsView;
        });
        registry.setDetailFactory(TWDetailMerchants, [this](QObject *parent) {
            ++made[TWDetailMerchants];
            merchantsView = new TWFakeMerchants(parent);
            return merchantsView;
        });
        registry.setDetailFactory(TWDetailUnits, [this](QObject *parent) {
            ++made[TWDetailUnits];
            return new TWFakeUnits(parent);
        });
    }

    // A document with its window, shown at a known size.
    std::unique_ptr<TWBusinessController>
    windowDocument(const std::function<void(TWBusiness &)> &fill = {})
    {
        auto document = newDocument();
        if (fill)
            fill(*document->business());
        document->business()->setDocumentFrame(QRectF(20, 20, 1000, 700));
        document->showWindows();
        QCoreApplication::processEvents();
        return document;
    }

    static TWMasterController &master(TWBusinessController &document)
    {
        return *document.masterController();
    }

    // Selects the node of a record, as a click would.
    static void select(TWBusinessController &document, quint32 type, quint32 subtype = 0,
                       qint32 identifier = 0)
    {
        const TWMasterItemPtr node = master(document).masterItemWithType(type, subtype, identifier);
        ASSERT_TRUE(node) << type << " " << subtype << " " << identifier;
        document.selectMasterItems({node}, true);
    }

    static TWAccountPtr addAccount(TWBusiness &b, const QString &name, qint32 parent = 0,
                                   const QString &unit = QStringLiteral("USD"), int type = 2)
    {
        auto account = TWAccount::accountWithIdentifier(b.nextAccountIdentifier(), name, parent, 0,
                                                        TWAccountType(type), QString(), QImage(),
                                                        b.unitWithCode(unit), QString());
        EXPECT_OK(b.addAccount(account, false));
        return account;
    }
    static TWGroupPtr addGroup(TWBusiness &b, TWItemType type, const QString &name,
                               qint32 parent = 0, bool expanded = false)
    {
        auto group = TWGroup::groupWithIdentifier(b.nextGroupIdentifier(), type, name, parent, 0,
                                                  QColor(), expanded);
        EXPECT_OK(b.addGroup(group, false));
        return group;
    }
    static TWClientPtr addClient(TWBusiness &b, const QString &name, qint32 parent = 0)
    {
        auto client =
            TWClient::clientWithIdentifier(b.nextClientIdentifier(), name, QString(), parent, 0,
                                           QImage(), {}, {}, {}, QUrl(), {}, {});
        EXPECT_OK(b.addClient(client, false));
        return client;
    }
    static TWMerchantPtr addMerchant(TWBusiness &b, const QString &name, qint32 parent = 0)
    {
        auto merchant =
            TWMerchant::merchantWithIdentifier(b.nextMerchantIdentifier(), name, QString(), parent,
                                               0, QImage(), {}, {}, {}, QUrl(), {}, {});
        EXPECT_OK(b.addMerchant(merchant, false));
        return merchant;
    }
    static TWTransactionPtr addTransaction(TWBusiness &b, const TWAccountPtr &one,
                                           const TWAccountPtr &two, qint64 amount,
                                           quint32 state = 0)
    {
        TWTransactionPtr transaction = twNewTransaction(b);
        transaction->setAccount1Identifier(one->identifier());
        transaction->setAccount2Identifier(two->identifier());
        transaction->setUnit(one->unit());
        transaction->setTotal(amount);
        transaction->setTotalAccount1(amount);
        transaction->setTotalAccount2(amount);
        transaction->setTotalBusiness(amount);
        transaction->setState(state);
        EXPECT_OK(b.addTransaction(transaction, false, false, false, false));
        return transaction;
    }

    QHash<int, int> made;
    TWFakeRegister *registerView = nullptr;
    TWFakeClients *clientsView = nullptr;
    TWFakeMerchants *merchantsView = nullptr;
};
