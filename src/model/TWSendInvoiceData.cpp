#include "model/TWSendInvoiceData.h"

#include "foundation/TWLocalized.h"
#include "model/TWExpense.h"
#include "model/TWInvoice.h"
#include "model/TWLayoutManager.h"
#include "model/TWTask.h"

namespace
{

struct LabelSpec {
    const char *key;        // the settings key (the field's name)
    const char *defaultKey; // strings-table key of the default; null: see below
    bool colon;             // a ":" follows the default
};

// In TWSendInvoiceLabel order. The tax column's default is the business's tax
// name and the item notes' default is empty; neither comes from the table.
constexpr LabelSpec kLabels[TWLabelCount] = {
    {"headerPageLabel", "page", false},
    {"clientToLabel", "to", false},
    {"businessFromLabel", "from", false},
    {"businessPhoneLabel", "t", false},
    {"businessFaxLabel", "f", false},
    {"invoiceTitleEstimateLabel", "estimate", false},
    {"invoiceTitleInvoiceLabel", "invoice", false},
    {"invoiceNameLabel", "name", true},
    {"invoiceNumberLabel", "number", true},
    {"invoiceDateLabel", "date", true},
    {"invoiceDueDateLabel", "dueDate", true},
    {"invoicePaidLabel", "paid", false},
    {"invoiceOverdueLabel", "overdue", false},
    {"itemDateLabel", "date", false},
    {"itemDescriptionLabel", "description", false},
    {"itemTypeLabel", "type", false},
    {"itemQuantityLabel", "quantity", false},
    {"itemRateLabel", "rate", false},
    {"itemSubtotalLabel", "subtotal", false},
    {"itemTaxLabel", nullptr, false},
    {"itemTotalLabel", "total", false},
    {"itemNotesLabel", nullptr, false},
    {"totalSubtotalLabel", "subtotal", false},
    {"totalTaxLabel", "tax", false},
    {"totalBalanceLabel", "previousBalance", false},
    {"totalPaymentsLabel", "payments", false},
    {"totalDueLabel", "totalDue", false},
};

const QString kInvoiceHeader = QStringLiteral("invoiceHeader");
const QString kInvoiceFooter = QStringLiteral("invoiceFooter");
const QString kInvoiceTerms = QStringLiteral("invoiceTerms");
const QString kDisplayBits = QStringLiteral("displayBits");
const QString kLayout = QStringLiteral("layout");

QString defaultLabel(int index, const QString &taxName)
{
    const LabelSpec &entry = kLabels[index];
    if (index == TWLabelItemTax)
        return taxName;
    if (!entry.defaultKey)
        return QStringLiteral("");
    QString text = TWLocalized(entry.defaultKey);
    if (entry.colon)
        text += QLatin1Char(':');
    return text;
}

// A stored number as the unsigned 64-bit value it was written from (a
// property list hands back signed integers where they fit).
std::optional<quint64> unsigned64(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::ULong:
        return value.toULongLong();
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Long:
        return quint64(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (!(number >= 0.0) || number >= 18446744073709551616.0)
            return std::nullopt;
        return quint64(number);
    }
    default:
        return std::nullopt;
    }
}

QString stringValue(const QVariant &value)
{
    return value.metaType().id() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

QString TWSendInvoiceData::labelKey(TWSendInvoiceLabel label)
{
    return QString::fromLatin1(kLabels[label].key);
}

bool TWSendInvoiceData::displayTagValue(int tag) const
{
    if (tag < 0 || tag >= int(TWInvoiceDisplayMasks.size()))
        return false;
    return displayBitValue(TWInvoiceDisplayMasks[size_t(tag)]);
}

TWSendInvoiceDataPtr TWSendInvoiceData::sendInvoiceDataWithTaxName(const QString &taxName)
{
    auto data = std::make_shared<TWSendInvoiceData>();
    for (int i = 0; i < TWLabelCount; ++i)
        data->m_labels[i] = defaultLabel(i, taxName);
    data->m_displayBits = kDefaultDisplayBits;
    data->m_layout = TWLayoutManager::layoutManager().defaultLayout();
    return data;
}

TWSendInvoiceDataPtr TWSendInvoiceData::sendInvoiceDataWithSettings(const QVariantMap &settings,
                                                                    const QString &taxName)
{
    auto data = std::make_shared<TWSendInvoiceData>();
    for (int i = 0; i < TWLabelCount; ++i) {
        const auto stored = settings.constFind(QString::fromLatin1(kLabels[i].key));
        // Only an absent key takes the default; "" stays empty.
        if (stored != settings.cend() && stored->metaType().id() == QMetaType::QString)
            data->m_labels[i] = stored->toString();
        else
            data->m_labels[i] = defaultLabel(i, taxName);
    }
    data->m_invoiceHeader = stringValue(settings.value(kInvoiceHeader));
    data->m_invoiceFooter = stringValue(settings.value(kInvoiceFooter));
    data->m_invoiceTerms = stringValue(settings.value(kInvoiceTerms));
    data->m_displayBits = unsigned64(settings.value(kDisplayBits)).value_or(kDefaultDisplayBits);

    TWLayoutManager &manager = TWLayoutManager::layoutManager();
    const QString name = stringValue(settings.value(kLayout));
    data->m_layout = name.isEmpty() ? nullptr : manager.layoutWithName(name);
    if (!data->m_layout) {
        // The client's choice is kept while its package is missing; the
        // invoice renders with the default meanwhile.
        if (!name.isEmpty())
            data->m_storedLayoutName = name;
        data->m_layout = manager.defaultLayout();
    }
    return data;
}

QVariantMap TWSendInvoiceData::settings() const
{
    QVariantMap settings;
    const auto text = [](const QString &value) {
        return value.isNull() ? QStringLiteral("") : value;
    };
    for (int i = 0; i < TWLabelCount; ++i)
        settings.insert(QString::fromLatin1(kLabels[i].key), text(m_labels[i]));
    settings.insert(kInvoiceHeader, text(m_invoiceHeader));
    settings.insert(kInvoiceFooter, text(m_invoiceFooter));
    settings.insert(kInvoiceTerms, text(m_invoiceTerms));
    settings.insert(kDisplayBits, QVariant::fromValue<quint64>(m_displayBits));
    QString layoutName = m_storedLayoutName;
    if (layoutName.isEmpty() && m_layout)
        layoutName = m_layout->name();
    settings.insert(kLayout, text(layoutName));
    return settings;
}

TWSendInvoiceDataPtr TWSendInvoiceData::copy() const
{
    auto data = std::make_shared<TWSendInvoiceData>(*this);
    data->m_items.clear();
    data->m_items.reserve(m_items.size());
    for (const TWInvoiceItemPtr &item : m_items) {
        if (!item)
            continue;
        if (item->type() == TWInvoiceItemTypeExpense)
            data->m_items.append(static_cast<const TWExpense &>(*item).copy());
        else
            data->m_items.append(static_cast<const TWTask &>(*item).copy());
    }
    data->m_layout = m_layout ? m_layout->copy() : nullptr;
    return data;
}

void TWSendInvoiceData::updateWithInvoice(const TWInvoice &invoice, const TWProjectPtr &project,
                                          const TWClientPtr &client, const TWBusinessInfoPtr &info,
                                          qint64 balance, qint64 payments)
{
    m_clientName = client ? client->name() : QString();
    m_clientCompany = client ? client->company() : QString();
    m_clientAddress = client ? client->address() : QString();

    m_businessLogo = info ? info->logo() : QImage();
    m_businessName = info ? info->name() : QString();
    m_businessAddress = info ? info->address() : QString();
    m_businessPhone = info ? info->phone() : QString();
    m_businessFax = info ? info->fax() : QString();
    m_businessEmail = info ? info->email() : QString();
    m_businessWebsite = info ? info->website() : QUrl();

    m_invoiceName = invoice.name();
    m_invoiceNumber = invoice.number();
    m_invoiceDate = invoice.date();

    // A text cleared in the send sheet takes the business's default again.
    if (m_invoiceHeader.isEmpty())
        m_invoiceHeader = info ? info->invoiceHeader() : QString();
    if (m_invoiceFooter.isEmpty())
        m_invoiceFooter = info ? info->invoiceFooter() : QString();
    if (m_invoiceTerms.isEmpty())
        m_invoiceTerms = info ? info->invoiceTerms() : QString();

    m_invoiceNotes = invoice.notes();
    m_invoicePaid = invoice.paid();
    m_invoiceDueDate = invoice.dueDate();

    TWInvoiceItemList items;
    items.reserve(invoice.tasks().size() + invoice.expenses().size());
    // Copies: the data outlives the sheet and is rendered later, while the
    // invoice's lines may be records that a later read rewrites.
    for (const TWTaskPtr &task : invoice.tasks()) {
        if (task)
            items.append(task->copy());
    }
    for (const TWExpensePtr &expense : invoice.expenses()) {
        if (expense)
            items.append(expense->copy());
    }
    std::stable_sort(
        items.begin(), items.end(),
        [](const TWInvoiceItemPtr &a, const TWInvoiceItemPtr &b) { return a->compare(*b) < 0; });
    m_items = items;

    m_unit = project ? project->unit() : nullptr;
    m_balance = balance;
    m_payments = payments;
    m_isInvoice = project && project->type() == TWProjectTypeProject;
}
