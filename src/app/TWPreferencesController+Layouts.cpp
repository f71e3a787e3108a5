// The layouts pane: the table of invoice layouts, sorting, import, export and delete.

#include "app/TWAlert.h"
#include "app/TWPackageFileDialog.h"
#include "app/TWPreferencesController.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWSaveFile.h"
#include "model/TWFormatter.h"
#include "model/TWLayoutManager.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>

// The rows of the layouts table: name and kind of each layout of the controller's list.
class TWLayoutTableModel final : public QAbstractTableModel
{
public:
    explicit TWLayoutTableModel(const TWLayoutList *layouts, QObject *parent)
        : QAbstractTableModel(parent), m_layouts(layouts)
    {
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_layouts->size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_layouts->size())
            return {};
        const TWLayoutPtr &layout = m_layouts->at(index.row());
        return index.column() == 0 ? layout->name()
                                   : TWFormatter::formatter().layoutKindString(layout->kind());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return TWLocalized(section == 0 ? "name" : "type");
    }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const TWLayoutList *m_layouts;
};

namespace
{

// The delete key in the table asks to delete the selected layout.
class DeleteKeyFilter final : public QObject
{
public:
    DeleteKeyFilter(std::function<bool()> onDelete, QObject *parent)
        : QObject(parent), m_onDelete(std::move(onDelete))
    {
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && m_onDelete())
                return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_onDelete;
};

TWError exportError(const QString &path, int code)
{
    return TWError(
        QStringLiteral("File System Error"), code,
        TWLocalized("layoutCannotCopy").arg(path, QString::fromLocal8Bit(std::strerror(code))));
}

} // namespace

QWidget *TWPreferencesController::makeLayoutsPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("layoutsView"));
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(20, 16, 20, 16);

    m_layoutsModel = new TWLayoutTableModel(&m_layouts, this);
    m_layoutsTable = new QTableView(pane);
    m_layoutsTable->setObjectName(QStringLiteral("layoutsTable"));
    m_layoutsTable->setModel(m_layoutsModel);
    m_layoutsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_layoutsTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_layoutsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_layoutsTable->setAlternatingRowColors(true);
    m_layoutsTable->verticalHeader()->hide();
    m_layoutsTable->verticalHeader()->setDefaultSectionSize(22);
    m_layoutsTable->setShowGrid(false);
    QHeaderView *header = m_layoutsTable->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Fixed);
    header->resizeSection(1, 120);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(0, Qt::AscendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) { sortLayouts(column, order); });
    connect(m_layoutsTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateLayoutButtons(); });
    m_layoutsTable->installEventFilter(
        new DeleteKeyFilter([this] { return tableViewDelete(); }, m_layoutsTable));
    m_layoutsTable->setMinimumSize(420, 240);

    m_importExportButton = new QToolButton(pane);
    m_importExportButton->setObjectName(QStringLiteral("importExportButton"));
    m_importExportButton->setText(TWLocalized("prefsImportExport"));
    m_importExportButton->setPopupMode(QToolButton::InstantPopup);
    m_importExportButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto *menu = new QMenu(m_importExportButton);
    m_importItem = menu->addAction(TWLocalized("prefsImportLayout"));
    m_importItem->setData(1);
    m_exportItem = menu->addAction(TWLocalized("prefsExportLayout"));
    m_exportItem->setData(2);
    m_importExportButton->setMenu(menu);
    connect(m_importItem, &QAction::triggered, this, [this] {
        QPointer<TWPreferencesController> guard(this);
        TWPackageFileDialog::ask(
            TWPackageFileDialog::Purpose::OpenFile, m_window, TWLocalized("selectLayoutFile"),
            QString(), {TWLocalized("prefsLayoutFilter") + QStringLiteral(" (*.twlayout)")},
            [guard](const QStringList &files) {
                if (guard && !files.isEmpty())
                    guard->importLayoutFile(files.first());
            });
    });
    connect(m_exportItem, &QAction::triggered, this, [this] {
        const TWLayoutPtr layout = selectedLayout();
        if (!layout)
            return;
        QPointer<TWPreferencesController> guard(this);
        TWPackageFileDialog::ask(TWPackageFileDialog::Purpose::SaveFile, m_window, QString(),
                                 QFileInfo(layout->path()).fileName(), {},
                                 [guard](const QStringList &files) {
                                     if (guard && !files.isEmpty())
                                         guard->exportLayoutTo(files.first());
                                 });
    });

    m_deleteLayoutButton = new QPushButton(TWLocalized("deleteLayout"), pane);
    m_deleteLayoutButton->setObjectName(QStringLiteral("deleteLayoutButton"));
    connect(m_deleteLayoutButton, &QPushButton::clicked, this, [this] { doButton(0); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_importExportButton);
    buttons->addStretch();
    buttons->addWidget(m_deleteLayoutButton);
    layout->addWidget(m_layoutsTable);
    layout->addLayout(buttons);
    updateLayouts();
    return pane;
}

void TWPreferencesController::updateLayouts()
{
    m_layouts = m_layoutManager->layouts();
    const QHeaderView *header = m_layoutsTable->horizontalHeader();
    sortLayouts(header->sortIndicatorSection(), header->sortIndicatorOrder());
}

void TWPreferencesController::sortLayouts(int column, Qt::SortOrder order)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    if (column == 1) {
        std::stable_sort(m_layouts.begin(), m_layouts.end(),
                         [&formatter](const TWLayoutPtr &a, const TWLayoutPtr &b) {
                             return formatter.layoutKindString(a->kind()) <
                                    formatter.layoutKindString(b->kind());
                         });
    } else if (column == 0) {
        // A layout without a name comes before one with a name.
        std::stable_sort(m_layouts.begin(), m_layouts.end(),
                         [](const TWLayoutPtr &a, const TWLayoutPtr &b) {
                             if (a->name().isEmpty() != b->name().isEmpty())
                                 return a->name().isEmpty();
                             return a->name().localeAwareCompare(b->name()) < 0;
                         });
    }
    if (column >= 0 && order == Qt::DescendingOrder)
        std::reverse(m_layouts.begin(), m_layouts.end());
    m_layoutsTable->clearSelection();
    m_layoutsModel->reload();
    updateLayoutButtons();
}

TWLayoutPtr TWPreferencesController::selectedLayout() const
{
    const QModelIndexList rows = m_layoutsTable->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    return m_layouts.value(rows.constFirst().row());
}

void TWPreferencesController::selectLayout(int row)
{
    m_layoutsTable->selectRow(row);
    updateLayoutButtons();
}

void TWPreferencesController::updateLayoutButtons()
{
    const TWLayoutPtr layout = selectedLayout();
    m_deleteLayoutButton->setEnabled(layout && layout->kind() == 1);
    m_exportItem->setEnabled(layout != nullptr);
}

void TWPreferencesController::importLayoutFile(const QString &path)
{
    if (path.isEmpty())
        return;
    const TWLayoutPtr layout = TWLayout::layoutWithPath(path, 0, 1);
    if (TWErrorResult error = layout->validate()) {
        showError(*error);
        return;
    }
    if (TWErrorResult error = m_layoutManager->addLayout(layout)) {
        showError(*error);
        return;
    }
    updateLayouts();
}

void TWPreferencesController::exportLayoutTo(const QString &path)
{
    const TWLayoutPtr layout = selectedLayout();
    if (!layout || path.isEmpty())
        return;
    // The save panel has asked before replacing a file: the copy goes to a temporary file
    // beside the target and is renamed over it, so a failure leaves the old file whole.
    QFile source(layout->path());
    if (!source.open(QIODevice::ReadOnly)) {
        showError(exportError(layout->path(), ENOENT));
        return;
    }
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly)) {
        showError(exportError(path, EACCES));
        return;
    }
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError) {
            target.cancelWriting();
            showError(exportError(layout->path(), EIO));
            return;
        }
        if (target.write(chunk) != chunk.size()) {
            target.cancelWriting();
            showError(exportError(path, ENOSPC));
            return;
        }
    }
    if (twCommitSaveFile(target))
        showError(exportError(path, EIO));
}

bool TWPreferencesController::tableViewDelete()
{
    const TWLayoutPtr layout = selectedLayout();
    if (!layout || layout->kind() != 1)
        return false;
    deleteSelectedLayout();
    return true;
}

void TWPreferencesController::deleteSelectedLayout()
{
    const TWLayoutPtr layout = selectedLayout();
    if (!layout || layout->kind() != 1)
        return;
    TWAlert alert;
    alert.message = TWLocalized("deleteLayoutMessage");
    alert.buttons = {TWLocalized("deleteLayout"), TWLocalized("cancel")};
    alert.window = m_window;
    QPointer<TWPreferencesController> guarded(this);
    twRunAlert(alert, [guarded, layout](int code) {
        if (!guarded || code != 1000)
            return;
        guarded->m_layoutManager->deleteLayout(layout);
        guarded->updateLayouts();
    });
}
