#include "model/TWContactItem.h"

TWContactItem::TWContactItem(qint32 identifier, TWItemType type, QString name, QString company,
                             qint32 parentIdentifier, quint32 sortOrder, TWStoredImage logo,
                             QString phone, QString fax, QString email, QUrl website,
                             QString address, QString notes)
    : TWItem(identifier, type, std::move(name), parentIdentifier, sortOrder),
      m_company(std::move(company)), m_logo(std::move(logo)), m_phone(std::move(phone)),
      m_fax(std::move(fax)), m_email(std::move(email)), m_website(std::move(website)),
      m_address(std::move(address)), m_notes(std::move(notes))
{
}
