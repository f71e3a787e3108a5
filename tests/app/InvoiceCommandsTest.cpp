// The invoice menu commands reach the invoice list of the client view with
// their tag and context flag.

#include "TWWindowTestSupport.h"

namespace
{

class RecordingInvoices final : public TWInvoicesList
{
public:
    void newInvoice() override { calls.append(QStringLiteral("new")); }
    void editSelectedInvoice(bool context) override { record("edit", context); }
    void duplicateSelectedInvoice(bool context) override { record("duplicate", context); }
    void deleteSelectedInvoice(bool context) override { record("delete", context); }
    void markInvoice(int tag, bool context) override { record("mark", context, tag); }
    void sendInvoice(bool context) override { record("send", context); }
    void toggleFieldVisible(int tag) override { record("column", false, tag); }
    void updateSortBy(int tag, bool update) override { record("sortBy", update, tag); }
    void updateSortDirection(bool ascending, bool update) override
    {
        record("direction", update, ascending);
    }

    QStringList calls;

private:
    void record(const char *name, bool flag, int tag = -1)
    {
        calls.append(QStringLiteral("%1 %2 %3").arg(QLatin1String(name)).arg(flag).arg(tag));
    }
};

class ClientsWithInvoices final : public TWClientDetail
{
    Q_OBJECT
public:
    using TWClientDetail::TWClientDetail;
    QWidget *view() override { return m_view.get(); }
    TWInvoicesList *invoicesController() const override
    {
        return const_cast<RecordingInvoices *>(&invoices);
    }
    RecordingInvoices invoices;

private:
    TWStandInView<> m_view{QStringLiteral("clients")};
};

// A repeats view that keeps its invoice list whatever kind of schedule is chosen.
class RepeatsWithInvoices final : public TWRepeatsDetail
{
    Q_OBJECT
public:
    using TWRepeatsDetail::TWRepeatsDetail;
    QWidget *view() override { return m_view.get(); }
    int selectedRepeatKind() const override { return kind; }
    TWInvoicesList *invoicesController() const override
    {
        return const_cast<RecordingInvoices *>(&invoices);
    }
    RecordingInvoices invoices;
    int kind = 0;

private:
    TWStandInView<> m_view{QStringLiteral("repeats")};
};

class InvoiceCommandsTest : public TWWindowTest
{
};

} // namespace

TEST_F(InvoiceCommandsTest, MenuCommandsReachTheClientViewsInvoiceList)
{
    ClientsWithInvoices *clients = nullptr;
    TWAppRegistry::registry().setDetailFactory(TWDetailClients, [&clients](QObject *parent) {
        clients = new ClientsWithInvoices(parent);
        return clients;
    });
    TWClientPtr client;
    auto document =
        windowDocument([&client](TWBusiness &b) { client = addClient(b, QStringLiteral("Ada")); });
    select(*document, TWMasterItemEntity, TWItemTypeClient, client->identifier());
    ASSERT_TRUE(clients);
    using A = TWAction;
    document->perform(A::doNewInvoice);
    document->perform(A::doEditInvoiceContext);
    document->perform(A::doDuplicateInvoice);
    document->perform(A::doDeleteInvoiceContext);
    document->perform(A::doMarkInvoiceContext, 4);
    document->perform(A::doSendInvoice);
    document->perform(A::doColumnClientInvoice, 7);
    document->perform(A::doSortByClientInvoice, 12);
    document->perform(A::doSortDirectionClientInvoice, 1);
    EXPECT_EQ(clients->invoices.calls,
              (QStringList{QStringLiteral("new"), QStringLiteral("edit 1 -1"),
                           QStringLiteral("duplicate 0 -1"), QStringLiteral("delete 1 -1"),
                           QStringLiteral("mark 1 4"), QStringLiteral("send 0 -1"),
                           QStringLiteral("column 0 7"), QStringLiteral("sortBy 1 12"),
                           QStringLiteral("direction 1 0")}));
}

TEST_F(InvoiceCommandsTest, RepeatsViewsInvoiceListTakesCommandsOnlyForAnInvoiceSchedule)
{
    RepeatsWithInvoices *repeats = nullptr;
    TWAppRegistry::registry().setDetailFactory(TWDetailRepeats, [&repeats](QObject *parent) {
        repeats = new RepeatsWithInvoices(parent);
        return repeats;
    });
    auto document = windowDocument([](TWBusiness &) {});
    select(*document, TWMasterItemRepeats);
    ASSERT_TRUE(repeats);
    for (const int kind : {0, 2}) {
        repeats->kind = kind;
        document->perform(TWAction::doEditInvoice);
        document->perform(TWAction::doDeleteInvoice);
    }
    EXPECT_TRUE(repeats->invoices.calls.isEmpty())
        << repeats->invoices.calls.join(u',').toStdString();
    repeats->kind = 1;
    document->perform(TWAction::doEditInvoice);
    EXPECT_EQ(repeats->invoices.calls, QStringList{QStringLiteral("edit 0 -1")});
}

#include "InvoiceCommandsTest.moc"
