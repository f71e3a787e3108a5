// Sheets, the progress sheet and printing.

#include "TWBusinessController.h"

#include "TWPrint.h"
#include "TWWindow.h"
#include "TWWindowController.h"

#include "TWLocalized.h"

#include <QLabel>
#include <QMainWindow>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QTimer>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

constexpr int kSheetMinimumWidth = 370;
constexpr int kSheetMinimumHeight = 400;
// A closed sheet window lives on briefly, after the event that ended it.
constexpr int kSheetReleaseDelay = 100;

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
    const auto title = [this](const QString &own) {
        return own.isEmpty() ? displayName() : own;
    };
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
    if (resize) {
        window->setMinimumSize(kSheetMinimumWidth, kSheetMinimumHeight);
        window->resize(size.expandedTo(window->minimumSize()));
    } else {
        layout->setSizeConstraint(QLayout::SetFixedSize);
    }
    // Without the automatic loop the tab order is the view's own.
    if (autoKeyLoop)
        window->setFocusPolicy(Qt::StrongFocus);
    QPointer<QWidget> guardedView(view);
    window->setCancelHandler([this, guardedView] {
        if (guardedView)
            endSheet(guardedView, -1001);
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
    if (TWWindow *window = sheet.window) {
        window->setCancelHandler(nullptr);
        window->done(returnCode);
        QTimer::singleShot(kSheetReleaseDelay, window, &QObject::deleteLater);
    }
    if (sheet.completion)
        QMetaObject::invokeMethod(
            this, [completion = std::move(sheet.completion), returnCode] { completion(returnCode); },
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
        window->hide();
        window->deleteLater();
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

QByteArray TWBusinessController::printData(QPrinter &printer)
{
    const TWItemPtr selected = selectedItem();
    if (!selected || !m_business)
        return {};
    const TWItem &item = *selected;
    switch (item.type()) {
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
    const std::optional<qint32> view = twRegisterPrintView(item);
    const auto &table = TWAppRegistry::registry().registerPrintTable;
    if (!view || !table)
        return {};
    // The register's layout, or the default one of a business that never changed its columns.
    const std::optional<QVariantMap> layout =
        m_business->columnSettings(TWColumnSettingsViewTransactions);
    if (!layout || !layout->contains(TWColumnSettingsFieldsKey))
        return {};
    TWRegisterPrintRequest request;
    request.business = m_business.get();
    if (TWDetailController *transactions = detailController(TWDetailTransactionsAccounts))
        request.transactions = transactions->sortedTransactions();
    request.fields = twRegisterPrintFields(*layout, *view, *m_business);
    request.attachmentFileNames = twAttachmentFileNames(request.transactions, *m_business);
    return table(request, printer.pageLayout());
}

void TWBusinessController::printDocument()
{
    if (!canPrint())
        return;
    auto *dialog = new QPrintDialog(&printer(), windowForSheet());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] {
        const QByteArray pdf = printData(printer());
        if (pdf.isEmpty())
            return;
        if (TWErrorResult error = twPrintPdf(pdf, printer()))
            presentError(*error);
    });
    dialog->open();
}

QWidget *TWBusinessController::progressWindow() const
{
    return m_progressWindow.data();
}
