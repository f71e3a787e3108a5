// The document's settings: their defaults for a new business, reading them
// from the dictionary of the package's settings file (each key with the width
// and type of its field, anything unexpected giving the default) and building
// that dictionary for a save.

#include "store/TWBusiness.h"
#include "store/TWExportSettingsRecords.h"
#include "store/TWSendInvoiceValues.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWPropertyList.h"

#include <QVariant>

namespace
{

using TWPropertyList::boolValue;
using TWPropertyList::floatValue;
using TWPropertyList::intValue;
using TWPropertyList::unsignedIntValue;

// The keys of the settings file.
const QString kSortBy = QStringLiteral("sortBy");
const QString kMasterExpanded = QStringLiteral("masterExpanded");
const QString kActiveAccountingPeriodIdentifier =
    QStringLiteral("activeAccountingPeriodIdentifier");
const QString kLastStartupDate = QStringLiteral("lastStartupDate");
const QString kLastUnitCode = QStringLiteral("lastUnitCode");
const QString kLastMileageUnitCode = QStringLiteral("lastMileageUnitCode");
const QString kLastAccount1Identifier = QStringLiteral("lastAccount1Identifier");
const QString kLastAccount2Identifier = QStringLiteral("lastAccount2Identifier");
const QString kColumnSettings = QStringLiteral("columnSettings");
const QString kDocumentFrame = QStringLiteral("documentFrame");
const QString kMasterDividerPosition = QStringLiteral("masterDividerPosition");
const QString kTransactionDividerPosition = QStringLiteral("transactionDividerPosition");
const QString kClientDividerPosition = QStringLiteral("clientDividerPosition");
const QString kTaskDividerPosition = QStringLiteral("taskDividerPosition");
const QString kInvoiceDividerPosition = QStringLiteral("invoiceDividerPosition");
const QString kMerchantDividerPosition = QStringLiteral("merchantDividerPosition");
const QString kFieldDividerPosition = QStringLiteral("fieldDividerPosition");
const QString kRepeatDividerPosition = QStringLiteral("repeatDividerPosition");
const QString kSelectedMasterItemSettings = QStringLiteral("selectedMasterItemSettings");
const QString kTransactionDetailsDisclosure = QStringLiteral("transactionDetailsDisclosure");
const QString kVoiceMemoAudioQuality = QStringLiteral("voiceMemoAudioQuality");
const QString kShowSummary = QStringLiteral("showSummary");
const QString kBudgetStartDate = QStringLiteral("budgetStartDate");
const QString kLastCurrencyUpdateDate = QStringLiteral("lastCurrencyUpdateDate");
const QString kSearchFieldType = QStringLiteral("searchFieldType");
const QString kAutofill = QStringLiteral("autofill");
const QString kTransactionRangeType = QStringLiteral("transactionRangeType");
const QString kTransactionRangeFromDate = QStringLiteral("transactionRangeFromDate");
const QString kTransactionRangeToDate = QStringLiteral("transactionRangeToDate");
const QString kSendInvoiceDataByClient = QStringLiteral("sendInvoiceDataByClient");
const QString kImportTransactionsSettings = QStringLiteral("importTransactionsSettings");
const QString kExportTransactionsSettings = QStringLiteral("exportTransactionsSettings");
const QString kImportTasksSettings = QStringLiteral("importTasksSettings");
const QString kExportTasksSettings = QStringLiteral("exportTasksSettings");
const QString kImportExpensesSettings = QStringLiteral("importExpensesSettings");
const QString kExportExpensesSettings = QStringLiteral("exportExpensesSettings");

const QString kDefaultUnitCode = QStringLiteral("USD");

// A stored date, in local time; anything else is no date.
QDateTime dateValue(const QVariant &value, const QDateTime &fallback = {})
{
    if (value.metaType().id() != QMetaType::QDateTime)
        return fallback;
    const QDateTime date = value.toDateTime();
    return date.isValid() ? date.toLocalTime() : fallback;
}

// A stored day, at its start in local time; anything else is no date.
QDateTime dayValue(const QVariant &value, const QDateTime &fallback = {})
{
    const QDateTime day = TWDateAdditions::daySetting(dateValue(value));
    return day.isValid() ? day : fallback;
}

QVariantMap mapValue(const QVariant &value)
{
    if (value.metaType().id() != QMetaType::QVariantMap)
        return {};
    return value.toMap();
}

QVariant unsignedNumber(quint32 value)
{
    return QVariant::fromValue(value);
}

// Divider positions are kept as 32-bit floats.
double dividerValue(const QVariant &value, double fallback)
{
    return double(floatValue(value, float(fallback)));
}

QVariant dividerNumber(double value)
{
    return QVariant::fromValue(float(value));
}

void insertDate(QVariantMap &settings, const QString &key, const QDateTime &date)
{
    if (date.isValid())
        settings.insert(key, date);
}

} // namespace

// ---- Defaults of a new business ----

void TWBusiness::setDefaultSettings()
{
    const QDateTime now = TWClock::now();
    m_lastDate = now;
    m_lastUnit = m_homeUnit;
    m_lastMileageUnit.reset();
    m_lastAccount1Identifier = 0;
    m_lastAccount2Identifier = 0;
    m_columnSettings.clear();
    m_documentFrame = QRectF();
    m_masterDividerPosition = 260.0;
    m_transactionDividerPosition = 0.0;
    m_clientDividerPosition = 800.0;
    m_taskDividerPosition = 250.0;
    m_invoiceDividerPosition = 250.0;
    m_merchantDividerPosition = 250.0;
    m_fieldDividerPosition = 250.0;
    m_repeatDividerPosition = 250.0;
    m_selectedMasterItemSettings.reset();
    m_transactionDetailsDisclosure = 0xFFFFFFFF;
    m_voiceMemoAudioQuality = 1;
    m_showSummary = true;
    m_budgetStartDate = now;
    m_lastCurrencyUpdateDate = QDateTime();
    m_searchFieldType = 0;
    m_autofill = false;
    m_transactionRangeType = 0;
    m_transactionRangeFromDate = QDateTime();
    m_transactionRangeToDate = QDateTime();
    m_sendInvoiceData.clear();
    m_importTransactionsSettings.clear();
    m_importTasksSettings.clear();
    m_importExpensesSettings.clear();
    m_exportTransactionsSettings = twDefaultExportTransactionsSettings(*this);
    m_exportTasksSettings = twDefaultExportTasksSettings(*this);
    m_exportExpensesSettings = twDefaultExportExpensesSettings(*this);
}

// ---- Reading ----

void TWBusiness::applyOpeningSettings(const QVariantMap &settings)
{
    m_sortBy = unsignedIntValue(settings.value(kSortBy), 0);
    m_masterExpanded = unsignedIntValue(settings.value(kMasterExpanded), 0xFFFFFFFF);
    m_activeAccountingPeriodIdentifier =
        qint32(unsignedIntValue(settings.value(kActiveAccountingPeriodIdentifier), 0));
    m_lastStartupDate = dateValue(settings.value(kLastStartupDate));
}

void TWBusiness::applySettings(const QVariantMap &settings)
{
    const QDateTime now = TWClock::now();
    m_lastDate = now;

    // A code naming no unit of this business falls back to the US dollar.
    const QVariant lastUnitCode = settings.value(kLastUnitCode);
    m_lastUnit = lastUnitCode.metaType().id() == QMetaType::QString
                     ? unitWithCode(lastUnitCode.toString())
                     : nullptr;
    if (!m_lastUnit)
        m_lastUnit = unitWithCode(kDefaultUnitCode);
    const QVariant mileageCode = settings.value(kLastMileageUnitCode);
    m_lastMileageUnit = mileageCode.metaType().id() == QMetaType::QString
                            ? unitWithCode(mileageCode.toString())
                            : nullptr;

    m_lastAccount1Identifier = qint32(unsignedIntValue(settings.value(kLastAccount1Identifier), 0));
    m_lastAccount2Identifier = qint32(unsignedIntValue(settings.value(kLastAccount2Identifier), 0));
    m_columnSettings = mutableColumnSettings(mapValue(settings.value(kColumnSettings)));
    m_documentFrame = TWPropertyList::rectFromString(settings.value(kDocumentFrame).toString())
                          .value_or(QRectF());

    m_masterDividerPosition = dividerValue(settings.value(kMasterDividerPosition), 260.0);
    m_transactionDividerPosition = dividerValue(settings.value(kTransactionDividerPosition), 0.0);
    m_clientDividerPosition = dividerValue(settings.value(kClientDividerPosition), 800.0);
    m_taskDividerPosition = dividerValue(settings.value(kTaskDividerPosition), 250.0);
    m_invoiceDividerPosition = dividerValue(settings.value(kInvoiceDividerPosition), 250.0);
    m_merchantDividerPosition = dividerValue(settings.value(kMerchantDividerPosition), 250.0);
    m_fieldDividerPosition = dividerValue(settings.value(kFieldDividerPosition), 250.0);
    m_repeatDividerPosition = dividerValue(settings.value(kRepeatDividerPosition), 250.0);

    const QVariant selected = settings.value(kSelectedMasterItemSettings);
    if (selected.metaType().id() == QMetaType::QVariantList)
        m_selectedMasterItemSettings = selected.toList();
    else
        m_selectedMasterItemSettings.reset();
    m_transactionDetailsDisclosure =
        unsignedIntValue(settings.value(kTransactionDetailsDisclosure), 0xFFFFFFFF);
    m_voiceMemoAudioQuality = unsignedIntValue(settings.value(kVoiceMemoAudioQuality), 1);
    m_showSummary = boolValue(settings.value(kShowSummary), true);
    m_budgetStartDate = dayValue(settings.value(kBudgetStartDate), now);
    m_lastCurrencyUpdateDate = dateValue(settings.value(kLastCurrencyUpdateDate));
    m_searchFieldType = intValue(settings.value(kSearchFieldType), 0);
    // Read, not set: nobody observes a document that is still opening.
    m_autofill = boolValue(settings.value(kAutofill), false);
    m_transactionRangeType = intValue(settings.value(kTransactionRangeType), 0);
    m_transactionRangeFromDate = dayValue(settings.value(kTransactionRangeFromDate));
    m_transactionRangeToDate = dayValue(settings.value(kTransactionRangeToDate));

    // Keys are client identifiers as decimal text; a key that is none, or an
    // entry that is no dictionary, is left out.
    m_sendInvoiceData.clear();
    const QVariantMap byClient = mapValue(settings.value(kSendInvoiceDataByClient));
    for (auto it = byClient.cbegin(); it != byClient.cend(); ++it) {
        bool isNumber = false;
        const qint32 client = it.key().toInt(&isNumber);
        if (!isNumber || it.value().metaType().id() != QMetaType::QVariantMap)
            continue;
        m_sendInvoiceData.insert(client, twRestoredSendInvoiceData(it.value().toMap(), *this));
    }

    const auto exportSettings = [&settings](const QString &key) -> std::optional<QVariantMap> {
        const QVariant value = settings.value(key);
        if (value.metaType().id() != QMetaType::QVariantMap)
            return std::nullopt;
        return value.toMap();
    };
    m_importTransactionsSettings = mapValue(settings.value(kImportTransactionsSettings));
    if (const auto stored = exportSettings(kExportTransactionsSettings))
        m_exportTransactionsSettings = twRestoredExportTransactionsSettings(*stored, *this);
    else
        m_exportTransactionsSettings = twDefaultExportTransactionsSettings(*this);
    m_importTasksSettings = mapValue(settings.value(kImportTasksSettings));
    if (const auto stored = exportSettings(kExportTasksSettings))
        m_exportTasksSettings = twRestoredExportTasksSettings(*stored, *this);
    else
        m_exportTasksSettings = twDefaultExportTasksSettings(*this);
    m_importExpensesSettings = mapValue(settings.value(kImportExpensesSettings));
    if (const auto stored = exportSettings(kExportExpensesSettings))
        m_exportExpensesSettings = twRestoredExportExpensesSettings(*stored, *this);
    else
        m_exportExpensesSettings = twDefaultExportExpensesSettings(*this);
}

// ---- Writing ----

QVariantMap TWBusiness::settings() const
{
    QVariantMap settings;
    settings.insert(kSortBy, unsignedNumber(m_sortBy));
    settings.insert(kMasterExpanded, unsignedNumber(m_masterExpanded));
    settings.insert(kActiveAccountingPeriodIdentifier,
                    unsignedNumber(quint32(m_activeAccountingPeriodIdentifier)));
    insertDate(settings, kLastStartupDate, m_lastStartupDate);
    if (m_lastUnit)
        settings.insert(kLastUnitCode, m_lastUnit->code());
    if (m_lastMileageUnit)
        settings.insert(kLastMileageUnitCode, m_lastMileageUnit->code());
    settings.insert(kLastAccount1Identifier, unsignedNumber(quint32(m_lastAccount1Identifier)));
    settings.insert(kLastAccount2Identifier, unsignedNumber(quint32(m_lastAccount2Identifier)));
    settings.insert(kColumnSettings, writableColumnSettings(m_columnSettings));
    settings.insert(kDocumentFrame, TWPropertyList::stringFromRect(m_documentFrame));
    settings.insert(kMasterDividerPosition, dividerNumber(m_masterDividerPosition));
    settings.insert(kTransactionDividerPosition, dividerNumber(m_transactionDividerPosition));
    settings.insert(kClientDividerPosition, dividerNumber(m_clientDividerPosition));
    settings.insert(kTaskDividerPosition, dividerNumber(m_taskDividerPosition));
    settings.insert(kInvoiceDividerPosition, dividerNumber(m_invoiceDividerPosition));
    settings.insert(kMerchantDividerPosition, dividerNumber(m_merchantDividerPosition));
    settings.insert(kFieldDividerPosition, dividerNumber(m_fieldDividerPosition));
    settings.insert(kRepeatDividerPosition, dividerNumber(m_repeatDividerPosition));
    if (m_selectedMasterItemSettings)
        settings.insert(kSelectedMasterItemSettings, *m_selectedMasterItemSettings);
    settings.insert(kTransactionDetailsDisclosure, unsignedNumber(m_transactionDetailsDisclosure));
    settings.insert(kVoiceMemoAudioQuality, unsignedNumber(m_voiceMemoAudioQuality));
    settings.insert(kShowSummary, m_showSummary);
    insertDate(settings, kBudgetStartDate, TWDateAdditions::settingsDay(m_budgetStartDate));
    insertDate(settings, kLastCurrencyUpdateDate, m_lastCurrencyUpdateDate);
    settings.insert(kSearchFieldType, m_searchFieldType);
    settings.insert(kAutofill, m_autofill);
    settings.insert(kTransactionRangeType, m_transactionRangeType);
    insertDate(settings, kTransactionRangeFromDate,
               TWDateAdditions::settingsDay(m_transactionRangeFromDate));
    insertDate(settings, kTransactionRangeToDate,
               TWDateAdditions::settingsDay(m_transactionRangeToDate));

    QVariantMap byClient;
    for (auto it = m_sendInvoiceData.cbegin(); it != m_sendInvoiceData.cend(); ++it) {
        if (it.value())
            byClient.insert(QString::number(it.key()), it.value()->settings());
    }
    settings.insert(kSendInvoiceDataByClient, byClient);

    settings.insert(kImportTransactionsSettings, m_importTransactionsSettings);
    settings.insert(kImportTasksSettings, m_importTasksSettings);
    settings.insert(kImportExpensesSettings, m_importExpensesSettings);
    if (m_exportTransactionsSettings)
        settings.insert(kExportTransactionsSettings, m_exportTransactionsSettings->settings());
    if (m_exportTasksSettings)
        settings.insert(kExportTasksSettings, m_exportTasksSettings->settings());
    if (m_exportExpensesSettings)
        settings.insert(kExportExpensesSettings, m_exportExpensesSettings->settings());
    return settings;
}

// ---- Settings with behaviour ----

TWErrorResult TWBusiness::setSortBy(quint32 sortBy)
{
    if (sortBy == m_sortBy)
        return std::nullopt;
    // Every kind of master item is renumbered for the new mode in one write:
    // a failure leaves every sort order, and the mode, as they were.
    WriteScope scope(*this);
    const quint32 previous = m_sortBy;
    m_sortBy = sortBy;
    scope.onRollback([this, previous] { m_sortBy = previous; });
    TWErrorResult error = updateItems(accounts(), accountGroups(), sortBy);
    if (!error)
        error = updateItems(filters(), filterGroups(), sortBy);
    if (!error)
        error = updateItems(clients(), clientGroups(), sortBy);
    if (!error)
        error = updateItems(merchants(), merchantGroups(), sortBy);
    if (!error)
        error = updateItems(reports(), reportGroups(), sortBy);
    return scope.finish(error);
}
