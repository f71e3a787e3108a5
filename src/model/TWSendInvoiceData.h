#pragma once
// Everything that decides what a rendered invoice shows. One half is a
// client's print settings, kept per client in the document's settings: the
// label texts, header, footer and terms, the display bits and the layout. The
// other half is the invoice's data gathered from the store just before
// rendering. The renderer always works on a copy().

#include "foundation/TWError.h"
#include "model/TWBusinessInfo.h"
#include "model/TWClient.h"
#include "model/TWLayout.h"
#include "model/TWProject.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <array>
#include <cstdint>
#include <memory>

class TWInvoice;
class TWInvoiceItem;
class TWSendInvoiceData;
class TWUnit;
using TWSendInvoiceDataPtr = std::shared_ptr<TWSendInvoiceData>;
using TWInvoiceItemPtr = std::shared_ptr<TWInvoiceItem>;
using TWInvoiceItemList = QList<TWInvoiceItemPtr>;

// The send sheet's check-box tags, one per optional piece of the invoice page.
enum TWInvoiceDisplayTag : int {
    TWDisplayHeader = 0,
    TWDisplayPageNumber = 1,
    TWDisplayClientTo = 2,
    TWDisplayClientName = 3,
    TWDisplayClientCompany = 4,
    TWDisplayClientAddress = 5,
    TWDisplayBusinessLogo = 6,
    TWDisplayBusinessFrom = 7,
    TWDisplayBusinessName = 8,
    TWDisplayBusinessAddress = 9,
    TWDisplayBusinessPhone = 10,
    TWDisplayBusinessFax = 11,
    TWDisplayBusinessEmail = 12,
    TWDisplayBusinessWebsite = 13,
    TWDisplayTitle = 14,
    TWDisplayInvoiceName = 15,
    TWDisplayInvoiceNumber = 16,
    TWDisplayInvoiceDate = 17,
    TWDisplayInvoiceDueDate = 18,
    TWDisplayPaidOverlay = 19,
    TWDisplayOverdueOverlay = 20,
    TWDisplayItemDate = 21,
    TWDisplayItemDescription = 22,
    TWDisplayItemType = 23,
    TWDisplayItemQuantity = 24,
    TWDisplayItemRate = 25,
    TWDisplayItemSubtotal = 26,
    TWDisplayItemTax = 27,
    TWDisplayItemTotal = 28,
    TWDisplayItemNotes = 29,
    TWDisplayTotalSubtotal = 30,
    TWDisplayTotalTax = 31,
    TWDisplayTotalBalance = 32,
    TWDisplayTotalPayments = 33,
    TWDisplayTotalDue = 34,
    TWDisplayDetailsTerms = 35,
    TWDisplayDetailsNotes = 36,
    TWDisplayFooter = 37,
};

// Tag -> mask of its bit in `displayBits`. The bits are not in tag order:
// bits 32 to 37 were added later for tags in the middle of the list.
inline constexpr std::array<quint64, 38> TWInvoiceDisplayMasks = [] {
    constexpr int kBits[38] = {0,  1,  36, 2,  32, 3,  4,  37, 5,  6,  7,  8,  9,
                               10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 33, 20, 21,
                               22, 23, 24, 25, 26, 27, 34, 35, 28, 29, 30, 31};
    std::array<quint64, 38> masks{};
    for (int tag = 0; tag < 38; ++tag)
        masks[tag] = quint64(1) << kBits[tag];
    return masks;
}();

// The label texts, in the order of their settings keys.
enum TWSendInvoiceLabel : int {
    TWLabelHeaderPage,
    TWLabelClientTo,
    TWLabelBusinessFrom,
    TWLabelBusinessPhone,
    TWLabelBusinessFax,
    TWLabelInvoiceTitleEstimate,
    TWLabelInvoiceTitleInvoice,
    TWLabelInvoiceName,
    TWLabelInvoiceNumber,
    TWLabelInvoiceDate,
    TWLabelInvoiceDueDate,
    TWLabelInvoicePaid,
    TWLabelInvoiceOverdue,
    TWLabelItemDate,
    TWLabelItemDescription,
    TWLabelItemType,
    TWLabelItemQuantity,
    TWLabelItemRate,
    TWLabelItemSubtotal,
    TWLabelItemTax,
    TWLabelItemTotal,
    TWLabelItemNotes,
    TWLabelTotalSubtotal,
    TWLabelTotalTax,
    TWLabelTotalBalance,
    TWLabelTotalPayments,
    TWLabelTotalDue,
    TWLabelCount
};

class TWSendInvoiceData
{
public:
    static constexpr quint64 kDefaultDisplayBits = 0x7FFFFFFFFFFFFFFFULL;

    // No defaults at all (what copy() starts from).
    TWSendInvoiceData() = default;

    // A record with the default settings; the tax label defaults to the
    // business's tax name.
    static TWSendInvoiceDataPtr sendInvoiceDataWithTaxName(const QString &taxName);
    // A record rebuilt from a stored settings dictionary; missing keys take
    // their defaults.
    static TWSendInvoiceDataPtr sendInvoiceDataWithSettings(const QVariantMap &settings,
                                                            const QString &taxName);

    // The saved form: 27 labels, header, footer, terms, display bits, layout.
    QVariantMap settings() const;
    // For rendering on another thread: every field, the items and the layout
    // copied.
    TWSendInvoiceDataPtr copy() const;

    // Takes the invoice's values, its project's and client's (either may be
    // null), the business's details, the client's balance and the invoice's
    // payments.
    void updateWithInvoice(const TWInvoice &invoice, const TWProjectPtr &project,
                           const TWClientPtr &client, const TWBusinessInfoPtr &info, qint64 balance,
                           qint64 payments);

    bool displayBitValue(quint64 mask) const { return (m_displayBits & mask) != 0; }
    void toggleDisplayBit(quint64 mask, bool enable)
    {
        m_displayBits = enable ? (m_displayBits | mask) : (m_displayBits & ~mask);
    }
    // The same by the send sheet's tag.
    bool displayTagValue(int tag) const;

    // Labels by their settings key ("headerPageLabel", ...).
    static QString labelKey(TWSendInvoiceLabel label);
    const QString &label(TWSendInvoiceLabel label) const { return m_labels[label]; }
    void setLabel(TWSendInvoiceLabel label, const QString &text) { m_labels[label] = text; }

#define TW_SEND_INVOICE_LABEL(getter, setter, index)                                               \
    const QString &getter() const                                                                  \
    {                                                                                              \
        return m_labels[index];                                                                    \
    }                                                                                              \
    void setter(const QString &v)                                                                  \
    {                                                                                              \
        m_labels[index] = v;                                                                       \
    }
    TW_SEND_INVOICE_LABEL(headerPageLabel, setHeaderPageLabel, TWLabelHeaderPage)
    TW_SEND_INVOICE_LABEL(clientToLabel, setClientToLabel, TWLabelClientTo)
    TW_SEND_INVOICE_LABEL(businessFromLabel, setBusinessFromLabel, TWLabelBusinessFrom)
    TW_SEND_INVOICE_LABEL(businessPhoneLabel, setBusinessPhoneLabel, TWLabelBusinessPhone)
    TW_SEND_INVOICE_LABEL(businessFaxLabel, setBusinessFaxLabel, TWLabelBusinessFax)
    TW_SEND_INVOICE_LABEL(invoiceTitleEstimateLabel, setInvoiceTitleEstimateLabel,
                          TWLabelInvoiceTitleEstimate)
    TW_SEND_INVOICE_LABEL(invoiceTitleInvoiceLabel, setInvoiceTitleInvoiceLabel,
                          TWLabelInvoiceTitleInvoice)
    TW_SEND_INVOICE_LABEL(invoiceNameLabel, setInvoiceNameLabel, TWLabelInvoiceName)
    TW_SEND_INVOICE_LABEL(invoiceNumberLabel, setInvoiceNumberLabel, TWLabelInvoiceNumber)
    TW_SEND_INVOICE_LABEL(invoiceDateLabel, setInvoiceDateLabel, TWLabelInvoiceDate)
    TW_SEND_INVOICE_LABEL(invoiceDueDateLabel, setInvoiceDueDateLabel, TWLabelInvoiceDueDate)
    TW_SEND_INVOICE_LABEL(invoicePaidLabel, setInvoicePaidLabel, TWLabelInvoicePaid)
    TW_SEND_INVOICE_LABEL(invoiceOverdueLabel, setInvoiceOverdueLabel, TWLabelInvoiceOverdue)
    TW_SEND_INVOICE_LABEL(itemDateLabel, setItemDateLabel, TWLabelItemDate)
    TW_SEND_INVOICE_LABEL(itemDescriptionLabel, setItemDescriptionLabel, TWLabelItemDescription)
    TW_SEND_INVOICE_LABEL(itemTypeLabel, setItemTypeLabel, TWLabelItemType)
    TW_SEND_INVOICE_LABEL(itemQuantityLabel, setItemQuantityLabel, TWLabelItemQuantity)
    TW_SEND_INVOICE_LABEL(itemRateLabel, setItemRateLabel, TWLabelItemRate)
    TW_SEND_INVOICE_LABEL(itemSubtotalLabel, setItemSubtotalLabel, TWLabelItemSubtotal)
    TW_SEND_INVOICE_LABEL(itemTaxLabel, setItemTaxLabel, TWLabelItemTax)
    TW_SEND_INVOICE_LABEL(itemTotalLabel, setItemTotalLabel, TWLabelItemTotal)
    TW_SEND_INVOICE_LABEL(itemNotesLabel, setItemNotesLabel, TWLabelItemNotes)
    TW_SEND_INVOICE_LABEL(totalSubtotalLabel, setTotalSubtotalLabel, TWLabelTotalSubtotal)
    TW_SEND_INVOICE_LABEL(totalTaxLabel, setTotalTaxLabel, TWLabelTotalTax)
    TW_SEND_INVOICE_LABEL(totalBalanceLabel, setTotalBalanceLabel, TWLabelTotalBalance)
    TW_SEND_INVOICE_LABEL(totalPaymentsLabel, setTotalPaymentsLabel, TWLabelTotalPayments)
    TW_SEND_INVOICE_LABEL(totalDueLabel, setTotalDueLabel, TWLabelTotalDue)
#undef TW_SEND_INVOICE_LABEL

    // Null when not set.
    const QString &invoiceHeader() const
    {
        return m_invoiceHeader;
    }
    void setInvoiceHeader(const QString &v)
    {
        m_invoiceHeader = v;
    }
    const QString &invoiceFooter() const
    {
        return m_invoiceFooter;
    }
    void setInvoiceFooter(const QString &v)
    {
        m_invoiceFooter = v;
    }
    const QString &invoiceTerms() const
    {
        return m_invoiceTerms;
    }
    void setInvoiceTerms(const QString &v)
    {
        m_invoiceTerms = v;
    }
    quint64 displayBits() const
    {
        return m_displayBits;
    }
    void setDisplayBits(quint64 v)
    {
        m_displayBits = v;
    }

    // The layout to render with; null when there is none.
    const TWLayoutPtr &layout() const
    {
        return m_layout;
    }
    // Choosing a layout forgets a stored name that named no layout.
    void setLayout(const TWLayoutPtr &v)
    {
        m_layout = v;
        m_storedLayoutName.clear();
    }
    // The name written back for a stored layout that is not installed (the
    // layout falls back to the default meanwhile); empty otherwise.
    const QString &storedLayoutName() const
    {
        return m_storedLayoutName;
    }

    // --- The invoice's data ---
    const QString &clientName() const
    {
        return m_clientName;
    }
    void setClientName(const QString &v)
    {
        m_clientName = v;
    }
    const QString &clientCompany() const
    {
        return m_clientCompany;
    }
    void setClientCompany(const QString &v)
    {
        m_clientCompany = v;
    }
    const QString &clientAddress() const
    {
        return m_clientAddress;
    }
    void setClientAddress(const QString &v)
    {
        m_clientAddress = v;
    }
    const QImage &businessLogo() const
    {
        return m_businessLogo;
    }
    void setBusinessLogo(const QImage &v)
    {
        m_businessLogo = v;
    }
    const QString &businessName() const
    {
        return m_businessName;
    }
    void setBusinessName(const QString &v)
    {
        m_businessName = v;
    }
    const QString &businessAddress() const
    {
        return m_businessAddress;
    }
    void setBusinessAddress(const QString &v)
    {
        m_businessAddress = v;
    }
    const QString &businessPhone() const
    {
        return m_businessPhone;
    }
    void setBusinessPhone(const QString &v)
    {
        m_businessPhone = v;
    }
    const QString &businessFax() const
    {
        return m_businessFax;
    }
    void setBusinessFax(const QString &v)
    {
        m_businessFax = v;
    }
    const QString &businessEmail() const
    {
        return m_businessEmail;
    }
    void setBusinessEmail(const QString &v)
    {
        m_businessEmail = v;
    }
    const QUrl &businessWebsite() const
    {
        return m_businessWebsite;
    }
    void setBusinessWebsite(const QUrl &v)
    {
        m_businessWebsite = v;
    }
    const QString &invoiceName() const
    {
        return m_invoiceName;
    }
    void setInvoiceName(const QString &v)
    {
        m_invoiceName = v;
    }
    const QString &invoiceNumber() const
    {
        return m_invoiceNumber;
    }
    void setInvoiceNumber(const QString &v)
    {
        m_invoiceNumber = v;
    }
    const QDateTime &invoiceDate() const
    {
        return m_invoiceDate;
    }
    void setInvoiceDate(const QDateTime &v)
    {
        m_invoiceDate = v;
    }
    const QDateTime &invoiceDueDate() const
    {
        return m_invoiceDueDate;
    }
    void setInvoiceDueDate(const QDateTime &v)
    {
        m_invoiceDueDate = v;
    }
    const QString &invoiceNotes() const
    {
        return m_invoiceNotes;
    }
    void setInvoiceNotes(const QString &v)
    {
        m_invoiceNotes = v;
    }
    bool invoicePaid() const
    {
        return m_invoicePaid;
    }
    void setInvoicePaid(bool v)
    {
        m_invoicePaid = v;
    }
    // Tasks and expenses by date, expenses first on the same date.
    const TWInvoiceItemList &items() const
    {
        return m_items;
    }
    void setItems(const TWInvoiceItemList &v)
    {
        m_items = v;
    }
    const std::shared_ptr<TWUnit> &unit() const
    {
        return m_unit;
    }
    void setUnit(const std::shared_ptr<TWUnit> &v)
    {
        m_unit = v;
    }
    // What the client owes on its other invoices, minor units of `unit`.
    qint64 balance() const
    {
        return m_balance;
    }
    void setBalance(qint64 v)
    {
        m_balance = v;
    }
    // Payments received for this invoice, minor units of `unit`.
    qint64 payments() const
    {
        return m_payments;
    }
    void setPayments(qint64 v)
    {
        m_payments = v;
    }
    // An invoice of a project (true) or an estimate.
    bool isInvoice() const
    {
        return m_isInvoice;
    }
    void setIsInvoice(bool v)
    {
        m_isInvoice = v;
    }

private:
    std::array<QString, TWLabelCount> m_labels;
    QString m_invoiceHeader;
    QString m_invoiceFooter;
    QString m_invoiceTerms;
    quint64 m_displayBits = 0;
    TWLayoutPtr m_layout;
    QString m_storedLayoutName;

    QString m_clientName;
    QString m_clientCompany;
    QString m_clientAddress;
    QImage m_businessLogo;
    QString m_businessName;
    QString m_businessAddress;
    QString m_businessPhone;
    QString m_businessFax;
    QString m_businessEmail;
    QUrl m_businessWebsite;
    QString m_invoiceName;
    QString m_invoiceNumber;
    QDateTime m_invoiceDate;
    QDateTime m_invoiceDueDate;
    QString m_invoiceNotes;
    bool m_invoicePaid = false;
    TWInvoiceItemList m_items;
    std::shared_ptr<TWUnit> m_unit;
    qint64 m_balance = 0;
    qint64 m_payments = 0;
    bool m_isInvoice = false;
};
