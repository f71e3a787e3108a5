#include "app/TWRecordEditors.h"

#include "app/TWBusinessController.h"

#include "foundation/TWLocalized.h"

#include <QDialogButtonBox>
#include <QPushButton>

QDialogButtonBox *TWInfoEditor::addSaveCancelBox(const std::function<void(int)> &doSave)
{
    auto *buttons = new QDialogButtonBox(m_view);
    m_cancel = buttons->addButton(TWLocalized("cancel"), QDialogButtonBox::RejectRole);
    m_save = buttons->addButton(TWLocalized("save"), QDialogButtonBox::AcceptRole);
    m_save->setDefault(true);
    connectSaveCancel(doSave);
    return buttons;
}

void TWInfoEditor::connectSaveCancel(const std::function<void(int)> &doSave)
{
    connect(m_save, &QPushButton::clicked, this, [doSave] { doSave(1); });
    connect(m_cancel, &QPushButton::clicked, this, [doSave] { doSave(0); });
}

bool TWInfoEditor::acceptIdentifier(qint32 identifier) const
{
    if (identifier != 0)
        return true;
    if (m_document)
        m_document->presentError(m_document->lastStoreError());
    return false;
}

void TWInfoEditor::finishSave(int tag, bool made)
{
    if (tag == 1 && made && m_document)
        m_document->updateChangeCount(0);
    if (m_mode == TWEditorMode::Existing) {
        if (m_popover)
            m_popover->performClose();
    } else if (m_mode == TWEditorMode::New) {
        const int code =
            sheetReturnCode(tag == 1 && made ? TWSheetResult::Confirmed : TWSheetResult::Cancelled);
        if (m_document)
            m_document->endSheet(m_view, code);
        emit endRequested(code);
    }
}
