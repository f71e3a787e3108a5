#include "export/ui/TWExportSheetController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "app/TWDateEdit.h"
#include "app/TWPackageFileDialog.h"
#include "app/TWTypedNumberField.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWUtilities.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

constexpr std::uint32_t kCustomInterval = 6;

void panelSaveLocation(QWidget *parent, const QString &proposed, const QString &extension,
                       std::function<void(const QString &)> done)
{
    TWPackageFileDialog *panel = TWPackageFileDialog::ask(
        TWPackageFileDialog::Purpose::SaveFile, parent, QString(), proposed, {},
        [done](const QStringList &files) { done(files.value(0)); });
    // A name typed without the format's extension gets it, so that the file
    // is known for what it holds (and the import dialog lists it).
    panel->setTarget(
        [extension](const QString &typed) { return twPathWithExtension(typed, extension); });
}

TWExportSheetController::SaveLocation &saveLocation()
{
    static TWExportSheetController::SaveLocation location;
    return location;
}

} // namespace

void TWExportSheetController::setSaveLocation(SaveLocation location)
{
    saveLocation() = std::move(location);
}

TWExportSheetController::TWExportSheetController(QObject *parent)
    : TWLazyViewController<TWEditorController>(parent)
{
}

TWExportSheetController::~TWExportSheetController()
{
    delete m_view;
}

void TWExportSheetController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWExportSheet"));

    m_fileType = new TWPopUpButton(m_view);
    m_fileType->setObjectName(QStringLiteral("fileTypePopUpButton"));
    for (const auto &[title, tag] : fileTypeItems())
        m_fileType->addItem(title, tag);
    connect(m_fileType, &QComboBox::activated, this,
            [this] { doFileType(m_fileType->selectedTag()); });

    // Each row's controls are made in the rows' order, which is Tab's order.
    auto *form = new QFormLayout();
    form->addRow(TWLocalized("exportFileType"), m_fileType);
    addControls(form);

    m_interval = new TWPopUpButton(m_view);
    m_interval->setObjectName(QStringLiteral("intervalPopUpButton"));
    static const char *const presets[] = {
        "allDates",           "today", "yesterday", "exportIntervalWeek", "exportIntervalMonth",
        "exportIntervalYear", "custom"};
    for (int tag = 0; tag < 7; ++tag)
        m_interval->addItem(TWLocalized(presets[tag]), tag);
    connect(m_interval, &QComboBox::activated, this, [this] {
        const int tag = m_interval->selectedTag();
        if (tag >= 0 && tag <= int(kCustomInterval))
            setInterval(std::uint32_t(tag));
        updateDateControls();
    });

    const auto dateRow = [this](QDateEdit *&picker, QToolButton *&button, int tag) {
        picker = new TWDateEdit(m_view);
        picker->setObjectName(tag == 0 ? QStringLiteral("fromDatePicker")
                                       : QStringLiteral("toDatePicker"));
        picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        connect(picker, &QDateEdit::dateChanged, this,
                [this, tag](const QDate &date) { setIntervalDate(tag, date.startOfDay()); });
        button = TWNewCalendarButton(m_view);
        button->setObjectName(tag == 0 ? QStringLiteral("fromDisclosureButton")
                                       : QStringLiteral("toDisclosureButton"));
        connect(button, &QToolButton::clicked, this,
                [this, tag] { doIntervalDateDisclosure(tag); });
        auto *row = new QHBoxLayout();
        row->addWidget(picker, 1);
        row->addWidget(button);
        return row;
    };

    form->addRow(TWLocalized("exportInterval"), m_interval);
    for (const int tag : {0, 1}) {
        QDateEdit *&picker = tag == 0 ? m_fromDate : m_toDate;
        QHBoxLayout *row = dateRow(picker, tag == 0 ? m_fromButton : m_toButton, tag);
        form->addRow(TWLocalized(tag == 0 ? "exportFrom" : "exportTo"), row);
        // The label names its date when typed text is refused.
        if (auto *label = qobject_cast<QLabel *>(form->labelForField(row)))
            label->setBuddy(picker);
    }

    const auto table = [this](TWExportChoiceModel *&model, TWExportChoiceModel::Source source,
                              const QString &name) {
        model = new TWExportChoiceModel(std::move(source), this);
        connect(model, &TWExportChoiceModel::choicesChanged, this,
                [this] { updateExportButton(); });
        auto *view = new QTableView(m_view);
        view->setObjectName(name);
        view->setModel(model);
        view->horizontalHeader()->hide();
        view->horizontalHeader()->setStretchLastSection(true);
        view->verticalHeader()->hide();
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
        view->setShowGrid(false);
        view->setMinimumSize(200, 150);
        // A row is picked up to be dragged, never shown as selected.
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        QPalette palette = view->palette();
        palette.setColor(QPalette::Highlight, palette.color(QPalette::Base));
        palette.setColor(QPalette::HighlightedText, palette.color(QPalette::Text));
        view->setPalette(palette);
        return view;
    };
    m_itemsTable = table(m_itemsModel, itemsSource(), QStringLiteral("itemsTableView"));
    m_fieldsTable = table(m_fieldsModel, fieldsSource(), QStringLiteral("fieldsTableView"));
    m_fieldsTable->setDragEnabled(true);
    m_fieldsTable->setAcceptDrops(true);
    m_fieldsTable->setDropIndicatorShown(true);
    m_fieldsTable->setDragDropMode(QAbstractItemView::DragDrop);
    m_fieldsTable->setDefaultDropAction(Qt::MoveAction);
    m_fieldsTable->setDragDropOverwriteMode(false);

    auto *tables = new QHBoxLayout();
    for (const auto &[title, view] : {std::pair{itemsTitle(), m_itemsTable},
                                      std::pair{TWLocalized("exportColumns"), m_fieldsTable}}) {
        auto *column = new QVBoxLayout();
        column->addWidget(new QLabel(title, m_view));
        column->addWidget(view, 1);
        tables->addLayout(column, 1);
    }

    m_cancelButton = new QPushButton(TWLocalized("cancel"), m_view);
    m_exportButton = new QPushButton(TWLocalized("exportButton"), m_view);
    m_exportButton->setDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { doExport(0); });
    connect(m_exportButton, &QPushButton::clicked, this, [this] { doExport(1); });
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_exportButton);

    auto *layout = new QVBoxLayout(m_view);
    auto *title = new QLabel(m_view);
    title->setObjectName(QStringLiteral("titleLabel"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setText(sheetTitle());
    m_view->setWindowTitle(sheetTitle());
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addLayout(tables, 1);
    layout->addLayout(buttons);
    m_view->resize(580, 540);
}

void TWExportSheetController::reset()
{
    view();
    resetSettings();
    const std::uint32_t current = interval();
    if (current <= kCustomInterval)
        m_interval->selectItemWithTag(int(current));
    updateDateControls();
    reloadTables();
}

void TWExportSheetController::reloadTables()
{
    m_itemsModel->reload();
    m_fieldsModel->reload();
    updateExportButton();
}

void TWExportSheetController::updateExportButton()
{
    if (m_exportButton)
        m_exportButton->setEnabled(canExport());
}

void TWExportSheetController::updateDateControls()
{
    const std::uint32_t current = interval();
    const bool custom = current == kCustomInterval;
    for (QWidget *control :
         std::initializer_list<QWidget *>{m_fromDate, m_toDate, m_fromButton, m_toButton})
        control->setEnabled(custom);
    // Greyed, the fields show the days the export covers; the custom days
    // stay in the settings and come back with Custom.
    for (const int tag : {0, 1}) {
        QDateTime shown = intervalDate(tag);
        if (!custom) {
            const QDateTime used = tag == 0 ? TWUtilities::intervalFromDate(current, shown)
                                            : TWUtilities::intervalToDate(current, shown);
            if (used.isValid())
                shown = used;
        }
        QDateEdit *picker = tag == 0 ? m_fromDate : m_toDate;
        const QSignalBlocker blocker(picker);
        picker->setDate(shown.date());
    }
    // Black while they can be changed, grey otherwise.
    for (QDateEdit *picker : {m_fromDate, m_toDate}) {
        QPalette palette = picker->palette();
        palette.setColor(QPalette::Text, custom ? QColor(Qt::black) : QColor(Qt::gray));
        picker->setPalette(palette);
    }
}

void TWExportSheetController::doIntervalDateDisclosure(int tag)
{
    QToolButton *button = tag == 0 ? m_fromButton : m_toButton;
    if (!button->isChecked())
        return;
    if (!m_calendar)
        m_calendar = new TWCalendarController(this);
    m_calendar->setDate(intervalDate(tag));
    m_calendar->setShowTime(false);
    m_calendar->setTag(tag);
    m_calendar->setDelegate(this);
    m_calendar->showPopOver(button);
}

void TWExportSheetController::calendarDidSelectDate(const QDateTime &date,
                                                    TWCalendarController *controller)
{
    const qint64 tag = controller ? controller->tag() : -1;
    if (tag != 0 && tag != 1)
        return;
    setIntervalDate(int(tag), date);
    QDateEdit *picker = tag == 0 ? m_fromDate : m_toDate;
    {
        const QSignalBlocker blocker(picker);
        picker->setDate(date.date());
    }
    QToolButton *button = tag == 0 ? m_fromButton : m_toButton;
    button->setChecked(false);
    button->setEnabled(interval() == kCustomInterval);
}

bool TWExportSheetController::validate()
{
    if (interval() != kCustomInterval)
        return true;
    const QDateTime from = intervalDate(0);
    const QDateTime to = intervalDate(1);
    if (!from.isValid() || !to.isValid() || from.date() <= to.date())
        return true;
    twRunAlert(TWAlert{TWLocalized("exportInvalidDates"),
                       QString(),
                       {TWLocalized("ok")},
                       m_view ? m_view->window() : nullptr});
    return false;
}

void TWExportSheetController::doExport(int tag)
{
    // A date whose text was refused is mended before anything is checked or
    // written: the order of the dates shown is not the order typed.
    if (tag == 1 && twExplainFirstRefusedField(m_view))
        return;
    if (tag == 1 && !validate())
        return;
    const int code =
        sheetReturnCode(tag == 1 ? TWSheetResult::Confirmed : TWSheetResult::Cancelled);
    if (m_document)
        m_document->endSheet(m_view, code);
    emit endRequested(code);
    if (tag == 1)
        exportNow();
}

void TWExportSheetController::presentError(const TWError &error)
{
    emit errorPresented(error);
    if (m_document)
        m_document->presentError(error);
}

void TWExportSheetController::chooseLocationAndWrite(
    const QString &proposed, const QString &extension,
    std::function<TWErrorResult(const QString &path)> write)
{
    QPointer<TWExportSheetController> guard(this);
    QPointer<TWBusinessController> document(m_document);
    const auto done = [guard, document, write](const QString &path) {
        if (!guard || path.isEmpty())
            return;
        if (document)
            document->showProgress(true);
        const TWErrorResult error = write(path);
        // The progress sheet goes first, so that the error is not shown under it.
        if (document)
            document->showProgress(false);
        if (error)
            guard->presentError(*error);
    };
    QWidget *parent =
        m_document ? static_cast<QWidget *>(m_document->windowForSheet()) : m_view.data();
    if (saveLocation())
        saveLocation()(parent, proposed, done);
    else
        panelSaveLocation(parent, proposed, extension, done);
}
