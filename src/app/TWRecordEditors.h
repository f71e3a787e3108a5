#pragma once
// What the document asks of the editors it opens for source-list records
// (group, account, filter, client, merchant, report), of the transaction
// editor and of the several-at-once editor. The pieces that build them derive
// from these; the group and filter editors are the shell's own.

#include "TWAppRegistry.h"
#include "TWPopover.h"

#include "TWItem.h"
#include "TWRelationship.h"
#include "TWTransaction.h"

#include <QPointer>

// An information editor: mode 0 makes a new record (shown as a sheet), mode 1
// edits a copy of a listed record (shown in a popover).
class TWInfoEditor : public TWEditorController
{
    Q_OBJECT
public:
    using TWEditorController::TWEditorController;
    // The record made (mode 0) or edited (mode 1); none before a save in mode 0.
    virtual TWItemPtr item() const = 0;
    virtual void setItem(const TWItemPtr &item) = 0;
    // Whether an edit in mode 1 was saved.
    bool saved() const { return m_saved; }
    // The item type of a new group (groups only).
    virtual void setType(int type) { m_type = type; }
    int type() const { return m_type; }
    void setParentPopover(TWPopover *popover) { m_popover = popover; }
    TWPopover *parentPopover() const { return m_popover; }

protected:
    bool m_saved = false;
    int m_type = 0;
    QPointer<TWPopover> m_popover;
};

// The transaction editor: modes 0 one new transaction, 1 several in a row,
// 2 edit, 3 show a closed or locked one. It stores what it saves itself.
class TWTransactionEditor : public TWEditorController
{
    Q_OBJECT
public:
    using TWEditorController::TWEditorController;
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
