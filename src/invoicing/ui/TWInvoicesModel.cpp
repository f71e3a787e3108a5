#include "invoicing/ui/TWInvoicesModel.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"
#include "store/TWOwing.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace
{

constexpr int kLinkSize = 12;
constexpr int kTextMargin = 4;

QIcon linkIcon()
{
    static const QIcon icon = QIcon::fromTheme(
        QStringLiteral("go-jump"), QApplication::style()->standardIcon(QStyle::SP_ArrowRight));
    return icon;
}

} // namespace

TWInvoicesModel::TWInvoicesModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void TWInvoicesModel::setColumns(const QList<int> &tags)
{
    beginResetModel();
    m_columns = tags;
    endResetModel();
}

int TWInvoicesModel::columnOfTag(int tag) const
{
    return int(m_columns.indexOf(tag));
}

int TWInvoicesModel::tagOfColumn(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns.at(column) : -1;
}

void TWInvoicesModel::setRows(const TWInvoiceRowList &rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

const TWInvoiceRow *TWInvoicesModel::rowAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? &m_rows.at(row) : nullptr;
}

void TWInvoicesModel::refreshRow(int row)
{
    if (row < 0 || row >= m_rows.size() || !m_business)
        return;
    m_rows[row] = twInvoiceRow(m_rows.at(row).invoice, *m_business);
    if (!m_columns.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
}

void TWInvoicesModel::refreshRows()
{
    if (m_business) {
        const QDateTime dayEnd = TWDateAdditions::endOfDay();
        for (TWInvoiceRow &row : m_rows) {
            // Each invoice is read and summed in one go, while what it links to is at hand:
            // on a long list, a second pass finds none of it in the processor's cache.
            if (row.invoice) {
                twUpdateTransactions(*row.invoice, *m_business);
                // Figures made of the reading that still stands, on this day, are these.
                if (row.reading != 0 && row.dayEnd == dayEnd &&
                    TWDocumentReadScope::standingReading(*m_business, row.invoice->readings()) ==
                        row.reading)
                    continue;
            }
            row = twInvoiceRow(row.invoice, *m_business);
        }
    }
    redraw();
}

void TWInvoicesModel::redraw()
{
    if (!m_rows.isEmpty() && !m_columns.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, int(m_columns.size()) - 1));
}

int TWInvoicesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TWInvoicesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TWInvoicesModel::data(const QModelIndex &index, int role) const
{
    const TWInvoiceRow *row = index.isValid() ? rowAt(index.row()) : nullptr;
    const int tag = tagOfColumn(index.column());
    if (!row || !row->invoice || tag < 0)
        return {};
    const bool check = TWInvoiceColumns::isCheckBox(tag);
    switch (role) {
    case Qt::DisplayRole:
        return check ? QVariant() : QVariant(twInvoiceCellText(*row, tag));
    case Qt::ToolTipRole: {
        const QString tip = twInvoiceCellToolTip(*row, tag, m_business);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::CheckStateRole:
        if (!check)
            return {};
        return (tag == TWInvoiceColumnSent ? row->invoice->sent() : row->invoice->paid())
                   ? Qt::Checked
                   : Qt::Unchecked;
    case Qt::ForegroundRole: {
        if (check)
            return {};
        // Days overdue are red whatever the row's colour.
        if (tag == TWInvoiceColumnOverdue)
            return QColor(Qt::red);
        const QColor colour = twInvoiceRowColour(*row, TWPreferences::preferences());
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    case Qt::TextAlignmentRole:
        return int((TWInvoiceColumns::isRightAligned(tag) ? Qt::AlignRight : Qt::AlignLeft) |
                   Qt::AlignVCenter);
    case TagRole:
        return tag;
    default:
        return {};
    }
}

bool TWInvoicesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int tag = tagOfColumn(index.column());
    if (role != Qt::CheckStateRole || !rowAt(index.row()) || !TWInvoiceColumns::isCheckBox(tag))
        return false;
    if (checkboxToggled)
        checkboxToggled(index.row(), tag, value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TWInvoicesModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (TWInvoiceColumns::isCheckBox(tagOfColumn(index.column())))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant TWInvoicesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    const int tag = tagOfColumn(section);
    if (tag < 0)
        return {};
    if (role == Qt::DisplayRole)
        return TWLocalized(TWInvoiceColumns::columnIdentifier(tag));
    if (role == TagRole)
        return tag;
    return {};
}

// ---- Delegate ----

void TWInvoicesDelegate::initStyleOption(QStyleOptionViewItem *option,
                                         const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!(option->state & QStyle::State_Selected))
        return;
    const auto *view = qobject_cast<const QAbstractItemView *>(option->widget);
    const bool emphasised =
        view && (view->hasFocus() || view->isAncestorOf(QApplication::focusWidget()));
    if (emphasised) {
        option->palette.setColor(QPalette::HighlightedText, Qt::white);
        return;
    }
    // Without the focus the selection is quiet and the text keeps its colour.
    const QVariant foreground = index.data(Qt::ForegroundRole);
    const QColor text = foreground.canConvert<QColor>() ? foreground.value<QColor>()
                                                        : option->palette.color(QPalette::Text);
    option->palette.setColor(QPalette::HighlightedText, text);
    option->palette.setColor(QPalette::Highlight, option->palette.color(QPalette::Midlight));
}

QRect TWInvoicesDelegate::linkRect(const QStyleOptionViewItem &option, const QString &text)
{
    const QRect area = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
    const int textWidth = std::min(option.fontMetrics.horizontalAdvance(text),
                                   std::max(0, area.width() - kLinkSize - kTextMargin));
    return QRect(area.left() + textWidth + kTextMargin,
                 area.top() + (area.height() - kLinkSize) / 2, kLinkSize, kLinkSize);
}

void TWInvoicesDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    if (index.data(TWInvoicesModel::TagRole).toInt() != TWInvoiceColumnRepeat) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    if (text.isEmpty())
        return;
    const QRect link = linkRect(opt, text);
    const QRect textRect(opt.rect.left() + kTextMargin, opt.rect.top(),
                         link.left() - kTextMargin - opt.rect.left() - kTextMargin,
                         opt.rect.height());
    painter->save();
    const bool selected = opt.state & QStyle::State_Selected;
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                      opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
    linkIcon().paint(painter, link);
    painter->restore();
}

bool TWInvoicesDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                     const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        index.data(TWInvoicesModel::TagRole).toInt() == TWInvoiceColumnRepeat) {
        const QString text = index.data(Qt::DisplayRole).toString();
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!text.isEmpty() && mouse->button() == Qt::LeftButton &&
            linkRect(option, text).adjusted(-2, -2, 2, 2).contains(mouse->position().toPoint())) {
            emit repeatClicked(index.row());
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
