#include "work/TWBillController.h"

#include "app/TWBusinessController.h"
#include "app/TWTypedNumberField.h"
#include "ledger/TWRepeatController.h"
#include "work/TWWorkList.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccount.h"
#include "model/TWValue.h"
#include "store/TWBusiness.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <initializer_list>

TWBillController::TWBillController(QObject *parent) : TWWorkSheet(parent)
{
}

TWBillController::~TWBillController() = default;

void TWBillController::setBill(const TWBillPtr &bill)
{
    m_bill = bill;
}

void TWBillController::buildForm()
{
    m_view->setWindowTitle(TWLocalized("billSheetTitle"));
    addRow("date", makeDateField(TagDate, false, &m_date, &m_dateButton));
    connect(m_date, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime &date) {
        if (m_editBill)
            m_editBill->setDate(date);
    });
    m_name = makeLineEdit(false);
    m_name->setProperty("tag", int(TagName));
    addRow("name", m_name);
    completeNames(m_name, TWValueListBillNames);

    m_received = new QCheckBox(TWLocalized("received"), m_view);
    m_paid = new QCheckBox(TWLocalized("paid"), m_view);
    auto *flags = new QWidget(m_view);
    auto *flagsLayout = new QHBoxLayout(flags);
    flagsLayout->setContentsMargins(0, 0, 0, 0);
    flagsLayout->addWidget(m_received);
    flagsLayout->addWidget(m_paid);
    flagsLayout->addStretch(1);
    addRow(nullptr, flags);
    connect(m_received, &QCheckBox::clicked, this,
            [this](bool on) { doCheckbox(TagReceived, on); });
    connect(m_paid, &QCheckBox::clicked, this, [this](bool on) { doCheckbox(TagPaid, on); });

    auto *due = new QWidget(m_view);
    auto *dueLayout = new QHBoxLayout(due);
    dueLayout->setContentsMargins(0, 0, 0, 0);
    m_dueCheckbox = new QCheckBox(due);
    dueLayout->addWidget(m_dueCheckbox);
    QWidget *dueField = makeDateField(TagDue, false, &m_due, &m_dueButton);
    dueField->setParent(due);
    dueLayout->addWidget(dueField, 1);
    addRow("dueDate", due);
    connect(m_dueCheckbox, &QCheckBox::clicked, this, [this](bool on) { doCheckbox(TagDue, on); });
    connect(m_due, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime &date) {
        if (m_editBill && m_dueCheckbox->isChecked())
            m_editBill->setDueDate(date);
    });

    // Bill schedules: the repeat settings make type-2 rules.
    m_repeatController = new TWRepeatController(this);
    m_repeatController->setType(TWRepeatTypeBill);
    m_repeatController->setEnabled(true);
    QWidget *repeatView = m_repeatController->view();
    repeatView->setParent(m_view);
    addRow("repeat", repeatView);

    m_notes = makeLineEdit(false);
    m_notes->setProperty("tag", int(TagNotes));
    addRow("notes", m_notes);
}

void TWBillController::update()
{
    view();
    m_saved = false;
    m_editBill = m_bill ? m_bill->copy() : nullptr;
    updateUI();
}

void TWBillController::updateUI()
{
    if (!m_editBill)
        return;
    const QDateTime now = TWClock::now();
    {
        QSignalBlocker block(m_date);
        m_date->setDateTime(m_editBill->date().isValid() ? m_editBill->date() : now);
    }
    m_name->setText(m_editBill->name());
    m_received->setChecked(m_editBill->received());
    m_paid->setChecked(m_editBill->paid());
    const bool hasDue = m_editBill->dueDate().isValid();
    m_dueCheckbox->setChecked(hasDue);
    {
        QSignalBlocker block(m_due);
        m_due->setDateTime(hasDue ? m_editBill->dueDate() : now);
    }
    for (QToolButton *button : {m_dateButton, m_dueButton}) {
        QSignalBlocker block(button);
        button->setChecked(false);
    }
    const TWRepeatPtr stored =
        m_business ? m_business->repeatWithIdentifier(m_editBill->repeatIdentifier()) : nullptr;
    m_repeatController->setRepeat(stored ? stored->copy() : nullptr);
    m_repeatController->update();
    m_notes->setText(m_editBill->notes());

    // A bill whose entries lie in a closed period (or are locked) is shown,
    // not edited, as a closed transaction is: a new date would leave its
    // entries behind in the closed books.
    m_closed = m_business && m_mode == TWEditorMode::Existing && m_bill &&
               m_business->billContainsClosedTransactions(*m_bill);
    for (QWidget *control : std::initializer_list<QWidget *>{
             m_date, m_dateButton, m_name, m_received, m_paid, m_dueCheckbox, m_notes})
        control->setEnabled(!m_closed);
    m_due->setEnabled(hasDue && !m_closed);
    m_dueButton->setEnabled(hasDue && !m_closed);
    m_repeatController->setEnabled(!m_closed);
    saveButton()->setEnabled(!m_closed);
}

void TWBillController::doCheckbox(int tag, bool on)
{
    if (!m_editBill)
        return;
    switch (tag) {
    case TagReceived:
        m_editBill->setReceived(on);
        break;
    case TagPaid:
        m_editBill->setPaid(on);
        break;
    case TagDue:
        m_due->setEnabled(on);
        m_dueButton->setEnabled(on);
        m_editBill->setDueDate(on ? m_due->dateTime() : QDateTime());
        break;
    default:
        break;
    }
}

bool TWBillController::commitFields()
{
    if (!m_editBill)
        return false;
    m_editBill->setName(m_name->text());
    m_editBill->setNotes(m_notes->text());
    m_editBill->setDate(m_date->dateTime());
    m_editBill->setDueDate(m_dueCheckbox->isChecked() ? m_due->dateTime() : QDateTime());
    return true;
}

void TWBillController::dateSelected(int tag, const QDateTime &date)
{
    if (!m_editBill)
        return;
    if (tag == TagDate) {
        m_editBill->setDate(date);
        QSignalBlocker block(m_date);
        m_date->setDateTime(date);
    } else if (tag == TagDue) {
        m_editBill->setDueDate(date);
        QSignalBlocker block(m_due);
        m_due->setDateTime(date);
    }
}

TWErrorResult TWBillController::storeRepeat()
{
    const TWRepeatPtr stored = m_business->repeatWithIdentifier(m_editBill->repeatIdentifier());
    const TWRepeatPtr chosen = m_repeatController->repeat();
    if (chosen && stored) {
        if (chosen->equalInterval(*stored))
            return std::nullopt;
        chosen->setActive(true);
        chosen->setIdentifier(stored->identifier());
        chosen->setType(TWRepeatTypeBill);
        return m_business->updateRepeat(chosen, true);
    }
    if (chosen) {
        const qint32 identifier = m_business->nextRepeatIdentifier();
        if (identifier == 0)
            return TWBusinessController::lastStoreError(m_document);
        chosen->setIdentifier(identifier);
        chosen->setType(TWRepeatTypeBill);
        if (TWErrorResult error = m_business->addRepeat(chosen, true))
            return error;
        m_editBill->setRepeatIdentifier(identifier);
        return std::nullopt;
    }
    if (stored) {
        if (TWErrorResult error = m_business->deleteRepeat(stored, true))
            return error;
        m_editBill->setRepeatIdentifier(0);
    }
    return std::nullopt;
}

void TWBillController::confirmSave(std::function<void()> proceed)
{
    if (m_closed)
        return;
    m_account = nullptr;
    m_chargeAccount = nullptr;
    if (m_business && m_editBill && needsCharge()) {
        // The charge goes to the bill's payable account, made when the
        // business has none; without one (the document has said why) the
        // sheet stays open.
        m_account = m_business->lastBillAccount(*m_editBill, TWAccountTypeAccountsPayable);
        if (!m_account && m_document)
            m_account = m_document->newAccountOfType(TWAccountTypeAccountsPayable);
        if (!m_account)
            return;
        // Its other side: the expense the merchant's bills book, made when
        // the business has no expense account.
        m_chargeAccount = m_business->billChargeAccount(*m_editBill);
        if (!m_chargeAccount && m_document)
            m_chargeAccount = m_document->newAccountOfType(TWAccountTypeExpense);
        if (!m_chargeAccount)
            return;
    }
    proceed();
}

bool TWBillController::needsCharge() const
{
    // A stored bill whose charge was deleted in the register gets a new one;
    // its payments stay payments, also one kept as its charge.
    return m_mode == TWEditorMode::New ||
           (m_mode == TWEditorMode::Existing && !m_business->rebookableBillCharge(*m_editBill));
}

TWErrorResult TWBillController::storeBill()
{
    const bool charge = needsCharge();
    TWErrorResult error = m_mode == TWEditorMode::Existing
                              ? m_business->updateBill(m_editBill, true)
                              : m_business->addBill(m_editBill, true);
    if (error || !charge)
        return error;
    return m_business->createBillCharge(m_editBill, m_account, m_chargeAccount);
}

TWErrorResult TWBillController::store()
{
    if (!m_business || !m_editBill)
        return std::nullopt;
    // The schedule, the bill and its charge are one write: a refusal (a date
    // in a closed period, say) keeps none of them, so that no bill is left
    // without the charge the books owe, and saving again stores it once.
    const qint32 repeatIdentifier = m_editBill->repeatIdentifier();
    const TWRepeatPtr chosen = m_repeatController->repeat();
    const TWRepeatPtr chosenBefore = chosen ? chosen->copy() : nullptr;
    TWErrorResult error;
    {
        TWBusiness::WriteScope scope(*m_business);
        error = storeRepeat();
        if (!error)
            error = storeBill();
        error = scope.finish(error);
    }
    if (error && TWBusiness::isClosedDateRefusal(*error))
        error = twFieldRefusal(*error, m_date);
    if (error) {
        // Back to what the sheet shows, ready for another try.
        m_editBill->setRepeatIdentifier(repeatIdentifier);
        if (chosen && chosenBefore) {
            chosen->setIdentifier(chosenBefore->identifier());
            chosen->setActive(chosenBefore->active());
            chosen->setType(chosenBefore->type());
        }
        return error;
    }
    if (m_editBill->repeatIdentifier() != 0) {
        const TWRepeatPtr repeat = m_business->repeatWithIdentifier(m_editBill->repeatIdentifier());
        // The bill is stored: a failed generation is shown but does not keep
        // the sheet open (saving again would store the bill twice).
        if (repeat)
            if (TWErrorResult generated =
                    m_business->updateRepeatItemsForRepeat(repeat, false, true))
                if (m_document)
                    m_document->presentError(*generated);
    }
    return std::nullopt;
}
