#include "TWWindowController.h"

#include "TWApplicationDelegate.h"
#include "TWBusinessController.h"
#include "TWMenus.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeWidget>

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
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->updateActiveDocument(isActiveWindow() ? m_document : nullptr);
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
    m_splitter = new QSplitter(Qt::Horizontal, m_window);
    m_splitter->setChildrenCollapsible(false);

    // The source list's place; its rows come with the source list itself.
    auto *master = new QTreeWidget(m_splitter);
    master->header()->hide();
    master->setFrameShape(QFrame::NoFrame);
    master->setMinimumWidth(kDividerMargin / 2);
    m_master = master;
    m_detail = new QStackedWidget(m_splitter);
    m_detail->setMinimumWidth(kDividerMargin);
    m_splitter->addWidget(m_master);
    m_splitter->addWidget(m_detail);
    // Only the detail grows with the window.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    QObject::connect(m_splitter, &QSplitter::splitterMoved, m_window, [this] {
        if (m_restored && m_document->business())
            m_document->business()->setMasterDividerPosition(m_master->width());
    });
    m_window->setCentralWidget(m_splitter);
    twBuildMenuBar(m_window, m_document);
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

void TWWindowController::restoreLayout(TWBusiness *business)
{
    m_restored = false;
    const double stored = business ? business->masterDividerPosition() : 0.0;
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
