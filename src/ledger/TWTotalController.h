#pragma once
// The amount view: one amount of a transaction or of one split line, shown and
// edited in up to four units at once (its own unit, account 1's, account 2's
// and the home unit) as debit and credit fields, with the effective exchange
// rate beside each converted amount and, for mileage units, odometer readings.
// It owns no store data: the owner sets the values in, listens to
// `totalUpdated` and reads them back.
//
// Use: set business, split, editing, accounts, unit, swapped and the six
// amounts; call reset() once; embed view(). After a change made outside the
// view (another account or unit) set the properties again and call update().

#include "model/TWAccount.h"
#include "model/TWUnit.h"

#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class QGridLayout;
class TWBusiness;
class TWPopUpButton;
class TWTransaction;

// The tags of the ten amount fields. Credit fields read and show the negated
// amount; with `swapped`, tags 2 to 9 are negated once more.
enum TWTotalFieldTag : int {
    TWTotalFieldStart = 0,          // odometer start reading, in `unit`
    TWTotalFieldEnd = 1,            // odometer end reading, in `unit`
    TWTotalFieldDebit = 2,          // `total`
    TWTotalFieldCredit = 3,         // `total`
    TWTotalFieldAccount1Debit = 4,  // `totalAccount1`, in account 1's unit
    TWTotalFieldAccount1Credit = 5, // `totalAccount1`
    TWTotalFieldAccount2Debit = 6,  // `totalAccount2`, in account 2's unit
    TWTotalFieldAccount2Credit = 7, // `totalAccount2`
    TWTotalFieldBusinessDebit = 8,  // `totalBusiness`, in the home unit
    TWTotalFieldBusinessCredit = 9, // `totalBusiness`
};

class TWTotalController : public QObject
{
    Q_OBJECT
public:
    // The view is created at once; the owner embeds it anywhere, and it is
    // deleted with the controller.
    explicit TWTotalController(QObject *parent = nullptr);
    ~TWTotalController() override;

    QWidget *view() const;

    // --- Properties ---
    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *business) { m_business = business; }
    const TWAccountPtr &account1() const { return m_account1; }
    void setAccount1(const TWAccountPtr &account) { m_account1 = account; }
    const TWAccountPtr &account2() const { return m_account2; }
    void setAccount2(const TWAccountPtr &account) { m_account2 = account; }
    const TWUnitPtr &unit() const { return m_unit; }
    void setUnit(const TWUnitPtr &unit) { m_unit = unit; }
    qint64 total() const { return m_total; }
    void setTotal(qint64 v) { m_total = v; }
    qint64 totalAccount1() const { return m_totalAccount1; }
    void setTotalAccount1(qint64 v) { m_totalAccount1 = v; }
    qint64 totalAccount2() const { return m_totalAccount2; }
    void setTotalAccount2(qint64 v) { m_totalAccount2 = v; }
    qint64 totalBusiness() const { return m_totalBusiness; }
    void setTotalBusiness(qint64 v) { m_totalBusiness = v; }
    qint64 totalStart() const { return m_totalStart; }
    void setTotalStart(qint64 v) { m_totalStart = v; }
    qint64 totalEnd() const { return m_totalEnd; }
    void setTotalEnd(qint64 v) { m_totalEnd = v; }
    // A split line's view: no account-2 row, account 2 never converted to.
    bool split() const { return m_split; }
    void setSplit(bool v) { m_split = v; }
    // Debit and credit shown and read the other way round.
    bool swapped() const { return m_swapped; }
    void setSwapped(bool v) { m_swapped = v; }
    bool editing() const { return m_editing; }
    void setEditing(bool v) { m_editing = v; }
    // The size the view wants (its width, the height of the rows shown).
    QSizeF frameSize() const { return m_frameSize; }

    // Convenience for the transaction editor: the working copy's accounts
    // (looked up in the business), amounts and unit, and `swapped`.
    void setValuesFromTransaction(const TWTransaction &transaction, bool swapped);
    // The reverse, with the rules that keep amounts whose unit equals the
    // transaction's unit (or an earlier one) equal to it: total, odometer and
    // unit as shown; account 1's amount is `total` when its unit is the
    // transaction's, else the view's; account 2's is `total`, else account 1's
    // when both accounts share a unit, else the view's; the home amount is the
    // first of those whose unit is the home unit, else the view's.
    void copyValuesToTransaction(TWTransaction &transaction) const;

    // --- Operations ---
    // Refills the unit menu (mileage units included), then updateEditState,
    // update and updateFrame. Nothing without a business.
    void reset();
    // Odometer readings made non-negative, number formats per unit, then
    // updateUI and updateValues.
    void update();
    void updateEditState();
    // Writes every shown field from the properties.
    void updateValues();
    // Shows and hides rows; emits sizeChanged when the wanted height changed.
    void updateUI();
    // Applies frameSize to the view (the owner calls it after sizeChanged).
    void updateFrame(bool animated);
    // Recomputes the other amounts from the master (TWTotalType 1-4); total
    // kind 0 recomputes all, 1-4 one of them. Account 2 only when not split.
    void updateTotalsWithMasterTotalType(int masterTotalType, int totalType);
    void updateBalanceButton(bool enabled, const QString &toolTip);

    // The user's actions, callable directly (tests, the owner's save).
    // Reads the field with that tag as typed. Text that is not an amount as
    // the locale writes it is refused (false): the beep, the field keeps the
    // text and the focus, the amounts stay, and the text stays pending.
    bool updateTotalTextField(int tag);
    // Takes the field being edited, if any (before a save or unit change);
    // false when its text was refused.
    bool commitEditing();
    // The field whose typed text is still pending (refused or not yet read).
    QLineEdit *editingField() const;
    // Switches to the unit; refused with an alert (and false) when the amount
    // cannot be held with the new unit's decimal places, and (false) while the
    // field being edited holds text that was refused.
    bool chooseUnit(const TWUnitPtr &unit);

    // --- Widgets (for the owner's layout and for tests) ---
    QLineEdit *field(int tag) const;
    // The exchange label beside a converted field (tags 4-9), else null.
    QLabel *exchangeLabel(int tag) const;
    // The unit label of a converted row: 0 account 1, 1 account 2, 2 home.
    QLabel *rowUnitLabel(int row) const;
    QLabel *startLabel() const { return m_startLabel; }
    QLabel *endLabel() const { return m_endLabel; }
    QLabel *debitLabel() const { return m_debitLabel; }
    QLabel *creditLabel() const { return m_creditLabel; }
    TWPopUpButton *unitPopUpButton() const { return m_unitPopUpButton; }
    // The read-only unit text.
    QLabel *unitLabel() const { return m_unitLabel; }
    QPushButton *balanceButton() const { return m_balanceButton; }

    // Which rows updateUI shows (from the properties alone).
    bool showsOdometerRow() const;
    bool showsAccount1Row() const;
    bool showsAccount2Row() const;
    bool showsBusinessRow() const;

signals:
    // One or more amounts or the unit changed.
    void totalUpdated(TWTotalController *controller);
    // The balance button was pressed.
    void balanceClicked(TWTotalController *controller);
    // The wanted height changed by `heightChange` (new minus current).
    void sizeChanged(double heightChange, TWTotalController *controller);

private:
    void buildView();
    void unitMenuActivated(int index);
    TWUnitPtr unitForTag(int tag) const;
    TWUnitPtr account1Unit() const;
    TWUnitPtr account2Unit() const;
    TWUnitPtr homeUnit() const;
    void writeField(int tag);
    void writeExchangeLabel(int tag);
    void writeAllFieldsExcept(int tag);
    void updateCaptions();

    QPointer<QWidget> m_view;
    QGridLayout *m_grid = nullptr;
    std::array<QLineEdit *, 10> m_fields{};
    std::array<QLabel *, 10> m_exchangeLabels{};
    std::array<QLabel *, 3> m_rowUnitLabels{};
    QLabel *m_startLabel = nullptr;
    QLabel *m_endLabel = nullptr;
    QLabel *m_debitLabel = nullptr;
    QLabel *m_creditLabel = nullptr;
    QLabel *m_unitLabel = nullptr;
    TWPopUpButton *m_unitPopUpButton = nullptr;
    QPushButton *m_balanceButton = nullptr;
    // The unit of each entry of the unit menu; null for separators.
    TWUnitList m_menuUnits;

    TWBusiness *m_business = nullptr;
    TWAccountPtr m_account1;
    TWAccountPtr m_account2;
    TWUnitPtr m_unit;
    qint64 m_total = 0;
    qint64 m_totalAccount1 = 0;
    qint64 m_totalAccount2 = 0;
    qint64 m_totalBusiness = 0;
    qint64 m_totalStart = 0;
    qint64 m_totalEnd = 0;
    bool m_split = false;
    bool m_swapped = false;
    bool m_editing = true;
    QSizeF m_frameSize;
    // The focused field's text changed since editing began; which field.
    bool m_changed = false;
    int m_editingTag = -1;
    bool m_filling = false;
};
