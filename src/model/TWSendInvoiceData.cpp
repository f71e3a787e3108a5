#include "TWSendInvoiceData.h"

TWSendInvoiceDataPtr TWSendInvoiceData::sendInvoiceDataWithBusiness(TWBusiness &)
{
    return std::make_shared<TWSendInvoiceData>();
}

TWSendInvoiceDataPtr TWSendInvoiceData::sendInvoiceDataWithSettings(const QVariantMap &settings,
                                                                    TWBusiness &)
{
    return std::make_shared<TWSendInvoiceData>(settings);
}
