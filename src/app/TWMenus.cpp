#include "TWMenus.h"

#include "TWApplicationDelegate.h"
#include "TWBusinessController.h"
#include "TWDocumentController.h"

#include "TWLocalized.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

QList<TWMenuEntry> twDefaultSortMenuEntries(bool columns)
{
    static const char *const keys[] = {"cleared", "date",   "identifier", "account1",
                                       "account2", "repeat", "debit",      "credit",
                                       "balance",  "attachments"};
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

namespace
{

// A command of the table: its title key, shortcut and what it does.
struct Command {
    const char *key;
    QKeySequence::StandardKey shortcut;
    std::function<void(TWBusinessController *)> run;
    std::function<bool(TWBusinessController *)> enabled;
};

QMenu *filledMenu(QMenuBar *bar, const char *titleKey, TWMenuKind kind)
{
    QMenu *menu = bar->addMenu(TWLocalized(titleKey));
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, kind] {
        if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
            delegate->menuNeedsUpdate(menu, kind);
    });
    // Filled once up front so the menu has its size before the first opening.
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->menuNeedsUpdate(menu, kind);
    return menu;
}

} // namespace

void twBuildMenuBar(QMainWindow *window, TWBusinessController *document)
{
    QMenuBar *bar = window->menuBar();
    const auto controller = [] { return TWDocumentController::sharedDocumentController(); };
    const std::vector<Command> file = {
        {"menuNew", QKeySequence::New,
         [controller](TWBusinessController *) {
             if (TWDocumentController *docs = controller())
                 docs->newDocument();
         },
         {}},
        {"menuOpen", QKeySequence::Open,
         [controller](TWBusinessController *doc) {
             if (TWDocumentController *docs = controller())
                 docs->openDocument(doc->windowForSheet());
         },
         {}},
        {nullptr, QKeySequence::UnknownKey, {}, {}},
        {"menuSave", QKeySequence::Save,
         [](TWBusinessController *doc) { doc->saveDocument(); }, {}},
        {"menuSaveAs", QKeySequence::SaveAs,
         [](TWBusinessController *doc) { doc->saveDocumentAs(); }, {}},
        {"menuRevert", QKeySequence::UnknownKey,
         [](TWBusinessController *doc) { doc->revertDocumentToSaved(); },
         [](TWBusinessController *doc) {
             return !doc->fileURL().isEmpty() && doc->isDocumentEdited();
         }},
        {nullptr, QKeySequence::UnknownKey, {}, {}},
        {"menuPrint", QKeySequence::Print,
         [](TWBusinessController *doc) { doc->printDocument(); },
         [](TWBusinessController *doc) { return doc->canPrint(); }},
        {nullptr, QKeySequence::UnknownKey, {}, {}},
        {"menuPreferences", QKeySequence::Preferences,
         [](TWBusinessController *) {
             if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
                 delegate->doPreferences();
         },
         {}},
        {nullptr, QKeySequence::UnknownKey, {}, {}},
        {"menuClose", QKeySequence::Close,
         [](TWBusinessController *doc) {
             if (QMainWindow *w = doc->windowForSheet())
                 w->close();
         },
         {}},
        {"menuQuit", QKeySequence::Quit,
         [](TWBusinessController *) {
             if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
                 delegate->terminate();
         },
         {}},
    };

    QMenu *fileMenu = bar->addMenu(TWLocalized("menuFile"));
    QPointer<TWBusinessController> guarded(document);
    std::vector<std::pair<QAction *, std::function<bool(TWBusinessController *)>>> validated;
    for (const Command &command : file) {
        if (!command.key) {
            fileMenu->addSeparator();
            continue;
        }
        QAction *action = fileMenu->addAction(TWLocalized(command.key));
        action->setObjectName(QLatin1String(command.key));
        if (command.shortcut != QKeySequence::UnknownKey)
            action->setShortcut(QKeySequence(command.shortcut));
        const auto run = command.run;
        // Queued, so that a command that closes the window does not run
        // inside the menu's own event handling.
        QObject::connect(action, &QAction::triggered, document, [guarded, run] {
            QMetaObject::invokeMethod(
                guarded.data(),
                [guarded, run] {
                    if (guarded)
                        run(guarded);
                },
                Qt::QueuedConnection);
        });
        if (command.enabled)
            validated.emplace_back(action, command.enabled);
    }
    const auto validate = [guarded, validated] {
        if (!guarded)
            return;
        for (const auto &[action, enabled] : validated)
            action->setEnabled(enabled(guarded));
    };
    QObject::connect(fileMenu, &QMenu::aboutToShow, fileMenu, validate);
    QObject::connect(document, &TWBusinessController::changeCountChanged, fileMenu, validate);
    validate();

    filledMenu(bar, "menuColumns", TWMenuKind::Columns);
    filledMenu(bar, "menuSortBy", TWMenuKind::SortBy);
    QMenu *client = filledMenu(bar, "menuClient", TWMenuKind::Client);
    QMenu *mark = client->addMenu(TWLocalized("menuMark"));
    mark->setObjectName(QStringLiteral("menuMark"));
    QObject::connect(mark, &QMenu::aboutToShow, mark, [mark] {
        if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
            delegate->menuNeedsUpdate(mark, TWMenuKind::ClientMark);
    });
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->menuNeedsUpdate(mark, TWMenuKind::ClientMark);

    QMenu *help = bar->addMenu(TWLocalized("menuHelp"));
    const auto link = [help](const char *key, void (TWApplicationDelegate::*member)()) {
        QAction *action = help->addAction(TWLocalized(key));
        QObject::connect(action, &QAction::triggered, help, [member] {
            if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
                (delegate->*member)();
        });
    };
    link("menuSupport", &TWApplicationDelegate::doSupport);
    link("menuContact", &TWApplicationDelegate::doContact);
    link("menuWebsite", &TWApplicationDelegate::doWebsite);
    help->addSeparator();
    link("menuAbout", &TWApplicationDelegate::doAbout);
}
