#include "store/TWSendInvoiceValues.h"

#include "store/TWBusiness.h"
#include "store/TWOwing.h"

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
}
