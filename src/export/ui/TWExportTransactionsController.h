#pragma once
// The transactions export sheet: CSV, HTML, PDF, QIF or OFX, an optional saved
// filter, the accounts, the columns and whether the attachment files go along.
// With attachments, a CSV, HTML or PDF export becomes a folder holding the
// export file and an "Attachments" folder of copies the cells link to.

#include "export/ui/TWExportSheetController.h"

#include "model/TWAccount.h"
#include "model/TWExportSettings.h"
#include "model/TWField.h"

class TWExportTransactionsController final : public TWExportSheetController
{
    Q_OBJECT
public:
    explicit TWExportTransactionsController(QObject *parent = nullptr);

    // The pop-up's tags in the order CSV, HTML, OFX, PDF, QIF, as stored types.
    static int fileTypeForTag(int tag);
    static int tagForFileType(std::uint32_t fileType);

    const TWExportTransactionsSettingsPtr &exportSettings() const { return m_settings; }
    const TWAccountList &accounts() const { return m_accounts; }
    const TWFieldList &fields() const { return m_fields; }
    TWPopUpButton *filterPopUpButton() const { return m_filter; }
    QCheckBox *includeAttachmentsCheckbox() const { return m_includeAttachments; }

protected:
    void addControls(QFormLayout *form) override;
    QString sheetTitle() const override;
    QList<QPair<QString, int>> fileTypeItems() const override;
    void doFileType(int tag) override;
    QString itemsTitle() const override;
    TWExportChoiceModel::Source itemsSource() override;
    TWExportChoiceModel::Source fieldsSource() override;
    void resetSettings() override;
    bool canExport() const override;
    void exportNow() override;
    std::uint32_t interval() const override { return intervalOf(m_settings.get()); }
    void setInterval(std::uint32_t interval) override { setIntervalOf(m_settings.get(), interval); }
    QDateTime intervalDate(int tag) const override { return intervalDateOf(m_settings.get(), tag); }
    void setIntervalDate(int tag, const QDateTime &date) override
    {
        setIntervalDateOf(m_settings.get(), tag, date);
    }

private:
    void enableForFileType(std::uint32_t fileType);

    TWExportTransactionsSettingsPtr m_settings;
    TWAccountList m_accounts;
    TWFieldList m_fields;
    TWPopUpButton *m_filter = nullptr;
    QCheckBox *m_includeAttachments = nullptr;
};
