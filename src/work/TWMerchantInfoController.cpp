#include "work/TWMerchantInfoController.h"

#include "store/TWBusiness.h"

qint32 TWMerchantInfoController::nextIdentifier() const
{
    return m_business ? m_business->nextMerchantIdentifier() : 0;
}

std::shared_ptr<TWContactItem> TWMerchantInfoController::makeContact(qint32 identifier,
                                                                     const Fields &fields) const
{
    return TWMerchant::merchantWithIdentifier(identifier, fields.name, fields.company, 0, 0,
                                              fields.logo, fields.phone, fields.fax, fields.email,
                                              fields.website, fields.address, fields.notes);
}
