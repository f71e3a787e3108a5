#pragma once
// Doubles for the record commands, popovers and imports: a register that
// records what it was asked, information and transaction editors standing in
// for the pieces that build them, and an import sheet whose selection step
// says which list has the focus or the menu.

#include "TWWindowTestSupport.h"
#include "app/TWRecordEditors.h"

#include "TWDenyGuard.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

class TWRecordingRegister final : public TWRegisterDetail
{
    Q_OBJECT
public:
    using TWRegisterDetail::TWRegisterDetail;
    QWidget *view() override { return m_view.get(); }
    void setAccounts(const TWAccountList &list) override { accounts = list; }
    TWAccountList shownAccounts() const override { return accounts; }
    TWTransactionList selectedTransactions() const override { return selected; }
    bool hasSelectedTransaction(bool, bool single, bool multiple, bool) const override
    {
        return !selected.isEmpty() && (!single || selected.size() == 1) &&
               (!multiple || selected.size() > 1);
    }
    void selectTransactions(const TWTransactionList &list) override { selections.append(list); }
    void editSelectedTransaction(bool context) override { calls.append(call("edit", context)); }
    void duplicateSelectedTransaction(bool context) override
    {
        calls.append(call("duplicate", context));
    }
    void deleteSelectedTransaction(bool context) override { calls.append(call("delete", context)); }
    void markSelectedTransaction(bool cleared, bool context) override
    {
        calls.append(call(cleared ? "markCleared" : "markNotCleared", context));
    }
    void toggleFieldVisible(const TWFieldPtr &field) override
    {
        calls.append(QStringLiteral("column %1").arg(field->identifier()));
    }
    void updateSortBy(const TWFieldPtr &field, bool) override
    {
        calls.append(QStringLiteral("sortBy %1").arg(field->identifier()));
    }
    void updateSortDirection(bool ascending, bool) override
    {
        calls.append(QStringLiteral("ascending %1").arg(ascending));
    }

    static QString call(const char *name, bool context)
    {
        return QLatin1String(name) + (context ? QStringLiteral("/context") : QString());
    }

    TWAccountList accounts;
    TWTransactionList selected;
    QList<TWTransactionList> selections;
    QStringList calls;

private:
    TWStandInView<> m_view{QStringLiteral("register")};
};

// An information editor of a piece not built here: a name field; saves by
// tag like the shell's own editors.
class TWFakeInfoEditor final : public TWInfoEditor
{
    Q_OBJECT
public:
    using TWInfoEditor::TWInfoEditor;
    QWidget *view() override { return m_field.get(); }
    TWItemPtr item() const override { return record; }
    void setItem(const TWItemPtr &item) override { record = item; }
    void reset() override { record.reset(); }
    void update() override { m_saved = false; }
    // Mode 1 renames the record; mode 0 keeps `made` as the new record.
    void doSave(int tag, const QString &name = {})
    {
        if (tag == 1 && m_mode == 1 && record) {
            record->setName(name);
            m_saved = true;
        } else if (tag == 1 && m_mode == 0) {
            record = made;
        }
        if (m_mode == 1 && m_popover)
            m_popover->performClose();
        else if (m_mode == 0 && m_document)
            m_document->endSheet(m_field.data(), tag == 1 ? -1002 : -1001);
    }

    TWItemPtr record;
    TWItemPtr made;

private:
    TWStandInView<QLineEdit> m_field;
};

class TWFakeTransactionEditor final : public TWTransactionEditor
{
    Q_OBJECT
public:
    using TWTransactionEditor::TWTransactionEditor;
    QWidget *view() override { return m_view.get(); }
    void setTransaction(const TWTransactionPtr &t) override { given = t; }
    TWTransactionPtr transaction() const override { return given; }
    TWTransactionPtr editTransaction() const override { return edited; }
    void setRelationships(const TWRelationshipList &list) override { relationships = list; }
    void setIsImport(bool value) override { isImport = value; }
    bool saved() const override { return wasSaved; }
    void update() override
    {
        ++updates;
        wasSaved = false;
        edited = given ? given->copy() : nullptr;
    }
    void updateWithNewAccount(const TWAccountPtr &account) override { newAccounts.append(account); }

    TWTransactionPtr given;
    TWTransactionPtr edited;
    TWRelationshipList relationships;
    TWAccountList newAccounts;
    bool isImport = false;
    bool wasSaved = false;
    int updates = 0;

private:
    TWStandInView<> m_view{QStringLiteral("transaction")};
};

class TWFakeImport final : public TWImportController
{
    Q_OBJECT
public:
    explicit TWFakeImport(QObject *parent)
        : TWImportController(parent), importList(new TWRecordingRegister(this)),
          existingList(new TWRecordingRegister(this))
    {
    }
    QWidget *view() override { return nullptr; }
    void importURL(const QUrl &url) override { urls.append(url); }
    void select() override { ++selects; }
    void setDefaultAccount(const TWAccountPtr &account) override
    {
        defaultAccount = account;
        ++defaultsGiven;
    }
    QObject *selectionList(SelectionList which) const override
    {
        return which == ImportList ? importList : existingList;
    }
    bool selectionListHasContextMenu(SelectionList which, QMenu *menu) const override
    {
        return menu && menu == (which == ImportList ? importMenu : existingMenu);
    }
    bool selectionListHasFirstResponder(SelectionList which) const override
    {
        return focused == int(which);
    }
    void updateTransaction(const TWTransactionPtr &original,
                           const TWTransactionPtr &edited) override
    {
        replaced.append({original, edited});
    }

    TWRecordingRegister *importList;
    TWRecordingRegister *existingList;
    QMenu *importMenu = nullptr;
    QMenu *existingMenu = nullptr;
    int focused = -1;
    QList<QUrl> urls;
    int selects = 0;
    TWAccountPtr defaultAccount;
    int defaultsGiven = 0;
    QList<std::pair<TWTransactionPtr, TWTransactionPtr>> replaced;
};

// Stands in for the business-information form: hands back the record it was
// given, changed by the test.
class TWFakeBusinessInfoForm final : public TWBusinessInfoEditor
{
    Q_OBJECT
public:
    using TWBusinessInfoEditor::TWBusinessInfoEditor;
    ~TWFakeBusinessInfoForm() override { delete m_view; }
    QWidget *view() override
    {
        if (!m_view)
            m_view = new QLabel(QStringLiteral("business"));
        return m_view;
    }
    TWBusinessInfoPtr businessInfo() const override { return info; }
    void setBusinessInfo(const TWBusinessInfoPtr &value) override { info = value; }
    bool dirtyAccountingPeriods() const override { return dirty; }

    TWBusinessInfoPtr info;
    bool dirty = false;

private:
    QPointer<QWidget> m_view;
};

class TWRecordTest : public TWWindowTest
{
protected:
    // The register records what it is asked.
    void registerRecordingViews()
    {
        TWAppRegistry &registry = TWAppRegistry::registry();
        registry.setDetailFactory(TWDetailTransactionsAccounts, [this](QObject *parent) {
            recordingRegister = new TWRecordingRegister(parent);
            return recordingRegister;
        });
        registry.setEditorFactory(TWEditorKind::Transaction, [this](QObject *parent) {
            transactionEditor = new TWFakeTransactionEditor(parent);
            return transactionEditor;
        });
    }

    // Lets queued completions and deferred deletes run.
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    TWRecordingRegister *recordingRegister = nullptr;
    TWFakeTransactionEditor *transactionEditor = nullptr;
};
