#include "import/core/TWImportTransactionsSettings.h"

#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"

std::shared_ptr<TWImportTransactionsSettings>
TWImportTransactionsSettings::importTransactionsSettingsWithDefaultAccount(
    const TWAccountPtr &defaultAccount, const TWImportTransactionFieldList &importFields)
{
    return std::make_shared<TWImportTransactionsSettings>(defaultAccount, importFields);
}

std::shared_ptr<TWImportTransactionsSettings>
TWImportTransactionsSettings::importTransactionsSettingsWithColumns(
    const QStringList &columns, const TWAccountPtr &defaultAccount, const TWBusiness &business,
    const QHash<qsizetype, QString> &dateFormats)
{
    TWImportTransactionFieldList lines;
    lines.reserve(columns.size());
    const bool mileageFile =
        TWImportTransactionField::isMileageFile(columns, defaultAccount, business);
    for (const QString &column : columns)
        lines.append(TWImportTransactionField::importTransactionFieldWithSourceName(
            column, defaultAccount, business, mileageFile));
    for (auto it = dateFormats.constBegin(); it != dateFormats.constEnd(); ++it) {
        if (it.key() >= 0 && it.key() < lines.size())
            lines.at(it.key())->setFileFormat(it.value());
    }
    auto settings = importTransactionsSettingsWithDefaultAccount(defaultAccount, lines);
    settings->setMileageFile(mileageFile);
    return settings;
}

QVariantMap TWImportTransactionsSettings::settings() const
{
    QVariantMap map;
    for (const TWImportTransactionFieldPtr &line : m_importFields) {
        // An odometer column set aside for this mileage file is no choice of
        // the user's: the next file of that column guesses afresh.
        if (line && !line->setAside())
            map.insert(line->sourceName(), line->settings());
    }
    return map;
}

void TWImportTransactionsSettings::storeInto(QVariantMap &stored) const
{
    const QVariantMap mapping = settings();
    for (auto it = mapping.cbegin(); it != mapping.cend(); ++it)
        TWImportTransactionField::storeEntry(stored, it.key(), it.value().toMap(), m_mileageFile);
}

int TWImportTransactionsSettings::activeFieldCount() const
{
    int count = 0;
    for (const TWImportTransactionFieldPtr &line : m_importFields) {
        if (line && line->type() != TWImportFieldTypeNone)
            ++count;
    }
    return count;
}

void TWImportTransactionsSettings::updateField(TWImportTransactionField &line, quint32 type,
                                               const TWFieldPtr &field, const TWAccountPtr &account,
                                               const TWBusiness &business) const
{
    line.clearSetAside();
    line.setType(type);
    line.setField(field);
    line.setAccount(account);
    line.setFolderURL(QUrl());
    const TWFormatter &formatter = TWFormatter::formatter();
    if (type == TWImportFieldTypeAccount) {
        line.setUnit(account ? account->unit() : TWUnitPtr());
        return;
    }
    if (type != TWImportFieldTypeField || !field) {
        line.setUnit(TWUnitPtr());
        return;
    }
    // A column whose file says how it writes its dates reads by that, whatever
    // date it fills.
    const QString &fileFormat = line.fileFormat();
    if (field->type() != TWFieldTypeStandard) {
        if (field->type() == TWFieldTypeDate)
            line.setFormat(fileFormat.isNull() ? formatter.shortDateFormat() : fileFormat);
        return;
    }
    switch (field->identifier()) {
    case TWFieldIdentifierTotal:
    case TWFieldIdentifierCredit:
    case TWFieldIdentifierDebit:
        line.setUnit(m_defaultAccount ? m_defaultAccount->unit() : business.homeUnit());
        break;
    case TWFieldIdentifierDateModified:
    case TWFieldIdentifierDateCreated:
        line.setFormat(fileFormat.isNull() ? formatter.shortDateTimeFormat() : fileFormat);
        break;
    case TWFieldIdentifierDate:
        line.setFormat(fileFormat.isNull() ? formatter.shortDateFormat() : fileFormat);
        break;
    default:
        line.setUnit(TWUnitPtr());
        break;
    }
}
