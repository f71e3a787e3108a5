#pragma once
// Renders one invoice into a paginated PDF held in memory. The operation is
// made on the main thread from a copy of the send-invoice data (and, for
// printing, the printer's page layout), runs on a worker of the business's
// queue, and reports back on the main thread. Geometry is in PDF points with
// the origin at the page's bottom-left corner and y growing upwards; only the
// painter calls turn it into Qt's y-down space.

#include "foundation/TWError.h"
#include "model/TWColumn.h"
#include "model/TWFormatter.h"
#include "model/TWSendInvoiceData.h"

#include <QByteArray>
#include <QDateTime>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPageLayout>
#include <QPair>
#include <QRectF>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <optional>

class QPainter;
class QPdfWriter;
class QThreadPool;
class TWInvoiceItem;

// How a text is drawn: what an element's settings say about font, colour,
// underline and alignment, and the link it carries.
struct TWTextAttributes {
    bool hasFont = false;
    QFont font;
    bool hasColour = false;
    QColor colour = Qt::black;
    int underline = 0; // 1 single, 2 double
    int alignment = 0; // 0 left, 1 centre, 2 right
    double maximumLineHeight = 0;
    QString href; // a link over the drawn text; ASCII only
};

// One text run as drawn: the page it is on (from 1), its text and the box
// its laid-out lines cover, in page space.
struct TWDrawnText {
    int page = 0;
    QString text;
    QRectF rect;
};

class TWInvoiceOperation : public QObject
{
    Q_OBJECT

public:
    // `data` is the rendering copy (TWSendInvoiceData::copy()); `pageLayout`
    // the printer's paper, none for the preview's US Letter page.
    explicit TWInvoiceOperation(TWSendInvoiceDataPtr data,
                                std::optional<QPageLayout> pageLayout = std::nullopt,
                                QObject *parent = nullptr);
    ~TWInvoiceOperation() override;

    // Runs main() on the pool; finished() arrives on this object's thread.
    void start(QThreadPool *pool);
    // Looked at once, when the rendering starts.
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

    // Renders now, on the calling thread.
    void main();

    // The PDF, empty until a rendering completes; and the layout's load error.
    QByteArray pdfData() const;
    TWErrorResult error() const;

    // The bounds pass alone (layout loaded, rows sorted, everything measured),
    // for callers and tests that want the geometry without painting. False
    // when the layout does not load (error() says why).
    bool prepare();

    // --- Geometry and measurements, valid after prepare() ---
    QSizeF pageSize() const { return m_pageSize; }
    QRectF pageFrame() const { return m_pageFrame; }
    QRectF contentFrame() const { return m_contentFrame; }
    double columnWidth() const { return m_columnWidth; }
    const QHash<QString, QRectF> &strokeFrames() const { return m_strokeFrames; }
    const QHash<QString, QRectF> &stringBounds() const { return m_stringBounds; }
    const QList<QStringList> &rowComponents() const { return m_rowComponents; }
    const QList<TWColumn> &columns() const { return m_columns; }
    double rowHeightForComponents(const QStringList &components) const;
    double invoiceItemHeight(const TWInvoiceItem &item) const;
    int pageCount() const { return int(m_pageNumber) - 1; }

    // The amounts of the totals block, in minor units of the data's unit.
    qint64 invoiceSubtotalTotal() const;
    qint64 invoiceTaxTotal() const;
    qint64 invoiceBalanceTotal() const;
    qint64 invoicePaymentsTotal() const;
    qint64 invoiceTotal() const;

    // Keeps every unrotated text run drawn by main(), for checking that no
    // two texts are drawn over each other.
    void setRecordsDrawnTexts(bool records) { m_recordsDrawnTexts = records; }
    const QList<TWDrawnText> &drawnTexts() const { return m_drawnTexts; }
    // The pictures drawn, likewise (with empty texts).
    const QList<TWDrawnText> &drawnImages() const { return m_drawnImages; }

    // --- Primitives (public for tests) ---
    static double actualStrokeWidth(const QVariantMap &settings);
    TWTextAttributes attributesForSettings(const QVariantMap &settings) const;
    // The text's bounding box laid out at `width` (unlimited height).
    static QRectF measureText(const QString &text, const TWTextAttributes &attributes,
                              double width);
    // The glyphs the text is drawn with, run by run and face by face.
    static QList<QGlyphRun> glyphRuns(const QString &text, const TWTextAttributes &attributes,
                                      double width);
    // The picture at no more pixels than `frame` (points) needs at 300 dpi.
    static QImage imageForFrame(const QImage &image, const QSizeF &frame);
    QRectF boundsForString(const QString &text, const QVariantMap &settings,
                           double *strokeWidth = nullptr) const;
    static QRectF positionRect(const QRectF &rect, const QRectF &bounds,
                               const QVariantMap &settings);

signals:
    void finished();

private:
    struct Piece;

    QVariantMap settings(const QString &key) const { return m_layoutSettings.value(key).toMap(); }
    bool display(int tag) const { return m_data->displayTagValue(tag); }
    QString money(qint64 value, bool displayUnit) const;

    // Main sequence and pagination.
    void sortComponents();
    void calculateBounds();
    QVariantMap documentInformation() const;
    void newPage();
    void endPage();
    void pageLoop();

    // Drawing primitives (page space).
    void drawText(const QString &text, const TWTextAttributes &attributes, const QRectF &rect);
    void drawStrokeFillRect(const QRectF &rect, bool rounded, const QVariantMap &settings);
    void drawFillRect(const QRectF &rect, const QVariantMap &settings);
    void drawFillRect(const QRectF &rect, const QColor &colour);
    void drawLine(QPointF from, QPointF to, const QVariantMap &settings);
    void drawImage(const QImage &image, const QRectF &rect, double opacity);
    void drawMultiPageStrings(const QStringList &strings, const QList<TWTextAttributes> &attributes,
                              const QList<QRectF> &rects, double width, const QVariantMap &settings,
                              const QRectF &strokeRect);

    // Page furniture.
    QRectF pageImageRect(const QRectF &layoutRect) const;
    void drawPageImages();
    void drawPageStrokeFill();
    void drawBand(const char *key, const QString &text);
    void drawPageNumber();
    void drawPageHeader();
    void drawPageFooter();
    void drawPageOverlay();

    // Components.
    struct PartSpec {
        const char *key;
        int tag;
        QString text;
        QString href;
        bool image = false;
    };
    void measureComponent(const char *key, const QList<PartSpec> &parts, bool title);
    void drawComponent(const char *key, const QList<PartSpec> &parts, bool title);
    QList<PartSpec> clientParts() const;
    QList<PartSpec> businessParts() const;
    QList<PartSpec> titleParts() const;
    QList<PartSpec> detailParts() const;
    void calculateBoundsInvoice();
    void calculateBoundsDetails();
    void drawInvoice();
    void drawDetails();
    struct InvoiceRow {
        int tag;
        const char *labelKey;
        QString label;
        const char *valueKey;
        QString value;
    };
    QList<InvoiceRow> invoiceRows() const;

    // Item table.
    void calculateBoundsTable();
    void calculateBoundsTableValues();
    QVariantMap settingsForColumnType(quint32 type) const;
    QString invoiceItemString(const TWInvoiceItem &item, quint32 type) const;
    QString headerLabel(quint32 type) const;
    QRectF headerBounds(quint32 type, double maximumWidth) const;
    QRectF invoiceItemsBounds(quint32 type, double maximumWidth) const;
    // The width of the widest word of a text, of a column's header and of a
    // column's cells: what a column cannot give without breaking a word.
    double longestWord(const QString &text, const TWTextAttributes &attributes) const;
    // The attributes of an item table's text, its font set smaller where the
    // table's numbers need it to fit across the page.
    TWTextAttributes tableAttributes(const QVariantMap &settings) const;
    double longestHeaderWord(quint32 type) const;
    double longestItemWord(quint32 type) const;
    const TWColumn *columnOfType(quint32 type) const;
    void drawTableStart();
    void drawInvoiceItem(const TWInvoiceItem &item);
    // The notes printed under an item's row (label included), and their
    // measured height; empty and 0 when the row has none.
    QString invoiceItemNotes(const TWInvoiceItem &item) const;
    double invoiceItemNotesHeight(const TWInvoiceItem &item) const;
    void drawTableEnd();

    // Totals.
    struct TotalLine {
        int tag;
        QString label;
        qint64 amount;
    };
    // The lines above the amount due, in their printed order.
    QList<TotalLine> totalLines() const;
    void calculateBoundsTableTotals();
    void drawTotals();

    // Captured at creation on the main thread.
    TWSendInvoiceDataPtr m_data;
    std::optional<QPageLayout> m_pageLayout;
    TWFormatter m_formatter;
    std::uint32_t m_timeFormat = 0;
    QDateTime m_now;
    std::atomic<bool> m_cancelled{false};

    // Results, read from the main thread.
    mutable QMutex m_mutex;
    QByteArray m_pdfData;
    TWErrorResult m_error;

    // The rendering's own state.
    QVariantMap m_layoutSettings;
    QList<QStringList> m_rowComponents;
    QHash<QString, QRectF> m_strokeFrames;
    QHash<QString, QRectF> m_stringBounds;
    QList<TWColumn> m_columns;
    double m_tableScale = 1.0;                                 // of the item table's fonts
    QHash<const TWInvoiceItem *, QList<double>> m_itemHeights; // per column
    QHash<const TWInvoiceItem *, double> m_itemNotesHeights;
    QSizeF m_pageSize;
    QRectF m_pageFrame;
    QRectF m_contentFrame;
    double m_columnWidth = 0;
    double m_tableHeaderHeight = 0;
    double m_yOffset = 0;
    quint32 m_pageNumber = 1;
    bool m_table = false;
    bool m_recordsDrawnTexts = false;
    int m_currentPage = 0; // the page being drawn, from 1
    QList<TWDrawnText> m_drawnTexts;
    QList<TWDrawnText> m_drawnImages;
    QHash<QPair<qint64, QSize>, QImage> m_scaledImages;
    QPdfWriter *m_writer = nullptr;
    QPainter *m_painter = nullptr;
};
