#pragma once
// What the document asks of the editors it opens for source-list records
// (group, account, filter, client, merchant, report), of the transaction
// editor and of the several-at-once editor. The pieces that build them derive
// from these; the group and filter editors are the shell's own.

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"
#include "app/TWPopover.h"

#include "model/TWItem.h"
#include "model/TWRelationship.h"
#include "model/TWTransaction.h"

#include <QPointer>

#include <functional>

class QDialogButtonBox;
class QPushButton;

// An information editor: mode New makes a new record (shown as a sheet), mode Existing
// edits a copy of a listed record (shown in a popover).
class TWInfoEditor : public TWLazyViewController<TWEditorController>
{
    Q_OBJECT
public:
    using TWLazyViewController<TWEditorController>::TWLazyViewController;
    // The record made (mode New) or edited (mode Existing); none before a save in mode New.
    virtual TWItemPtr item() const = 0;
    virtual void setItem(const TWItemPtr &item) = 0;
    // Whether an edit in mode Existing was saved.
    bool saved() const { return m_saved; }
    // The item type of a new group (groups only).
    virtual void setType(int type) { m_type = type; }
    int type() const { return m_type; }
    void setParentPopover(TWPopover *popover) { m_popover = popover; }
    TWPopover *parentPopover() const { return m_popover; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

protected:
    // The form into `m_view`; each editor builds its own.
    void build() override {}
    // Cancel and Save (the default) in a button box of the view; they answer
    // through `doSave` with 0 and 1.
    QDialogButtonBox *addSaveCancelBox(const std::function<void(int)> &doSave);
    // Connects Cancel and Save to `doSave` with 0 and 1.
    void connectSaveCancel(const std::function<void(int)> &doSave);
    // Whether a new record may take `identifier`: a record numbered 0 would
    // never be stored, so the store's error is shown instead.
    bool acceptIdentifier(qint32 identifier) const;
    // After Save (tag 1) or Cancel: a save that went through marks the
    // document changed; then the popover closes (mode Existing) or the sheet ends
    // (mode New) with Confirmed for a made record, else Cancelled.
    void finishSave(int tag, bool made);

    bool m_saved = false;
    int m_type = 0;
    QPointer<TWPopover> m_popover;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
};

// The transaction editor's modes, kept in TWEditorController's int.
enum class TWTransactionEditorMode : int {
    New = 0,        // one new transaction
    NewSeveral = 1, // several new ones in a row
    Edit = 2,       // a stored one
    ReadOnly = 3,   // a closed or locked one, shown only
};

constexpr bool operator==(int mode, TWTransactionEditorMode named)
{
    return mode == static_cast<int>(named);
}

// The transaction editor (TWTransactionEditorMode). It stores what it saves itself.
class TWTransactionEditor : public TWEditorController
{
    Q_OBJECT
public:
    using TWEditorController::setMode;
    using TWEditorController::TWEditorController;
    void setMode(TWTransactionEditorMode mode) { setMode(static_cast<int>(mode)); }
    virtual void setTransaction(const TWTransactionPtr &transaction) = 0;
    // The transaction as it was given.
    virtual TWTransactionPtr transaction() const = 0;
    // The saved copy.
    virtual TWTransactionPtr editTransaction() const = 0;
    virtual void setRelationships(const TWRelationshipList &relationships) = 0;
    virtual void setIsImport(bool isImport) = 0;
    virtual bool saved() const = 0;
    // An account made from inside the editor joins its choices.
    virtual void updateWithNewAccount(const TWAccountPtr &) {}
};

// Edits several transactions at once; saves by itself.
class TWEditTransactionsEditor : public TWEditorController
{
    Q_OBJECT
public:
    using TWEditorController::TWEditorController;
    virtual void setTransactions(const TWTransactionList &transactions) = 0;
};
