// The Columns, Sort By and Mark menus of the focused list, and their check
// marks.

#include "app/TWBusinessController.h"
#include "app/TWMasterController.h"
#include "app/TWMenus.h"

namespace
{

using A = TWAction;

// The client or merchant list with the focus and its commands, for the
// Columns (`sort` false) or Sort By menu; none when no such list has it.
struct FocusedList {
    TWFocusList list;
    A column;
    A sortBy;
    A direction;
};

const FocusedList kClientLists[] = {
    {TWFocusList::Projects, A::doColumnClientProject, A::doSortByClientProject,
     A::doSortDirectionClientProject},
    {TWFocusList::Tasks, A::doColumnClientTask, A::doSortByClientTask,
     A::doSortDirectionClientTask},
    {TWFocusList::TaskItems, A::doColumnClientTaskItem, A::doSortByClientTaskItem,
     A::doSortDirectionClientTaskItem},
    {TWFocusList::Expenses, A::doColumnClientExpense, A::doSortByClientExpense,
     A::doSortDirectionClientExpense},
    {TWFocusList::Invoices, A::doColumnClientInvoice, A::doSortByClientInvoice,
     A::doSortDirectionClientInvoice},
};
const FocusedList kBills = {TWFocusList::Bills, A::doColumnMerchantBill, A::doSortByMerchantBill,
                            A::doSortDirectionMerchantBill};

const FocusedList *familyOf(A main)
{
    for (const FocusedList &list : kClientLists)
        if (list.column == main || list.sortBy == main || list.direction == main)
            return &list;
    if (kBills.column == main || kBills.sortBy == main || kBills.direction == main)
        return &kBills;
    return nullptr;
}

} // namespace

QList<TWListMenuItem> TWBusinessController::columnMenuItems() const
{
    if (!m_business)
        return {};
    const TWItemPtr item = selectedItem();
    const int kind = item ? int(item->type()) : 0;
    if (!m_importing && (kind == TWItemTypeClientGroup || kind == TWItemTypeClient)) {
        if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
            for (const FocusedList &list : kClientLists)
                if (clients->hasFirstResponder(list.list))
                    return clients->fieldMenuItems(list.list, list.column);
    }
    if (!m_importing && (kind == TWItemTypeMerchantGroup || kind == TWItemTypeMerchant)) {
        auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants);
        if (merchants && merchants->hasFirstResponder(TWFocusList::Bills))
            return merchants->fieldMenuItems(TWFocusList::Bills, A::doColumnMerchantBill);
    }
    return twRegisterFieldItems(m_business->sortedFields(), false);
}

QList<TWListMenuItem> TWBusinessController::sortMenuItems() const
{
    if (!m_business)
        return {};
    if (!m_importing && m_masterController && m_masterController->hasFirstResponder())
        return twMasterSortItems();
    const TWItemPtr item = selectedItem();
    const int kind = item ? int(item->type()) : 0;
    const auto withDirection = [](QList<TWListMenuItem> items, A direction) {
        items.append(TWListMenuItem::separator());
        items.append(twSortDirectionItems(direction));
        return items;
    };
    // A group of clients or merchants shows the same panes as one of them.
    if (!m_importing && (kind == TWItemTypeClientGroup || kind == TWItemTypeClient)) {
        if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
            for (const FocusedList &list : kClientLists)
                if (clients->hasFirstResponder(list.list))
                    return withDirection(clients->fieldMenuItems(list.list, list.sortBy),
                                         list.direction);
    }
    if (!m_importing && (kind == TWItemTypeMerchantGroup || kind == TWItemTypeMerchant)) {
        auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants);
        if (merchants && merchants->hasFirstResponder(TWFocusList::Bills))
            return withDirection(merchants->fieldMenuItems(TWFocusList::Bills, kBills.sortBy),
                                 kBills.direction);
    }
    return twRegisterFieldItems(m_business->sortedFields(), true);
}

QList<TWListMenuItem> TWBusinessController::clientMarkMenuItems() const
{
    if (auto *clients = detailAs<TWClientDetail>(TWDetailClients)) {
        if (clients->hasFirstResponder(TWFocusList::Projects))
            return twCompletionMarkItems(A::doMarkProject);
        if (clients->hasFirstResponder(TWFocusList::Tasks))
            return twCompletionMarkItems(A::doMarkTask);
        if (clients->hasFirstResponder(TWFocusList::Invoices))
            return twInvoiceMarkItems();
    }
    auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats);
    if (repeats && repeats->selectedRepeatKind() == 1 && repeats->invoicesHasFirstResponder())
        return twInvoiceMarkItems();
    return twCompletionMarkItems(std::nullopt);
}

TWValidation twValidateListMenu(const TWBusinessController &document, TWAction action, int tag,
                                const QVariant &representedObject)
{
    TWValidation result;
    result.enabled = true;
    const auto mark = [&result](bool on) { result.check = on ? TWCheck::On : TWCheck::Off; };
    const A main = twMainAction(action);
    TWBusiness *business = document.business();
    if (!business) {
        mark(false);
        return result;
    }
    if (main == A::doColumnAccount || main == A::doSortByAccount ||
        main == A::doSortDirectionAccount) {
        const std::optional<QVariantMap> settings = business->columnSettings(0);
        const TWFieldPtr field = representedObject.value<TWFieldPtr>();
        if (main == A::doSortDirectionAccount) {
            mark(twSortDirectionChecked(settings, tag));
        } else if (!field) {
            mark(false);
        } else if (main == A::doSortByAccount) {
            mark(twRegisterSortByChecked(settings, field->identifier()));
        } else {
            TWMasterController *master = document.masterController();
            const TWMasterItemPtr entry = master ? master->selectedMasterItem() : nullptr;
            const TWItemPtr item = document.selectedItem();
            const qint64 key =
                twRegisterViewKey(entry ? int(entry->type()) : -1, item ? int(item->type()) : 0,
                                  item ? item->identifier() : 0);
            mark(twRegisterColumnChecked(settings, field->identifier(), key));
        }
        return result;
    }
    const FocusedList *family = familyOf(main);
    if (!family) {
        mark(false);
        return result;
    }
    std::optional<QVariantMap> settings;
    if (family->list == TWFocusList::Bills) {
        if (auto *merchants =
                qobject_cast<TWMerchantDetail *>(document.detailController(TWDetailMerchants)))
            settings = merchants->listSettings(family->list);
    } else if (auto *clients =
                   qobject_cast<TWClientDetail *>(document.detailController(TWDetailClients))) {
        settings = clients->listSettings(family->list);
    }
    if (main == family->direction)
        mark(twSortDirectionChecked(settings, tag));
    else if (main == family->sortBy)
        mark(twSortByChecked(settings, representedObject.toString()));
    else
        mark(twColumnChecked(settings, representedObject.toString()));
    return result;
}
