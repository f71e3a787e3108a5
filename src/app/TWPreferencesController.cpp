#include "app/TWPreferencesController.h"

#include "app/TWAlert.h"
#include "app/TWSiteRequest.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWLayoutManager.h"

#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QMainWindow>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>

TWPreferencesController::TWPreferencesController(TWLayoutManager *layoutManager, QObject *parent)
    : QObject(parent),
      m_layoutManager(layoutManager ? layoutManager : &TWLayoutManager::layoutManager())
{
    auto *window = new QMainWindow();
    window->setObjectName(QStringLiteral("TWPreferences"));
    window->setWindowTitle(TWLocalized("preferencesTitle"));
    m_window = window;

    m_toolbar = new QToolBar(window);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(32, 32));
    window->addToolBar(Qt::TopToolBarArea, m_toolbar);
    window->setContextMenuPolicy(Qt::NoContextMenu);
    // Closed from the keyboard as a desktop's settings window is: Escape or
    // the close shortcut.
    auto *closeWindow = new QAction(window);
    closeWindow->setObjectName(QStringLiteral("closePreferences"));
    // The platform's close keys may already hold Ctrl+W: each key once, or
    // the shortcut would be ambiguous with itself.
    QList<QKeySequence> closeKeys = {QKeySequence(Qt::Key_Escape),
                                     QKeySequence(Qt::CTRL | Qt::Key_W)};
    for (const QKeySequence &key : QKeySequence::keyBindings(QKeySequence::Close))
        if (!closeKeys.contains(key))
            closeKeys.append(key);
    closeWindow->setShortcuts(closeKeys);
    closeWindow->setShortcutContext(Qt::WindowShortcut);
    connect(closeWindow, &QAction::triggered, window, &QWidget::close);
    window->addAction(closeWindow);

    struct Item {
        const char *identifier;
        const char *key;
        const char *icon;
    };
    // The third item says "colors" for the United States.
    const char *coloursKey = TWFormatter::formatter().isUS() ? "colors" : "colours";
    const Item items[] = {{"general", "general", "preferences-system"},
                          {"fonts", "fonts", "preferences-desktop-font"},
                          {"colours", coloursKey, "preferences-desktop-color"},
                          {"layouts", "layouts", "x-office-document"}};
    auto *group = new QActionGroup(this);
    for (int tag = 0; tag < 4; ++tag) {
        QAction *action = m_toolbar->addAction(QIcon::fromTheme(QLatin1String(items[tag].icon)),
                                               TWLocalized(items[tag].key));
        action->setObjectName(QLatin1String(items[tag].identifier));
        action->setData(tag);
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, tag] { doToolbarItem(tag); });
        m_toolbarItems.insert(tag, action);
    }

    m_panes.insert(General, makeGeneralPane());
    m_panes.insert(Fonts, makeFontsPane());
    m_panes.insert(Colours, makeColoursPane());
    m_panes.insert(Layouts, makeLayoutsPane());

    // The window holds one pane at a time; the others wait without a parent window.
    auto *holder = new QWidget(window);
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    window->setCentralWidget(holder);
    for (QWidget *pane : std::as_const(m_panes)) {
        pane->setParent(holder);
        pane->hide();
    }

    m_currentPane = General;
    m_toolbarItems.value(General)->setChecked(true);
    layout->addWidget(m_panes.value(General));
    m_panes.value(General)->show();
    updateGeneral();
    window->setFixedSize(window->sizeHint());
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

TWPreferencesController::~TWPreferencesController()
{
    if (m_updateRequest)
        m_updateRequest->cancel();
    delete m_window;
}

void TWPreferencesController::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void TWPreferencesController::doToolbarItem(int tag)
{
    QWidget *next = m_panes.value(tag);
    if (!next)
        return;
    switch (tag) {
    case General:
        updateGeneral();
        break;
    case Fonts:
        updateFonts();
        break;
    case Colours:
        updateColours();
        break;
    case Layouts:
        updateLayouts();
        break;
    }
    m_toolbarItems.value(tag)->setChecked(true);
    if (tag == m_currentPane)
        return;

    // The window changes size around the new pane, keeping its top edge and its horizontal
    // centre where they were.
    const QRect before = m_window->geometry();
    QWidget *holder = m_window->centralWidget();
    QWidget *current = m_panes.value(m_currentPane);
    holder->layout()->removeWidget(current);
    current->hide();
    holder->layout()->addWidget(next);
    next->show();
    m_currentPane = tag;

    m_window->setMinimumSize(0, 0);
    m_window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    holder->layout()->activate();
    const QSize size = m_window->sizeHint();
    m_window->setFixedSize(size);
    m_window->setGeometry(before.x() - (size.width() - before.width()) / 2, before.y(),
                          size.width(), size.height());
}

void TWPreferencesController::showError(const TWError &error)
{
    TWAlert alert;
    alert.message = error.domain();
    alert.informativeText = error.localizedDescription();
    alert.buttons = {TWLocalized("ok")};
    alert.window = m_window;
    twRunAlert(alert);
}
