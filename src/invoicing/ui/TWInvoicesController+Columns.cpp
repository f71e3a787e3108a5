// The invoice list's columns: the stored layout (order, visibility, widths,
// sort column and direction), the header menu, sorting, fitted widths and
// the cells' actions.

#include "invoicing/ui/TWInvoicesController.h"
#include "invoicing/ui/TWInvoicesModel.h"

#include "app/TWBusinessController.h"
#include "app/TWColumnWidths.h"
#include "app/TWMenus.h"

#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWOwing.h"

#include <QHeaderView>
#include <QMenu>
#include <QScopedValueRollback>

#include <cmath>

namespace
{

constexpr int kMinimumColumnWidth = 50;
constexpr int kFitPadding = 20;
// The width the store gives a column until the user drags it.
constexpr double kDefaultColumnWidth = 120.0;

QString identifierOf(const QVariant &entry)
{
    return entry.toMap().value(TWColumnSettingsIdentifierKey).toString();
}

} // namespace

QVariantList TWInvoicesController::fields() const
{
    return m_settings.value(TWColumnSettingsFieldsKey).toList();
}

void TWInvoicesController::loadSettings()
{
    m_settings =
        m_business
            ? m_business->columnSettings(TWColumnSettingsViewInvoices).value_or(QVariantMap())
            : QVariantMap();
    m_settingsLoaded = true;
    if (m_projects.size() > 1) {
        // Invoices of several projects name their client and project.
        QVariantList list = fields();
        for (QVariant &entry : list) {
            QVariantMap map = entry.toMap();
            const QString identifier = map.value(TWColumnSettingsIdentifierKey).toString();
            if (identifier == QLatin1String("client") || identifier == QLatin1String("project")) {
                map.insert(TWColumnSettingsVisibleKey, true);
                entry = map;
            }
        }
        m_settings.insert(TWColumnSettingsFieldsKey, list);
    }
}

std::optional<QVariantMap> TWInvoicesController::listSettings() const
{
    if (!m_settingsLoaded)
        return std::nullopt;
    return m_settings;
}

void TWInvoicesController::saveSettings()
{
    if (m_business && m_settingsLoaded)
        m_business->updateColumnSettings(TWColumnSettingsViewInvoices, m_settings);
}

void TWInvoicesController::updateColumns()
{
    if (!m_table)
        return;
    QList<int> tags;
    m_storedWidths.clear();
    m_draggedWidths.clear();
    for (const QVariant &entry : fields()) {
        const QVariantMap map = entry.toMap();
        const QString identifier = map.value(TWColumnSettingsIdentifierKey).toString();
        // An entry this list does not know (a newer file) stays in the
        // settings but shows nothing.
        if (TWInvoiceColumns::columnIdentifier(TWInvoiceColumns::columnTag(identifier)) !=
                identifier ||
            !map.value(TWColumnSettingsVisibleKey).toBool())
            continue;
        tags.append(TWInvoiceColumns::columnTag(identifier));
        const double width = map.value(TWColumnSettingsWidthKey, kDefaultColumnWidth).toDouble();
        m_storedWidths.append(std::max(kMinimumColumnWidth, int(std::lround(width))));
        // A width other than the default was set by the user.
        m_draggedWidths.append(width != kDefaultColumnWidth);
    }
    const QScopedValueRollback columnsGuard(m_updatingColumns, true);
    const QScopedValueRollback sortGuard(m_updatingSort, true);
    m_model->setColumns(tags);
    QHeaderView *header = m_table->horizontalHeader();
    for (int i = 0; i < tags.size(); ++i)
        if (header->visualIndex(i) != i)
            header->moveSection(header->visualIndex(i), i);
    fitColumns();
}

void TWInvoicesController::fitColumns()
{
    if (!m_table)
        return;
    const QScopedValueRollback columnsGuard(m_updatingColumns, true);
    QHeaderView *header = m_table->horizontalHeader();
    QList<TWColumnFit> fits;
    for (int i = 0; i < m_storedWidths.size(); ++i) {
        const int tag = m_model->tagOfColumn(i);
        // Dates, ticks and the repeat have content of a fixed size; the
        // texts give way before the amounts.
        const bool fixed = tag == TWInvoiceColumnDate || tag == TWInvoiceColumnDue ||
                           TWInvoiceColumns::isCheckBox(tag) || tag == TWInvoiceColumnRepeat;
        const bool amount = TWInvoiceColumns::isRightAligned(tag);
        const TWColumnFit::Kind kind = fixed    ? TWColumnFit::Fixed
                                       : amount ? TWColumnFit::Amount
                                                : TWColumnFit::Text;
        const int title =
            twHeaderTitleWidth(header, TWLocalized(TWInvoiceColumns::columnIdentifier(tag)),
                               header->sortIndicatorSection() == i);
        // What the cells need whole: a fixed column's content, and an
        // amount column's widest amount, which never gives way (an amount
        // cut short reads as another).
        int needed = 0;
        if (fixed || amount) {
            auto known = m_fixedFits.constFind(tag);
            if (known == m_fixedFits.constEnd())
                known = m_fixedFits.insert(tag, sizeToFitWidth(tag));
            needed = *known;
        }
        const int minimum = std::max({kMinimumColumnWidth, title, amount ? needed : 0});
        fits.append({m_storedWidths.at(i), minimum, kind, fixed ? needed : 0, m_draggedWidths.at(i),
                     amount ? needed : 0});
    }
    twFitColumns(m_table, fits);
}

int TWInvoicesController::sortTag() const
{
    if (!m_settings.contains(TWColumnSettingsSortFieldKey))
        return -1;
    return TWInvoiceColumns::columnTag(m_settings.value(TWColumnSettingsSortFieldKey).toString());
}

bool TWInvoicesController::sortAscending() const
{
    return m_settings.value(TWColumnSettingsSortDirectionKey).toUInt() == 0;
}

int TWInvoicesController::fieldColumn(int tag) const
{
    return m_model->columnOfTag(tag);
}

void TWInvoicesController::updateSortDescriptors()
{
    if (!m_table)
        return;
    const QScopedValueRollback guard(m_updatingSort, true);
    const int column = fieldColumn(sortTag());
    QHeaderView *header = m_table->horizontalHeader();
    header->setSortIndicatorShown(column >= 0);
    header->setSortIndicator(column, sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TWInvoicesController::sort()
{
    if (!m_table)
        return;
    TWInvoiceRowList rows;
    rows.reserve(m_invoices.size());
    if (m_business) {
        // Payment totals and each row's values once per listing.
        for (const TWInvoicePtr &invoice : std::as_const(m_invoices)) {
            twUpdateTransactions(*invoice, *m_business);
            rows.append(twInvoiceRow(invoice, *m_business));
        }
    }
    showSorted(rows);
    m_fixedFits.clear();
}

void TWInvoicesController::showSorted(TWInvoiceRowList rows)
{
    const int tag = sortTag();
    if (tag >= 0)
        twSortInvoiceRows(rows, tag, sortAscending());
    m_invoices.clear();
    for (const TWInvoiceRow &row : std::as_const(rows))
        m_invoices.append(row.invoice);
    const QScopedValueRollback guard(m_selectionIsChanging, true);
    m_table->clearSelection();
    m_selectedRows.clear();
    m_model->setRows(rows);
}

void TWInvoicesController::resort()
{
    if (!m_table)
        return;
    // The rows shown, in another order: no value, sum or payment changes. Only a selection
    // the sort ends gives the payments pane and the count lines other invoices.
    const bool hadSelection = !selectedRows().isEmpty();
    showSorted(m_model->rows());
    if (hadSelection)
        updateTransactions();
    updateInvoiceButtonsEnabled();
}

void TWInvoicesController::sortIndicatorChanged(int logical, Qt::SortOrder order)
{
    if (m_updatingSort)
        return;
    const int tag = m_model->tagOfColumn(logical);
    if (tag >= 0) {
        updateSortBy(tag, false);
        updateSortDirection(order == Qt::AscendingOrder, false);
    }
    resort();
}

void TWInvoicesController::updateSortBy(int tag, bool update)
{
    const QString identifier = TWInvoiceColumns::columnIdentifier(tag);
    if (identifier.isEmpty() || !m_settingsLoaded)
        return;
    m_settings.insert(TWColumnSettingsSortFieldKey, identifier);
    saveSettings();
    if (update) {
        updateSortDescriptors();
        resort();
    }
}

void TWInvoicesController::updateSortDirection(bool ascending, bool update)
{
    if (!m_settingsLoaded)
        return;
    m_settings.insert(TWColumnSettingsSortDirectionKey, QVariant::fromValue(ascending ? 0u : 1u));
    saveSettings();
    if (update) {
        updateSortDescriptors();
        resort();
    }
}

void TWInvoicesController::toggleFieldVisible(int tag)
{
    const QString identifier = TWInvoiceColumns::columnIdentifier(tag);
    if (identifier.isEmpty() || !m_settingsLoaded)
        return;
    QVariantList list = fields();
    for (QVariant &entry : list) {
        QVariantMap map = entry.toMap();
        if (map.value(TWColumnSettingsIdentifierKey).toString() == identifier) {
            map.insert(TWColumnSettingsVisibleKey, !map.value(TWColumnSettingsVisibleKey).toBool());
            entry = map;
        }
    }
    m_settings.insert(TWColumnSettingsFieldsKey, list);
    saveSettings();
    updateColumns();
    updateSortDescriptors();
}

void TWInvoicesController::sectionMoved()
{
    if (m_updatingColumns || !m_settingsLoaded)
        return;
    QHeaderView *header = m_table->horizontalHeader();
    QVariantList old = fields();
    QVariantList moved;
    for (int visual = 0; visual < header->count(); ++visual) {
        const QString identifier =
            TWInvoiceColumns::columnIdentifier(m_model->tagOfColumn(header->logicalIndex(visual)));
        for (int i = 0; i < old.size(); ++i)
            if (identifierOf(old.at(i)) == identifier) {
                moved.append(old.takeAt(i));
                break;
            }
    }
    // Hidden columns follow in their former order.
    moved.append(old);
    m_settings.insert(TWColumnSettingsFieldsKey, moved);
    saveSettings();
}

void TWInvoicesController::sectionResized(int logical, int size)
{
    if (m_updatingColumns || !m_settingsLoaded)
        return;
    // The user's width is kept exactly from now on.
    if (logical >= 0 && logical < m_storedWidths.size()) {
        m_storedWidths[logical] = size;
        m_draggedWidths[logical] = true;
    }
    const QString identifier = TWInvoiceColumns::columnIdentifier(m_model->tagOfColumn(logical));
    QVariantList list = fields();
    for (QVariant &entry : list) {
        QVariantMap map = entry.toMap();
        if (map.value(TWColumnSettingsIdentifierKey).toString() == identifier) {
            map.insert(TWColumnSettingsWidthKey, double(size));
            entry = map;
        }
    }
    m_settings.insert(TWColumnSettingsFieldsKey, list);
    saveSettings();
}

QList<TWListMenuItem> TWInvoicesController::fieldMenuItems(TWAction action) const
{
    QList<TWListMenuItem> items;
    for (const int tag : TWInvoiceColumns::menuOrder()) {
        const QString identifier = TWInvoiceColumns::columnIdentifier(tag);
        items.append({TWLocalized(identifier), action, tag, identifier});
    }
    return items;
}

void TWInvoicesController::updateHeaderMenu()
{
    if (!m_headerMenu)
        return;
    TWHeaderMenuHooks hooks;
    hooks.fieldVisible = [this](int tag) { return fieldColumn(tag) >= 0; };
    hooks.sortTag = [this] { return sortTag(); };
    hooks.ascending = [this] { return sortAscending(); };
    hooks.toggleField = [this](int tag) { toggleFieldVisible(tag); };
    hooks.sortBy = [this](int tag) { updateSortBy(tag, true); };
    hooks.sortDirection = [this](bool ascending) { updateSortDirection(ascending, true); };
    twFillHeaderMenu(m_headerMenu, this, fieldMenuItems(TWAction::doColumnClientInvoice),
                     fieldMenuItems(TWAction::doSortByClientInvoice), hooks);
}

int TWInvoicesController::sizeToFitWidth(int tag) const
{
    const QString title = TWLocalized(TWInvoiceColumns::columnIdentifier(tag));
    int width = kMinimumColumnWidth;
    if (m_table && !title.isEmpty())
        width =
            std::max(width, m_table->horizontalHeader()->fontMetrics().horizontalAdvance(title) +
                                kFitPadding);
    const TWInvoiceRowList &rows = m_model->rows();
    if (rows.isEmpty() || !m_table)
        return width;
    switch (tag) {
    case TWInvoiceColumnDate:
    case TWInvoiceColumnDue:
        return std::max(80, width);
    case TWInvoiceColumnSent:
        return std::max(65, width);
    case TWInvoiceColumnPaid:
        return std::max(45, width);
    default:
        break;
    }
    const QFontMetrics metrics = m_table->fontMetrics();
    const int padding = tag == TWInvoiceColumnRepeat ? 2 * kFitPadding : kFitPadding;
    for (const TWInvoiceRow &row : rows) {
        if (tag == TWInvoiceColumnOverdue && !row.overdue)
            continue;
        width = std::max(width, metrics.horizontalAdvance(twInvoiceCellText(row, tag)) + padding);
    }
    return width;
}

QColor TWInvoicesController::invoiceColour(int row) const
{
    const TWInvoiceRow *values = m_model->rowAt(row);
    return values ? twInvoiceRowColour(*values, TWPreferences::preferences()) : QColor();
}

void TWInvoicesController::doCheckbox(int row, int tag, bool on)
{
    const TWInvoiceRow *values = m_model->rowAt(row);
    if (!values || !values->invoice || !m_business)
        return;
    const TWInvoicePtr invoice = values->invoice;
    if (tag != TWInvoiceColumnSent && tag != TWInvoiceColumnPaid) {
        changed();
        return;
    }
    const bool sent = invoice->sent();
    const bool paid = invoice->paid();
    if (tag == TWInvoiceColumnSent)
        invoice->setSent(on);
    else
        invoice->setPaid(on);
    if (TWErrorResult error = m_business->updateInvoice(invoice, true)) {
        // The row shows what is stored, not the refused mark.
        invoice->setSent(sent);
        invoice->setPaid(paid);
        presentError(
            TWError(QStringLiteral("Tallyworth Invoice Error"), -1, error->localizedDescription()));
    } else {
        changed();
    }
    m_model->refreshRow(row);
}

void TWInvoicesController::doRepeatButton(int row)
{
    const TWInvoiceRow *values = m_model->rowAt(row);
    if (values && values->repeat && m_document)
        m_document->showRepeat(values->repeat);
}
