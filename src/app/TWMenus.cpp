#include "app/TWMenus.h"

#include "app/TWAppLinks.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWDocumentController.h"
#include "app/TWTextCommands.h"

#include "foundation/TWLocalized.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <functional>
#include <iterator>

QList<TWMenuEntry> twDefaultSortMenuEntries(bool columns)
{
    static const char *const keys[] = {"cleared", "date",  "identifier", "account1", "account2",
                                       "repeat",  "debit", "credit",     "balance",  "attachments"};
    QList<TWMenuEntry> entries;
    for (const char *key : keys)
        entries.append({QLatin1String(key), columns || qstrcmp(key, "date") == 0});
    if (!columns) {
        entries.append({QString(), false});
        entries.append({QStringLiteral("ascending"), true});
        entries.append({QStringLiteral("descending"), false});
    }
    return entries;
}

QList<TWMenuEntry> twDefaultClientMarkMenuEntries()
{
    return {{QStringLiteral("complete"), false}, {QStringLiteral("notComplete"), false}};
}

void twFillMenu(QMenu *menu, const QList<TWMenuEntry> &entries)
{
    menu->clear();
    for (const TWMenuEntry &entry : entries) {
        if (entry.key.isEmpty()) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(TWLocalized(entry.key));
        action->setCheckable(true);
        action->setChecked(entry.checked);
        action->setData(entry.key);
    }
}

QAction *twMenuAction(QMenu *menu, const QString &title, TWAction action, int tag,
                      const QVariant &representedObject)
{
    QAction *item = menu->addAction(title);
    item->setData(tag);
    item->setProperty("twAction", int(action));
    if (representedObject.isValid())
        item->setProperty("twRepresentedObject", representedObject);
    return item;
}

std::optional<TWAction> twActionOf(const QAction *item)
{
    const QVariant action = item ? item->property("twAction") : QVariant();
    if (!action.isValid())
        return std::nullopt;
    const int value = action.toInt();
    if (value < 0 || value >= int(TWAction::count))
        return std::nullopt;
    return TWAction(value);
}

int twTagOf(const QAction *item)
{
    return item ? item->data().toInt() : 0;
}

QVariant twRepresentedObject(const QAction *item)
{
    return item ? item->property("twRepresentedObject") : QVariant();
}

TWFieldPtr twRepresentedField(const QAction *item)
{
    return twRepresentedObject(item).value<TWFieldPtr>();
}

namespace
{

// Runs the item's command on the document once the menu has closed, so that
// a command that opens a sheet or closes the window does not run inside the
// menu's own event handling.
void connectItem(QAction *item, TWBusinessController *document)
{
    QPointer<TWBusinessController> guarded(document);
    QPointer<QAction> guardedItem(item);
    QObject::connect(item, &QAction::triggered, document, [guarded, guardedItem] {
        QMetaObject::invokeMethod(
            guarded.data(),
            [guarded, guardedItem] {
                if (!guarded || !guardedItem)
                    return;
                const std::optional<TWAction> action = twActionOf(guardedItem);
                // A shortcut fires with its menu closed: the rules decide now.
                if (action && guarded->validate(*action, twTagOf(guardedItem), guardedItem).enabled)
                    guarded->perform(*action, twTagOf(guardedItem), guardedItem);
            },
            Qt::QueuedConnection);
    });
}

// Validates every command item of the menu when it opens. Once it closes
// the items are enabled again, so that their shortcuts reach the rules,
// which then decide as the command fires.
void validateOnShow(QMenu *menu, TWBusinessController *document)
{
    QPointer<TWBusinessController> guarded(document);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, guarded] {
        if (!guarded)
            return;
        for (QAction *item : menu->actions())
            guarded->validateItem(item);
    });
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        for (QAction *item : menu->actions())
            if (twActionOf(item) && !item->shortcut().isEmpty())
                item->setEnabled(true);
    });
}

// One entry of the document menus' table: a command with its tag, or a
// separator (no title).
struct Entry {
    const char *key = nullptr;
    TWAction action = TWAction::count;
    int tag = 0;
    QKeySequence shortcut = {};
};

const Entry kSeparator = {};

struct MenuTable {
    const char *key;
    std::vector<Entry> entries;
};

const std::vector<MenuTable> &documentMenus()
{
    using A = TWAction;
    static const std::vector<MenuTable> menus = {
        {"menuBusiness",
         {{"menuBusinessInformation", A::doBusiness},
          kSeparator,
          {"menuShowInspector", A::doShowInspector, 0, QKeySequence(QStringLiteral("Ctrl+I"))},
          {"menuDelete", A::doMasterDelete},
          kSeparator,
          {"menuSortByName", A::doMasterSortBy, 0},
          {"menuSortManually", A::doMasterSortBy, 1}}},
        {"menuAccounts",
         {{"menuNewAccount", A::doNewAccount},
          {"menuNewAccountGroup", A::doNewAccountGroup},
          kSeparator,
          {"menuNewFilter", A::doNewFilter},
          {"menuNewFilterGroup", A::doNewFilterGroup},
          kSeparator,
          {"menuNewReport", A::doNewReport},
          {"menuNewReportGroup", A::doNewReportGroup}}},
        {"menuTransactions",
         {{"menuNewTransaction", A::doNewTransaction, 0, QKeySequence(QStringLiteral("Ctrl+T"))},
          {"menuAddMultipleTransactions", A::doAddMultipleTransactions},
          {"menuEditTransaction", A::doEditTransaction, 0, QKeySequence(QStringLiteral("Ctrl+E"))},
          {"menuEditMultipleTransactions", A::doEditMultipleTransactions},
          {"menuDuplicateTransaction", A::doDuplicateTransaction, 0,
           QKeySequence(QStringLiteral("Ctrl+D"))},
          {"menuDeleteTransaction", A::doDeleteTransaction},
          kSeparator,
          {"menuMarkCleared", A::doMarkTransaction, 0},
          {"menuMarkNotCleared", A::doMarkTransaction, 1},
          kSeparator,
          {"menuUpdateConvertedTotals", A::doUpdateConvertedTotals},
          {"menuShowRelatedTransactions", A::doShowRelatedTransactions}}},
        {"menuClients",
         {{"menuNewClient", A::doNewClient},
          {"menuNewClientGroup", A::doNewClientGroup},
          kSeparator,
          {"menuNewEstimate", A::doNewProject, 0},
          {"menuNewProject", A::doNewProject, 1},
          {"menuNewProjectFromEstimate", A::doNewProjectFromEstimate},
          {"editProject", A::doEditProject},
          {"duplicateProject", A::doDuplicateProject},
          {"deleteProject", A::doDeleteProject},
          kSeparator,
          {"menuNewTask", A::doNewTask},
          {"menuNewTaskItem", A::doNewTaskItem},
          {"menuEditTask", A::doEditTask},
          {"menuEditTaskItem", A::doEditTaskItem},
          {"menuDuplicateTask", A::doDuplicateTask},
          {"menuDuplicateTaskItem", A::doDuplicateTaskItem},
          {"menuDeleteTask", A::doDeleteTask},
          {"menuDeleteTaskItem", A::doDeleteTaskItem},
          {"startTimer", A::doStartStopTaskTimer},
          kSeparator,
          {"menuNewExpense", A::doNewExpense},
          {"menuEditExpense", A::doEditExpense},
          {"menuDuplicateExpense", A::doDuplicateExpense},
          {"menuDeleteExpense", A::doDeleteExpense},
          kSeparator,
          {"menuNewInvoice", A::doNewInvoice},
          {"menuEditInvoice", A::doEditInvoice},
          {"menuDuplicateInvoice", A::doDuplicateInvoice},
          {"menuDeleteInvoice", A::doDeleteInvoice},
          {"menuSendInvoice", A::doSendInvoice}}},
        {"menuMerchants",
         {{"menuNewMerchant", A::doNewMerchant},
          {"menuNewMerchantGroup", A::doNewMerchantGroup},
          kSeparator,
          {"menuNewBill", A::doNewBill},
          {"menuEditBill", A::doEditBill},
          {"menuDuplicateBill", A::doDuplicateBill},
          {"menuDeleteBill", A::doDeleteBill}}},
        {"menuManage",
         {{"menuNewField", A::doNewField},
          {"menuEditField", A::doEditField},
          {"menuDeleteField", A::doDeleteField},
          {"menuNewFieldItem", A::doNewFieldItem},
          {"menuDeleteFieldItem", A::doDeleteFieldItem},
          kSeparator,
          {"menuNewUnit", A::doNewUnit},
          {"menuEditUnit", A::doEditUnit},
          {"menuDeleteUnit", A::doDeleteUnit},
          {"menuDownloadRates", A::doDownloadCurrencyExchangeRates},
          kSeparator,
          {"menuNewValue", A::doNewValue},
          {"menuDeleteValue", A::doDeleteValue},
          kSeparator,
          {"menuEditBudgetItem", A::doEditBudgetItem},
          {"menuResetBudgetItem", A::doResetBudgetItem}}},
        {"menuFind",
         {{"menuFindField", A::doFind, 0, QKeySequence(QKeySequence::Find)},
          {"menuAdvancedFind", A::doAdvancedFind, 0, QKeySequence(QStringLiteral("Ctrl+Alt+F"))},
          kSeparator,
          {"menuSearchContains", A::doSearchType, 0},
          {"menuSearchBeginsWith", A::doSearchType, 1}}},
        {"menuImportExport",
         {{"menuImportTransactions", A::doImportTransactions},
          {"menuImportTasks", A::doImportTasks},
          {"menuImportExpenses", A::doImportExpenses},
          kSeparator,
          {"menuExportTransactions", A::doExportTransactions},
          {"menuExportTasks", A::doExportTasks},
          {"menuExportExpenses", A::doExportExpenses}}},
    };
    return menus;
}

QMenu *addTableMenu(QMenuBar *bar, const MenuTable &table, TWBusinessController *document)
{
    QMenu *menu = bar->addMenu(TWLocalized(table.key));
    menu->setObjectName(QLatin1String(table.key));
    for (const Entry &entry : table.entries) {
        if (!entry.key) {
            menu->addSeparator();
            continue;
        }
        QAction *item = twMenuAction(menu, TWLocalized(entry.key), entry.action, entry.tag);
        item->setObjectName(twActionName(entry.action) +
                            (entry.tag ? QString::number(entry.tag) : QString()));
        if (entry.action == TWAction::doStartStopTaskTimer)
            item->setObjectName(QStringLiteral("taskStartStopTimer"));
        if (!entry.shortcut.isEmpty())
            item->setShortcut(entry.shortcut);
        connectItem(item, document);
    }
    validateOnShow(menu, document);
    return menu;
}

// A menu the application delegate fills when it is about to show; the
// document then validates what it put there.
QMenu *filledMenu(QMenu *parent, const char *titleKey, TWMenuKind kind,
                  TWBusinessController *document)
{
    QMenu *menu = parent->addMenu(TWLocalized(titleKey));
    menu->setObjectName(QLatin1String(titleKey));
    QPointer<TWBusinessController> guarded(document);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, kind, guarded] {
        if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
            delegate->menuNeedsUpdate(menu, kind);
        if (guarded)
            for (QAction *item : menu->actions())
                guarded->validateItem(item);
    });
    // Filled once up front so the menu has its size before the first opening.
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->menuNeedsUpdate(menu, kind);
    return menu;
}

} // namespace

void twFillListMenu(QMenu *menu, const QList<TWListMenuItem> &items, TWBusinessController *document)
{
    menu->clear();
    for (const TWListMenuItem &entry : items) {
        if (entry.isSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (!entry.action) {
            // Shown but inert: nothing to mark.
            menu->addAction(entry.title)->setData(entry.tag);
            continue;
        }
        QAction *item =
            twMenuAction(menu, entry.title, *entry.action, entry.tag, entry.representedObject);
        item->setCheckable(true);
        connectItem(item, document);
    }
}

QMenu *twMasterAddMenu(QWidget *parent, TWBusinessController *document)
{
    static const char *const keys[] = {
        "menuNewAccount", "menuNewAccountGroup", "menuNewFilter",   "menuNewFilterGroup",
        "menuNewClient",  "menuNewClientGroup",  "menuNewMerchant", "menuNewMerchantGroup",
        "menuNewReport",  "menuNewReportGroup"};
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("masterAddMenu"));
    for (int tag = 0; tag < int(std::size(keys)); ++tag) {
        if (tag > 0 && tag % 2 == 0)
            menu->addSeparator();
        QAction *item = twMenuAction(menu, TWLocalized(keys[tag]), TWAction::doMasterAdd, tag);
        item->setObjectName(QLatin1String(keys[tag]));
        connectItem(item, document);
    }
    validateOnShow(menu, document);
    return menu;
}

void twBuildMenuBar(QMainWindow *window, TWBusinessController *document)
{
    QMenuBar *bar = window->menuBar();
    const auto controller = [] { return TWDocumentController::sharedDocumentController(); };
    QMenu *fileMenu = bar->addMenu(TWLocalized("menuFile"));
    fileMenu->setObjectName(QStringLiteral("menuFile"));
    const auto addFile = [fileMenu](const char *key, QKeySequence::StandardKey shortcut) {
        QAction *item = fileMenu->addAction(TWLocalized(key));
        item->setObjectName(QLatin1String(key));
        if (shortcut != QKeySequence::UnknownKey)
            item->setShortcut(QKeySequence(shortcut));
        return item;
    };
    const auto queued = [document](QAction *item, std::function<void(TWBusinessController *)> run) {
        QPointer<TWBusinessController> guarded(document);
        QObject::connect(item, &QAction::triggered, document, [guarded, run] {
            QMetaObject::invokeMethod(
                guarded.data(),
                [guarded, run] {
                    if (guarded)
                        run(guarded);
                },
                Qt::QueuedConnection);
        });
    };
    queued(addFile("menuNew", QKeySequence::New), [controller](TWBusinessController *) {
        if (TWDocumentController *docs = controller())
            docs->newDocument();
    });
    queued(addFile("menuOpen", QKeySequence::Open), [controller](TWBusinessController *doc) {
        if (TWDocumentController *docs = controller())
            docs->openDocument(doc->windowForSheet());
    });
    fileMenu->addSeparator();
    const auto addCommand = [fileMenu, document](const char *key, TWAction action,
                                                 const QKeySequence &shortcut) {
        QAction *item = twMenuAction(fileMenu, TWLocalized(key), action);
        item->setObjectName(QLatin1String(key));
        if (!shortcut.isEmpty())
            item->setShortcut(shortcut);
        connectItem(item, document);
    };
    addCommand("menuSave", TWAction::saveDocument, QKeySequence::Save);
    // Spelled out: the desktop's standard key for it is empty on some platforms.
    addCommand("menuSaveAs", TWAction::saveDocumentAs,
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    addCommand("menuRevert", TWAction::revertDocumentToSaved, QKeySequence());
    fileMenu->addSeparator();
    addCommand("menuPrint", TWAction::printDocument, QKeySequence::Print);
    fileMenu->addSeparator();
    queued(addFile("menuPreferences", QKeySequence::Preferences), [](TWBusinessController *) {
        if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
            delegate->doPreferences();
    });
    fileMenu->addSeparator();
    queued(addFile("menuClose", QKeySequence::Close), [](TWBusinessController *doc) {
        if (QMainWindow *w = doc->windowForSheet())
            w->close();
    });
    queued(addFile("menuQuit", QKeySequence::Quit), [](TWBusinessController *) {
        if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
            delegate->terminate();
    });
    validateOnShow(fileMenu, document);
    twAddEditMenu(bar);
    for (const MenuTable &table : documentMenus()) {
        QMenu *menu = addTableMenu(bar, table, document);
        if (qstrcmp(table.key, "menuClients") == 0) {
            // The application delegate titles the timer item by the timer's state.
            QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
                if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
                    delegate->menuNeedsUpdate(menu, TWMenuKind::Client);
            });
        }
    }

    QMenu *view = bar->addMenu(TWLocalized("menuView"));
    view->setObjectName(QStringLiteral("menuView"));
    filledMenu(view, "menuColumns", TWMenuKind::Columns, document);
    filledMenu(view, "menuSortBy", TWMenuKind::SortBy, document);
    filledMenu(view, "menuMark", TWMenuKind::ClientMark, document);

    QMenu *help = bar->addMenu(TWLocalized("menuHelp"));
    help->setObjectName(QStringLiteral("menuHelp"));
    const auto link = [help](const char *key, void (TWApplicationDelegate::*member)(),
                             std::function<bool()> available = {}) {
        QAction *action = help->addAction(TWLocalized(key));
        action->setObjectName(QString::fromLatin1(key));
        QObject::connect(action, &QAction::triggered, help, [member] {
            if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
                (delegate->*member)();
        });
        // A link without a configured address is off.
        if (available) {
            action->setEnabled(available());
            QObject::connect(help, &QMenu::aboutToShow, action,
                             [action, available] { action->setEnabled(available()); });
        }
    };
    link("menuSupport", &TWApplicationDelegate::doSupport,
         [] { return !TWAppLinks::supportAddress().isEmpty(); });
    link("menuContact", &TWApplicationDelegate::doContact,
         [] { return !TWAppLinks::contactAddress().isEmpty(); });
    link("menuWebsite", &TWApplicationDelegate::doWebsite,
         [] { return !TWAppLinks::website().isEmpty(); });
    help->addSeparator();
    link("menuAbout", &TWApplicationDelegate::doAbout);
}

void twFillHeaderMenu(QMenu *menu, QObject *context, const QList<TWListMenuItem> &columns,
                      const QList<TWListMenuItem> &sorts, const TWHeaderMenuHooks &hooks)
{
    menu->clear();
    // The last fill's sort menu; later, as one of its items may be what
    // asked for this fill.
    for (QMenu *old : menu->findChildren<QMenu *>(Qt::FindDirectChildrenOnly))
        old->deleteLater();
    const auto addItems = [context](QMenu *into, const QList<TWListMenuItem> &items,
                                    const std::function<void(int)> &perform) {
        for (const TWListMenuItem &item : items) {
            QAction *action = into->addAction(item.title);
            action->setCheckable(true);
            action->setData(item.tag);
            const int tag = item.tag;
            QObject::connect(action, &QAction::triggered, context,
                             [perform, tag] { perform(tag); });
        }
    };
    addItems(menu, columns, hooks.toggleField);
    menu->addSeparator();
    QMenu *sortMenu = menu->addMenu(TWLocalized("sortBy"));
    addItems(sortMenu, sorts, hooks.sortBy);
    sortMenu->addSeparator();
    QAction *up = sortMenu->addAction(TWLocalized("ascending"));
    QAction *down = sortMenu->addAction(TWLocalized("descending"));
    up->setCheckable(true);
    down->setCheckable(true);
    QObject::connect(up, &QAction::triggered, context, [hooks] { hooks.sortDirection(true); });
    QObject::connect(down, &QAction::triggered, context, [hooks] { hooks.sortDirection(false); });
    const auto mark = [menu, sortMenu, up, down, hooks] {
        for (QAction *action : menu->actions())
            if (action->isCheckable())
                action->setChecked(hooks.fieldVisible(action->data().toInt()));
        for (QAction *action : sortMenu->actions())
            if (action->data().isValid())
                action->setChecked(hooks.sortTag() == action->data().toInt());
        up->setChecked(hooks.ascending());
        down->setChecked(!hooks.ascending());
    };
    mark();
    QObject::connect(menu, &QMenu::aboutToShow, sortMenu, mark);
    QObject::connect(sortMenu, &QMenu::aboutToShow, sortMenu, mark);
}
