#include "store/TWSendInvoiceValues.h"

#include "store/TWBusiness.h"
#include "store/TWOwing.h"

#include "model/TWExpense.h"

namespace
{

QString taxName(TWBusiness &business)
{
    return business.businessInfo() ? business.businessInfo()->invoiceTaxName() : QString();
}

} // namespace

TWSendInvoiceDataPtr twDefaultSendInvoiceData(TWBusiness &business)
{
    return TWSendInvoiceData::sendInvoiceDataWithTaxName(taxName(business));
}

TWSendInvoiceDataPtr twRestoredSendInvoiceData(const QVariantMap &settings, TWBusiness &business)
{
    return TWSendInvoiceData::sendInvoiceDataWithSettings(settings, taxName(business));
}

void twUpdateSendInvoiceData(TWSendInvoiceData &data, TWInvoice &invoice, TWBusiness &business)
{
    const TWProjectPtr project = business.projectWithIdentifier(invoice.projectIdentifier());
    const TWClientPtr client =
        project ? business.clientWithIdentifier(project->clientIdentifier()) : nullptr;
    const TWUnitPtr unit = project ? project->unit() : nullptr;
    const qint64 balance =
        client ? business.transactionOwingWithClient(*client, unit, &invoice) : 0;
    twUpdateTransactions(invoice, business);
    data.updateWithInvoice(invoice, project, client, business.businessInfo(), balance,
                           twPayments(invoice, business));
    // A charge the user linked beside the invoice's entry (a late fee) is
    // owed as well: it is printed as a charge line of its own, so that the
    // page adds up to what the client owes, and the payments stay what was
    // paid. Money received or given back (a bounced payment, a refund) is in
    // the payments and prints no line.
    const TWPaymentEntryList entries = twInvoicePaymentEntries(invoice, business);
    const QList<qint64> charged =
        TWPayments::charges(entries, TWPaymentSide::Receivable, unit, TWBusiness::unitConverter());
    const TWTransactionList &linked = invoice.transactions();
    if (linked.size() != entries.size())
        return;
    TWInvoiceItemList items = data.items();
    const qsizetype lines = items.size();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).charge || charged.at(i) == 0)
            continue;
        const TWTransaction &charge = *linked.at(i);
        const TWExpensePtr line = TWExpense::expenseWithDate(
            charge.date(), charge.description().isEmpty() ? charge.payee() : charge.description(),
            1.0, charged.at(i), 0.0, QString(), invoice.projectIdentifier(), 0);
        line->setInvoiceQuantity(1.0);
        line->setCharge(true);
        items.append(line);
    }
    if (items.size() != lines)
        data.setItems(items);
}
