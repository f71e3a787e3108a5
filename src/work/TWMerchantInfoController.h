#pragma once
// The merchant form: a new merchant in a sheet (built on Save; the document
// files and stores it) or the chosen merchant in the information popover
// (changed on Save; the document writes it when the popover closes).

#include "work/TWContactInfoEditor.h"

#include "model/TWMerchant.h"

class TWMerchantInfoController final : public TWContactInfoEditor
{
    Q_OBJECT
public:
    using TWContactInfoEditor::TWContactInfoEditor;

    void setItem(const TWItemPtr &item) override
    {
        m_contact = std::dynamic_pointer_cast<TWMerchant>(item);
    }
    TWMerchantPtr merchant() const { return std::dynamic_pointer_cast<TWMerchant>(m_contact); }
    void setMerchant(const TWMerchantPtr &merchant) { m_contact = merchant; }

protected:
    qint32 nextIdentifier() const override;
    std::shared_ptr<TWContactItem> makeContact(qint32 identifier,
                                               const Fields &fields) const override;
    QString interfaceName() const override { return QStringLiteral("TWMerchantInfo"); }
    const char *sheetTitleKey() const override { return "merchantSheetTitle"; }
    const char *pickerTitleKey() const override { return "selectMerchant"; }
};
