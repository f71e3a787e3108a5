#pragma once
// One split line of the transaction editor: its title ("Split #2:"), the
// description with completion from the remembered descriptions, the account
// menu and the line's own amount view. Changes go straight into the line of the
// editor's working copy; the editor hears of them through the signals.
//
// Use: set business, transaction, split, index, editing; connect the signals;
// call reset(); embed view(). The list logic (split, unsplit, new line, delete,
// balance) is TWSplitEditing's.

#include "ledger/TWSplitEditing.h"
#include "model/TWSplit.h"
#include "model/TWTransaction.h"

#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <functional>

class QCompleter;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStringListModel;
class QWidget;
class TWBusiness;
class TWPopUpButton;
class TWTotalController;

class TWSplitController : public QObject
{
    Q_OBJECT
public:
    explicit TWSplitController(QObject *parent = nullptr);
    ~TWSplitController() override;

    // Embedded by the owner anywhere; deleted with the controller.
    QWidget *view() const;

    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *business) { m_business = business; }
    // The editor's working copy that owns the line.
    const TWTransactionPtr &transaction() const { return m_transaction; }
    void setTransaction(const TWTransactionPtr &transaction) { m_transaction = transaction; }
    // The line's position in the working copy's lines, from 0.
    qsizetype index() const { return m_index; }
    void setIndex(qsizetype index) { m_index = index; }
    const TWSplitPtr &split() const { return m_split; }
    void setSplit(const TWSplitPtr &split) { m_split = split; }
    bool editing() const { return m_editing; }
    void setEditing(bool v) { m_editing = v; }
    // Whether the amount view shows debit and credit from account 2's side.
    bool swapped() const { return m_swapped; }
    void setSwapped(bool v) { m_swapped = v; }
    QSizeF frameSize() const { return m_frameSize; }

    // Builds the amount view and fills every control.
    void reset();
    // After the line changed outside the row: values, totals, amount view, layout.
    void update();
    void updateTitle();
    void updateValues();
    // Copies the line's amounts into the amount view.
    void updateTotals();
    void updateEditState();
    void updateUI();
    void updateFrame(bool animated);
    // Switches the line to the unit (see TWSplitEditing::updateSplitUnit);
    // a refusal is shown as an alert and answers false.
    bool updateUnit(const TWUnitPtr &unit);
    void updateBalanceButton(bool enabled, const QString &toolTip);

    // The user's actions, callable directly.
    // The account menu's entry at that index: an account, or the new-account item.
    void chooseAccountAtIndex(int index);
    // Takes the description field's text into the line (when it changed).
    void commitDescription();

    TWTotalController *totalController() const { return m_totalController; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLineEdit *descriptionTextField() const { return m_descriptionTextField; }
    TWPopUpButton *accountPopUpButton() const { return m_accountPopUpButton; }
    QPushButton *deleteButton() const { return m_deleteButton; }
    QCompleter *descriptionCompleter() const { return m_completer; }

signals:
    // The new-account item of the account menu was chosen.
    void createNewAccount(TWSplitController *row);
    // The delete button was pressed (the editor asks, then deletes).
    void deleteRequested(TWSplitController *row);
    // The line's amounts changed.
    void updated(TWSplitController *row);
    // The balance button of the row's amount view was pressed.
    void balanceClicked(TWSplitController *row);
    // The wanted height changed by `heightChange` (new minus current).
    void sizeChanged(double heightChange, TWSplitController *row);

public:
    // Asks whether to delete a line (a sheet on `window`); `onDelete` runs
    // when the user agrees.
    static void askDeleteSplit(QWidget *window, std::function<void()> onDelete);

private:
    void buildView();
    void totalsUpdated();
    void fillAccountMenu();
    void selectAccount();

    QPointer<QWidget> m_view;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_descriptionLabel = nullptr;
    QLineEdit *m_descriptionTextField = nullptr;
    QLabel *m_accountLabel = nullptr;
    TWPopUpButton *m_accountPopUpButton = nullptr;
    QLabel *m_totalLabel = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QFrame *m_bottomLine = nullptr;
    QWidget *m_totalHolder = nullptr;
    QCompleter *m_completer = nullptr;
    QStringListModel *m_completionModel = nullptr;
    TWTotalController *m_totalController = nullptr;
    TWAccountMenuItems m_accountMenuItems;

    TWBusiness *m_business = nullptr;
    TWTransactionPtr m_transaction;
    qsizetype m_index = 0;
    TWSplitPtr m_split;
    bool m_editing = true;
    bool m_swapped = false;
    QSizeF m_frameSize;
    bool m_changed = false;
    bool m_filling = false;
};
