// The bar under the document window's detail: which buttons show for the
// selection and when they are enabled, where they stand, and the count and
// total line of the transactions shown.

#include "app/TWBusinessController.h"

#include "app/TWMasterController.h"
#include "app/TWWindowController.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace
{

constexpr int kButtonInset = 8;
constexpr int kLabelBottom = 5;

bool isRegisterKind(int kind)
{
    return kind == TWItemTypeAccountGroup || kind == TWItemTypeAccount ||
           kind == TWItemTypeFilterGroup || kind == TWItemTypeFilter;
}

} // namespace

int TWBusinessController::dateRangeTagForDateRange(qint64 rangeType)
{
    return rangeType >= TWDateRangeNone && rangeType <= TWDateRangeCustom ? int(rangeType)
                                                                          : TWDateRangeNone;
}

void TWBusinessController::updateSearch(const TWMasterItem *item)
{
    if (!m_windowController)
        return;
    QLineEdit *search = m_windowController->searchField();
    search->clear();
    bool enabled = false;
    if (item) {
        enabled = (item->type() == TWMasterItemEntity && isRegisterKind(item->itemType())) ||
                  item->type() == TWMasterItemUnits || item->type() == TWMasterItemValues ||
                  item->type() == TWMasterItemSearchResults;
    }
    search->setEnabled(enabled);
}

void TWBusinessController::clearSearch()
{
    if (m_windowController)
        m_windowController->searchField()->clear();
}

void TWBusinessController::updateDeleteButton(const TWMasterItem *item)
{
    if (!m_windowController)
        return;
    const int kind = item && item->type() == TWMasterItemEntity ? item->itemType() : 0;
    m_windowController->deleteMasterButton()->setEnabled(kind >= 1 && kind <= 10);
}

void TWBusinessController::updateDetailButtons(const TWMasterItem *item)
{
    if (!m_windowController)
        return;
    TWWindowController &window = *m_windowController;
    QWidget *first = nullptr;
    QWidget *second = nullptr;
    if (item) {
        const int kind = item->itemType();
        switch (item->type()) {
        case TWMasterItemEntity:
            if (isRegisterKind(kind)) {
                first = window.addDeleteControl();
                second = window.rangePopUp();
            } else if (kind == TWItemTypeMerchantGroup || kind == TWItemTypeMerchant) {
                first = window.addDeleteControl();
            }
            break;
        case TWMasterItemBudget:
            first = window.resetButton();
            break;
        case TWMasterItemFields:
        case TWMasterItemValues:
        case TWMasterItemSearchResults:
            first = window.addDeleteControl();
            break;
        case TWMasterItemUnits:
            first = window.addDeleteControl();
            second = window.refreshButton();
            break;
        case TWMasterItemRepeats:
            first = window.rangePopUp();
            break;
        default:
            break;
        }
    }
    if (first == window.rangePopUp() || second == window.rangePopUp())
        window.rangePopUp()->setCurrentIndex(window.rangePopUp()->findData(
            dateRangeTagForDateRange(m_business ? m_business->transactionRangeType() : 0)));
    if (m_detailButtonsView && m_detailButtonsView != first && m_detailButtonsView != second)
        m_detailButtonsView->hide();
    if (m_subDetailButtonsView && m_subDetailButtonsView != first &&
        m_subDetailButtonsView != second)
        m_subDetailButtonsView->hide();
    m_detailButtonsView = first;
    m_subDetailButtonsView = second;
    for (QWidget *control : {first, second})
        if (control)
            control->show();
    if (first || second) {
        updateDetailButtonsFrame();
        updateDetailButtonsEnabled();
    }
}

void TWBusinessController::updateDetailButtonsFrame()
{
    if (!m_windowController)
        return;
    const QRect frame = m_windowController->detailFrameInBar();
    const int barHeight = TWDetailBar::kHeight;
    int right = 0;
    if (QWidget *first = m_detailButtonsView) {
        first->move(frame.left() + kButtonInset, (barHeight - first->height()) / 2);
        right = first->x() + first->width();
    }
    if (QWidget *second = m_subDetailButtonsView)
        second->move(right + kButtonInset, (barHeight - second->height()) / 2);
}

void TWBusinessController::updateDetailButtonsEnabled()
{
    if (!m_windowController)
        return;
    TWAddDeleteControl *addDelete = m_windowController->addDeleteControl();
    switch (m_detailType) {
    case TWDetailTransactionsAccounts:
    case TWDetailTransactionsFilters: {
        TWRegisterDetail *transactions = transactionsController();
        addDelete->setSegmentEnabled(0, true);
        addDelete->setSegmentEnabled(1, transactions && transactions->hasSelectedTransaction());
        break;
    }
    case TWDetailClients:
        if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
            if (TWInvoicesList *invoices = clients->invoicesController())
                invoices->updateTransactionButtonsEnabled();
        break;
    case TWDetailMerchants: {
        auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants);
        TWRegisterDetail *payments = merchants ? merchants->transactionsController() : nullptr;
        addDelete->setSegmentEnabled(0, merchants && merchants->canAddTransaction());
        addDelete->setSegmentEnabled(1, payments && payments->hasSelectedTransaction());
        break;
    }
    case TWDetailFields: {
        TWDetailController *fields = detailController(TWDetailFields);
        addDelete->setSegmentEnabled(0, fields && fields->canAddItem());
        addDelete->setSegmentEnabled(1, fields && fields->canDeleteItem(false));
        break;
    }
    case TWDetailUnits: {
        auto *units = detailAs<TWUnitsDetail>(TWDetailUnits);
        addDelete->setSegmentEnabled(0, true);
        addDelete->setSegmentEnabled(1, units && units->canDeleteUnit(false));
        break;
    }
    case TWDetailValues: {
        auto *values = detailAs<TWValuesDetail>(TWDetailValues);
        addDelete->setSegmentEnabled(0, true);
        addDelete->setSegmentEnabled(1, values && values->canDeleteValue(false));
        break;
    }
    default:
        break;
    }
}

void TWBusinessController::updateCountTotal()
{
    const auto finish = [this] {
        if (m_masterController)
            m_masterController->updateTotals();
    };
    if (!m_windowController || !m_business) {
        finish();
        return;
    }
    QLabel *count = m_windowController->countLabel();
    QLabel *total = m_windowController->totalLabel();
    const auto hide = [&] {
        count->clear();
        total->clear();
        count->hide();
        total->hide();
    };
    const TWMasterItemList nodes =
        m_masterController ? m_masterController->selectedMasterItems() : TWMasterItemList();
    const TWMasterItemPtr first = nodes.isEmpty() ? nullptr : nodes.first();
    if (!first) {
        hide();
        finish();
        return;
    }

    TWTransactionList all;
    TWTransactionList selected;
    TWUnitPtr unit = m_business->homeUnit();
    std::function<qint64(const TWTransactionList &)> totalOf;
    const auto fromRegister = [&](TWRegisterDetail *transactions, auto interim) {
        if (transactions) {
            all = transactions->transactions();
            selected = transactions->selectedTransactions();
        } else {
            // Until the register comes, the rows it would show.
            all = interim();
        }
    };
    const int kind = first->itemType();
    if (first->type() == TWMasterItemRepeats) {
        auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats);
        TWRegisterDetail *items = repeats ? repeats->transactionsController() : nullptr;
        if (!items) {
            hide();
            finish();
            return;
        }
        all = items->transactions();
        selected = items->selectedTransactions();
        totalOf = [this](const TWTransactionList &list) {
            return m_business->transactionHomeTotalWithTransactions(list);
        };
    } else if (first->type() == TWMasterItemEntity &&
               (kind == TWItemTypeAccountGroup || kind == TWItemTypeAccount)) {
        const TWAccountList accounts =
            twItemsAs<TWAccount>(TWMasterItem::childItems(nodes, TWItemTypeAccount));
        fromRegister(transactionsController(),
                     [&] { return m_business->transactionsForAccounts(accounts); });
        if (accounts.size() == 1) {
            const TWAccountPtr account = accounts.first();
            unit = account->unit();
            totalOf = [this, account](const TWTransactionList &list) {
                return m_business->transactionTotalWithAccount(*account, list);
            };
        } else {
            totalOf = [this, accounts](const TWTransactionList &list) {
                return m_business->transactionHomeTotalWithAccounts(accounts, list);
            };
        }
    } else if (first->type() == TWMasterItemEntity &&
               (kind == TWItemTypeFilterGroup || kind == TWItemTypeFilter)) {
        const TWFilterList filters =
            twItemsAs<TWFilter>(TWMasterItem::childItems(nodes, TWItemTypeFilter));
        fromRegister(transactionsController(),
                     [&] { return m_business->transactionsForFilters(filters); });
        totalOf = [this, filters](const TWTransactionList &list) {
            return m_business->transactionHomeTotalWithFilters(filters, list);
        };
    } else if (first->type() == TWMasterItemEntity &&
               (kind == TWItemTypeMerchantGroup || kind == TWItemTypeMerchant)) {
        auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants);
        TWRegisterDetail *payments = merchants ? merchants->transactionsController() : nullptr;
        if (!payments) {
            hide();
            finish();
            return;
        }
        all = payments->transactions();
        selected = payments->selectedTransactions();
        TWBillList bills = merchants->selectedBills();
        if (bills.isEmpty())
            bills = merchants->bills();
        totalOf = [this, bills](const TWTransactionList &list) {
            return m_business->transactionHomeOwingWithBills(bills, list);
        };
    } else {
        if (first->type() == TWMasterItemEntity &&
            (kind == TWItemTypeClientGroup || kind == TWItemTypeClient))
            if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
                if (TWInvoicesList *invoices = clients->invoicesController())
                    invoices->updateInvoiceCountTotal();
        hide();
        finish();
        return;
    }

    const TWFormatter &formatter = TWFormatter::formatter();
    const auto money = [&](qint64 value) {
        return formatter.valueString(value, unit.get(), true, true, false, true, true);
    };
    const QString word = TWLocalized(all.size() == 1 ? "transactionLower" : "transactionsLower");
    // The counts are plain numbers, and both lines describe the list the
    // register loaded (a search narrows the rows shown, not the line).
    const auto number = [](qsizetype value) { return QString::number(qlonglong(value)); };
    const QString full = QStringLiteral("%1 %2").arg(number(all.size()), word);
    if (!selected.isEmpty()) {
        count->setText(QStringLiteral("%1 / %2").arg(number(selected.size()), full));
        total->setText(
            QStringLiteral("%1 / %2").arg(money(totalOf(selected)), money(totalOf(all))));
    } else {
        count->setText(full);
        total->setText(money(totalOf(all)));
    }
    count->adjustSize();
    total->adjustSize();
    count->show();
    total->show();
    updateCountTotalFrame();
    finish();
}

void TWBusinessController::updateCountTotalFrame()
{
    if (!m_windowController || !m_masterController || !m_masterController->selectedMasterItem())
        return;
    if (isMasterSelected(TWMasterSectionClients)) {
        if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
            clients->updateClientCountTotalFrame();
    } else if (isMasterSelected(TWMasterSectionMerchants)) {
        if (auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants))
            merchants->updateMerchantCountTotalFrame();
    }
    QLabel *count = m_windowController->countLabel();
    QLabel *total = m_windowController->totalLabel();
    if (total->isHidden())
        return;
    const QRect frame = m_windowController->detailFrameInBar();
    const int barHeight = TWDetailBar::kHeight;
    count->move(frame.left() + (frame.width() - count->width()) / 2,
                barHeight - kLabelBottom - count->height());
    total->move(frame.left() + frame.width() - kButtonInset - total->width(),
                barHeight - kLabelBottom - total->height());
}

void TWBusinessController::filterTransactions(int rangeType, const QDateTime &fromDate,
                                              const QDateTime &toDate)
{
    if (!m_business)
        return;
    TWRegisterDetail *transactions = nullptr;
    if (m_detailType == TWDetailRepeats) {
        if (auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats))
            transactions = repeats->transactionsController();
    } else if (m_detailType == TWDetailTransactionsAccounts ||
               m_detailType == TWDetailTransactionsFilters) {
        transactions = transactionsController();
    }
    m_business->setTransactionRangeType(rangeType);
    m_business->setTransactionRangeFromDate(rangeType == TWDateRangeCustom ? fromDate
                                                                           : QDateTime());
    m_business->setTransactionRangeToDate(rangeType == TWDateRangeCustom ? toDate : QDateTime());
    if (transactions)
        transactions->updateTransactions();
    updateCountTotal();
}
