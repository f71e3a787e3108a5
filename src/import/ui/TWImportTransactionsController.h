#pragma once
// The first sheet of a transaction import: reads a bank or spreadsheet file
// (CSV, TXT, QIF, OFX, QFX by its extension), shows what each of its columns
// becomes, offers to create the accounts the file names and the business
// lacks, shows what could not be read, and hands the transactions made from
// the file to the selection sheet.

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"

#include "foundation/TWError.h"
#include "import/core/TWImportTransactions.h"
#include "import/core/TWParser.h"

#include <QPointer>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;
class QTableView;
class TWImportMappingModel;
class TWImportTransactionsSelectController;
class TWMissingAccountsController;
class TWPopUpButton;

class TWImportTransactionsController final : public TWLazyViewController<TWImportController>
{
    Q_OBJECT
public:
    // Asks for a file (`folder` false) or a folder; `done` gets the path, or
    // an empty one when the user cancelled. A window-modal panel unless a
    // test puts in an answer of its own (an empty function puts it back).
    using ChoosePath = std::function<void(QWidget *parent, bool folder,
                                          std::function<void(const QString &path)> done)>;
    static void setChoosePath(ChoosePath choose);

    explicit TWImportTransactionsController(QObject *parent = nullptr);
    ~TWImportTransactionsController() override;

    void reset() override;
    void select() override;
    void importURL(const QUrl &url) override;
    void setDefaultAccount(const std::shared_ptr<TWAccount> &account) override
    {
        m_defaultAccount = account;
    }

    // Tag 1 goes on with the import, any other cancels.
    void doParse(int tag);
    // Chooses the attachments' folder of a mapping row.
    void doPath(int row);

    QObject *selectionList(SelectionList list) const override;
    bool selectionListHasContextMenu(SelectionList list, QMenu *menu) const override;
    bool selectionListHasFirstResponder(SelectionList list) const override;
    void updateTransaction(const TWTransactionPtr &original,
                           const TWTransactionPtr &edited) override;

    // For tests and the sheet's own wiring.
    TWPopUpButton *accountPopUpButton() const { return m_accountPopUp; }
    QTableView *tableView() const { return m_table; }
    TWImportMappingModel *model() const { return m_model; }
    QLabel *numberTransactionsLabel() const { return m_countLabel; }
    QLabel *accountHint() const { return m_accountHint; }
    // Where each statement of a file of several goes; hidden otherwise.
    QLabel *statementNote() const { return m_statementNote; }
    // A file of several statements: the statement of the chosen account
    // among those that name no account (item 0: none, they all stay out).
    TWPopUpButton *statementPopUpButton() const { return m_statementPopUp; }
    QPushButton *parseButton() const { return m_parseButton; }
    const std::shared_ptr<TWParser> &parser() const { return m_parser; }
    const TWImportTransactionsSettingsPtr &importSettings() const { return m_settings; }
    TWImportTransactionsSelectController *selectController() const { return m_select; }
    TWMissingAccountsController *missingAccountsController() const { return m_missing; }

    // The parser a file's extension asks for (any case): QIF, OFX for "ofx"
    // and "qfx", CSV for anything else.
    static std::shared_ptr<TWParser> parserForPath(const QString &path);

signals:
    void errorPresented(const TWError &error);

private:
    void build() override;
    void parse();
    bool generateImportSettings();
    void missingAccounts();
    void process();
    void showTransactions();
    void updateParseButton();
    void updateStatements();
    QString chosenStatement() const;
    // Whether the file's lines have no account of their own and none is
    // chosen: Continue waits for the choice.
    bool needsAccount() const;
    void presentError(const TWError &error);

    TWPopUpButton *m_accountPopUp = nullptr;
    QTableView *m_table = nullptr;
    TWImportMappingModel *m_model = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_accountHint = nullptr;
    TWPopUpButton *m_statementPopUp = nullptr;
    QLabel *m_statementLabel = nullptr;
    QLabel *m_statementHint = nullptr;
    QLabel *m_statementNote = nullptr;
    void updateStatementNote();
    QStringList m_openStatements;
    QPushButton *m_parseButton = nullptr;
    QPushButton *m_cancelButton = nullptr;

    std::shared_ptr<TWAccount> m_defaultAccount;
    QUrl m_importURL;
    std::shared_ptr<TWParser> m_parser;
    TWImportTransactionsSettingsPtr m_settings;
    std::shared_ptr<TWImportTransactions> m_importer;
    TWAccountList m_accounts;
    TWImportTransactionsSelectController *m_select = nullptr;
    TWMissingAccountsController *m_missing = nullptr;
};
