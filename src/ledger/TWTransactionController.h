#pragma once
// The document's transaction editor: a sheet that enters one new transaction
// (New), several in a row (NewSeveral), edits a stored one (Edit) or shows a
// closed or locked one (ReadOnly); see TWTransactionEditorMode. Every control
// edits a working copy; only the save road writes.

#include "app/TWLazyViewController.h"
#include "app/TWRecordEditors.h"

#include "model/TWRepeat.h"
#include "model/TWTransaction.h"
#include "store/TWBusiness.h"

#include <QDialog>
#include <QHash>
#include <QLineEdit>
#include <QPointer>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;
class QVBoxLayout;
class QWidget;
class TWAttachmentsController;
class TWRepeatController;
class TWSplitController;
class TWTotalController;
class TWValueCompleter;

// How a save went, for the caller and the tests.
enum class TWSaveOutcome {
    Closed,    // the sheet ended (cancel, read only, or saved)
    Continued, // NewSeveral: stored, the form shows the next transaction
    Refused,   // a check said no (closed period, unbalanced split)
    Asking,    // the repeat question is up
    Failed,    // a store error; nothing written, the sheet stays open
};

class TWTransactionController final : public TWLazyViewController<TWTransactionEditor>
{
    Q_OBJECT
public:
    explicit TWTransactionController(QObject *parent = nullptr);
    ~TWTransactionController() override;

    // ---- What the document hands in ----
    void setTransaction(const TWTransactionPtr &transaction) override
    {
        m_transaction = transaction;
    }
    TWTransactionPtr transaction() const override { return m_transaction; }
    TWTransactionPtr editTransaction() const override { return m_editTransaction; }
    void setRelationships(const TWRelationshipList &relationships) override
    {
        m_relationships = relationships;
    }
    const TWRelationshipList &relationships() const { return m_relationships; }
    void setIsImport(bool isImport) override { m_isImport = isImport; }
    bool isImport() const { return m_isImport; }
    bool saved() const override { return m_saved; }

    // (Re)builds the sheet for `transaction`: a fresh working copy and form.
    void update() override;
    // The fields shown, in the register's column order.
    void updateFields();
    const TWFieldList &fields() const { return m_fields; }

    // ---- The form ----
    void rebuildUI();
    // Refreshes every row, hides the rows a split hides, resizes.
    void updateValues();
    void updateValue(const TWFieldPtr &field);
    QWidget *valueViewForField(qint32 identifier) const { return m_valueViews.value(identifier); }
    QWidget *labelViewForField(qint32 identifier) const { return m_labelViews.value(identifier); }
    // The row identifiers in the order they are laid out (tests, key loop).
    QList<qint32> rowOrder() const { return m_rowOrder; }
    QScrollArea *scrollArea() const { return m_scrollArea; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *splitTransactionButton() const { return m_splitButton; }
    QPushButton *newSplitButton() const { return m_newSplitButton; }
    // The embedded views' controllers, made on first use and kept.
    TWTotalController *totalController() const { return m_totalController; }
    TWRepeatController *repeatController() const { return m_repeatController; }
    TWAttachmentsController *attachmentsController() const { return m_attachmentsController; }
    const QList<TWSplitController *> &splitControllers() const { return m_splitControllers; }
    // The height the form may take before it scrolls: the screen's available
    // height less 100 and less what the sheet needs around the form.
    static int formViewportHeight(int contentHeight, int chromeHeight, int screenAvailableHeight);
    // The width of the labels' column in a form `formWidth` wide: a fifth of
    // it less 20 (a longer name is cut, and shown whole as a tool tip).
    static int labelColumnWidth(int formWidth);
    // The width of a form whose widest value control is `valueWidth` wide.
    static int formWidthForValues(int valueWidth);

    // ---- The save road ----
    // Save (tag 1) or cancel (any other tag).
    TWSaveOutcome doSave(int tag);
    // Answers the repeat question (1000 this one, 1001 cancel, 1002 future,
    // 1003 all); called by the question's completion.
    TWSaveOutcome repeatAnswer(int code);
    void close(TWSheetResult result);
    // The repeat settings as edited (none: repeat off).
    TWRepeatPtr repeat() const;
    void setRepeat(const TWRepeatPtr &repeat);

    // ---- Split lines ----
    // Splits an unsplit working copy into two lines, or unsplits a split one.
    void splitTransaction();
    // A new line taking the balance.
    void newSplit();
    // Removes the line of that row (unsplitting below two lines).
    void deleteSplit(TWSplitController *row);

    // ---- Editing values ----
    // A text field's editing ended: its text goes into the working copy.
    void textFieldDidEndEditing(QLineEdit *textField, const TWFieldPtr &field);
    // The user changed a field (runs the one-shot autofill).
    void fieldEdited(const TWFieldPtr &field);
    void setFieldValue(const TWField &field, const QString &text, qint64 currency, double number,
                       float percent, const QDateTime &date, bool checkboxValue,
                       qint32 listItemIdentifier, const QList<qint32> &tagItemIdentifiers);
    // An item of a pop-up of the form was chosen.
    void doPopUpButton(QComboBox *popUp);
    // The account row of `field` (-7 or -8) now shows `account` (none: "new account").
    void accountChosen(const TWFieldPtr &field, const TWAccountPtr &account);
    // Changes the working copy's unit, keeping the amount's value. False, and
    // nothing changes, when the amount cannot be held in the new unit.
    bool updateUnit(const TWUnitPtr &unit);
    void createNewAccount(const TWFieldPtr &field);
    void createNewAccount(const TWSplitPtr &split);
    void updateWithNewAccount(const TWAccountPtr &account) override;
    void addTagItem(const TWFieldTagItemPtr &tag, const TWFieldPtr &field);
    void updatePercentTotals();
    // The amount view changed the working copy's amounts or unit.
    void totalUpdated();
    // The completion offered for a text field's text (empty: none).
    QStringList completionsForField(const TWField &field, const QString &text);
    TWValueCompleter *completer() const { return m_completer; }

    // ---- The add-item sheet ----
    // What the add-item sheet adds to its field; None while it is closed.
    enum class AddItem : int { None = 0, ListItem = 1, TagItem = 2 };
    QDialog *addItemWindow() const { return m_addItemWindow; }
    QLineEdit *addItemTextField() const { return m_addItemTextField; }
    // Tag 1 saves, any other cancels.
    void doAddItemCancelSave(int tag);
    AddItem editMode() const { return m_editMode; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Gives every label the width of the labels' column.
    void updateLabelWidths();
    // Save road steps.
    TWSaveOutcome saveTransactionComplete();
    TWErrorResult writeTransaction();
    bool transactionLanded() const;
    TWSaveOutcome finishSave(const TWErrorResult &error);
    // Marks the bills the saved payment settles as paid and tells of any
    // paid beyond its total.
    void settleBills();
    TWSaveOutcome updateRepeatItems(int code);
    TWErrorResult addTransactionWithRelationships(const TWTransactionPtr &transaction);
    void presentError(const TWError &error);
    void showAlert(const QString &messageKey);
    QWidget *sheetWindow() const;

    // Form building.
    void build() override;
    void buildAddItemWindow(QWidget *parent);
    QWidget *makeValueControl(const TWFieldPtr &field, bool *hidden);
    QWidget *makeTextField(const QString &text, const TWFieldPtr &field, Qt::Alignment alignment,
                           bool editable);
    QWidget *makeDateControl(const QDateTime &date, const TWFieldPtr &field);
    QComboBox *makePopUp(const TWFieldPtr &field);
    void fillAccountPopUp(QComboBox *popUp, qint32 selectedAccount);
    void fillListPopUp(QComboBox *popUp, const TWFieldPtr &field);
    void fillTagPopUp(QComboBox *popUp, const TWFieldPtr &field);
    QString moneyText(qint64 value) const;
    qint32 accountShownInRow(qint32 fieldIdentifier) const;
    bool rowHidden(qint32 fieldIdentifier) const;
    void updateFormHeight();
    // The chain Tab walks, in reading order: the form's rows top to bottom
    // and each row left to right, then the split lines and the attachments,
    // and last the split button; from there on Tab is the sheet's (Cancel,
    // Save). Read from the geometry when Tab is pressed, so always the form
    // shown.
    QList<QWidget *> keyViewLoop() const;
    void updateButtons();
    void focusChanged(QWidget *now);
    void beginAddItemSheet(const TWFieldPtr &field, AddItem editMode);
    TWFieldPtr fieldOfControl(const QObject *control) const;
    void showTotals();
    void rebuildSplits();
    void splitUpdated();
    void updateSplitBalanceButtons();
    void updateAttachments();
    bool isMileageAccount(const TWAccountPtr &account) const;
    // Custom money values are held in the working copy's unit: they keep
    // their written digits when that unit's decimal places change.
    void followUnitInFieldValues();

    TWTransactionPtr m_transaction;
    TWTransactionPtr m_editTransaction;
    TWRelationshipList m_relationships;
    TWFieldList m_fields;
    TWRepeatPtr m_repeat;
    // The unit the working copy's custom money values are written in.
    TWUnitPtr m_fieldValuesUnit;
    bool m_isImport = false;
    bool m_saved = false;
    bool m_autofill = false;
    bool m_swappedAccounts = false;
    bool m_updatingUI = false;
    AddItem m_editMode = AddItem::None;
    TWFieldPtr m_createItemField;
    TWSplitPtr m_createItemSplit;

    QScrollArea *m_scrollArea = nullptr;
    QWidget *m_contentView = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_splitButton = nullptr;
    QPushButton *m_newSplitButton = nullptr;
    QWidget *m_splitsHolder = nullptr;
    QVBoxLayout *m_splitsLayout = nullptr;
    TWTotalController *m_totalController = nullptr;
    TWRepeatController *m_repeatController = nullptr;
    TWAttachmentsController *m_attachmentsController = nullptr;
    QList<TWSplitController *> m_splitControllers;
    QHash<qint32, QWidget *> m_valueViews;
    QHash<qint32, QWidget *> m_labelViews;
    QHash<qint32, QWidget *> m_rows;
    QList<qint32> m_rowOrder;
    TWValueCompleter *m_completer = nullptr;
    QPointer<QDialog> m_addItemWindow;
    QPointer<QLineEdit> m_addItemTextField;
    // A custom number or amount field whose typed text was refused.
    QPointer<QLineEdit> m_refusedField;
    QMetaObject::Connection m_focusConnection;
};
