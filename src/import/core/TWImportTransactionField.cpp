#include "import/core/TWImportTransactionField.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWPropertyList.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace
{

bool isAmountField(qint32 identifier)
{
    return identifier == TWFieldIdentifierTotal || identifier == TWFieldIdentifierCredit ||
           identifier == TWFieldIdentifierDebit;
}

bool isBuiltInDateField(qint32 identifier)
{
    return identifier == TWFieldIdentifierDateModified ||
           identifier == TWFieldIdentifierDateCreated || identifier == TWFieldIdentifierDate;
}

// The unit an amount column's name gives in brackets ("Amount (EUR)", as the
// OFX reader names its currency columns), when the business has it.
TWUnitPtr unitFromColumnName(const QString &name, const TWBusiness &business)
{
    static const QRegularExpression code(QStringLiteral("\\(\\s*([A-Za-z0-9]{2,6})\\s*\\)\\s*$"));
    const QRegularExpressionMatch match = code.match(name);
    return match.hasMatch() ? business.unitWithCode(match.captured(1)) : TWUnitPtr();
}

// An odometer reading beside a mileage amount ("Amount (start)", "Amount
// (end)", as the program's own spreadsheet writes a mileage unit's trips):
// in a mileage file no amount of the row, which would otherwise take the
// reading's place.
bool isMileageReadingColumn(const QString &name)
{
    static const QRegularExpression bracket(QStringLiteral("\\(\\s*([^()]+?)\\s*\\)\\s*$"));
    const QRegularExpressionMatch match = bracket.match(name);
    if (!match.hasMatch())
        return false;
    const QString word = match.captured(1);
    return word.compare(TWLocalized("start"), Qt::CaseInsensitive) == 0 ||
           word.compare(TWLocalized("end"), Qt::CaseInsensitive) == 0;
}

} // namespace

TWImportTransactionField::TWImportTransactionField(const QString &sourceName,
                                                   const TWAccountPtr &defaultAccount,
                                                   const TWBusiness &business, bool mileageFile)
    : m_sourceName(sourceName)
{
    const std::optional<QVariantMap> entry =
        storedEntry(business.importTransactionsSettings(), sourceName, mileageFile);
    // An odometer reading of a mileage log is set aside whatever was stored
    // under its name.
    if (!entry || (mileageFile && isMileageReadingColumn(sourceName))) {
        guess(defaultAccount, business, mileageFile);
        return;
    }
    // Earlier builds stored a bank file's "Amount (end)" as set aside when
    // they took it for an odometer reading: in a bank file such a column is
    // the amount its name says. What this build stored (marked) is the
    // user's own choice, a running balance set aside, and stays.
    if (!mileageFile && isMileageReadingColumn(sourceName) &&
        !TWPropertyList::boolValue(entry->value(TWImportKeyBankFile), false) &&
        TWPropertyList::unsignedIntValue(entry->value(TWImportKeyType), 0) ==
            TWImportFieldTypeNone) {
        guess(defaultAccount, business, mileageFile);
        if (isAmountField(builtInIdentifier()))
            return;
        *this = TWImportTransactionField();
        m_sourceName = sourceName;
    }
    restore(*entry, business);
}

std::optional<QVariantMap> TWImportTransactionField::storedEntry(const QVariantMap &stored,
                                                                 const QString &sourceName,
                                                                 bool mileageFile)
{
    const QVariant value = stored.value(sourceName);
    if (value.metaType().id() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap entry = value.toMap();
    if (mileageFile) {
        const QVariant mileage = entry.value(TWImportKeyMileage);
        if (mileage.metaType().id() != QMetaType::QVariantMap)
            return std::nullopt;
        return mileage.toMap();
    }
    // A column only a mileage log has had holds no bank file's line.
    if (entry.contains(TWImportKeyMileage) && !entry.contains(TWImportKeyType))
        return std::nullopt;
    return entry;
}

void TWImportTransactionField::storeEntry(QVariantMap &stored, const QString &sourceName,
                                          const QVariantMap &entry, bool mileageFile)
{
    const QVariant value = stored.value(sourceName);
    const QVariantMap before =
        value.metaType().id() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
    QVariantMap after;
    if (mileageFile) {
        // The bank file's line stays where earlier builds read it.
        after = before;
        after.insert(TWImportKeyMileage, entry);
    } else {
        after = entry;
        after.insert(TWImportKeyBankFile, true);
        if (before.contains(TWImportKeyMileage))
            after.insert(TWImportKeyMileage, before.value(TWImportKeyMileage));
    }
    stored.insert(sourceName, after);
}

TWImportTransactionFieldPtr TWImportTransactionField::importTransactionFieldWithSourceName(
    const QString &sourceName, const TWAccountPtr &defaultAccount, const TWBusiness &business,
    bool mileageFile)
{
    return std::make_shared<TWImportTransactionField>(sourceName, defaultAccount, business,
                                                      mileageFile);
}

bool TWImportTransactionField::isMileageFile(const QStringList &columns,
                                             const TWAccountPtr &defaultAccount,
                                             const TWBusiness &business)
{
    const auto mileage = [](const TWUnitPtr &unit) {
        return unit && unit->type() == TWUnitTypeMileage;
    };
    if (defaultAccount && mileage(defaultAccount->unit()))
        return true;
    for (const QString &column : columns) {
        if (mileage(unitFromColumnName(column, business)))
            return true;
    }
    return false;
}

void TWImportTransactionField::restore(const QVariantMap &entry, const TWBusiness &business)
{
    if (entry.contains(TWImportKeyField))
        m_field = business.fieldWithIdentifier(
            TWPropertyList::intValue(entry.value(TWImportKeyField), 0));
    if (entry.contains(TWImportKeyAccount))
        m_account = business.accountWithIdentifier(
            TWPropertyList::intValue(entry.value(TWImportKeyAccount), 0));
    if (entry.contains(TWImportKeyFolderURL)) {
        const QString path = entry.value(TWImportKeyFolderURL).toString();
        if (!path.isEmpty() && QFileInfo::exists(path))
            m_folderURL = QUrl::fromLocalFile(path);
    }
    if (entry.contains(TWImportKeyUnit))
        m_unit = business.unitWithCode(entry.value(TWImportKeyUnit).toString());
    if (entry.contains(TWImportKeyFormat))
        m_format = entry.value(TWImportKeyFormat).toString();
    m_createIfNeeded = TWPropertyList::boolValue(entry.value(TWImportKeyCreateIfNeeded), false);
    m_type = TWPropertyList::unsignedIntValue(entry.value(TWImportKeyType), 0);
}

void TWImportTransactionField::guess(const TWAccountPtr &defaultAccount, const TWBusiness &business,
                                     bool mileageFile)
{
    m_createIfNeeded = false;
    const QString upper = m_sourceName.toUpper();
    if (upper.isEmpty()) {
        m_type = TWImportFieldTypeNone;
        return;
    }
    qint32 wanted = 0;
    if (upper.compare(QLatin1String("NAME"), Qt::CaseInsensitive) == 0)
        wanted = -5;
    else if (upper.compare(QLatin1String("MEMO"), Qt::CaseInsensitive) == 0)
        wanted = -6;
    else if (upper.startsWith(QLatin1String("AMOUNT")))
        wanted = -12;
    else if (upper.compare(QLatin1String("ACCOUNT 1"), Qt::CaseInsensitive) == 0)
        wanted = -7;

    for (const TWFieldPtr &candidate : business.importFields()) {
        if (!candidate)
            continue;
        const qint32 identifier = candidate->identifier();
        const bool matches =
            (wanted != 0 && identifier == wanted) ||
            (identifier != TWFieldIdentifierAccount1 &&
             (TWStringAdditions::searchString(candidate->name(), upper, true) ||
              TWStringAdditions::searchString(upper, candidate->name().toUpper(), true)));
        if (!matches)
            continue;
        m_field = candidate;
        m_type = TWImportFieldTypeField;
        if (candidate->type() == TWFieldTypeDate ||
            (candidate->type() == TWFieldTypeStandard && isBuiltInDateField(identifier))) {
            m_format = TWFormatter::formatter().shortDateFormat();
        } else if (candidate->type() == TWFieldTypeStandard && isAmountField(identifier)) {
            if (mileageFile && isMileageReadingColumn(m_sourceName)) {
                m_field.reset();
                m_type = TWImportFieldTypeNone;
                m_setAside = true;
                return;
            }
            m_unit = unitFromColumnName(m_sourceName, business);
            if (!m_unit)
                m_unit = defaultAccount ? defaultAccount->unit() : business.homeUnit();
        }
        return;
    }
    m_type = TWImportFieldTypeNone;
}

qint32 TWImportTransactionField::builtInIdentifier() const
{
    if (m_type != TWImportFieldTypeField || !m_field || m_field->type() != TWFieldTypeStandard)
        return 0;
    return m_field->identifier();
}

bool TWImportTransactionField::readsDates() const
{
    if (m_type != TWImportFieldTypeField || !m_field)
        return false;
    return m_field->type() == TWFieldTypeDate ||
           (m_field->type() == TWFieldTypeStandard && isBuiltInDateField(m_field->identifier()));
}

void TWImportTransactionField::setFileFormat(const QString &pattern)
{
    m_fileFormat = pattern;
    m_formatBeforeFile = m_format;
    if (readsDates() && !pattern.isNull())
        m_format = pattern;
}

QVariantMap TWImportTransactionField::settings() const
{
    QVariantMap entry;
    entry.insert(TWImportKeyType, QVariant::fromValue<quint32>(m_type));
    if (m_type == TWImportFieldTypeAccount) {
        if (m_account)
            entry.insert(TWImportKeyAccount,
                         QVariant::fromValue<quint32>(quint32(m_account->identifier())));
        if (m_unit)
            entry.insert(TWImportKeyUnit, m_unit->code());
        return entry;
    }
    if (m_type != TWImportFieldTypeField || !m_field)
        return entry;
    const qint32 identifier = m_field->identifier();
    entry.insert(TWImportKeyField, QVariant::fromValue<qint32>(identifier));
    const bool builtIn = m_field->type() == TWFieldTypeStandard;
    if (builtIn && isAmountField(identifier) && m_unit)
        entry.insert(TWImportKeyUnit, m_unit->code());
    // The next file may write its dates in another order: the format this one
    // brought is not kept for it.
    const QString &stored =
        !m_fileFormat.isNull() && m_format == m_fileFormat ? m_formatBeforeFile : m_format;
    if (readsDates() && !stored.isNull())
        entry.insert(TWImportKeyFormat, stored);
    if ((!builtIn && (m_field->type() == TWFieldTypeList || m_field->type() == TWFieldTypeTags)) ||
        (builtIn &&
         (identifier == TWFieldIdentifierAccount2 || identifier == TWFieldIdentifierAccount1)))
        entry.insert(TWImportKeyCreateIfNeeded, m_createIfNeeded);
    if (builtIn && identifier == TWFieldIdentifierAttachments && m_folderURL.isValid())
        entry.insert(TWImportKeyFolderURL, m_folderURL.toLocalFile());
    return entry;
}
