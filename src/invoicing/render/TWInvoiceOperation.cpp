// The rendering's main sequence: the bounds pass, the component grid, the
// page loop and its page breaks.

#include "invoicing/render/TWInvoiceOperation.h"

#include "foundation/TWClock.h"
#include "invoicing/render/TWInvoiceGeometry.h"
#include "invoicing/render/TWPdfInfo.h"
#include "model/TWExpense.h"
#include "model/TWPreferences.h"
#include "model/TWTask.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QMutexLocker>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>

namespace
{

const QStringList kComponents{
    QStringLiteral("componentClient"), QStringLiteral("componentBusiness"),
    QStringLiteral("componentTitle"),  QStringLiteral("componentInvoice"),
    QStringLiteral("componentTable"),  QStringLiteral("componentDetails")};
const QString kTable = QStringLiteral("componentTable");
const QString kDetails = QStringLiteral("componentDetails");

} // namespace

TWInvoiceOperation::TWInvoiceOperation(TWSendInvoiceDataPtr data,
                                       std::optional<QPageLayout> pageLayout, QObject *parent)
    : QObject(parent), m_data(std::move(data)), m_pageLayout(std::move(pageLayout)),
      m_formatter(QLocale()), m_timeFormat(TWPreferences::preferences().timeFormat()),
      m_now(TWClock::now())
{
    if (!m_data)
        m_data = std::make_shared<TWSendInvoiceData>();
}

TWInvoiceOperation::~TWInvoiceOperation() = default;

void TWInvoiceOperation::start(QThreadPool *pool)
{
    QPointer<TWInvoiceOperation> self(this);
    pool->start([this, self] {
        main();
        // Delivered on this object's thread; nothing arrives once it is gone.
        QMetaObject::invokeMethod(
            this,
            [self] {
                if (self)
                    emit self->finished();
            },
            Qt::QueuedConnection);
    });
}

QByteArray TWInvoiceOperation::pdfData() const
{
    QMutexLocker lock(&m_mutex);
    return m_pdfData;
}

TWErrorResult TWInvoiceOperation::error() const
{
    QMutexLocker lock(&m_mutex);
    return m_error;
}

QString TWInvoiceOperation::money(qint64 value, bool displayUnit) const
{
    return m_formatter.valueString(value, m_data->unit().get(), displayUnit, true, false, true,
                                   true);
}

bool TWInvoiceOperation::prepare()
{
    m_layoutSettings.clear();
    if (const TWLayoutPtr &layout = m_data->layout()) {
        if (TWErrorResult failure = layout->load()) {
            QMutexLocker lock(&m_mutex);
            m_error = failure;
            return false;
        }
        // The settings never change once built; the copy keeps them alive.
        m_layoutSettings = layout->settings();
        layout->unload();
    }
    sortComponents();
    calculateBounds();
    calculateBoundsTable();
    return true;
}

void TWInvoiceOperation::main()
{
    if (isCancelled())
        return;
    if (!prepare())
        return;

    m_pageNumber = 1;
    m_drawnTexts.clear();
    m_drawnImages.clear();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const QVariantMap information = documentInformation();
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setCreator(information.value(QStringLiteral("creator")).toString());
        writer.setTitle(information.value(QStringLiteral("title")).toString());
        writer.setPageLayout(
            QPageLayout(QPageSize(m_pageSize, QPageSize::Point, QString(), QPageSize::ExactMatch),
                        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
        QPainter painter(&writer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::black);
        m_writer = &writer;
        m_painter = &painter;
        newPage();
        pageLoop();
        endPage();
        painter.end();
        m_painter = nullptr;
        m_writer = nullptr;
    }
    TWPdfInformation info;
    info.title = information.value(QStringLiteral("title")).toString();
    info.author = information.value(QStringLiteral("author")).toString();
    info.creator = information.value(QStringLiteral("creator")).toString();
    info.producer = QStringLiteral("Qt " QT_VERSION_STR);
    const QByteArray pdf = TWPdfInfo::withInformation(buffer.data(), info);
    QMutexLocker lock(&m_mutex);
    m_pdfData = pdf;
}

QVariantMap TWInvoiceOperation::documentInformation() const
{
    QVariantMap information;
    const QString &business = m_data->businessName();
    const QString &name = m_data->invoiceName();
    const QString &number = m_data->invoiceNumber();
    if (!business.isNull())
        information.insert(QStringLiteral("author"), business);
    QString creator = QStringLiteral("Tallyworth");
    const QString version = QCoreApplication::applicationVersion().isEmpty()
                                ? QStringLiteral(TW_VERSION)
                                : QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        creator += QLatin1Char(' ') + version;
    information.insert(QStringLiteral("creator"), creator);
    QString title;
    if (!business.isNull() && !name.isNull() && !number.isNull())
        title = QStringLiteral("%1 - %2 (%3)").arg(business, name, number);
    else if (!business.isNull() && !name.isNull())
        title = QStringLiteral("%1 - %2").arg(business, name);
    else if (!business.isNull() && !number.isNull())
        title = QStringLiteral("%1 - %2").arg(business, number);
    else if (!name.isNull() && !number.isNull())
        title = QStringLiteral("%1 (%2)").arg(name, number);
    else if (!business.isNull())
        title = business;
    else if (!name.isNull())
        title = name;
    else if (!number.isNull())
        title = number;
    if (!title.isNull())
        information.insert(QStringLiteral("title"), title);
    return information;
}

void TWInvoiceOperation::sortComponents()
{
    QStringList keys = kComponents;
    const auto row = [this](const QString &key) {
        return settings(key).value(QStringLiteral("row")).toInt();
    };
    std::stable_sort(keys.begin(), keys.end(),
                     [&row](const QString &a, const QString &b) { return row(a) < row(b); });
    m_rowComponents.clear();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (i == 0 || row(keys.at(i)) != row(keys.at(i - 1)))
            m_rowComponents.append(QStringList());
        m_rowComponents.last().append(keys.at(i));
    }
}

void TWInvoiceOperation::calculateBounds()
{
    if (m_pageLayout) {
        const QRectF full = m_pageLayout->fullRectPoints();
        const QRectF paint = m_pageLayout->paintRectPoints();
        m_pageSize = full.size();
        m_pageFrame = QRectF(paint.x(), full.height() - paint.y() - paint.height(), paint.width(),
                             paint.height());
    } else {
        m_pageSize = QSizeF(612, 792);
        m_pageFrame = QRectF(20, 20, 572, 752);
    }
    m_strokeFrames.clear();
    m_stringBounds.clear();
    const TWInvoiceGeometry::PageGrid grid = TWInvoiceGeometry::pageGrid(
        m_pageFrame, actualStrokeWidth(settings(QStringLiteral("page"))));
    m_contentFrame = grid.contentFrame;
    m_columnWidth = grid.columnWidth;

    // The bands: page number, header and footer.
    const auto measureBand = [this](const QString &key, const QString &text) {
        double inset = 0;
        const QRectF frame = boundsForString(text, settings(key), &inset);
        m_stringBounds.insert(
            key, QRectF(inset, inset, frame.width() - 2 * inset, frame.height() - 2 * inset));
        return frame;
    };
    const QString number = QStringLiteral("number");
    const QString header = QStringLiteral("header");
    const QString footer = QStringLiteral("footer");
    QRectF numberFrame;
    QRectF headerFrame;
    QRectF footerFrame;
    if (display(TWDisplayPageNumber)) {
        const QString &label = m_data->headerPageLabel();
        numberFrame = measureBand(number, label.isNull() ? QStringLiteral("99")
                                                         : label + QStringLiteral(" 99"));
    }
    if (display(TWDisplayHeader) && !m_data->invoiceHeader().isEmpty())
        headerFrame = measureBand(header, m_data->invoiceHeader());
    if (display(TWDisplayFooter) && !m_data->invoiceFooter().isEmpty())
        footerFrame = measureBand(footer, m_data->invoiceFooter());
    const int location = settings(number).value(QStringLiteral("location")).toInt();
    const TWInvoiceGeometry::Bands bands = TWInvoiceGeometry::bands(
        grid, numberFrame.size(), headerFrame.size(), footerFrame.size(), location);
    m_contentFrame = bands.contentFrame;
    if (bands.placed) {
        m_strokeFrames.insert(number,
                              positionRect(numberFrame, bands.numberBand, settings(number)));
        m_strokeFrames.insert(header,
                              positionRect(headerFrame, bands.headerBand, settings(header)));
        m_strokeFrames.insert(footer,
                              positionRect(footerFrame, bands.footerBand, settings(footer)));
    }

    // The components, measured at the origin, then placed on the grid.
    measureComponent("componentClient", clientParts(), false);
    measureComponent("componentBusiness", businessParts(), false);
    measureComponent("componentTitle", titleParts(), true);
    calculateBoundsInvoice();
    calculateBoundsDetails();
    for (const QStringList &row : std::as_const(m_rowComponents)) {
        if (row.contains(kTable))
            continue;
        double height = 0;
        for (const QString &key : row)
            height = std::max(height, m_strokeFrames.value(key).height());
        const QRectF cell = TWInvoiceGeometry::integral(QRectF(0, 0, m_columnWidth, height));
        double x = 0;
        for (const QString &key : row) {
            const QVariantMap componentSettings = settings(key);
            switch (componentSettings.value(QStringLiteral("column")).toInt()) {
            case 0:
                x = m_contentFrame.x();
                break;
            case 1:
                x = m_contentFrame.x() + m_columnWidth + 5;
                break;
            case 2:
                x = m_contentFrame.x() + 2 * (m_columnWidth + 5);
                break;
            default:
                break;
            }
            m_strokeFrames.insert(key, positionRect(m_strokeFrames.value(key),
                                                    cell.translated(x, 0), componentSettings));
        }
    }
}

double TWInvoiceOperation::rowHeightForComponents(const QStringList &components) const
{
    double height = 0;
    for (const QString &key : components) {
        const QRectF frame = m_strokeFrames.value(key);
        height = std::max(height, frame.y() + frame.height());
    }
    return height;
}

double TWInvoiceOperation::invoiceItemHeight(const TWInvoiceItem &item) const
{
    double height = 0;
    for (double cell : m_itemHeights.value(&item))
        height = std::max(height, cell);
    return height + 5;
}

void TWInvoiceOperation::newPage()
{
    if (m_pageNumber >= 2) {
        endPage();
        m_writer->newPage();
    }
    m_currentPage = int(m_pageNumber);
    m_yOffset = m_contentFrame.y() + m_contentFrame.height();
    drawPageImages();
    drawPageStrokeFill();
    drawPageNumber();
    drawPageHeader();
    drawPageFooter();
    if (m_table)
        drawTableStart();
    ++m_pageNumber;
}

void TWInvoiceOperation::endPage()
{
    if (m_table)
        drawTableEnd();
    drawPageOverlay();
}

void TWInvoiceOperation::pageLoop()
{
    for (const QStringList &row : std::as_const(m_rowComponents)) {
        if (row.contains(kTable)) {
            m_table = true;
            drawTableStart();
            // Only the row itself must fit: its notes run over to the next
            // page, and totals that do not fit start a page of their own.
            for (const TWInvoiceItemPtr &item : m_data->items()) {
                if (m_contentFrame.y() > m_yOffset - invoiceItemHeight(*item))
                    newPage();
                drawInvoiceItem(*item);
            }
            drawTableEnd();
            m_table = false;
            drawTotals();
        } else if (row.contains(kDetails)) {
            drawDetails();
        } else {
            const double height = rowHeightForComponents(row);
            if (m_contentFrame.y() > m_yOffset - height)
                newPage();
            m_yOffset -= height;
            for (const QString &key : row) {
                if (key == QLatin1String("componentClient"))
                    drawComponent("componentClient", clientParts(), false);
                else if (key == QLatin1String("componentBusiness"))
                    drawComponent("componentBusiness", businessParts(), false);
                else if (key == QLatin1String("componentTitle"))
                    drawComponent("componentTitle", titleParts(), true);
                else if (key == QLatin1String("componentInvoice"))
                    drawInvoice();
            }
        }
        m_yOffset -= 5;
    }
}
