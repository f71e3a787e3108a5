#pragma once
// The contact details that clients and merchants both carry: company, logo,
// phone and fax numbers, e-mail and web addresses, postal address and notes.

#include "model/TWItem.h"
#include "model/TWStoredImage.h"

#include <QImage>
#include <QUrl>

class TWContactItem : public TWItem
{
public:
    TWContactItem() = default;
    TWContactItem(qint32 identifier, TWItemType type, QString name, QString company,
                  qint32 parentIdentifier, quint32 sortOrder, TWStoredImage logo, QString phone,
                  QString fax, QString email, QUrl website, QString address, QString notes);

    const QString &company() const { return m_company; }
    void setCompany(const QString &v) { m_company = v; }
    // A null image when there is no logo of its own.
    // Decoded when first asked for (see TWStoredImage).
    const QImage &logo() const { return m_logo.image(); }
    void setLogo(const QImage &v) { m_logo = TWStoredImage(v); }
    const TWStoredImage &storedLogo() const { return m_logo; }
    void setStoredLogo(const TWStoredImage &v) { m_logo = v; }
    const QString &phone() const { return m_phone; }
    void setPhone(const QString &v) { m_phone = v; }
    const QString &fax() const { return m_fax; }
    void setFax(const QString &v) { m_fax = v; }
    const QString &email() const { return m_email; }
    void setEmail(const QString &v) { m_email = v; }
    // An empty URL when there is none.
    const QUrl &website() const { return m_website; }
    void setWebsite(const QUrl &v) { m_website = v; }
    const QString &address() const { return m_address; }
    void setAddress(const QString &v) { m_address = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }

private:
    QString m_company;
    TWStoredImage m_logo;
    QString m_phone;
    QString m_fax;
    QString m_email;
    QUrl m_website;
    QString m_address;
    QString m_notes;
};
