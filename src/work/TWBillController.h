#pragma once
// The bill editor sheet: date, name (completed from the remembered bill
// names), received and paid flags, an optional due date, an optional schedule
// and notes of a working copy of the bill. Saving a new bill also stores its
// charge: a zero transaction in accounts payable linked to the bill.

#include "work/TWWorkSheet.h"

#include "model/TWAccount.h"
#include "model/TWBill.h"
#include "model/TWRepeat.h"

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QToolButton;
class TWRepeatController;

class TWBillController final : public TWWorkSheet
{
    Q_OBJECT
public:
    // The controls' tags, which the date buttons and the calendar name.
    enum Tag { TagDate = 0, TagName = 1, TagReceived = 2, TagPaid = 3, TagDue = 4, TagNotes = 5 };

    explicit TWBillController(QObject *parent = nullptr);
    ~TWBillController() override;

    const TWBillPtr &bill() const { return m_bill; }
    void setBill(const TWBillPtr &bill);
    const TWBillPtr &editBill() const { return m_editBill; }
    void update() override;

    // The check boxes (tags 2, 3 and 4), as a click leaves them.
    void doCheckbox(int tag, bool on);

    QDateTimeEdit *datePicker() const { return m_date; }
    QToolButton *dateButton() const { return m_dateButton; }
    QLineEdit *nameField() const { return m_name; }
    QCheckBox *receivedCheckbox() const { return m_received; }
    QCheckBox *paidCheckbox() const { return m_paid; }
    QCheckBox *dueCheckbox() const { return m_dueCheckbox; }
    QDateTimeEdit *duePicker() const { return m_due; }
    QToolButton *dueButton() const { return m_dueButton; }
    QLineEdit *notesField() const { return m_notes; }
    TWRepeatController *repeatController() const { return m_repeatController; }
    // Whether the bill is shown read-only (its entries are closed or locked).
    bool isClosed() const { return m_closed; }

protected:
    void buildForm() override;
    void updateUI() override;
    bool commitFields() override;
    TWErrorResult store() override;
    void dateSelected(int tag, const QDateTime &date) override;
    void confirmSave(std::function<void()> proceed) override;

private:
    TWErrorResult storeRepeat();
    TWErrorResult storeBill();
    // Whether the save stores a charge: a new bill's, or a stored bill's
    // whose own was deleted.
    bool needsCharge() const;

    TWBillPtr m_bill;
    TWBillPtr m_editBill;
    // Shown read-only: its entries are closed or locked.
    bool m_closed = false;
    // The payable account of the charge the save stores, found before it.
    TWAccountPtr m_account;
    // The account the charge books against the payable one.
    TWAccountPtr m_chargeAccount;
    QDateTimeEdit *m_date = nullptr;
    QToolButton *m_dateButton = nullptr;
    QLineEdit *m_name = nullptr;
    QCheckBox *m_received = nullptr;
    QCheckBox *m_paid = nullptr;
    QCheckBox *m_dueCheckbox = nullptr;
    QDateTimeEdit *m_due = nullptr;
    QToolButton *m_dueButton = nullptr;
    QLineEdit *m_notes = nullptr;
    TWRepeatController *m_repeatController = nullptr;
};
