#include "app/TWWindowController.h"

#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWMasterController.h"
#include "app/TWMenus.h"

#include "foundation/TWLocalized.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <cmath>

namespace
{

// The divider stays this far from either edge of the window.
constexpr int kDividerMargin = 260;
constexpr int kDefaultMasterWidth = 260;

} // namespace

TWDocumentWindow::TWDocumentWindow(TWBusinessController *document) : m_document(document)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void TWDocumentWindow::closeEvent(QCloseEvent *event)
{
    if (!m_document->canClose()) {
        event->ignore();
        return;
    }
    event->accept();
    m_document->close();
}

void TWDocumentWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    // The window stays the main one while the focus is in one of its sheets,
    // popovers or the application's own panels (About, Preferences), or in
    // another application: only another document's window taking the focus
    // (which reports itself) or closing makes it resign.
    if (!isActiveWindow())
        return;
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->updateActiveDocument(m_document);
}

void TWDocumentWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    storeFrame();
}

void TWDocumentWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    storeFrame();
}

void TWDocumentWindow::storeFrame()
{
    TWWindowController *controller = m_document->windowController();
    if (controller && controller->isRestored() && m_document->business() && isVisible())
        m_document->business()->setDocumentFrame(QRectF(geometry()));
}

TWWindowController::TWWindowController(TWBusinessController *document) : m_document(document)
{
    m_window = new TWDocumentWindow(document);
    auto *content = new QWidget(m_window);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_splitter = new QSplitter(Qt::Horizontal, content);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);

    // Stands in until the source list gives its view.
    m_master = new QWidget(m_splitter);
    m_master->setMinimumWidth(kDividerMargin);
    m_detail = new QStackedWidget(m_splitter);
    m_detail->setMinimumWidth(kDividerMargin);
    m_splitter->addWidget(m_master);
    m_splitter->addWidget(m_detail);
    // Only the detail grows with the window.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    QObject::connect(m_splitter, &QSplitter::splitterMoved, m_window, [this] {
        if (!m_restored || !m_document->business())
            return;
        m_document->business()->setMasterDividerPosition(m_master->width());
        m_document->updateDetailButtonsFrame();
        m_document->updateCountTotalFrame();
    });
    layout->addWidget(m_splitter, 1);
    buildBar();
    layout->addWidget(m_bar);
    m_window->setCentralWidget(content);
    twBuildMenuBar(m_window, m_document);
}

void TWWindowController::buildBar()
{
    m_bar = new TWDetailBar();
    m_bar->setObjectName(QStringLiteral("detailBar"));
    m_bar->setFixedHeight(TWDetailBar::kHeight);

    // The add pop-up, then the delete button, under the source list.
    m_addMasterButton = new QToolButton(m_bar);
    m_addMasterButton->setObjectName(QStringLiteral("addMasterButton"));
    m_addMasterButton->setIcon(
        QIcon::fromTheme(QStringLiteral("list-add"), QIcon(QStringLiteral(":/icons/Add.png"))));
    m_addMasterButton->setToolTip(TWLocalized("add"));
    m_addMasterButton->setAutoRaise(true);
    m_addMasterButton->setPopupMode(QToolButton::InstantPopup);
    m_addMasterButton->setMenu(twMasterAddMenu(m_addMasterButton, m_document));
    m_addMasterButton->setFixedSize(34, 22);
    m_addMasterButton->move(8, (TWDetailBar::kHeight - 22) / 2);

    m_deleteMasterButton = new QToolButton(m_bar);
    m_deleteMasterButton->setObjectName(QStringLiteral("deleteMasterButton"));
    m_deleteMasterButton->setText(QStringLiteral("\u2212"));
    m_deleteMasterButton->setToolTip(TWLocalized("deleteMenu"));
    m_deleteMasterButton->setAutoRaise(true);
    m_deleteMasterButton->setFixedSize(24, 22);
    m_deleteMasterButton->move(8 + 34 + 2, (TWDetailBar::kHeight - 22) / 2);

    m_addDelete = new TWAddDeleteControl(m_bar);
    m_rangePopUp = new QComboBox(m_bar);
    m_rangePopUp->setObjectName(QStringLiteral("detailPopUpButton"));
    const char *ranges[] = {"rangeAll",         "rangeThisWeek",   "rangeLastWeek",
                            "rangeThisMonth",   "rangeLastMonth",  "rangeThisQuarter",
                            "rangeLastQuarter", "rangeThisYear",   "rangeLastYear",
                            "rangeThisPeriod",  "rangeLastPeriod", "rangeCustom"};
    for (int tag = 0; tag < 12; ++tag)
        m_rangePopUp->addItem(TWLocalized(ranges[tag]), tag);
    m_rangePopUp->adjustSize();
    m_resetButton = new QPushButton(TWLocalized("resetBudget"), m_bar);
    m_resetButton->setObjectName(QStringLiteral("detailResetButton"));
    m_resetButton->adjustSize();
    m_refreshButton = new QPushButton(TWLocalized("refreshRates"), m_bar);
    m_refreshButton->setObjectName(QStringLiteral("detailRefreshButton"));
    m_refreshButton->adjustSize();
    for (QWidget *control :
         {static_cast<QWidget *>(m_addDelete), static_cast<QWidget *>(m_rangePopUp),
          static_cast<QWidget *>(m_resetButton), static_cast<QWidget *>(m_refreshButton)})
        control->hide();

    m_countLabel = new QLabel(m_bar);
    m_countLabel->setObjectName(QStringLiteral("countLabel"));
    m_totalLabel = new QLabel(m_bar);
    m_totalLabel->setObjectName(QStringLiteral("totalLabel"));
    for (QLabel *label : {m_countLabel, m_totalLabel}) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.9);
        label->setFont(font);
        label->hide();
    }

    // The search field stands at the top right of the window.
    auto *tools = new QToolBar(m_window);
    tools->setObjectName(QStringLiteral("searchBar"));
    tools->setMovable(false);
    tools->setFloatable(false);
    // The task timer's start and stop item (tag 7); the timer sets its picture and title.
    QAction *timer = tools->addAction(QIcon(QStringLiteral(":/icons/StartTimer.png")),
                                      TWLocalized("startTimer"));
    timer->setObjectName(QStringLiteral("taskTimerItem"));
    timer->setProperty("tag", 7);
    QObject::connect(timer, &QAction::triggered, m_window,
                     [this] { m_document->perform(TWAction::doStartStopTaskTimer); });
    auto *spacer = new QWidget(tools);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tools->addWidget(spacer);
    m_searchField = new QLineEdit(tools);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(TWLocalized("searchPlaceholder"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setFixedWidth(220);
    m_searchField->setEnabled(false);
    tools->addWidget(m_searchField);
    m_window->addToolBar(Qt::TopToolBarArea, tools);

    // The bar's controls send the document's commands.
    QObject::connect(m_rangePopUp, &QComboBox::activated, m_window, [this](int index) {
        m_document->perform(TWAction::doDetailPopUpButton, m_rangePopUp->itemData(index).toInt());
    });
    QObject::connect(
        m_addDelete, &TWAddDeleteControl::segmentClicked, m_window,
        [this](int segment) { m_document->perform(TWAction::doDetailAddDelete, segment); });
    QObject::connect(m_resetButton, &QPushButton::clicked, m_window,
                     [this] { m_document->perform(TWAction::doDetailReset); });
    QObject::connect(m_refreshButton, &QPushButton::clicked, m_window,
                     [this] { m_document->perform(TWAction::doDetailRefresh); });
    QObject::connect(m_searchField, &QLineEdit::textChanged, m_window,
                     [this] { m_document->perform(TWAction::doSearch); });
    QObject::connect(m_deleteMasterButton, &QToolButton::clicked, m_window,
                     [this] { m_document->perform(TWAction::doMasterDelete); });
    QObject::connect(m_bar, &TWDetailBar::resized, m_window, [this] {
        m_document->updateDetailButtonsFrame();
        m_document->updateCountTotalFrame();
    });
}

QRect TWWindowController::detailFrameInBar() const
{
    if (!m_detail || !m_bar)
        return {};
    const QPoint origin = m_bar->mapFrom(m_window, m_detail->mapTo(m_window, QPoint(0, 0)));
    return QRect(origin.x(), 0, m_detail->width(), m_bar->height());
}

void TWWindowController::setMasterView(QWidget *view)
{
    if (!view || view == m_master)
        return;
    view->setMinimumWidth(kDividerMargin);
    // The view shown before (a stand-in, or the list of a store that was
    // reverted) goes with the event loop's next turn.
    if (QWidget *old = m_splitter->replaceWidget(0, view))
        old->deleteLater();
    m_master = view;
}

void TWDetailBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

void TWDetailBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window).darker(104));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
}

TWAddDeleteControl::TWAddDeleteControl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("detailAddDeleteSegmentedControl"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_add = new QToolButton(this);
    m_add->setText(QStringLiteral("+"));
    m_add->setToolTip(TWLocalized("add"));
    m_delete = new QToolButton(this);
    m_delete->setText(QStringLiteral("\u2212"));
    m_delete->setToolTip(TWLocalized("deleteMenu"));
    for (QToolButton *button : {m_add, m_delete}) {
        button->setFixedSize(26, 22);
        layout->addWidget(button);
    }
    connect(m_add, &QToolButton::clicked, this, [this] { emit segmentClicked(0); });
    connect(m_delete, &QToolButton::clicked, this, [this] { emit segmentClicked(1); });
    setFixedSize(52, 22);
}

void TWAddDeleteControl::setSegmentEnabled(int index, bool enabled)
{
    segment(index)->setEnabled(enabled);
}

bool TWAddDeleteControl::isSegmentEnabled(int index) const
{
    return segment(index)->isEnabled();
}

TWWindowController::~TWWindowController()
{
    setDetailView(nullptr);
    delete m_window;
}

QRect TWWindowController::frameForScreen(const QRect &stored, const QRect &available)
{
    if (!stored.isNull() && !stored.isEmpty() && available.contains(stored))
        return stored;
    return available;
}

void TWWindowController::windowDidLoad()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    m_window->setGeometry(frameForScreen(m_documentFrame, available));
}

double TWWindowController::validDividerPosition(double stored)
{
    if (!std::isfinite(stored) || stored < 0 || stored > 100000)
        return kDefaultMasterWidth;
    return stored;
}

void TWWindowController::restoreLayout(TWBusiness *business)
{
    m_restored = false;
    const double stored = validDividerPosition(business ? business->masterDividerPosition() : 0.0);
    const int width = std::max(m_splitter->width(), m_window->width());
    int master = stored > 0 ? int(stored) : kDefaultMasterWidth;
    master = std::clamp(master, std::min(kDividerMargin, width / 2),
                        std::max(kDividerMargin, width - kDividerMargin));
    m_splitter->setSizes({master, std::max(1, width - master)});
    m_restored = true;
}

void TWWindowController::setDetailView(QWidget *view)
{
    if (!view) {
        while (m_detail->count() > 0) {
            QWidget *shown = m_detail->widget(0);
            m_detail->removeWidget(shown);
            shown->setParent(nullptr);
        }
        return;
    }
    if (m_detail->indexOf(view) < 0)
        m_detail->addWidget(view);
    m_detail->setCurrentWidget(view);
}

QWidget *TWWindowController::detailView() const
{
    return m_detail->currentWidget();
}
