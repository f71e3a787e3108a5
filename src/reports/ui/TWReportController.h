#pragma once
// The detail view of a saved report: builds the report's cells, has the PDF
// writer render them and shows the document; prints it on the printer's
// pages, saves it as PDF, HTML (graphs as JPEG files beside it) or CSV, and
// hands a PDF copy to the mail program. Every file goes through a temporary
// file renamed into place, and a write that fails is shown, naming the file.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"

#include "reports/engine/TWExportReport.h"
#include "reports/ui/TWChartsGraphRenderer.h"

#include "foundation/TWError.h"
#include "foundation/TWNotificationCenter.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileDialog>
#include <QPointer>

#include <memory>

class QPdfDocument;
class QPdfView;
class QPushButton;

class TWReportController final : public TWLazyViewController<TWReportDetail>
{
    Q_OBJECT
public:
    // The save panel's formats, by the tag of its filter.
    enum Format { FormatPDF = 0, FormatHTML = 1, FormatCSV = 2 };

    explicit TWReportController(QObject *parent = nullptr);
    ~TWReportController() override;

    void setBusiness(TWBusiness *business) override;
    // Shows the report at once.
    void setReport(const TWReportPtr &report) override;
    // Builds the report again and shows it (nothing before the view exists).
    void update() override;
    // The report laid out on the printer's pages, to be printed 1:1.
    QByteArray printOperation(QPrinter &printer) override;

    // The document's print command (dialog, then the pages above).
    void doPrint();
    // Asks for a place and a format in a window-modal panel, then saves.
    void doSave();
    // The format pop-up changed: the proposed name follows.
    void doReportTypeExtension();
    void updateReportTypeExtension();
    // Extension of the chosen format; empty for none.
    QString reportExtension() const;
    // A PDF copy in a new temporary folder, handed to the mail program.
    void doEmail();

    // Writes the report in `format` to `path` (for HTML with graphs, a
    // folder); a failure is shown on the window and answered false.
    bool saveReport(const QString &path, int format);

    // The file name the report is saved and mailed under, without an
    // extension: "business - report type", or the report type alone.
    QString reportBaseName() const;
    static QString extensionForFormat(int format);
    // `name` with the format's extension in place of its own; HTML with
    // graphs takes none (it names a folder).
    static QString fileNameForFormat(const QString &name, int format, bool showsGraphs);
    // What a save of the typed `path` writes, and in which format: a name
    // ending in one of the three formats' extensions is in that format; any
    // other takes the chosen format's extension. HTML with graphs is a folder
    // named without the extension.
    struct SaveTarget {
        QString path;
        int format;
    };
    static SaveTarget saveTarget(const QString &path, int chosenFormat, bool showsGraphs);

    // Zoom of the page view, held at kMaximumZoom at most.
    double zoomFactor() const;
    void setZoomFactor(double factor);
    static constexpr double kMaximumZoom = 1.5;

    QPdfView *pdfView() const { return m_pdfView; }
    QPdfDocument *pdfDocument() const { return m_pdfDocument; }
    // The PDF shown (what Save as PDF and e-mail write).
    const QByteArray &pdfData() const { return m_pdfData; }
    TWExportReport *exportReport() const { return m_exportReport.get(); }
    // The save panel while it is open.
    QFileDialog *savePanel() const { return m_savePanel; }
    // The format chosen in the save panel (or last chosen).
    int formatTag() const { return m_formatTag; }
    void setFormatTag(int tag);
    QPushButton *printButton() const { return m_print; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *emailButton() const { return m_email; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build() override;
    void presentError(const TWError &error) const;
    void observe();
    void stopObserving();
    bool showsGraphs() const;
    double backingScale() const;
    // The name in the save panel's name field.
    QString panelFileName() const;
    void setPanelFileName(const QString &name);
    // The pop-up takes the format a typed name names.
    void followPanelFileName(const QString &name);
    bool saveHTML(const QString &path, const TWCellList &cells);

    QPdfView *m_pdfView = nullptr;
    QPdfDocument *m_pdfDocument = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_email = nullptr;
    QBuffer m_pdfBuffer;
    QByteArray m_pdfData;
    TWChartsGraphRenderer m_renderer;
    std::unique_ptr<TWExportReport> m_exportReport;
    QPointer<QFileDialog> m_savePanel;
    int m_formatTag = FormatPDF;
    // The format pop-up is following the typed name: the name stays as typed.
    bool m_followingName = false;
    TWNotificationCenter::Token m_observer = 0;
};
