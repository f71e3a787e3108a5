// Sheets, the progress sheet and printing.

#include "app/TWBusinessController.h"

#include "app/TWMenus.h"
#include "app/TWPrint.h"
#include "app/TWSheetGeometry.h"
#include "app/TWWindow.h"
#include "app/TWWindowController.h"

#include "foundation/TWLocalized.h"

#include <QAction>
#include <QApplication>
#include <QFutureWatcher>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace
{

constexpr int kSheetMinimumWidth = 370;
constexpr int kSheetMinimumHeight = 400;
// A closed sheet window lives on briefly, after the event that ended it.
constexpr int kSheetReleaseDelay = 100;
// Time for the window manager to have settled the focus after a sheet closed.
constexpr int kFocusSettleDelay = 500;
// Time for the progress sheet to appear before a register print reads its rows.
constexpr int kPrintReadDelay = 50;

// Brings the window's command items back to their state with no menu open
// and no sheet attached: each is validated again, and those with a shortcut
// are enabled so that the shortcut reaches the rules, which decide as it
// fires (as the menus leave them when they close).
void revalidateMenuBar(QMainWindow *window, const TWBusinessController &document)
{
    for (QMenu *menu : window->menuBar()->findChildren<QMenu *>()) {
        for (QAction *item : menu->actions()) {
            if (item->isSeparator() || item->menu() || !twActionOf(item))
                continue;
            document.validateItem(item);
            if (!item->shortcut().isEmpty())
                item->setEnabled(true);
        }
    }
}

// The document window takes the keyboard back once a sheet or the progress
// sheet is gone: its shortcuts act only in the active window. A sheet shown
// and hidden within one turn of the event loop (the progress sheet of a quick
// save) can leave the application with no active window once the window
// manager has caught up, the shortcuts then doing nothing until the window is
// clicked; so it is looked at again a little later.
void takeKeyboardBack(QMainWindow *window, bool sheetWasActive)
{
    if (!window || !window->isVisible())
        return;
    if (sheetWasActive || !QApplication::activeWindow())
        window->activateWindow();
    QPointer<QMainWindow> guarded(window);
    for (const int delay : {kSheetReleaseDelay, kFocusSettleDelay}) {
        QTimer::singleShot(delay, window, [guarded] {
            if (guarded && guarded->isVisible() && !QApplication::activeWindow() &&
                !QApplication::activeModalWidget())
                guarded->activateWindow();
        });
    }
}

} // namespace

TWWindow *TWBusinessController::innermostSheet() const
{
    for (auto it = m_sheets.rbegin(); it != m_sheets.rend(); ++it)
        if (it->window)
            return it->window;
    return nullptr;
}

QWidget *TWBusinessController::sheetParent() const
{
    if (TWWindow *sheet = innermostSheet())
        return sheet;
    return windowForSheet();
}

void TWBusinessController::beginSheetWithView(QWidget *view, bool resize, bool autoKeyLoop,
                                              SheetCompletion completion)
{
    if (!view)
        return;
    auto *window = new TWWindow(sheetParent());
    // The sheet says what it is: the view's own title (kept as it changes,
    // for an editor that turns from new to edit), else the document's name.
    const auto title = [this](const QString &own) { return own.isEmpty() ? displayName() : own; };
    window->setWindowTitle(title(view->windowTitle()));
    connect(view, &QWidget::windowTitleChanged, window,
            [window, title](const QString &own) { window->setWindowTitle(title(own)); });
    const QSize size = view->size().expandedTo(view->sizeHint());
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    view->show();
    // The view was built (or last shown) without this dialog: its default button registers with
    // the dialog now, so Return presses it however the focus has moved since.
    for (QPushButton *button : view->findChildren<QPushButton *>()) {
        if (button->isDefault() && button->window() == window) {
            button->setDefault(false);
            button->setDefault(true);
        }
    }
    // However large the sheet wants to be, it opens within the screen, so
    // that its buttons can be reached.
    const QSize available = TWSheetAvailableSize(sheetParent());
    const QSize minimum(kSheetMinimumWidth, kSheetMinimumHeight);
    QSize first;
    if (resize) {
        window->setMinimumSize(minimum);
        first = TWSheetFirstSize(size, minimum, available);
        window->resize(first);
    } else if (const QSize hint = window->sizeHint();
               (first = TWSheetFirstSize(hint, hint.boundedTo(minimum), available)) == hint) {
        layout->setSizeConstraint(QLayout::SetFixedSize);
    } else {
        window->setFixedSize(first);
    }
    // Centred on its parent as a sheet is, but never with its title bar or
    // buttons beyond the screen's edge.
    TWPlaceSheet(window, first, sheetParent());
    // Without the automatic loop the tab order is the view's own.
    if (autoKeyLoop)
        window->setFocusPolicy(Qt::StrongFocus);
    QPointer<QWidget> guardedView(view);
    window->setCancelHandler([this, guardedView] {
        if (guardedView)
            endSheet(guardedView, TWSheetResult::Cancelled);
    });
    m_sheets.push_back(Sheet{window, view, std::move(completion)});
    window->open();
}

void TWBusinessController::endSheet(QWidget *view, int returnCode)
{
    const auto found = std::find_if(m_sheets.begin(), m_sheets.end(),
                                    [view](const Sheet &sheet) { return sheet.view == view; });
    if (found == m_sheets.end())
        return;
    Sheet sheet = std::move(*found);
    m_sheets.erase(found);
    // The editor keeps its view for the next time it is shown.
    if (sheet.view) {
        sheet.view->hide();
        sheet.view->setParent(nullptr);
    }
    bool wasActive = false;
    if (TWWindow *window = sheet.window) {
        wasActive = window->isActiveWindow();
        window->setCancelHandler(nullptr);
        window->done(returnCode);
        QTimer::singleShot(kSheetReleaseDelay, window, &QObject::deleteLater);
    }
    if (QMainWindow *main = windowForSheet(); main && m_sheets.empty()) {
        takeKeyboardBack(main, wasActive);
        // What was turned off while the sheet was attached comes back now,
        // not only when a menu is next opened.
        revalidateMenuBar(main, *this);
    }
    if (sheet.completion)
        QMetaObject::invokeMethod(
            this,
            [completion = std::move(sheet.completion), returnCode] { completion(returnCode); },
            Qt::QueuedConnection);
}

void TWBusinessController::showProgress(bool show)
{
    if (show) {
        if (m_progressWindow)
            return;
        auto *window = new TWWindow(sheetParent());
        window->setWindowTitle(TWLocalized("progressTitle"));
        window->setCancelHandler([] {}); // not dismissed by the user
        auto *layout = new QVBoxLayout(window);
        auto *bar = new QProgressBar(window);
        bar->setRange(0, 0);
        bar->setMinimumWidth(280);
        layout->addWidget(new QLabel(TWLocalized("progressTitle"), window));
        layout->addWidget(bar);
        m_progressWindow = window;
        window->open();
        return;
    }
    if (TWWindow *window = m_progressWindow) {
        m_progressWindow = nullptr;
        const bool wasActive = window->isActiveWindow();
        window->hide();
        window->deleteLater();
        if (m_sheets.empty())
            takeKeyboardBack(windowForSheet(), wasActive);
    }
}

// ---- Printing ----

bool TWBusinessController::canPrint() const
{
    const TWItemPtr selected = selectedItem();
    if (!selected || !m_business)
        return false;
    switch (selected->type()) {
    case TWItemTypeClient:
    case TWItemTypeReport:
        return true;
    case TWItemTypeAccountGroup:
    case TWItemTypeAccount:
    case TWItemTypeFilterGroup:
    case TWItemTypeFilter:
        return bool(TWAppRegistry::registry().registerPrintTable);
    default:
        return false;
    }
}

std::optional<TWRegisterPrintRequest>
TWBusinessController::registerPrintRequest(qsizetype rows) const
{
    const TWItemPtr selected = selectedItem();
    if (!selected || !m_business || !TWAppRegistry::registry().registerPrintTable)
        return std::nullopt;
    const std::optional<qint32> view = twRegisterPrintView(*selected);
    if (!view)
        return std::nullopt;
    // The register's layout, or the default one of a business that never changed its columns.
    const std::optional<QVariantMap> layout =
        m_business->columnSettings(TWColumnSettingsViewTransactions);
    if (!layout || !layout->contains(TWColumnSettingsFieldsKey))
        return std::nullopt;
    TWRegisterPrintRequest request;
    request.business = m_business.get();
    if (TWDetailController *transactions = detailController(TWDetailTransactionsAccounts))
        request.transactions = transactions->sortedTransactions();
    if (rows >= 0)
        request.transactions = request.transactions.mid(0, rows);
    request.fields = twRegisterPrintFields(*layout, *view, *m_business);
    request.attachmentFileNames = twAttachmentFileNames(request.transactions, *m_business);
    request.title = selected->name();
    return request;
}

QByteArray TWBusinessController::printData(QPrinter &printer)
{
    const TWItemPtr selected = selectedItem();
    if (!selected || !m_business)
        return {};
    switch (selected->type()) {
    case TWItemTypeClient:
        // The client view prints the invoice it shows, if any.
        if (TWDetailController *clients = detailController(TWDetailClients))
            return clients->printOperation(printer);
        return {};
    case TWItemTypeReport:
        if (TWDetailController *report = detailController(TWDetailReport))
            return report->printOperation(printer);
        return {};
    default:
        break;
    }
    const std::optional<TWRegisterPrintRequest> request = registerPrintRequest();
    if (!request)
        return {};
    const TWRegisterPrintJob job = TWAppRegistry::registry().registerPrintTable(*request);
    return job.pdf ? job.pdf(printer.pageLayout(), {}) : QByteArray();
}

void TWBusinessController::printRegister(const TWRegisterPrintRequest &request)
{
    if (isPrinting() || !TWAppRegistry::registry().registerPrintTable)
        return;
    const QPageLayout layout = printer().pageLayout();
    const TWPrintTarget target = twPrintTarget(printer(), request.title);
    struct Progress {
        std::atomic_int done{0};
        std::atomic_int pages{0};
    };
    auto progress = std::make_shared<Progress>();
    auto cancel = std::make_shared<std::atomic_bool>(false);
    m_printCancel = cancel;

    showProgress(true);
    auto *watcher = new QFutureWatcher<TWErrorResult>(this);
    m_printWork = watcher;
    auto *timer = new QTimer(watcher);
    timer->setInterval(100);
    connect(timer, &QTimer::timeout, this,
            [this, progress] { setProgress(progress->done, progress->pages); });
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const TWErrorResult error = watcher->result();
        watcher->deleteLater();
        m_printWork = nullptr;
        showProgress(false);
        if (error)
            presentError(*error);
    });
    // The rows are read on the main thread (the store is main-thread only),
    // once the progress sheet has had its chance to show; the pages are laid
    // out, drawn and sent on the document's queue.
    QTimer::singleShot(
        kPrintReadDelay, watcher,
        [this, watcher, timer, request, layout, target, progress, cancel] {
            const TWRegisterPrintJob job = TWAppRegistry::registry().registerPrintTable(request);
            timer->start();
            watcher->setFuture(QtConcurrent::run(
                m_operationQueue.get(), [job, layout, target, progress, cancel]() -> TWErrorResult {
                    if (!job.pdf)
                        return std::nullopt;
                    const QByteArray pdf = job.pdf(layout, [&](int done, int pages) {
                        progress->done = done;
                        progress->pages = pages;
                        return !*cancel;
                    });
                    if (*cancel)
                        return std::nullopt;
                    return twSendPdf(pdf, target);
                }));
        });
}

QString TWBusinessController::printJobName() const
{
    // What is printed names the job and its file: the register's account or
    // filter, the report, or the invoice the client view shows.
    const TWItemPtr selected = selectedItem();
    if (!selected)
        return displayName();
    if (selected->type() != TWItemTypeClient)
        return selected->name();
    auto *clients = detailAs<TWClientDetail>(TWDetailClients);
    TWInvoicesList *invoices = clients ? clients->invoicesController() : nullptr;
    const TWInvoiceList shown = invoices ? invoices->selectedInvoices() : TWInvoiceList();
    if (shown.isEmpty() || !shown.first())
        return displayName();
    const TWBusinessInfoPtr info = m_business ? m_business->businessInfo() : nullptr;
    if (info && !info->name().isEmpty())
        return QStringLiteral("%1 - %2").arg(info->name(), shown.first()->name());
    return shown.first()->name();
}

void TWBusinessController::printDocument()
{
    if (!canPrint() || isPrinting())
        return;
    QPrinter &documentPrinter = printer();
    // A register too wide for a portrait page is offered in landscape; its
    // first rows are enough to tell (the whole register is read once the
    // dialog is accepted).
    const std::optional<TWRegisterPrintRequest> request = registerPrintRequest(200);
    if (request) {
        const TWRegisterPrintJob sample = TWAppRegistry::registry().registerPrintTable(*request);
        QPageLayout portrait = documentPrinter.pageLayout();
        portrait.setOrientation(QPageLayout::Portrait);
        if (sample.fits)
            documentPrinter.setPageOrientation(sample.fits(portrait) ? QPageLayout::Portrait
                                                                     : QPageLayout::Landscape);
    }
    QPrintDialog *dialog = twPrintDialog(documentPrinter, printJobName(), windowForSheet());
    dialog->setWindowTitle(TWLocalized("printDialogTitle"));
    connect(dialog, &QDialog::accepted, this, [this] {
        // The selection may have changed while the dialog was open.
        if (const std::optional<TWRegisterPrintRequest> request = registerPrintRequest()) {
            printRegister(*request);
            return;
        }
        const QByteArray pdf = printData(printer());
        if (pdf.isEmpty())
            return;
        if (TWErrorResult error = twPrintPdf(pdf, printer()))
            presentError(*error);
    });
    dialog->open();
}

void TWBusinessController::setProgress(int done, int total)
{
    if (!m_progressWindow)
        return;
    if (auto *bar = m_progressWindow->findChild<QProgressBar *>()) {
        bar->setRange(0, std::max(0, total));
        bar->setValue(total > 0 ? std::clamp(done, 0, total) : 0);
    }
}

QWidget *TWBusinessController::progressWindow() const
{
    return m_progressWindow.data();
}
