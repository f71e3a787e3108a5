#pragma once
// Turns the rows of a parsed transaction file into new, unsaved transactions by
// the mapping of its columns: dates by format, amounts by unit and sign (the
// store's: debit and total add to account 1, credit takes away), accounts,
// list entries and tags by name, custom fields by type, attachments from the
// chosen folder, and split transactions from the split rows of a QIF file and
// from columns mapped to accounts. What it cannot find it gathers into a
// warnings text. It never adds transactions to the store; it does add the
// list entries and tags it is allowed to create.

#include "import/core/TWImportTransactionsSettings.h"
#include "model/TWAccount.h"
#include "model/TWAccountNumbers.h"
#include "model/TWTransaction.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <memory>

class TWBusiness;

class TWImportTransactions
{
public:
    TWImportTransactions(const QList<QStringList> &rows,
                         const TWImportTransactionsSettingsPtr &importSettings,
                         TWBusiness &business);
    static std::shared_ptr<TWImportTransactions>
    importTransactionsWithRows(const QList<QStringList> &rows,
                               const TWImportTransactionsSettingsPtr &importSettings,
                               TWBusiness &business);

    // A processor of a parser's rows that knows what the parser made of them:
    // its made-up account names and how it wrote amounts. The import sheet
    // makes its processor so.
    static std::shared_ptr<TWImportTransactions>
    importTransactionsWithParser(const class TWParser &parser,
                                 const TWImportTransactionsSettingsPtr &importSettings,
                                 TWBusiness &business);

    // The account names the file's account columns use and the business
    // lacks, each once, in order of first use (the split word left out, the
    // split prefix taken off).
    QStringList missingAccounts();

    // Makes `transactions` from the rows. True when nothing was missing; false
    // when something was (then `warnings`, when given, receives one block per
    // kind of problem; otherwise it is set to a null string). With fewer than
    // two accounts in the business nothing is made and the answer is false.
    bool processTransactions(QString *warnings = nullptr);

    // Copies the file at the URL to a new temporary file and attaches the copy
    // to the transaction under the file's own name; false, attaching nothing,
    // when the copy fails.
    bool addAttachment(TWTransaction &transaction, const QUrl &url);

    const QList<QStringList> &rows() const { return m_rows; }
    void setRows(const QList<QStringList> &v) { m_rows = v; }
    const TWImportTransactionsSettingsPtr &importSettings() const { return m_importSettings; }
    void setImportSettings(const TWImportTransactionsSettingsPtr &v) { m_importSettings = v; }
    TWBusiness &business() const { return *m_business; }
    void setBusiness(TWBusiness &v) { m_business = &v; }
    // Account names the parser made up (TWParser::placeholderAccountNames):
    // such a name takes only an account of exactly that name, else the
    // default account, and is never missing.
    const QSet<QString> &placeholderAccountNames() const { return m_placeholders; }
    void setPlaceholderAccountNames(const QSet<QString> &v) { m_placeholders = v; }
    // Whether the amounts are a parser's own writing (TWParser::plainAmounts):
    // then no separator in them is grouping.
    bool plainAmounts() const { return m_plainAmounts; }
    void setPlainAmounts(bool v) { m_plainAmounts = v; }
    const TWTransactionList &transactions() const { return m_transactions; }
    void setTransactions(const TWTransactionList &v) { m_transactions = v; }
    // The identifiers of the transactions whose account 2 the file did not
    // give (a bank statement's lines): the duplicate test knows them by
    // their own account alone.
    const QSet<qint32> &openCounterparts() const { return m_openCounterparts; }
    void addOpenCounterpart(qint32 identifier) { m_openCounterparts.insert(identifier); }
    // The identifiers of the transactions an amount of whose row was refused
    // (too many places for its unit, not an amount of it): they are named in
    // the warnings and never booked, at 0 or otherwise.
    const QSet<qint32> &refused() const { return m_refused; }
    void addRefused(qint32 identifier) { m_refused.insert(identifier); }
    // The identifiers of the split transactions whose file lists rows under
    // several accounts without saying under which it lists them (a
    // spreadsheet of several registers): the duplicate test lets them stand
    // under any of their accounts.
    const QSet<qint32> &unlistedSplits() const { return m_unlistedSplits; }
    void addUnlistedSplit(qint32 identifier) { m_unlistedSplits.insert(identifier); }
    // A file of several statements (TWParser::statements): their labels, the
    // account numbers the file gives them, what it says of their writer, and
    // the label of the statement the user chose as the default account's. A
    // statement's rows go to the account its number names
    // (statementAccount), else to the default account when it is the chosen
    // one, else they are left out (and named in the warnings).
    const QStringList &statements() const { return m_statements; }
    const QHash<QString, QString> &statementNumbers() const { return m_statementNumbers; }
    void setStatements(const QStringList &labels, const QHash<QString, QString> &numbers,
                       const QHash<QString, TWAccountNumbers::WriterMark> &marks = {})
    {
        m_statements = labels;
        m_statementNumbers = numbers;
        m_statementMarks = marks;
    }
    const QString &chosenStatement() const { return m_chosenStatement; }
    void setChosenStatement(const QString &label) { m_chosenStatement = label; }
    // The account a statement names: in a file this business wrote
    // (`mark`), the account the statement was written from
    // (TWAccountNumbers::accountLabel), else the one of its accounts whose
    // number its OFX writes (TWAccountNumbers::statementNumber, "TW12" among
    // them); in any other file the one account of the balance sheet that
    // holds the number (its institution's account number or its own), never
    // an income, expense or equity account. None where two accounts hold
    // it, for an empty number or "0", and for another's "TW12".
    static TWAccountPtr statementAccount(const TWBusiness &business, const QString &number,
                                         const TWAccountNumbers::WriterMark &mark = {});
    // The same for a label of this file.
    TWAccountPtr accountOfStatement(const QString &label) const
    {
        return statementAccount(*m_business, m_statementNumbers.value(label),
                                m_statementMarks.value(label));
    }
    // Where each statement of a file of several goes, as one short text for
    // the sheet: those of the accounts their numbers name, the chosen one
    // (into `chosenAccount`), the ones left out. Null for a file of one
    // statement.
    static QString statementsNote(const TWBusiness &business, const QStringList &labels,
                                  const QHash<QString, QString> &numbers,
                                  const QHash<QString, TWAccountNumbers::WriterMark> &marks,
                                  const QString &chosen, const TWAccount *chosenAccount);

    // Whether a split transaction's first line is the account whose register
    // the file lists it in (TWParser::splitsLeadWithTheirAccount).
    bool splitsLeadWithTheirAccount() const { return m_splitsLead; }
    void setSplitsLeadWithTheirAccount(bool v) { m_splitsLead = v; }

    // Whether a file named in an attachments column may be attached: a
    // regular file whose resolved path (links followed) lies inside the
    // resolved folder. Absolute names, "..", links that point out of the
    // folder and URLs name nothing inside it; without a folder nothing may.
    static QString attachmentPath(const QString &folder, const QString &name);

private:
    QList<QStringList> m_rows;
    TWImportTransactionsSettingsPtr m_importSettings;
    TWBusiness *m_business;
    TWTransactionList m_transactions;
    QSet<QString> m_placeholders;
    QSet<qint32> m_openCounterparts;
    QSet<qint32> m_refused;
    QSet<qint32> m_unlistedSplits;
    QStringList m_statements;
    QHash<QString, QString> m_statementNumbers;
    QHash<QString, TWAccountNumbers::WriterMark> m_statementMarks;
    QString m_chosenStatement;
    bool m_splitsLead = false;
    bool m_plainAmounts = false;
};
