#include "ledger/TWEditTransactionsController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "app/TWDateEdit.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "model/TWNumberFormatter.h"
#include "store/TWAmountLimits.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentNames.h"
#include "store/TWTransactionEditing.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace
{

const QString kBusinessErrorDomain = QStringLiteral("Tallyworth Business Error");

bool isTextField(const TWField &field)
{
    const qint32 id = field.identifier();
    return id == TWFieldIdentifierNotes || id == TWFieldIdentifierDescription ||
           id == TWFieldIdentifierPayee || (id > 0 && field.type() == TWFieldTypeText);
}

bool isAmountField(const TWField &field)
{
    return field.identifier() == TWFieldIdentifierTotal ||
           (field.identifier() > 0 &&
            (field.type() == TWFieldTypeCurrency || field.type() == TWFieldTypePercentTotal));
}

bool isNumberField(const TWField &field)
{
    return field.identifier() > 0 &&
           (field.type() == TWFieldTypeNumber || field.type() == TWFieldTypePercent);
}

// A custom number, percent or amount, which an empty text clears.
bool clearsWhenEmpty(const TWField &field)
{
    return isNumberField(field) || (field.identifier() > 0 && isAmountField(field));
}

// Typed text the field cannot read: named by its field, with an example of
// how a number is written here, as every refused field says it.
TWError typedNumberRefusal(const TWField &field, const QString &typed)
{
    return TWError(
        kBusinessErrorDomain, -1,
        TWLocalized("refusedFieldMessage")
            .arg(field.name(), TWFormatter::formatter().typedNumberError(typed.trimmed())));
}

bool isAccountField(const TWField &field)
{
    return field.identifier() == TWFieldIdentifierAccount1 ||
           field.identifier() == TWFieldIdentifierAccount2;
}

bool isDateField(const TWField &field)
{
    return field.identifier() == TWFieldIdentifierDate ||
           (field.identifier() > 0 && field.type() == TWFieldTypeDate);
}

bool isCheckField(const TWField &field)
{
    return field.identifier() == TWFieldIdentifierCleared ||
           (field.identifier() > 0 && field.type() == TWFieldTypeCheckbox);
}

bool sameUnit(const TWUnitPtr &a, const TWUnitPtr &b)
{
    if (!a || !b)
        return !a && !b;
    return a->isEqual(*b);
}

TWUnitPtr accountUnit(const TWBusiness &business, qint32 identifier)
{
    const TWAccountPtr account = business.accountWithIdentifier(identifier);
    return account ? account->unit() : nullptr;
}

} // namespace

TWEditTransactionsController::TWEditTransactionsController(QObject *parent)
    : TWLazyViewController<TWEditTransactionsEditor>(parent)
{
}

TWEditTransactionsController::~TWEditTransactionsController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWEditTransactionsController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWEditTransactions"));
    m_view->setMinimumWidth(380);
    m_fieldPopUp = new TWPopUpButton(m_view);
    m_fieldPopUp->setObjectName(QStringLiteral("fieldPopUpButton"));
    connect(m_fieldPopUp, &QComboBox::activated, this, [this] { updateField(); });
    m_countLabel = new QLabel(m_view);
    m_countLabel->setObjectName(QStringLiteral("transactionCountLabel"));
    m_valueContainer = new QWidget(m_view);
    m_valueContainer->setObjectName(QStringLiteral("valueContainerView"));
    m_valueContainer->setMinimumHeight(32);
    m_valueLayout = new QVBoxLayout(m_valueContainer);
    m_valueLayout->setContentsMargins(0, 0, 0, 0);

    auto *form = new QFormLayout();
    form->addRow(TWLocalized("editTransactionsField"), m_fieldPopUp);
    form->addRow(TWLocalized("editTransactionsValue"), m_valueContainer);

    // Cancel then Save, as in the document's other sheets.
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    m_cancel = new QPushButton(TWLocalized("cancel"), m_view);
    m_save = new QPushButton(TWLocalized("save"), m_view);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    m_save->setDefault(true);
    connect(m_save, &QPushButton::clicked, this, [this] { doSave(1); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { doSave(0); });

    auto *layout = new QVBoxLayout(m_view);
    layout->addWidget(m_countLabel);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(buttons);
    // The document sizes a resizable sheet from its view; unsized, that would
    // be a window's default size, far more than a field and a value need.
    m_view->resize(m_view->sizeHint());
    // The sheet around it says what it is.
    m_view->setWindowTitle(TWLocalized("sheetTitleEditTransactions"));
}

void TWEditTransactionsController::setTransactions(const TWTransactionList &transactions)
{
    m_transactions = transactions;
}

void TWEditTransactionsController::reset()
{
    // The document resets the sheet before it first asks for its view.
    view();
    m_countLabel->setText(
        QStringLiteral("%1 %2").arg(m_transactions.size()).arg(TWLocalized("transactionsLower")));
    m_fieldPopUp->clear();
    m_fields = m_business ? m_business->editFields() : TWFieldList();
    for (const TWFieldPtr &field : std::as_const(m_fields))
        m_fieldPopUp->addItem(field->name(), field->identifier());
    if (m_fieldPopUp->count() > 0)
        m_fieldPopUp->setCurrentIndex(0);
    updateField();
}

TWFieldPtr TWEditTransactionsController::selectedField() const
{
    if (!m_fieldPopUp)
        return nullptr;
    const int index = m_fieldPopUp->currentIndex();
    return index >= 0 && index < m_fields.size() ? m_fields[index] : nullptr;
}

bool TWEditTransactionsController::selectField(qint32 identifier)
{
    if (!m_fieldPopUp || !m_fieldPopUp->selectItemWithTag(identifier))
        return false;
    updateField();
    return true;
}

void TWEditTransactionsController::updateField()
{
    if (!m_view)
        return;
    if (m_valueView) {
        m_valueLayout->removeWidget(m_valueView);
        delete m_valueView;
    }
    const TWFieldPtr field = selectedField();
    if (!field)
        return;
    QWidget *control = nullptr;
    if (isTextField(*field))
        control = valueTextField(Qt::AlignLeft, false);
    else if (isAmountField(*field))
        control = valueTextField(Qt::AlignRight, false);
    else if (isNumberField(*field))
        control = valueTextField(Qt::AlignRight, true);
    else if (isAccountField(*field))
        control = valuePopUpButton(accountMenuItems());
    else if (field->identifier() > 0 && field->type() == TWFieldTypeList)
        control = valuePopUpButton(listMenuItems(*field));
    else if (field->identifier() > 0 && field->type() == TWFieldTypeTags)
        control = valuePopUpButton(tagMenuItems(*field));
    else if (isDateField(*field))
        control = valueDatePicker();
    else if (isCheckField(*field))
        control = valueCheckbox();
    if (!control)
        return;
    control->setObjectName(QStringLiteral("valueView"));
    m_valueLayout->addWidget(control, 0, Qt::AlignVCenter);
    m_valueView = control;
    control->setFocus();
}

QLineEdit *TWEditTransactionsController::valueTextField(Qt::Alignment alignment,
                                                        bool numberFormatter)
{
    auto *field = new QLineEdit(m_valueContainer);
    field->setAlignment(alignment | Qt::AlignVCenter);
    if (numberFormatter)
        field->setValidator(TWFormatter::numberTextFormatter());
    return field;
}

TWPopUpButton *TWEditTransactionsController::valuePopUpButton(const TWEditMenuItems &items)
{
    auto *popUp = new TWPopUpButton(m_valueContainer);
    for (const TWEditMenuItem &item : items) {
        if (item.separator)
            popUp->insertSeparator(popUp->count());
        else
            popUp->addItem(item.title, item.tag);
    }
    // The first real item (a separator is never first, but be safe).
    for (int i = 0; i < popUp->count(); ++i) {
        if (popUp->itemData(i).isValid()) {
            popUp->setCurrentIndex(i);
            break;
        }
    }
    return popUp;
}

QDateEdit *TWEditTransactionsController::valueDatePicker()
{
    auto *picker = new TWDateEdit(TWClock::today(), m_valueContainer);
    picker->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    picker->setCalendarPopup(false);
    return picker;
}

QCheckBox *TWEditTransactionsController::valueCheckbox()
{
    auto *box = new QCheckBox(m_valueContainer);
    box->setChecked(true);
    return box;
}

TWEditMenuItems TWEditTransactionsController::accountMenuItems() const
{
    TWEditMenuItems items;
    if (!m_business)
        return items;
    for (const quint32 group : {0u, 8u, 15u, 16u, 17u}) {
        const TWAccountList accounts = m_business->accountsOfType(group);
        if (accounts.isEmpty())
            continue;
        if (!items.isEmpty())
            items.append(TWEditMenuItem{true, {}, 0});
        for (const TWAccountPtr &account : accounts)
            items.append(TWEditMenuItem{false, account->name(), account->identifier()});
    }
    return items;
}

TWEditMenuItems TWEditTransactionsController::listMenuItems(const TWField &field)
{
    TWEditMenuItems items;
    for (const TWFieldListItemPtr &item : field.listItems())
        items.append(TWEditMenuItem{false, item->name(), item->identifier()});
    return items;
}

TWEditMenuItems TWEditTransactionsController::tagMenuItems(const TWField &field)
{
    TWEditMenuItems items;
    for (const TWFieldTagItemPtr &item : field.tagItems())
        items.append(TWEditMenuItem{false, item->name(), item->identifier()});
    return items;
}

TWEditValue TWEditTransactionsController::currentValue() const
{
    TWEditValue value;
    const TWFieldPtr field = selectedField();
    if (!field || !m_valueView)
        return value;
    if (auto *text = qobject_cast<QLineEdit *>(m_valueView.data())) {
        value.text = text->text();
        // Read as the transaction editor reads the same field; text it refuses
        // stays unread here, and the save refuses it (typedNumberRefusal).
        const TWFormatter &formatter = TWFormatter::formatter();
        const bool readable = formatter.typedNumber(value.text).has_value();
        if (readable && field->identifier() > 0 && field->type() == TWFieldTypeNumber)
            value.number = formatter.doubleValueFromString(value.text);
        else if (readable && field->identifier() > 0 && field->type() == TWFieldTypePercent)
            value.percent = formatter.percentValueFromString(value.text);
    } else if (auto *popUp = qobject_cast<TWPopUpButton *>(m_valueView.data())) {
        value.tag = popUp->selectedTag();
    } else if (auto *picker = qobject_cast<QDateEdit *>(m_valueView.data())) {
        value.date = picker->date().startOfDay();
    } else if (auto *box = qobject_cast<QCheckBox *>(m_valueView.data())) {
        value.on = box->isChecked();
    }
    return value;
}

qint64 TWEditTransactionsController::amountFromText(const QString &text, const TWUnit *unit,
                                                    bool *ok)
{
    // As every typed amount: only as the locale writes numbers ("1234,56" under
    // en_US is refused, never 123456), halves rounded away from zero.
    // The lowest 64-bit amount has no opposite: the sign rule could not turn it.
    const std::optional<qint64> amount = TWFormatter::formatter().typedValue(text, unit);
    const bool read = amount && *amount != std::numeric_limits<qint64>::min();
    if (ok)
        *ok = read;
    return read ? *amount : 0;
}

void TWEditTransactionsController::unsplitTransactionIfNecessary(TWTransaction &transaction,
                                                                 qint32 shownAccount) const
{
    if (!transaction.hasSplit() || !m_business)
        return;
    const TWSplitList splits = transaction.splits();
    // The direction the transaction had in the account the register shows it
    // in: the net of that account's lines.
    __int128 shownNet = 0;
    qint32 otherAccount = 0;
    for (const TWSplitPtr &split : splits) {
        if (!split)
            continue;
        if (shownAccount != 0 && split->accountIdentifier() == shownAccount)
            shownNet += split->total();
        else if (otherAccount == 0)
            otherAccount = split->accountIdentifier();
    }
    twUpdateAccounts(transaction, *m_business, std::nullopt, false);
    TWSplitPtr first;
    if (!splits.isEmpty())
        first = splits.first();
    if (first) {
        transaction.setTotal(first->total());
        transaction.setTotalAccount1(first->totalAccount());
        transaction.setTotalBusiness(first->totalBusiness());
        transaction.setTotalStart(first->totalStart());
        transaction.setTotalEnd(first->totalEnd());
        transaction.setUnit(first->unit());
        twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAccount2, *m_business);
    } else {
        transaction.setTotalEnd(0);
        transaction.setTotalStart(0);
        transaction.setTotalBusiness(0);
        transaction.setTotalAccount2(0);
        transaction.setTotalAccount1(0);
        transaction.setTotal(0);
    }
    transaction.setHasSplit(false);
    transaction.setSplits({});
    if (!first || shownNet == 0 || otherAccount == 0)
        return;
    // The first line's amount stays, between the shown account (account 1)
    // and the first other account, in the direction the shown account had:
    // a deposit stays a deposit and a payment a payment.
    const auto magnitude = [](qint64 amount) {
        return amount == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max()
                                                            : std::abs(amount);
    };
    const qint64 sign = shownNet > 0 ? 1 : -1;
    transaction.setAccount1Identifier(shownAccount);
    transaction.setAccount2Identifier(otherAccount);
    transaction.setTotal(sign * magnitude(first->total()));
    transaction.setTotalBusiness(sign * magnitude(first->totalBusiness()));
    if (first->accountIdentifier() == shownAccount) {
        transaction.setTotalAccount1(sign * magnitude(first->totalAccount()));
        twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAccount2, *m_business);
    } else {
        // Account 2 takes its amount with the sign of the total.
        transaction.setTotalAccount2(sign * magnitude(first->totalAccount()));
        twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAccount1, *m_business);
    }
}

TWSplitPtr TWEditTransactionsController::keptLine(const TWTransaction &stored)
{
    // unsplitTransactionIfNecessary keeps the first line's amount.
    const TWSplitList splits = stored.splits();
    return splits.isEmpty() ? nullptr : splits.first();
}

void TWEditTransactionsController::validateTransactionAccount(TWTransaction &transaction,
                                                              bool updatedAccount1) const
{
    if (!m_business || transaction.account1Identifier() != transaction.account2Identifier())
        return;
    const qint32 chosen =
        updatedAccount1 ? transaction.account1Identifier() : transaction.account2Identifier();
    for (const TWAccountPtr &account : m_business->accounts()) {
        if (account->identifier() == chosen)
            continue;
        if (updatedAccount1)
            transaction.setAccount2Identifier(account->identifier());
        else
            transaction.setAccount1Identifier(account->identifier());
        return;
    }
}

void TWEditTransactionsController::applyValue(TWTransaction &transaction, const TWField &field,
                                              const TWEditValue &value, qint64 parsedTotal,
                                              bool swapped, qint32 shownAccount) const
{
    TWBusiness &business = *m_business;
    switch (field.identifier()) {
    case TWFieldIdentifierNotes:
        transaction.setNotes(value.text);
        return;
    case TWFieldIdentifierDescription:
        transaction.setDescription(value.text);
        return;
    case TWFieldIdentifierPayee:
        transaction.setPayee(value.text);
        return;
    case TWFieldIdentifierTotal:
        // The amount typed keeps the transaction's direction: a payment
        // stays a payment; a typed minus turns it round.
        transaction.setTotal(transaction.total() < 0 ? -parsedTotal : parsedTotal);
        twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAll, business);
        twUpdatePercentTotals(transaction, business);
        return;
    case TWFieldIdentifierAccount1:
    case TWFieldIdentifierAccount2: {
        unsplitTransactionIfNecessary(transaction, shownAccount);
        TWUnitPtr unit1 = accountUnit(business, transaction.account1Identifier());
        TWUnitPtr unit2 = accountUnit(business, transaction.account2Identifier());
        // The side the user sees under that title in the register.
        const bool first = (field.identifier() == TWFieldIdentifierAccount1) != swapped;
        // The chosen account already on the other side: the accounts must move apart.
        const bool collides = value.tag == (first ? transaction.account2Identifier()
                                                  : transaction.account1Identifier());
        if (first)
            transaction.setAccount1Identifier(value.tag);
        else
            transaction.setAccount2Identifier(value.tag);
        validateTransactionAccount(transaction, first);
        if (collides && transaction.account1Identifier() != transaction.account2Identifier()) {
            // The chosen account changed sides: the amounts change sides with
            // it, so that it keeps the direction it had (a purchase stays a
            // purchase) and the account moved in takes the other's part.
            // The chosen side's amount stays in the chosen account's unit.
            const auto opposite = [](qint64 amount) {
                return amount == std::numeric_limits<qint64>::min()
                           ? std::numeric_limits<qint64>::max()
                           : -amount;
            };
            const qint64 total1 = transaction.totalAccount1();
            transaction.setTotal(opposite(transaction.total()));
            transaction.setTotalBusiness(opposite(transaction.totalBusiness()));
            transaction.setTotalAccount1(opposite(transaction.totalAccount2()));
            transaction.setTotalAccount2(opposite(total1));
            std::swap(unit1, unit2);
        }
        // An amount kept in the old account's unit would count in the new
        // account as if it were its own currency: convert it again.
        if (!sameUnit(unit1, accountUnit(business, transaction.account1Identifier())))
            twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAccount1, business);
        if (!sameUnit(unit2, accountUnit(business, transaction.account2Identifier())))
            twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAccount2, business);
        return;
    }
    case TWFieldIdentifierDate:
        transaction.setDate(value.date);
        return;
    case TWFieldIdentifierCleared:
        transaction.setCleared(value.on);
        return;
    default:
        break;
    }
    const TWFieldValuePtr fieldValue = transaction.fieldValueWithField(field, true);
    if (!fieldValue)
        return;
    switch (field.type()) {
    case TWFieldTypeText:
        fieldValue->setText(value.text);
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        fieldValue->setCurrency(parsedTotal);
        break;
    case TWFieldTypeNumber:
        fieldValue->setNumber(value.number);
        break;
    case TWFieldTypePercent:
        fieldValue->setPercent(value.percent);
        break;
    case TWFieldTypeCheckbox:
        fieldValue->setCheckboxValue(value.on);
        break;
    case TWFieldTypeDate:
        fieldValue->setDate(value.date);
        break;
    case TWFieldTypeList:
        fieldValue->setListItemIdentifier(value.tag);
        break;
    case TWFieldTypeTags:
        fieldValue->setTagItemIdentifiers({value.tag});
        break;
    default:
        break;
    }
}

QString TWEditTransactionsController::keptAmountLine(const TWTransaction &stored,
                                                     const TWTransaction &edited,
                                                     qint32 shownAccount) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const TWBusiness &business = *m_business;
    const auto amount = [&formatter, &business](qint64 value, qint32 account) {
        const TWUnitPtr unit = accountUnit(business, account);
        return formatter.valueString(value, unit.get(), true, true, false, false, true);
    };
    // Before: the net of the shown account's lines (of the first line's
    // account when the row shows none of them); after: that account's amount
    // when it stays, else account 1's.
    qint32 before = shownAccount;
    const TWSplitList splits = stored.splits();
    const bool onLines = std::any_of(splits.cbegin(), splits.cend(), [shownAccount](const auto &s) {
        return s && s->accountIdentifier() == shownAccount;
    });
    if (!onLines && !splits.isEmpty() && splits.first())
        before = splits.first()->accountIdentifier();
    qint64 net = 0;
    for (const TWSplitPtr &split : splits)
        if (split && split->accountIdentifier() == before)
            net += split->totalAccount();
    constexpr qsizetype kShownLength = 60;
    const QString payee = !stored.payee().isEmpty() ? stored.payee()
                          : !stored.description().isEmpty()
                              ? stored.description()
                              : TWLocalized("editTransactionsNoPayee");
    return TWLocalized("editTransactionsUnsplitLine")
        .arg(formatter.shortDateString(stored.date()),
             TWStringAdditions::shortened(payee, kShownLength), amount(net, before),
             edited.account2Identifier() == before && edited.account1Identifier() != before
                 ? amount(-edited.totalAccount2(), before)
                 : amount(edited.totalAccount1(), edited.account1Identifier()));
}

TWErrorResult TWEditTransactionsController::prepareEdits(const TWField &field,
                                                         const TWEditValue &value,
                                                         QList<Edit> *edits) const
{
    if (!m_business)
        return std::nullopt;
    const TWBusiness &business = *m_business;
    // Each stored transaction once (a register of several accounts lists a
    // transfer twice), edited on a copy of the stored record so that a
    // refused write leaves the listed one as it was.
    QSet<qint32> seen;
    const bool amount = isAmountField(field);
    // An account pop-up without accounts chose nothing.
    if (isAccountField(field) && value.tag == 0)
        return std::nullopt;
    // An empty total is no amount: written as 0 it would wipe every total
    // chosen, with nothing to undo it. Refused before anything is asked.
    const bool empty = value.text.trimmed().isEmpty();
    if (field.identifier() == TWFieldIdentifierTotal && empty)
        return TWError(kBusinessErrorDomain, -1,
                       TWLocalized("editTransactionsEmptyAmount").arg(field.name()));
    if (isNumberField(field) && !empty && !TWFormatter::formatter().typedNumber(value.text))
        return typedNumberRefusal(field, value.text);
    for (const TWTransactionPtr &row : std::as_const(m_transactions)) {
        if (!row || !row->canEdit() || seen.contains(row->identifier()))
            continue;
        const TWTransactionPtr stored = business.transactionWithIdentifier(row->identifier());
        if (!stored || !stored->canEdit())
            continue;
        // A new total would disagree with the lines of a split transaction
        // (the sheet named those before saving).
        if (field.identifier() == TWFieldIdentifierTotal && stored->hasSplit())
            continue;
        seen.insert(row->identifier());
        Edit edit;
        edit.before = business.transactionBeforeActiveAccountingPeriod(*stored);
        edit.edited = stored->copy();
        qint64 parsed = 0;
        if (amount && !empty) {
            bool ok = false;
            parsed = amountFromText(value.text, edit.edited->unit().get(), &ok);
            if (!ok)
                return typedNumberRefusal(field, value.text);
        }
        // A row seen from its account 2 shows that account first (a split row
        // shows no accounts, and loses its lines before the change anyway).
        const bool swapped = !stored->hasSplit() && row->activeAccountIdentifier() != 0 &&
                             row->activeAccountIdentifier() != stored->account1Identifier() &&
                             row->activeAccountIdentifier() == stored->account2Identifier();
        // The account a split row is shown in keeps its side when it is unsplit.
        const qint32 shown = row->activeAccountIdentifier();
        if (empty && clearsWhenEmpty(field))
            // An empty number is no value: the field is cleared, never set to 0.
            edit.edited->removeFieldValueWithIdentifier(field.identifier());
        else
            applyValue(*edit.edited, field, value, parsed, swapped, shown);
        if (stored->hasSplit() && isAccountField(field)) {
            edit.keptAmount = keptAmountLine(*stored, *edit.edited, shown);
            if (const TWSplitPtr kept = keptLine(*stored))
                edit.keptLinks = business.relationshipsWithSplit(*kept);
        }
        if (field.identifier() == TWFieldIdentifierDate && business.transactionClosed(*edit.edited))
            return TWError(kBusinessErrorDomain, -1,
                           TWLocalized("refusedFieldMessage")
                               .arg(field.name(), TWLocalized("editClosedTransaction")));
        edit.before = edit.before || business.transactionBeforeActiveAccountingPeriod(*edit.edited);
        edits->append(edit);
    }
    // Every amount and balance must be held before the first one is written.
    TWTransactionList edited;
    for (const Edit &edit : std::as_const(*edits))
        edited.append(edit.edited);
    return TWAmountLimits::amountsError(business, edited);
}

TWErrorResult TWEditTransactionsController::editTransactions(const TWField &field,
                                                             const TWEditValue &value)
{
    if (!m_business)
        return std::nullopt;
    QList<Edit> edits;
    if (TWErrorResult refused = prepareEdits(field, value, &edits))
        return refused;
    return writeEdits(edits);
}

TWErrorResult TWEditTransactionsController::writeEdits(const QList<Edit> &edits)
{
    TWBusiness &business = *m_business;
    // One write per transaction without notifications, then one rebuild of
    // the year-end transfers and one pair of bulk notifications.
    TWErrorResult failure;
    bool written = false;
    bool rebuild = false;
    bool relinked = false;
    for (const Edit &edit : std::as_const(edits)) {
        // The transaction and the links of the line it keeps, together.
        TWBusiness::WriteScope scope(business);
        TWErrorResult error = business.updateTransaction(edit.edited, true, false, true, false);
        for (const TWRelationshipPtr &link : edit.keptLinks) {
            if (error)
                break;
            error = business.addRelationship(
                TWRelationship::relationshipWithType(
                    link->type(), link->value(), link->parentIdentifier(), link->childIdentifier(),
                    link->transactionIdentifier(), 0, business.nextRelationshipIdentifier()),
                false);
            relinked = true;
        }
        if (TWErrorResult failed = scope.finish(error)) {
            failure = failed;
            break;
        }
        written = true;
        rebuild = rebuild || edit.before;
    }
    if (relinked && written)
        business.notifyRelationshipsAdd();
    // The transactions stay written when the year-end transfers cannot be
    // made again; that failure is said all the same.
    if (rebuild) {
        TWErrorResult error = business.updateNominalTransferTransactions();
        if (error && !failure)
            failure = error;
    }
    if (written) {
        business.notifyTransactionsUpdate();
        business.notifyValuesUpdate();
    }
    return failure;
}

void TWEditTransactionsController::presentError(const TWError &error)
{
    if (m_document)
        m_document->presentError(error);
    emit errorPresented(error);
}

TWTransactionList TWEditTransactionsController::editableTransactions() const
{
    TWTransactionList editable;
    if (!m_business)
        return editable;
    QSet<qint32> seen;
    for (const TWTransactionPtr &row : std::as_const(m_transactions)) {
        if (!row || !row->canEdit() || seen.contains(row->identifier()))
            continue;
        seen.insert(row->identifier());
        const TWTransactionPtr stored = m_business->transactionWithIdentifier(row->identifier());
        if (stored && stored->canEdit())
            editable.append(stored);
    }
    return editable;
}

qsizetype TWEditTransactionsController::splitTransactionsToUnsplit(const TWField &field,
                                                                   const TWEditValue &value) const
{
    if (!isAccountField(field) || value.tag == 0)
        return 0;
    // Counted as the run will meet them: each stored transaction once, only
    // those it may change.
    const TWTransactionList editable = editableTransactions();
    return std::count_if(editable.cbegin(), editable.cend(),
                         [](const TWTransactionPtr &stored) { return stored->hasSplit(); });
}

TWTransactionList
TWEditTransactionsController::splitTransactionsKeepingTotals(const TWField &field) const
{
    TWTransactionList keeping;
    if (field.identifier() != TWFieldIdentifierTotal)
        return keeping;
    for (const TWTransactionPtr &stored : editableTransactions())
        if (stored->hasSplit())
            keeping.append(stored);
    return keeping;
}

QString TWEditTransactionsController::invoicesLosingPayments() const
{
    TWInvoiceList invoices;
    TWBillList bills;
    QSet<std::pair<std::uint32_t, qint32>> seen;
    for (const TWTransactionPtr &stored : editableTransactions()) {
        if (!stored->hasSplit())
            continue;
        // The line whose amount the transaction keeps keeps its payments.
        const TWSplitPtr kept = keptLine(*stored);
        for (const TWRelationshipPtr &link : m_business->relationshipsWithTransaction(*stored)) {
            if (link->splitIdentifier() == 0 ||
                (kept && link->splitIdentifier() == kept->identifier()) ||
                seen.contains({link->type(), link->childIdentifier()}))
                continue;
            seen.insert({link->type(), link->childIdentifier()});
            if (link->type() == TWRelationshipTypeInvoicePayment) {
                if (const TWInvoicePtr invoice =
                        m_business->invoiceWithIdentifier(link->childIdentifier()))
                    invoices.append(invoice);
            } else if (link->type() == TWRelationshipTypeBillPayment) {
                if (const TWBillPtr bill = m_business->billWithIdentifier(link->childIdentifier()))
                    bills.append(bill);
            }
        }
    }
    QStringList names;
    if (!invoices.isEmpty())
        names.append(twInvoiceNames(invoices));
    if (!bills.isEmpty())
        names.append(twBillNames(bills));
    return names.join(QStringLiteral(", "));
}

void TWEditTransactionsController::doSave(int tag)
{
    if (!m_view)
        return;
    const TWFieldPtr field = selectedField();
    if (tag != 1 || !field || !m_business) {
        finish(tag == 1);
        return;
    }
    // A date whose text was refused would be read as the date shown before it.
    if (twExplainFirstRefusedField(m_view))
        return;
    const TWEditValue value = currentValue();
    // What would be refused is said first: there is nothing to ask about it.
    QList<Edit> edits;
    if (TWErrorResult refused = prepareEdits(*field, value, &edits)) {
        presentError(*refused);
        return;
    }
    const qsizetype unsplit = splitTransactionsToUnsplit(*field, value);
    const TWTransactionList keeping = splitTransactionsKeepingTotals(*field);
    if (unsplit == 0 && keeping.isEmpty()) {
        endSave(writeEdits(edits));
        return;
    }
    QStringList kept;
    for (const Edit &edit : std::as_const(edits))
        if (!edit.keptAmount.isEmpty())
            kept.append(edit.keptAmount);
    askBeforeSaving(field, value, unsplit, keeping, !edits.isEmpty(), kept);
}

void TWEditTransactionsController::askBeforeSaving(const TWFieldPtr &field,
                                                   const TWEditValue &value, qsizetype unsplit,
                                                   const TWTransactionList &keeping,
                                                   bool othersChange, const QStringList &kept)
{
    TWAlert alert;
    alert.window = m_view->window();
    if (unsplit > 0) {
        // A new account leaves a split transaction with one line and no bank
        // side: say so first.
        alert.message = unsplit == 1 ? TWLocalized("editTransactionsUnsplitOne")
                                     : TWLocalized("editTransactionsUnsplitMany").arg(unsplit);
        alert.informativeText = TWLocalized("editTransactionsUnsplitInformative");
        // What each keeps, as the register showed it and as it will show it.
        if (!kept.isEmpty())
            alert.informativeText +=
                QStringLiteral("\n\n") +
                TWStringAdditions::shortList(
                    kept.size(), [&kept](qsizetype i) { return kept.at(i); }, QStringLiteral("\n"),
                    TWLocalized("editTransactionsSplitTotalMore"));
        // Lines that pay invoices or bills take those payments along.
        if (const QString losing = invoicesLosingPayments(); !losing.isEmpty())
            alert.informativeText +=
                QStringLiteral("\n\n") + TWLocalized("editTransactionsUnsplitPayments").arg(losing);
        alert.buttons = {TWLocalized("editTransactionsUnsplitButton"), TWLocalized("cancel")};
    } else {
        // A split transaction's total is the sum of its lines: each one left
        // as it is is named, by date, payee and total.
        constexpr qsizetype kShownLength = 60;
        const TWFormatter &formatter = TWFormatter::formatter();
        const auto line = [&keeping, &formatter](qsizetype i) {
            const TWTransaction &t = *keeping.at(i);
            const QString payee = !t.payee().isEmpty() ? t.payee()
                                  : !t.description().isEmpty()
                                      ? t.description()
                                      : TWLocalized("editTransactionsNoPayee");
            return TWLocalized("editTransactionsSplitTotalLine")
                .arg(formatter.shortDateString(t.date()),
                     TWStringAdditions::shortened(payee, kShownLength),
                     formatter.valueString(t.total(), t.unit().get(), true, true, false, false,
                                           true));
        };
        const QString names =
            TWStringAdditions::shortList(keeping.size(), line, QStringLiteral("\n"),
                                         TWLocalized("editTransactionsSplitTotalMore"));
        if (!othersChange) {
            // Nothing else to change: back to the sheet.
            alert.message = TWLocalized("editTransactionsSplitTotalNone");
            alert.informativeText =
                TWLocalized("editTransactionsSplitTotalNoneInformative").arg(names);
            alert.buttons = {TWLocalized("ok")};
            twRunAlert(alert);
            return;
        }
        alert.message = keeping.size() == 1
                            ? TWLocalized("editTransactionsSplitTotalOne")
                            : TWLocalized("editTransactionsSplitTotalMany").arg(keeping.size());
        alert.informativeText = TWLocalized("editTransactionsSplitTotalInformative").arg(names);
        alert.buttons = {TWLocalized("editTransactionsSplitTotalButton"), TWLocalized("cancel")};
    }
    // Cancel returns to the sheet as the user left it; a stray Return keeps
    // the lines and totals as they are.
    alert.defaultButton = 1;
    QPointer<TWEditTransactionsController> self(this);
    twRunAlert(alert, [self, field, value](int code) {
        if (self && self->m_view && code == TWAlertFirstButtonReturn)
            self->save(*field, value);
    });
}

void TWEditTransactionsController::save(const TWField &field, const TWEditValue &value)
{
    endSave(editTransactions(field, value));
}

void TWEditTransactionsController::endSave(const TWErrorResult &error)
{
    if (error) {
        presentError(*error);
        // A refusal wrote nothing (its checks run before any write): the
        // sheet stays open with what was typed.
        if (error->domain() == kBusinessErrorDomain)
            return;
    }
    finish(true);
}

void TWEditTransactionsController::finish(bool saved)
{
    if (saved && m_document)
        m_document->updateChangeCount(0);
    const int code = sheetReturnCode(saved ? TWSheetResult::Confirmed : TWSheetResult::Cancelled);
    if (m_document)
        m_document->endSheet(m_view, code);
    emit endRequested(code);
}
