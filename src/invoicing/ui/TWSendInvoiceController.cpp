#include "invoicing/ui/TWSendInvoiceController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "app/TWSheetGeometry.h"
#include "invoicing/render/TWInvoiceOperation.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWClient.h"
#include "model/TWLayoutManager.h"
#include "store/TWBusiness.h"
#include "store/TWSendInvoiceValues.h"
#include "store/TWWorkTotals.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPdfDocument>
#include <QPdfView>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

// The view's full size: the fields list beside a preview large enough to read.
constexpr int kViewWidth = 1000;
constexpr int kViewHeight = 760;

// What each tag edits besides its display bit.
enum class Editor { None, Line, Text };

struct TagInfo {
    int section;
    Editor editor;
};

// Section of each tag (header, client, business, invoice, item, total,
// details, footer) and its editor.
constexpr std::array<TagInfo, TWSendInvoiceController::kTagCount> kTags = {{
    {0, Editor::Text}, {0, Editor::Line},                                       // 0-1
    {1, Editor::Line}, {1, Editor::None}, {1, Editor::None}, {1, Editor::None}, // 2-5
    {2, Editor::None}, {2, Editor::Line}, {2, Editor::None}, {2, Editor::None}, // 6-9
    {2, Editor::Line}, {2, Editor::Line}, {2, Editor::None}, {2, Editor::None}, // 10-13
    {3, Editor::Line}, {3, Editor::Line}, {3, Editor::Line}, {3, Editor::Line}, // 14-17
    {3, Editor::Line}, {3, Editor::Line}, {3, Editor::Line},                    // 18-20
    {4, Editor::Line}, {4, Editor::Line}, {4, Editor::Line}, {4, Editor::Line}, // 21-24
    {4, Editor::Line}, {4, Editor::Line}, {4, Editor::Line}, {4, Editor::Line}, // 25-28
    {4, Editor::Line},                                                          // 29
    {5, Editor::Line}, {5, Editor::Line}, {5, Editor::Line}, {5, Editor::Line}, // 30-33
    {5, Editor::Line},                                                          // 34
    {6, Editor::Text}, {6, Editor::Text},                                       // 35-36
    {7, Editor::Text},                                                          // 37
}};

// The label a line field edits, by tag; -1 where the tag has none (tag 14
// depends on the project's kind and is handled apart).
constexpr std::array<int, TWSendInvoiceController::kTagCount> kLabelOfTag = {
    -1,
    TWLabelHeaderPage,
    TWLabelClientTo,
    -1,
    -1,
    -1,
    -1,
    TWLabelBusinessFrom,
    -1,
    -1,
    TWLabelBusinessPhone,
    TWLabelBusinessFax,
    -1,
    -1,
    -1, // 14
    TWLabelInvoiceName,
    TWLabelInvoiceNumber,
    TWLabelInvoiceDate,
    TWLabelInvoiceDueDate,
    TWLabelInvoicePaid,
    TWLabelInvoiceOverdue,
    TWLabelItemDate,
    TWLabelItemDescription,
    TWLabelItemType,
    TWLabelItemQuantity,
    TWLabelItemRate,
    TWLabelItemSubtotal,
    TWLabelItemTax,
    TWLabelItemTotal,
    TWLabelItemNotes,
    TWLabelTotalSubtotal,
    TWLabelTotalTax,
    TWLabelTotalBalance,
    TWLabelTotalPayments,
    TWLabelTotalDue,
    -1,
    -1,
    -1,
};

QStringList checkboxTitles()
{
    return {TWLocalized("sendHeaderText"),      TWLocalized("sendPageNumber"),
            TWLocalized("sendClientTo"),        TWLocalized("sendClientName"),
            TWLocalized("sendClientCompany"),   TWLocalized("sendClientAddress"),
            TWLocalized("sendBusinessLogo"),    TWLocalized("sendBusinessFrom"),
            TWLocalized("sendBusinessName"),    TWLocalized("sendBusinessAddress"),
            TWLocalized("sendBusinessPhone"),   TWLocalized("sendBusinessFax"),
            TWLocalized("sendBusinessEmail"),   TWLocalized("sendBusinessWebsite"),
            TWLocalized("sendInvoiceTitle"),    TWLocalized("sendInvoiceName"),
            TWLocalized("sendInvoiceNumber"),   TWLocalized("sendInvoiceDate"),
            TWLocalized("sendInvoiceDueDate"),  TWLocalized("sendInvoicePaid"),
            TWLocalized("sendInvoiceOverdue"),  TWLocalized("sendItemDate"),
            TWLocalized("sendItemDescription"), TWLocalized("sendItemType"),
            TWLocalized("sendItemQuantity"),    TWLocalized("sendItemRate"),
            TWLocalized("sendItemSubtotal"),    TWLocalized("sendItemTax"),
            TWLocalized("sendItemTotal"),       TWLocalized("sendItemNotes"),
            TWLocalized("sendTotalSubtotal"),   TWLocalized("sendTotalTax"),
            TWLocalized("sendTotalBalance"),    TWLocalized("sendTotalPayments"),
            TWLocalized("sendTotalDue"),        TWLocalized("sendDetailsTerms"),
            TWLocalized("sendDetailsNotes"),    TWLocalized("sendFooterText")};
}

QStringList sectionTitles()
{
    return {TWLocalized("sendSectionHeader"),   TWLocalized("sendSectionClient"),
            TWLocalized("sendSectionBusiness"), TWLocalized("sendSectionInvoice"),
            TWLocalized("sendSectionItems"),    TWLocalized("sendSectionTotals"),
            TWLocalized("sendSectionDetails"),  TWLocalized("sendSectionFooter")};
}

} // namespace

TWSendInvoiceController::SaveLocation &TWSendInvoiceController::saveLocationSlot()
{
    static SaveLocation location;
    return location;
}

void TWSendInvoiceController::setSaveLocation(SaveLocation location)
{
    saveLocationSlot() = std::move(location);
}

TWSendInvoiceController::TWSendInvoiceController(QObject *parent)
    : TWLazyViewController<TWEditorController>(parent)
{
    m_idleTimer = new QTimer(this);
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setInterval(m_previewDelay);
    connect(m_idleTimer, &QTimer::timeout, this, [this] { updatePDF(); });
}

TWSendInvoiceController::~TWSendInvoiceController()
{
    dropOperation();
    delete m_view;
}

void TWSendInvoiceController::setPreviewDelay(int milliseconds)
{
    m_previewDelay = milliseconds;
    m_idleTimer->setInterval(milliseconds);
}

void TWSendInvoiceController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWSendInvoice"));
    m_view->setWindowTitle(TWLocalized("sendInvoiceTitleSheet"));

    auto *fields = new QWidget();
    auto *fieldsLayout = new QVBoxLayout(fields);
    fieldsLayout->setSpacing(4);
    QFont small = fields->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    const QStringList titles = checkboxTitles();
    const QStringList sections = sectionTitles();
    int section = -1;
    for (int tag = 0; tag < kTagCount; ++tag) {
        if (kTags[tag].section != section) {
            section = kTags[tag].section;
            // Section titles on a raised band, as headers of the list.
            auto *title = new QLabel(sections.at(section), fields);
            title->setAutoFillBackground(true);
            QPalette band = title->palette();
            band.setColor(QPalette::Window, band.color(QPalette::Window).darker(112));
            title->setPalette(band);
            title->setContentsMargins(4, 2, 4, 2);
            QFont bold = title->font();
            bold.setBold(true);
            title->setFont(bold);
            m_sectionLabels.append(title);
            fieldsLayout->addSpacing(section == 0 ? 0 : 6);
            fieldsLayout->addWidget(title);
        }
        auto *box = new QCheckBox(titles.at(tag), fields);
        box->setObjectName(QStringLiteral("checkbox%1").arg(tag));
        connect(box, &QCheckBox::clicked, this, [this, tag] { doCheckbox(tag); });
        m_checkboxes[tag] = box;
        switch (kTags[tag].editor) {
        case Editor::None:
            fieldsLayout->addWidget(box);
            break;
        case Editor::Line: {
            auto *field = new QLineEdit(fields);
            field->setObjectName(QStringLiteral("labelField%1").arg(tag));
            connect(field, &QLineEdit::textEdited, this, [this, tag] { doLabelEdited(tag); });
            m_labelFields[tag] = field;
            auto *row = new QHBoxLayout();
            row->addWidget(box, 1);
            row->addWidget(field, 1);
            fieldsLayout->addLayout(row);
            break;
        }
        case Editor::Text: {
            auto *text = new QPlainTextEdit(fields);
            text->setObjectName(QStringLiteral("textView%1").arg(tag));
            text->setFont(small);
            text->setFixedHeight(text->fontMetrics().lineSpacing() * 4 + 12);
            connect(text, &QPlainTextEdit::textChanged, this, [this, tag] {
                if (!m_filling)
                    doTextEdited(tag);
            });
            m_textViews[tag] = text;
            fieldsLayout->addWidget(box);
            fieldsLayout->addWidget(text);
            break;
        }
        }
    }
    fieldsLayout->addStretch(1);

    m_fieldsScrollView = new QScrollArea(m_view);
    m_fieldsScrollView->setObjectName(QStringLiteral("fieldsScrollView"));
    m_fieldsScrollView->setWidgetResizable(true);
    m_fieldsScrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fieldsScrollView->setWidget(fields);
    m_fieldsScrollView->setMinimumWidth(
        fields->sizeHint().width() + m_fieldsScrollView->verticalScrollBar()->sizeHint().width() +
        4);

    m_layoutPopUp = new TWPopUpButton(m_view);
    m_layoutPopUp->setObjectName(QStringLiteral("layoutPopUpButton"));
    connect(m_layoutPopUp, &QComboBox::activated, this, [this](int index) { doLayout(index); });

    auto *left = new QVBoxLayout();
    auto *layoutRow = new QHBoxLayout();
    layoutRow->addWidget(new QLabel(TWLocalized("sendLayout"), m_view));
    layoutRow->addWidget(m_layoutPopUp, 1);
    left->addLayout(layoutRow);
    left->addWidget(m_fieldsScrollView, 1);

    m_previewDocument = new QPdfDocument(this);
    m_pdfView = new QPdfView(m_view);
    m_pdfView->setObjectName(QStringLiteral("pdfView"));
    m_pdfView->setDocument(m_previewDocument);
    m_pdfView->setPageMode(QPdfView::PageMode::MultiPage);
    m_pdfView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_pdfView->setMinimumWidth(380);

    auto *panes = new QHBoxLayout();
    panes->addLayout(left, 0);
    panes->addWidget(m_pdfView, 1);

    m_emailButton = new QPushButton(TWLocalized("sendEmail"), m_view);
    m_saveButton = new QPushButton(TWLocalized("sendSave"), m_view);
    m_printButton = new QPushButton(TWLocalized("sendPrint"), m_view);
    m_doneButton = new QPushButton(TWLocalized("done"), m_view);
    m_doneButton->setDefault(true);
    connect(m_emailButton, &QPushButton::clicked, this, [this] { doEmail(); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] { doSave(); });
    connect(m_printButton, &QPushButton::clicked, this, [this] { doPrint(); });
    connect(m_doneButton, &QPushButton::clicked, this, [this] { doDone(); });
    auto *buttons = new QHBoxLayout();
    buttons->addWidget(m_emailButton);
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_printButton);
    buttons->addStretch(1);
    buttons->addWidget(m_doneButton);

    auto *layout = new QVBoxLayout(m_view);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);
    m_view->resize(kViewWidth, kViewHeight);
}

TWProjectPtr TWSendInvoiceController::project() const
{
    return m_business && m_invoice
               ? m_business->projectWithIdentifier(m_invoice->projectIdentifier())
               : nullptr;
}

bool TWSendInvoiceController::isEstimate() const
{
    const TWProjectPtr owner = project();
    return owner && owner->type() == TWProjectTypeEstimate;
}

void TWSendInvoiceController::update()
{
    if (!view() || !m_business || !m_invoice)
        return;
    QScreen *screen = nullptr;
    if (m_document && m_document->windowForSheet())
        screen = m_document->windowForSheet()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();

    const TWProjectPtr owner = project();
    const TWClientPtr client =
        owner ? m_business->clientWithIdentifier(owner->clientIdentifier()) : nullptr;
    // Without a client there is nowhere to keep the settings: a private record.
    m_sendInvoiceData =
        client ? m_business->sendInvoiceData(*client) : twDefaultSendInvoiceData(*m_business);
    // The lines as the store holds them now, not as the list last read them.
    twUpdateTasksExpenses(*m_invoice, *m_business);
    twUpdateSendInvoiceData(*m_sendInvoiceData, *m_invoice, *m_business);

    updateFields();

    m_layoutPopUp->clear();
    const TWLayoutManager &manager = TWLayoutManager::layoutManager();
    const TWLayoutList &layouts = manager.layouts();
    const TWLayoutPtr chosen = m_sendInvoiceData->layout();
    TWLayoutPtr shown;
    for (qsizetype index = 0; index < layouts.size(); ++index) {
        const TWLayoutPtr &layout = layouts.at(index);
        if (!layout)
            continue;
        m_layoutPopUp->addItem(layout->name(), int(index));
        if (!shown && (layout == chosen || (chosen && layout->name() == chosen->name()))) {
            m_layoutPopUp->setCurrentIndex(m_layoutPopUp->count() - 1);
            shown = layout;
        }
    }
    // A layout deleted (or replaced) since it was chosen: the invoice renders
    // with the one the pop-up shows, the default, never with the package
    // that is gone.
    if (!shown && m_layoutPopUp->count() > 0) {
        const TWLayoutPtr fallback = manager.defaultLayout();
        const int index = fallback ? m_layoutPopUp->findText(fallback->name()) : -1;
        m_layoutPopUp->setCurrentIndex(std::max(index, 0));
        shown = layouts.value(m_layoutPopUp->currentData().toInt());
    }
    if (shown && shown != chosen)
        m_sendInvoiceData->setLayout(shown);

    // The sheet takes its size from the view's minimum (it is not resized by
    // the user): the whole view, or as much of it as the screen has room for
    // once the sheet wears its window's frame (a view wider than that room
    // would be cut off by the sheet).
    QSize frame(kViewWidth, kViewHeight);
    if (screen) {
        // Some window managers announce a work area larger than the screen.
        const QRect available = screen->availableGeometry().intersected(screen->geometry());
        QSize room = available.size();
        if (m_document && m_document->windowForSheet())
            room = room.boundedTo(TWSheetAvailableSize(m_document->windowForSheet()));
        const QSize clip(room.width(), room.height() - 100);
        m_view->setMaximumSize(clip);
        frame = frame.boundedTo(clip);
    }
    m_view->setMinimumSize(frame);
    m_view->resize(frame);
    updatePDF();
}

void TWSendInvoiceController::updateFields()
{
    if (!m_sendInvoiceData || !m_view)
        return;
    m_filling = true;
    const TWSendInvoiceData &data = *m_sendInvoiceData;
    const bool paid = data.invoicePaid();
    const bool overdue = isOverdue();
    for (int tag = 0; tag < kTagCount; ++tag) {
        bool on = data.displayBitValue(TWInvoiceDisplayMasks[tag]);
        bool enabled = true;
        if (tag == TWDisplayPaidOverlay) {
            on = on && paid;
            enabled = paid;
        } else if (tag == TWDisplayOverdueOverlay) {
            on = on && overdue;
            enabled = overdue;
        }
        m_checkboxes[tag]->setChecked(on);
        m_checkboxes[tag]->setEnabled(enabled);
        if (QLineEdit *field = m_labelFields[tag]) {
            QString text;
            if (tag == TWDisplayTitle)
                text = isEstimate() ? data.invoiceTitleEstimateLabel()
                                    : data.invoiceTitleInvoiceLabel();
            else if (tag == TWDisplayPaidOverlay)
                text = paid ? data.invoicePaidLabel() : QString();
            else if (tag == TWDisplayOverdueOverlay)
                text = overdue ? data.invoiceOverdueLabel() : QString();
            else
                text = data.label(TWSendInvoiceLabel(kLabelOfTag[tag]));
            field->setText(text);
        }
        if (QPlainTextEdit *text = m_textViews[tag]) {
            switch (tag) {
            case TWDisplayHeader:
                text->setPlainText(data.invoiceHeader());
                break;
            case TWDisplayDetailsTerms:
                text->setPlainText(data.invoiceTerms());
                break;
            case TWDisplayDetailsNotes:
                text->setPlainText(data.invoiceNotes());
                break;
            case TWDisplayFooter:
                text->setPlainText(data.invoiceFooter());
                break;
            default:
                break;
            }
        }
        // The "to" and "from" labels keep their state until their boxes are clicked.
        if (tag != TWDisplayClientTo && tag != TWDisplayBusinessFrom)
            updateControlEnabling(tag);
    }
    m_fieldsScrollView->verticalScrollBar()->setValue(0);
    m_filling = false;
}

void TWSendInvoiceController::updateControlEnabling(int tag)
{
    const bool on = m_checkboxes[tag]->isChecked();
    if (QLineEdit *field = m_labelFields[tag])
        field->setEnabled(on);
    if (QPlainTextEdit *text = m_textViews[tag]) {
        text->setReadOnly(!on);
        text->setTextInteractionFlags(on ? Qt::TextEditorInteraction : Qt::NoTextInteraction);
        QPalette palette = text->palette();
        palette.setColor(QPalette::Text,
                         on ? m_view->palette().color(QPalette::Text)
                            : m_view->palette().color(QPalette::Disabled, QPalette::WindowText));
        text->setPalette(palette);
    }
}

bool TWSendInvoiceController::isOverdue() const
{
    if (!m_sendInvoiceData || m_sendInvoiceData->invoicePaid())
        return false;
    const QDateTime &due = m_sendInvoiceData->invoiceDueDate();
    return due.isValid() && due < TWClock::now();
}

void TWSendInvoiceController::doCheckbox(int tag)
{
    if (tag < 0 || tag >= kTagCount || !m_sendInvoiceData)
        return;
    m_sendInvoiceData->toggleDisplayBit(TWInvoiceDisplayMasks[tag], m_checkboxes[tag]->isChecked());
    updateControlEnabling(tag);
    updatePDFWithDelay();
}

void TWSendInvoiceController::doLabelEdited(int tag)
{
    if (tag < 0 || tag >= kTagCount || !m_sendInvoiceData || !m_labelFields[tag])
        return;
    const QString text = m_labelFields[tag]->text();
    if (tag == TWDisplayTitle) {
        if (isEstimate())
            m_sendInvoiceData->setInvoiceTitleEstimateLabel(text);
        else
            m_sendInvoiceData->setInvoiceTitleInvoiceLabel(text);
    } else if (kLabelOfTag[tag] >= 0) {
        m_sendInvoiceData->setLabel(TWSendInvoiceLabel(kLabelOfTag[tag]), text);
    } else {
        return;
    }
    updatePDFWithDelay();
}

void TWSendInvoiceController::doTextEdited(int tag)
{
    if (tag < 0 || tag >= kTagCount || !m_sendInvoiceData || !m_textViews[tag])
        return;
    const QString text = m_textViews[tag]->toPlainText();
    switch (tag) {
    case TWDisplayHeader:
        m_sendInvoiceData->setInvoiceHeader(text);
        break;
    case TWDisplayDetailsTerms:
        m_sendInvoiceData->setInvoiceTerms(text);
        break;
    case TWDisplayDetailsNotes:
        m_sendInvoiceData->setInvoiceNotes(text);
        break;
    case TWDisplayFooter:
        m_sendInvoiceData->setInvoiceFooter(text);
        break;
    default:
        return;
    }
    updatePDFWithDelay();
}

void TWSendInvoiceController::doLayout(int index)
{
    if (!m_sendInvoiceData || index < 0)
        return;
    const TWLayoutPtr layout =
        TWLayoutManager::layoutManager().layouts().value(m_layoutPopUp->itemData(index).toInt());
    if (!layout)
        return;
    m_sendInvoiceData->setLayout(layout);
    updatePDFWithDelay();
}

// ---- The preview cycle ----

void TWSendInvoiceController::updatePDFWithDelay()
{
    m_idleTimer->start(m_previewDelay);
}

void TWSendInvoiceController::updatePDF()
{
    if (!m_sendInvoiceData || !m_business)
        return;
    if (m_invoiceOperation) {
        // The rendering in flight shows old data: a fresh one follows it.
        m_updatePDF = true;
        m_invoiceOperation->cancel();
        return;
    }
    auto *operation = new TWInvoiceOperation(m_sendInvoiceData->copy());
    m_invoiceOperation = operation;
    // The operation goes when it has reported back, whoever still listens.
    connect(operation, &TWInvoiceOperation::finished, operation, &QObject::deleteLater);
    connect(operation, &TWInvoiceOperation::finished, this,
            [this, operation] { invoiceOperationComplete(operation); });
    operation->start(m_business->operationQueue());
}

void TWSendInvoiceController::invoiceOperationComplete(TWInvoiceOperation *operation)
{
    if (operation != m_invoiceOperation)
        return;
    m_invoiceOperation = nullptr;
    emit renderingFinished();
    if (m_updatePDF) {
        m_updatePDF = false;
        updatePDF();
        return;
    }
    if (const TWErrorResult error = operation->error()) {
        const QString layoutName = m_sendInvoiceData && m_sendInvoiceData->layout()
                                       ? m_sendInvoiceData->layout()->name()
                                       : QString();
        TWAlert alert{QStringLiteral("%1: %2").arg(TWLocalized("layoutError"), layoutName),
                      error->localizedDescription(),
                      {TWLocalized("ok")},
                      m_view ? m_view->window() : nullptr};
        emit errorPresented(*error);
        twRunAlert(alert);
        return;
    }
    showPreview(operation->pdfData());
}

void TWSendInvoiceController::showPreview(const QByteArray &pdf)
{
    if (pdf.isEmpty())
        return;
    m_previewDocument->close();
    m_previewBuffer.close();
    m_previewData = pdf;
    m_previewBuffer.setBuffer(&m_previewData);
    m_previewBuffer.open(QIODevice::ReadOnly);
    m_previewDocument->load(&m_previewBuffer);
    emit previewShown();
}

void TWSendInvoiceController::dropOperation()
{
    m_idleTimer->stop();
    m_updatePDF = false;
    if (m_invoiceOperation) {
        // It still runs to its end and then deletes itself; nobody listens.
        m_invoiceOperation->cancel();
        disconnect(m_invoiceOperation, nullptr, this, nullptr);
        m_invoiceOperation = nullptr;
    }
}

void TWSendInvoiceController::reset()
{
    dropOperation();
    if (m_previewDocument)
        m_previewDocument->close();
    m_previewBuffer.close();
    m_previewData.clear();
}

void TWSendInvoiceController::doDone()
{
    if (m_document)
        m_document->endSheet(m_view, TWSheetResult::Confirmed);
    emit endRequested(sheetReturnCode(TWSheetResult::Confirmed));
}

void TWSendInvoiceController::presentError(const TWError &error)
{
    emit errorPresented(error);
    if (m_document)
        m_document->presentError(error);
    else
        twRunAlert(TWAlert{error.localizedDescription(),
                           QString(),
                           {TWLocalized("ok")},
                           m_view ? m_view->window() : nullptr});
}

QCheckBox *TWSendInvoiceController::checkbox(int tag) const
{
    return tag >= 0 && tag < kTagCount ? m_checkboxes[tag] : nullptr;
}

QLineEdit *TWSendInvoiceController::labelField(int tag) const
{
    return tag >= 0 && tag < kTagCount ? m_labelFields[tag] : nullptr;
}

QPlainTextEdit *TWSendInvoiceController::textView(int tag) const
{
    return tag >= 0 && tag < kTagCount ? m_textViews[tag] : nullptr;
}
