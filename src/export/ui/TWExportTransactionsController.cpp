#include "export/ui/TWExportTransactionsController.h"

#include "export/core/TWExportWriter.h"

#include "app/TWControls.h"
#include "foundation/TWLocalized.h"
#include "model/TWFilter.h"
#include "store/TWBusiness.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QIODevice>
#include <QLabel>
#include <QTableView>

namespace
{

// The pop-up lists the formats as CSV, HTML, OFX, PDF, QIF; its tags are not
// the stored types.
struct FileTypeTag {
    int tag;
    std::uint32_t fileType;
    const char *title;
};
constexpr FileTypeTag kFileTypes[] = {{0, TWExportFileTypeCSV, "CSV"},
                                      {1, TWExportFileTypeHTML, "HTML"},
                                      {2, TWExportFileTypeOFX, "OFX"},
                                      {3, TWExportFileTypePDF, "PDF"},
                                      {4, TWExportFileTypeQIF, "QIF"}};

template <typename T>
bool containsIdentifier(const QList<std::shared_ptr<T>> &list, const std::shared_ptr<T> &item)
{
    return item && std::any_of(list.cbegin(), list.cend(), [&item](const std::shared_ptr<T> &e) {
               return e && e->identifier() == item->identifier();
           });
}

template <typename T>
void removeIdentifier(QList<std::shared_ptr<T>> &list, const std::shared_ptr<T> &item)
{
    list.removeIf([&item](const std::shared_ptr<T> &e) {
        return !e || (item && e->identifier() == item->identifier());
    });
}

template <typename T>
QList<std::shared_ptr<T>> sortedByDisplayIdentifier(const QList<std::shared_ptr<T>> &chosen,
                                                    const QList<std::shared_ptr<T>> &display)
{
    QHash<qint32, qsizetype> place;
    for (qsizetype i = 0; i < display.size(); ++i) {
        if (display.at(i))
            place.insert(display.at(i)->identifier(), i);
    }
    QList<std::shared_ptr<T>> sorted = chosen;
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [&place, end = display.size()](const std::shared_ptr<T> &a, const std::shared_ptr<T> &b) {
            return place.value(a ? a->identifier() : 0, end) <
                   place.value(b ? b->identifier() : 0, end);
        });
    return sorted;
}

} // namespace

TWExportTransactionsController::TWExportTransactionsController(QObject *parent)
    : TWExportSheetController(parent)
{
}

int TWExportTransactionsController::fileTypeForTag(int tag)
{
    for (const FileTypeTag &entry : kFileTypes) {
        if (entry.tag == tag)
            return int(entry.fileType);
    }
    return -1;
}

int TWExportTransactionsController::tagForFileType(std::uint32_t fileType)
{
    for (const FileTypeTag &entry : kFileTypes) {
        if (entry.fileType == fileType)
            return entry.tag;
    }
    return -1;
}

QList<QPair<QString, int>> TWExportTransactionsController::fileTypeItems() const
{
    QList<QPair<QString, int>> items;
    for (const FileTypeTag &entry : kFileTypes)
        items.append({QString::fromLatin1(entry.title), entry.tag});
    return items;
}

QString TWExportTransactionsController::itemsTitle() const
{
    return TWLocalized("exportAccounts");
}

void TWExportTransactionsController::addControls(QFormLayout *form)
{
    m_filter = new TWPopUpButton(m_view);
    m_filter->setObjectName(QStringLiteral("filterPopUpButton"));
    connect(m_filter, &QComboBox::activated, this, [this] {
        if (!m_settings)
            return;
        const qint32 identifier = m_filter->currentData().toInt();
        m_settings->setFilter(
            identifier != 0 && m_business ? m_business->filterWithIdentifier(identifier) : nullptr);
    });
    form->addRow(TWLocalized("exportFilter"), m_filter);
    m_includeAttachments = new QCheckBox(TWLocalized("exportIncludeAttachments"), m_view);
    m_includeAttachments->setObjectName(QStringLiteral("includeAttachmentsCheckbox"));
    connect(m_includeAttachments, &QCheckBox::toggled, this, [this](bool on) {
        if (m_settings)
            m_settings->setIncludeAttachments(on);
    });
    form->addRow(QString(), m_includeAttachments);
}

QString TWExportTransactionsController::sheetTitle() const
{
    return TWLocalized("exportTransactionsTitle");
}

void TWExportTransactionsController::enableForFileType(std::uint32_t fileType)
{
    // QIF and OFX carry no chosen columns and no attachment files.
    const bool table = fileType != TWExportFileTypeQIF && fileType != TWExportFileTypeOFX;
    fieldsTableView()->setEnabled(table);
    m_includeAttachments->setEnabled(table);
}

void TWExportTransactionsController::doFileType(int tag)
{
    const int fileType = fileTypeForTag(tag);
    if (fileType < 0) {
        enableForFileType(TWExportFileTypeCSV);
        return;
    }
    if (m_settings)
        m_settings->setFileType(std::uint32_t(fileType));
    enableForFileType(std::uint32_t(fileType));
}

TWExportChoiceModel::Source TWExportTransactionsController::itemsSource()
{
    TWExportChoiceModel::Source source;
    source.count = [this] { return int(m_accounts.size()); };
    source.title = [this](int i) {
        return m_accounts.at(i) ? m_accounts.at(i)->name() : QString();
    };
    source.isChosen = [this](int i) {
        return m_settings && containsIdentifier(m_settings->accounts(), m_accounts.at(i));
    };
    source.chosenCount = [this] { return m_settings ? int(m_settings->accounts().size()) : 0; };
    source.choose = [this](int i, bool on) {
        TWAccountList list = m_settings->accounts();
        removeIdentifier(list, m_accounts.at(i));
        if (on)
            list.append(m_accounts.at(i));
        m_settings->setAccounts(list);
    };
    source.chooseAll = [this](bool on) {
        m_settings->setAccounts(on ? m_accounts : TWAccountList());
    };
    return source;
}

TWExportChoiceModel::Source TWExportTransactionsController::fieldsSource()
{
    TWExportChoiceModel::Source source;
    source.count = [this] { return int(m_fields.size()); };
    source.title = [this](int i) { return m_fields.at(i) ? m_fields.at(i)->name() : QString(); };
    source.isChosen = [this](int i) {
        return m_settings && containsIdentifier(m_settings->fields(), m_fields.at(i));
    };
    source.chosenCount = [this] { return m_settings ? int(m_settings->fields().size()) : 0; };
    source.choose = [this](int i, bool on) {
        TWFieldList list = m_settings->fields();
        removeIdentifier(list, m_fields.at(i));
        if (on)
            list.append(m_fields.at(i));
        m_settings->setFields(list);
    };
    source.chooseAll = [this](bool on) { m_settings->setFields(on ? m_fields : TWFieldList()); };
    source.move = [this](int from, int to) { return TWExportOrder::move(m_fields, from, to); };
    return source;
}

void TWExportTransactionsController::resetSettings()
{
    m_accounts = m_business ? m_business->sortedAccounts() : TWAccountList();
    m_settings = m_business && m_business->exportTransactionsSettings()
                     ? m_business->exportTransactionsSettings()->copy()
                     : nullptr;
    m_fields.clear();
    if (m_settings) {
        // The ticked columns first, in their order, then the others.
        for (const TWFieldPtr &field : m_settings->fields()) {
            if (field && !containsIdentifier(m_fields, field))
                m_fields.append(field);
        }
        for (const TWFieldPtr &field : m_business->exportFields()) {
            if (field && !containsIdentifier(m_fields, field))
                m_fields.append(field);
        }
    }
    const std::uint32_t fileType = m_settings ? m_settings->fileType() : TWExportFileTypeCSV;
    if (tagForFileType(fileType) >= 0)
        fileTypePopUpButton()->selectItemWithTag(tagForFileType(fileType));
    enableForFileType(fileType);

    m_filter->clear();
    m_filter->addItem(TWLocalized("none"), 0);
    m_filter->insertSeparator(1);
    int selected = 0;
    if (m_business) {
        for (const TWFilterPtr &filter : m_business->filters()) {
            if (!filter)
                continue;
            m_filter->addItem(filter->name(), filter->identifier());
            if (m_settings && m_settings->filter() &&
                m_settings->filter()->identifier() == filter->identifier())
                selected = m_filter->count() - 1;
        }
    }
    m_filter->setCurrentIndex(selected);
    if (m_settings && selected == 0)
        m_settings->setFilter(nullptr);
    const QSignalBlocker blocker(m_includeAttachments);
    m_includeAttachments->setChecked(m_settings && m_settings->includeAttachments());
}

bool TWExportTransactionsController::canExport() const
{
    return m_settings && !m_settings->accounts().isEmpty() && !m_settings->fields().isEmpty();
}

void TWExportTransactionsController::exportNow()
{
    TWBusiness *business = m_business;
    if (!business || !m_settings)
        return;
    const TWExportTransactionsSettingsPtr settings = m_settings;
    settings->setFields(sortedByDisplayIdentifier(settings->fields(), m_fields));
    // From here on it is the stored choice, also when the save panel is cancelled.
    business->setExportTransactionsSettings(settings);

    bool hasAttachments = false;
    const TWTransactionList transactions = business->transactionsForAccounts(
        std::optional<TWAccountList>(settings->accounts()), settings->filter(),
        settings->interval(), settings->intervalFromDate(), settings->intervalToDate(),
        &hasAttachments);
    const bool folder = TWExportWriter::writesFolder(*settings, hasAttachments);
    chooseLocationAndWrite(folder ? TWExportWriter::baseName()
                                  : TWExportWriter::fileName(settings->fileType()),
                           folder ? QString() : TWExportWriter::extension(settings->fileType()),
                           [business, settings, transactions, folder](const QString &path) {
                               return TWExportWriter::writeTransactions(*business, settings,
                                                                        transactions, path, folder);
                           });
}
