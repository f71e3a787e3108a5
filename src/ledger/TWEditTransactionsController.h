#pragma once
// The sheet that sets one field to one value on every selected transaction:
// the user picks a field, types or picks the value in a control made for that
// field, and saves. The sheet writes the transactions itself, as one batch.

#include "app/TWLazyViewController.h"
#include "app/TWRecordEditors.h"

#include "foundation/TWError.h"
#include "model/TWField.h"
#include "model/TWRelationship.h"
#include "model/TWTransaction.h"

#include <QPointer>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class TWBusiness;
class TWPopUpButton;

// One entry of a value pop-up: a separator, or a title with its tag (an
// account, list item or tag identifier).
struct TWEditMenuItem {
    bool separator = false;
    QString title;
    qint32 tag = 0;
};
using TWEditMenuItems = QList<TWEditMenuItem>;

// The value read from the sheet's control, once per save.
struct TWEditValue {
    QString text;      // text fields (amounts parsed per transaction)
    qint32 tag = 0;    // pop-ups
    QDateTime date;    // date pickers
    bool on = false;   // check boxes
    double number = 0; // number fields
    float percent = 0; // percent fields
};

class TWEditTransactionsController final : public TWLazyViewController<TWEditTransactionsEditor>
{
    Q_OBJECT
public:
    explicit TWEditTransactionsController(QObject *parent = nullptr);
    ~TWEditTransactionsController() override;

    // The register's selection, in its order.
    void setTransactions(const TWTransactionList &transactions) override;
    const TWTransactionList &transactions() const { return m_transactions; }

    // Refills the count line and the field choice, then makes the value
    // control of the first field (making the view first when needed).
    void reset() override;
    // Replaces the value control with the one of the chosen field.
    void updateField();
    // Tag 1 saves, any other cancels; ends the sheet (Confirmed or Cancelled) unless
    // the save was refused (a date in a closed period, an unreadable amount).
    // A new account for split transactions asks first, as a sheet on the
    // sheet: they would lose their lines; cancelling leaves the sheet open.
    void doSave(int tag);
    // How many transactions saving `value` of `field` would turn from split
    // into plain ones (only a new account does).
    qsizetype splitTransactionsToUnsplit(const TWField &field, const TWEditValue &value) const;
    // The split transactions a new total leaves as they are (their lines make
    // their totals), in the register's order; none for any other field.
    TWTransactionList splitTransactionsKeepingTotals(const TWField &field) const;

    // The chosen field; nullptr without one.
    TWFieldPtr selectedField() const;
    // Chooses the field with that identifier (as the user would).
    bool selectField(qint32 identifier);
    // The value the control holds now.
    TWEditValue currentValue() const;

    // Applies `value` of `field` to every editable transaction and writes
    // them. A new total keeps each transaction's direction (a typed minus
    // turns it round) and leaves split transactions alone. Refusals (closed period, unreadable
    // amount) write nothing and return the error; a store error stops the run and is returned, what
    // was written before it stays.
    TWErrorResult editTransactions(const TWField &field, const TWEditValue &value);

    // A split transaction becomes a plain one with the first line's amount.
    // Seen in `shownAccount` (a register's account among its lines), that
    // account stays account 1, in the direction the transaction had there,
    // against the first line on another account; otherwise it lies between
    // its first two lines' accounts, as the first line has it.
    void unsplitTransactionIfNecessary(TWTransaction &transaction, qint32 shownAccount = 0) const;
    // When both accounts are equal, the side not just set moves to the first
    // account of the store that differs.
    void validateTransactionAccount(TWTransaction &transaction, bool updatedAccount1) const;

    // The pop-up entries: every account in the asset, liability, income,
    // expense and equity groups (parted by separators), a field's list items
    // and its tags.
    TWEditMenuItems accountMenuItems() const;
    static TWEditMenuItems listMenuItems(const TWField &field);
    static TWEditMenuItems tagMenuItems(const TWField &field);

    // An amount text in minor units of `decimalPlaces`, a half rounding away
    // from zero; `ok` false (and 0) for text that is no amount, and for the
    // lowest 64-bit amount, which has no opposite.
    static qint64 amountFromText(const QString &text, const TWUnit *unit, bool *ok);

    // The widgets (tests drive them).
    TWPopUpButton *fieldPopUpButton() const { return m_fieldPopUp; }
    QLabel *transactionCountLabel() const { return m_countLabel; }
    QWidget *valueView() const { return m_valueView; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

signals:
    // An error was shown to the user (through the document when there is one).
    void errorPresented(const TWError &error);

private:
    // One transaction to write: the changed copy of the stored one, and
    // whether it lies before the active accounting period (then or now).
    struct Edit {
        TWTransactionPtr edited;
        bool before = false;
        // A split transaction given a new account: its amount before and the
        // amount it keeps, for the question asked first.
        QString keptAmount;
        // The payment links of the line whose amount it keeps: they go on
        // linking the whole transaction, so that what they pay stays paid.
        TWRelationshipList keptLinks;
    };

    void build() override;
    // The changed copies to write, each stored transaction once; a refusal
    // (a date in a closed period, an unreadable amount) is returned and
    // `edits` is left incomplete.
    TWErrorResult prepareEdits(const TWField &field, const TWEditValue &value,
                               QList<Edit> *edits) const;
    // Writes prepared edits as one batch: a store error stops the run and is
    // returned, what was written before it stays written.
    TWErrorResult writeEdits(const QList<Edit> &edits);
    // Each editable stored transaction once, in the register's order.
    TWTransactionList editableTransactions() const;
    // The invoices and bills that lines of the split transactions pay, named:
    // an account change unsplits them and those lose that payment.
    QString invoicesLosingPayments() const;
    // Asks before saving a new account onto split transactions, or a new
    // total beside split transactions that keep theirs; saves on the answer.
    void askBeforeSaving(const TWFieldPtr &field, const TWEditValue &value, qsizetype unsplit,
                         const TWTransactionList &keeping, bool othersChange,
                         const QStringList &kept);
    // "date, payee: amount before becomes amount kept" of a split transaction
    // `edited` unsplit, seen from `shownAccount`.
    QString keptAmountLine(const TWTransaction &stored, const TWTransaction &edited,
                           qint32 shownAccount) const;
    // The line of a split transaction whose amount an unsplit keeps.
    static TWSplitPtr keptLine(const TWTransaction &stored);
    void presentError(const TWError &error);
    // Writes the value and ends the sheet as saved, unless it was refused.
    void save(const TWField &field, const TWEditValue &value);
    // Presents a save's error; ends the sheet as saved unless it was refused.
    void endSave(const TWErrorResult &error);
    void finish(bool saved);
    QLineEdit *valueTextField(Qt::Alignment alignment, bool numberFormatter);
    TWPopUpButton *valuePopUpButton(const TWEditMenuItems &items);
    QDateEdit *valueDatePicker();
    QCheckBox *valueCheckbox();
    // Changes one transaction; false when the value cannot apply to it.
    // `swapped`: the row is seen from its account 2, so the register shows the
    // two accounts the other way round.
    // `shownAccount`: the account the register shows the row in.
    void applyValue(TWTransaction &transaction, const TWField &field, const TWEditValue &value,
                    qint64 parsedTotal, bool swapped, qint32 shownAccount) const;

    TWTransactionList m_transactions;
    TWPopUpButton *m_fieldPopUp = nullptr;
    QLabel *m_countLabel = nullptr;
    QWidget *m_valueContainer = nullptr;
    QVBoxLayout *m_valueLayout = nullptr;
    QPointer<QWidget> m_valueView;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
    TWFieldList m_fields;
};
