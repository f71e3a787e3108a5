#include "work/TWClientInfoController.h"

#include "store/TWBusiness.h"

qint32 TWClientInfoController::nextIdentifier() const
{
    return m_business ? m_business->nextClientIdentifier() : 0;
}

std::shared_ptr<TWContactItem> TWClientInfoController::makeContact(qint32 identifier,
                                                                   const Fields &fields) const
{
    return TWClient::clientWithIdentifier(identifier, fields.name, fields.company, 0, 0,
                                          fields.logo, fields.phone, fields.fax, fields.email,
                                          fields.website, fields.address, fields.notes);
}
