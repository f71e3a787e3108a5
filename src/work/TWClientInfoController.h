#pragma once
// The client form: a new client in a sheet (built on Save; the document
// files and stores it) or the chosen client in the information popover
// (changed on Save; the document writes it when the popover closes).

#include "work/TWContactInfoEditor.h"

#include "model/TWClient.h"

class TWClientInfoController final : public TWContactInfoEditor
{
    Q_OBJECT
public:
    using TWContactInfoEditor::TWContactInfoEditor;

    void setItem(const TWItemPtr &item) override
    {
        m_contact = std::dynamic_pointer_cast<TWClient>(item);
    }
    TWClientPtr client() const { return std::dynamic_pointer_cast<TWClient>(m_contact); }
    void setClient(const TWClientPtr &client) { m_contact = client; }

protected:
    qint32 nextIdentifier() const override;
    std::shared_ptr<TWContactItem> makeContact(qint32 identifier,
                                               const Fields &fields) const override;
    QString interfaceName() const override { return QStringLiteral("TWClientInfo"); }
    const char *sheetTitleKey() const override { return "clientSheetTitle"; }
    const char *pickerTitleKey() const override { return "selectClient"; }
};
