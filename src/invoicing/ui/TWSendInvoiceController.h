#pragma once
// The sheet in which one invoice is prepared for sending: check boxes and
// label fields choosing what the page shows (kept per client in the store's
// send-invoice data), a pop-up of layouts and a live PDF preview rendered off
// the main thread; from it the invoice is e-mailed, saved or printed, each
// rendered afresh from what the sheet shows at that moment. E-mail goes
// through the platform's mail hand-off (TWMailHandOff).

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"
#include "foundation/TWError.h"
#include "invoicing/render/TWInvoiceOperation.h"
#include "model/TWInvoice.h"
#include "model/TWProject.h"
#include "model/TWSendInvoiceData.h"

#include <QBuffer>
#include <QByteArray>
#include <QPageLayout>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPdfDocument;
class QPdfView;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QScrollArea;
class QTimer;
class TWPopUpButton;

class TWSendInvoiceController : public TWLazyViewController<TWEditorController>
{
    Q_OBJECT
public:
    static constexpr int kTagCount = 38;
    static constexpr int kPreviewDelay = 700; // milliseconds after the last edit

    // Asks where to save: `proposed` is the file name offered; `done` gets
    // the chosen path, or an empty one when the user cancelled.
    using SaveLocation = std::function<void(QWidget *parent, const QString &proposed,
                                            std::function<void(const QString &path)> done)>;
    static void setSaveLocation(SaveLocation location);

    explicit TWSendInvoiceController(QObject *parent = nullptr);
    ~TWSendInvoiceController() override;

    const TWInvoicePtr &invoice() const { return m_invoice; }
    void setInvoice(const TWInvoicePtr &invoice) { m_invoice = invoice; }
    const TWSendInvoiceDataPtr &sendInvoiceData() const { return m_sendInvoiceData; }

    // Fills the sheet for the invoice and starts the first preview.
    void update() override;
    // Drops the pending timer and the rendering in flight, empties the preview.
    void reset() override;
    // Shows the send-invoice data in the controls.
    void updateFields();

    // The controls' actions.
    void doCheckbox(int tag);
    void doLabelEdited(int tag);
    void doTextEdited(int tag);
    void doLayout(int index);
    void doEmail();
    void doSave();
    void doPrint();
    void doDone();

    // The preview cycle: a rendering `previewDelay` after the last edit, at
    // most one in flight; an edit during a rendering cancels it and one
    // fresh rendering of the latest data follows it.
    void updatePDFWithDelay();
    void updatePDF();
    int previewDelay() const { return m_previewDelay; }
    void setPreviewDelay(int milliseconds);

    // The invoice rendered now for the printer's page (what the document's
    // Print asks while the sheet is shown); empty with `error` set on failure.
    QByteArray printOperation(QPrinter &printer, TWErrorResult *error = nullptr);
    // Renders for the printer and prints page for page.
    TWErrorResult print(QPrinter &printer);

    // The name of the written PDF: one safe file-name component.
    QString fileName() const;
    // Whether the invoice is unpaid and past its due date.
    bool isOverdue() const;

    // Controls, for the sheet's wiring and for tests.
    QCheckBox *checkbox(int tag) const;
    QLineEdit *labelField(int tag) const;
    QPlainTextEdit *textView(int tag) const;
    TWPopUpButton *layoutPopUpButton() const { return m_layoutPopUp; }
    QScrollArea *fieldsScrollView() const { return m_fieldsScrollView; }
    QPdfView *pdfView() const { return m_pdfView; }
    QPdfDocument *previewDocument() const { return m_previewDocument; }
    const QByteArray &previewData() const { return m_previewData; }
    TWInvoiceOperation *invoiceOperation() const { return m_invoiceOperation; }
    QTimer *idleTimer() const { return m_idleTimer; }
    QPushButton *emailButton() const { return m_emailButton; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *printButton() const { return m_printButton; }
    QPushButton *doneButton() const { return m_doneButton; }

signals:
    // A preview rendering reported back (shown, ignored or failed).
    void renderingFinished();
    // A finished rendering became the preview.
    void previewShown();
    // An error was handed to the document (or an alert) to show.
    void errorPresented(const TWError &error);

private:
    static SaveLocation &saveLocationSlot();
    void build() override;
    void invoiceOperationComplete(TWInvoiceOperation *operation);
    void showPreview(const QByteArray &pdf);
    void dropOperation();
    void updateControlEnabling(int tag);
    void presentError(const TWError &error);
    // Renders the current data now, on this thread.
    QByteArray renderNow(const std::optional<QPageLayout> &pageLayout, TWErrorResult *error) const;
    TWProjectPtr project() const;
    bool isEstimate() const;

    TWInvoicePtr m_invoice;
    TWSendInvoiceDataPtr m_sendInvoiceData;

    QScrollArea *m_fieldsScrollView = nullptr;
    std::array<QCheckBox *, kTagCount> m_checkboxes{};
    std::array<QLineEdit *, kTagCount> m_labelFields{};
    std::array<QPlainTextEdit *, kTagCount> m_textViews{};
    QList<QLabel *> m_sectionLabels;
    TWPopUpButton *m_layoutPopUp = nullptr;
    QPdfView *m_pdfView = nullptr;
    QPdfDocument *m_previewDocument = nullptr;
    QPushButton *m_emailButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_doneButton = nullptr;

    QTimer *m_idleTimer = nullptr;
    int m_previewDelay = kPreviewDelay;
    QPointer<TWInvoiceOperation> m_invoiceOperation;
    bool m_updatePDF = false;
    bool m_filling = false;
    QByteArray m_previewData;
    QBuffer m_previewBuffer;
    std::unique_ptr<QPrinter> m_printer; // when no document lends its own
};
