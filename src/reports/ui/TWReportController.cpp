#include "reports/ui/TWReportController.h"

#include "app/TWBusinessController.h"
#include "app/TWPackageFileDialog.h"
#include "app/TWPrint.h"
#include "foundation/TWFileNames.h"
#include "platform/TWMailHandOff.h"

#include "export/core/TWSerializerCSV.h"
#include "export/core/TWSerializerHTML.h"
#include "export/core/TWSerializerPDF.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWNotifications.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPdfView>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace
{

const QString kReportErrorDomain = QStringLiteral("Tallyworth Report Error");

TWError reportError(const QString &description)
{
    return TWError(kReportErrorDomain, -1, description);
}

// Makes `path` a folder (with the folders above it); a file in the way fails.
TWErrorResult makeFolder(const QString &path)
{
    const QFileInfo info(path);
    if ((info.exists() && !info.isDir()) || !QDir().mkpath(path))
        return reportError(TWLocalized("reportFolderError").arg(path));
    return std::nullopt;
}

} // namespace

TWReportController::TWReportController(QObject *parent)
    : TWLazyViewController<TWReportDetail>(parent)
{
    setObjectName(QStringLiteral("reportController"));
}

TWReportController::~TWReportController()
{
    stopObserving();
    // The panel is a child of the window, not of this controller.
    if (m_savePanel)
        m_savePanel->deleteLater();
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWReportController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("reportView"));
    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(8, 6, 8, 6);
    m_print = new QPushButton(TWLocalized("reportPrint"), m_view);
    m_save = new QPushButton(TWLocalized("reportSave"), m_view);
    m_email = new QPushButton(TWLocalized("reportEmail"), m_view);
    m_print->setObjectName(QStringLiteral("reportPrintButton"));
    m_save->setObjectName(QStringLiteral("reportSaveButton"));
    m_email->setObjectName(QStringLiteral("reportEmailButton"));
    bar->addStretch(1);
    bar->addWidget(m_print);
    bar->addWidget(m_save);
    bar->addWidget(m_email);
    layout->addLayout(bar);

    m_pdfDocument = new QPdfDocument(m_view);
    m_pdfView = new QPdfView(m_view);
    m_pdfView->setObjectName(QStringLiteral("reportPdfView"));
    m_pdfView->setPageMode(QPdfView::PageMode::MultiPage);
    m_pdfView->setZoomMode(QPdfView::ZoomMode::Custom);
    m_pdfView->setDocument(m_pdfDocument);
    m_pdfView->viewport()->installEventFilter(this);
    layout->addWidget(m_pdfView, 1);

    connect(m_pdfView, &QPdfView::zoomFactorChanged, this, [this](qreal factor) {
        if (factor > kMaximumZoom)
            m_pdfView->setZoomFactor(kMaximumZoom);
    });
    connect(m_print, &QPushButton::clicked, this, [this] { doPrint(); });
    connect(m_save, &QPushButton::clicked, this, [this] { doSave(); });
    connect(m_email, &QPushButton::clicked, this, [this] { doEmail(); });
}

bool TWReportController::eventFilter(QObject *watched, QEvent *event)
{
    // Control and the wheel zoom, as page views do.
    if (m_pdfView && watched == m_pdfView->viewport() && event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int steps = wheel->angleDelta().y() / 120;
            if (steps != 0)
                setZoomFactor(zoomFactor() * std::pow(1.1, steps));
            return true;
        }
    }
    return TWReportDetail::eventFilter(watched, event);
}

double TWReportController::zoomFactor() const
{
    return m_pdfView ? m_pdfView->zoomFactor() : 1.0;
}

void TWReportController::setZoomFactor(double factor)
{
    if (!m_pdfView || !(factor > 0))
        return;
    m_pdfView->setZoomMode(QPdfView::ZoomMode::Custom);
    m_pdfView->setZoomFactor(std::min(factor, kMaximumZoom));
}

void TWReportController::setBusiness(TWBusiness *business)
{
    if (business == m_business)
        return;
    stopObserving();
    TWReportDetail::setBusiness(business);
    observe();
}

void TWReportController::observe()
{
    if (!m_business)
        return;
    // An edit of the report shown (its dates, graphs, name) shows at once.
    m_observer = TWNotificationCenter::defaultCenter().addObserver(
        TWReportUpdateNotification, m_business, [this](const TWNotification &notification) {
            const TWReportPtr report =
                notification.userInfo.value(TWReportNotificationKey).value<TWReportPtr>();
            if (report && m_report && report->identifier() == m_report->identifier()) {
                m_report = report;
                update();
            }
        });
}

void TWReportController::stopObserving()
{
    if (m_observer)
        TWNotificationCenter::defaultCenter().removeObserver(m_observer);
    m_observer = 0;
}

void TWReportController::setReport(const TWReportPtr &report)
{
    TWReportDetail::setReport(report);
    update();
}

double TWReportController::backingScale() const
{
    if (!m_view)
        return 1.0;
    const QWidget *window = m_view->window();
    const double ratio = window ? window->devicePixelRatioF() : m_view->devicePixelRatioF();
    return ratio > 0 ? ratio : 1.0;
}

bool TWReportController::showsGraphs() const
{
    return m_report && m_report->showGraphs();
}

void TWReportController::update()
{
    if (!m_view)
        return;
    m_pdfDocument->close();
    m_pdfBuffer.close();
    m_pdfData.clear();
    m_exportReport.reset();
    if (!m_business || !m_report)
        return;
    m_exportReport =
        TWExportReport::exportReportWithReport(m_report, backingScale(), *m_business, &m_renderer);
    const TWCellList cells = m_exportReport->cells();
    if (cells.isEmpty())
        return;
    m_pdfData = TWSerializerPDF::serializerWithCells(cells)->data();
    m_pdfBuffer.setData(m_pdfData);
    m_pdfBuffer.open(QIODevice::ReadOnly);
    m_pdfDocument->load(&m_pdfBuffer);
}

QByteArray TWReportController::printOperation(QPrinter &printer)
{
    if (!m_exportReport && m_business && m_report)
        m_exportReport = TWExportReport::exportReportWithReport(m_report, backingScale(),
                                                                *m_business, &m_renderer);
    if (!m_exportReport)
        return {};
    // Built again: the report shows the books as they are now.
    const TWCellList cells = m_exportReport->cells();
    if (cells.isEmpty())
        return {};
    return TWSerializerPDF::serializerWithCells(cells, printer.pageLayout())->data();
}

void TWReportController::doPrint()
{
    if (m_document)
        m_document->printDocument();
}

// ---- Saving ----

QString TWReportController::extensionForFormat(int format)
{
    switch (format) {
    case FormatPDF:
        return QStringLiteral("pdf");
    case FormatHTML:
        return QStringLiteral("html");
    case FormatCSV:
        return QStringLiteral("csv");
    default:
        return {};
    }
}

QString TWReportController::fileNameForFormat(const QString &name, int format, bool showsGraphs)
{
    // Only one of the report's own extensions is taken off: a business name
    // may hold a dot ("Acme Ltd. - Balance Sheet").
    QString base = name;
    for (const int known : {FormatPDF, FormatHTML, FormatCSV}) {
        const QString dotted = QLatin1Char('.') + extensionForFormat(known);
        if (base.endsWith(dotted, Qt::CaseInsensitive)) {
            base.chop(dotted.size());
            break;
        }
    }
    const QString extension = extensionForFormat(format);
    if ((format == FormatHTML && showsGraphs) || extension.isEmpty())
        return base;
    return QStringLiteral("%1.%2").arg(base, extension);
}

TWReportController::SaveTarget TWReportController::saveTarget(const QString &path, int chosenFormat,
                                                              bool showsGraphs)
{
    const QString suffix = QFileInfo(path).suffix();
    int format = chosenFormat;
    bool named = false;
    for (const int known : {FormatPDF, FormatHTML, FormatCSV})
        if (!suffix.isEmpty() &&
            suffix.compare(extensionForFormat(known), Qt::CaseInsensitive) == 0) {
            format = known;
            named = true;
            break;
        }
    if (format == FormatHTML && showsGraphs)
        return {named ? path.chopped(suffix.size() + 1) : path, format};
    return {twPathWithExtension(path, extensionForFormat(format)), format};
}

QString TWReportController::reportExtension() const
{
    return extensionForFormat(m_formatTag);
}

QString TWReportController::reportBaseName() const
{
    const QString type =
        TWFormatter::formatter().reportTypeString(m_report ? quint32(m_report->reportType()) : 0);
    const TWBusinessInfoPtr info = m_business ? m_business->businessInfo() : nullptr;
    if (info && !info->name().isEmpty())
        return QStringLiteral("%1 - %2").arg(info->name(), type);
    return type;
}

void TWReportController::setFormatTag(int tag)
{
    m_formatTag = tag;
    if (m_savePanel) {
        const QStringList filters = m_savePanel->nameFilters();
        if (tag >= 0 && tag < filters.size() &&
            m_savePanel->selectedNameFilter() != filters.at(tag))
            m_savePanel->selectNameFilter(filters.at(tag));
    }
    if (!m_followingName)
        updateReportTypeExtension();
}

QString TWReportController::panelFileName() const
{
    if (!m_savePanel)
        return {};
    if (auto *field = m_savePanel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        return field->text();
    const QStringList files = m_savePanel->selectedFiles();
    return files.isEmpty() ? QString() : QFileInfo(files.first()).fileName();
}

void TWReportController::setPanelFileName(const QString &name)
{
    if (!m_savePanel)
        return;
    if (auto *field = m_savePanel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        field->setText(name);
    else
        m_savePanel->selectFile(name);
}

void TWReportController::doReportTypeExtension()
{
    if (m_savePanel)
        m_formatTag = int(m_savePanel->nameFilters().indexOf(m_savePanel->selectedNameFilter()));
    if (!m_followingName)
        updateReportTypeExtension();
}

void TWReportController::followPanelFileName(const QString &name)
{
    if (!m_savePanel || m_followingName)
        return;
    const SaveTarget target = saveTarget(name, m_formatTag, showsGraphs());
    if (target.format == m_formatTag)
        return;
    m_followingName = true;
    setFormatTag(target.format);
    m_followingName = false;
}

void TWReportController::updateReportTypeExtension()
{
    if (!m_savePanel)
        return;
    setPanelFileName(fileNameForFormat(panelFileName(), m_formatTag, showsGraphs()));
}

void TWReportController::doSave()
{
    if (!m_view || !m_report || !m_business || m_savePanel)
        return;
    auto *panel =
        new TWPackageFileDialog(TWPackageFileDialog::Purpose::SaveFile,
                                TWLocalized("reportSaveTitle"), QString(), m_view->window());
    m_savePanel = panel;
    panel->setObjectName(QStringLiteral("reportSavePanel"));
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    const QStringList filters{TWLocalized("reportFormatPDF"), TWLocalized("reportFormatHTML"),
                              TWLocalized("reportFormatCSV")};
    panel->setNameFilters(filters);
    if (m_formatTag < 0 || m_formatTag >= filters.size())
        m_formatTag = FormatPDF;
    panel->selectNameFilter(filters.at(m_formatTag));
    setPanelFileName(TWFileNames::safeFileName(reportBaseName()));
    updateReportTypeExtension();
    connect(panel, &QFileDialog::filterSelected, this, [this] { doReportTypeExtension(); });
    // The panel's own format list changes before it says so; follow it at once.
    if (auto *formats = panel->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
        connect(formats, &QComboBox::currentIndexChanged, this,
                [this] { doReportTypeExtension(); });
    // A name that names a format chooses it, typed or accepted.
    if (auto *field = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        connect(field, &QLineEdit::textChanged, this,
                [this](const QString &name) { followPanelFileName(name); });
    panel->setTarget([this](const QString &typed) {
        const SaveTarget target = saveTarget(typed, m_formatTag, showsGraphs());
        m_followingName = true;
        setFormatTag(target.format);
        m_followingName = false;
        return target.path;
    });
    connect(panel, &QFileDialog::accepted, this, [this, panel] {
        if (!panel->chosenPath().isEmpty())
            saveReport(panel->chosenPath(), m_formatTag);
    });
    connect(panel, &QFileDialog::finished, this, [this] { m_savePanel = nullptr; });
    panel->open();
}

bool TWReportController::saveReport(const QString &path, int format)
{
    if (path.isEmpty() || !m_exportReport)
        return false;
    TWErrorResult error;
    switch (format) {
    case FormatPDF:
        // The document shown, graphs at the window's scale included.
        error = TWSerializer::writeData(m_pdfData, path);
        break;
    case FormatHTML: {
        const TWCellList cells = m_exportReport->cells();
        if (showsGraphs())
            return saveHTML(path, cells);
        error = TWSerializer::writeData(TWSerializerHTML::serializerWithCells(cells)->data(), path);
        break;
    }
    case FormatCSV:
        error = TWSerializer::writeData(
            TWSerializerCSV::serializerWithCells(m_exportReport->cells())->data(), path);
        break;
    default:
        return false;
    }
    if (error) {
        presentError(*error);
        return false;
    }
    return true;
}

bool TWReportController::saveHTML(const QString &folder, const TWCellList &cells)
{
    // A folder holding the page and its images, named as the user chose.
    if (TWErrorResult error = makeFolder(folder)) {
        presentError(*error);
        return false;
    }
    const QDir dir(folder);
    const QString page = dir.filePath(TWLocalized("reportLower") + QStringLiteral(".html"));
    if (TWErrorResult error =
            TWSerializer::writeData(TWSerializerHTML::serializerWithCells(cells)->data(), page)) {
        presentError(*error);
        return false;
    }
    const QString images = dir.filePath(QStringLiteral("images"));
    if (TWErrorResult error = makeFolder(images)) {
        presentError(*error);
        return false;
    }
    // Numbered in cell order, as the page refers to them.
    quint32 counter = 1;
    for (const TWCell &cell : cells) {
        if (cell.type() != TWCellTypeGraph)
            continue;
        const QString file = QDir(images).filePath(QStringLiteral("graph%1.jpeg").arg(counter++));
        if (!TWUtilities::writeJPEGImageFile(TWSerializer::cellGraphImage(cell), file)) {
            presentError(reportError(TWLocalized("reportImageError").arg(file)));
            return false;
        }
    }
    return true;
}

// ---- E-mail ----

void TWReportController::doEmail()
{
    if (!m_report || m_pdfData.isEmpty())
        return;
    const QString folder = TWUtilities::utilities().temporaryFilePath();
    if (folder.isEmpty()) {
        presentError(reportError(TWLocalized("reportMailFolderError")));
        return;
    }
    if (TWErrorResult error = makeFolder(folder)) {
        presentError(*error);
        return;
    }
    // The business name is the user's text: one safe path component.
    const QString name = TWFileNames::safeFileName(reportBaseName() + QStringLiteral(".pdf"));
    const QString path = QDir(folder).filePath(name);
    if (TWErrorResult error = TWSerializer::writeData(m_pdfData, path)) {
        presentError(*error);
        return;
    }
    if (!TWMailHandOff::mailHandOff().mailFile(path))
        presentError(reportError(TWLocalized("reportMailError").arg(name)));
}

void TWReportController::presentError(const TWError &error) const
{
    if (m_document)
        m_document->presentError(error);
}
