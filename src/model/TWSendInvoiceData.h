#pragma once
// How invoices are sent to one client (layout, wording, delivery), kept per
// client in the document's settings file. Until invoices can be sent, the
// record only carries its stored dictionary, so nothing read is lost on save.

#include <QVariantMap>

#include <memory>

class TWBusiness;

class TWSendInvoiceData
{
public:
    TWSendInvoiceData() = default;
    explicit TWSendInvoiceData(QVariantMap settings) : m_settings(std::move(settings)) {}

    // A record with the default settings for the business.
    static std::shared_ptr<TWSendInvoiceData> sendInvoiceDataWithBusiness(TWBusiness &business);
    // A record rebuilt from the dictionary `settings` gave.
    static std::shared_ptr<TWSendInvoiceData>
    sendInvoiceDataWithSettings(const QVariantMap &settings, TWBusiness &business);

    std::shared_ptr<TWSendInvoiceData> copy() const
    {
        return std::make_shared<TWSendInvoiceData>(*this);
    }

    // The record as a property-list dictionary.
    QVariantMap settings() const { return m_settings; }

private:
    QVariantMap m_settings;
};

using TWSendInvoiceDataPtr = std::shared_ptr<TWSendInvoiceData>;
