#include "app/TWSplitPanes.h"

#include <QEvent>
#include <QHeaderView>
#include <QLayout>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>

#include <algorithm>

namespace TWSplitPanes
{

Heights share(int total, int wanted, int minimumFirst, int minimumSecond)
{
    total = std::max(total, 0);
    minimumFirst = std::max(minimumFirst, 0);
    minimumSecond = std::max(minimumSecond, 0);
    const qint64 needed = qint64(minimumFirst) + minimumSecond;
    if (total >= needed) {
        const int first = std::clamp(wanted, minimumFirst, total - minimumSecond);
        return {first, total - first};
    }
    // Too little for both: each pane is short by the same part of its need.
    const int second = int(qint64(total) * minimumSecond / needed);
    return {total - second, second};
}

int listHeight(const QAbstractItemView *list, int rows)
{
    if (!list)
        return 0;
    int header = 0;
    int row = list->fontMetrics().height() + 6;
    if (const auto *table = qobject_cast<const QTableView *>(list)) {
        // A header without columns yet measures nothing: a title's height
        // in its font and style is what any title will take.
        if (const QHeaderView *titles = table->horizontalHeader(); !titles->isHidden()) {
            QStyleOptionHeader option;
            option.initFrom(titles);
            option.text = QStringLiteral("Xg");
            header =
                std::max(titles->sizeHint().height(),
                         titles->style()
                             ->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), titles)
                             .height());
        }
        row = table->verticalHeader()->defaultSectionSize();
    }
    const int scrollBar =
        list->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff
            ? 0
            : list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    return header + rows * row + 2 * list->frameWidth() + scrollBar;
}

} // namespace TWSplitPanes

TWSplitDivider::TWSplitDivider(QSplitter *splitter, Measured measured, std::function<double()> load,
                               std::function<void(double)> store)
    : QObject(splitter), m_splitter(splitter), m_measured(measured), m_load(std::move(load)),
      m_store(std::move(store))
{
    m_splitter->installEventFilter(this);
    // Only the user's own moves are remembered.
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        if (!m_restored || m_placing || !m_store || m_splitter->count() < 2)
            return;
        const int pane = m_measured == Measured::First ? 0 : 1;
        m_store(double(m_splitter->sizes().value(pane)));
    });
}

void TWSplitDivider::keepRows(const QList<QAbstractItemView *> &lists)
{
    for (QAbstractItemView *list : lists)
        if (list && !m_lists.contains(list))
            m_lists.append(list);
    updateMinimums();
}

void TWSplitDivider::setFloor(int floor)
{
    m_floor = floor;
    updateMinimums();
}

int TWSplitDivider::minimumHeight(int pane) const
{
    const QWidget *widget = m_splitter->widget(pane);
    return widget ? widget->minimumHeight() : 0;
}

void TWSplitDivider::updateMinimums()
{
    // The lists first: the panes' own least heights are laid out from them.
    for (QAbstractItemView *list : std::as_const(m_lists))
        list->setMinimumHeight(TWSplitPanes::listHeight(list));
    for (int pane = 0; pane < std::min(m_splitter->count(), 2); ++pane) {
        QWidget *widget = m_splitter->widget(pane);
        // Layouts not shown yet keep what they measured before.
        for (QLayout *layout : widget->findChildren<QLayout *>())
            layout->invalidate();
        int least = std::max(m_floor, widget->minimumSizeHint().height());
        if (auto *list = qobject_cast<QAbstractItemView *>(widget); m_lists.contains(list))
            least = std::max(least, TWSplitPanes::listHeight(list));
        widget->setMinimumHeight(least);
    }
}

bool TWSplitDivider::laidOut() const
{
    return m_splitter->isVisible() && m_splitter->height() > m_splitter->handleWidth();
}

void TWSplitDivider::restore()
{
    updateMinimums();
    // A splitter not shown yet has a made-up height: placed from it, the
    // divider would be wherever that put it.
    if (!laidOut()) {
        m_pending = true;
        return;
    }
    place();
}

void TWSplitDivider::place()
{
    if (m_splitter->count() < 2)
        return;
    const QScopedValueRollback guard(m_placing, true);
    m_pending = false;
    const int total = m_splitter->height() - m_splitter->handleWidth();
    const int stored = int(m_load ? m_load() : 0.0);
    const int wanted = m_measured == Measured::First ? stored : total - stored;
    const TWSplitPanes::Heights heights =
        TWSplitPanes::share(total, wanted, minimumHeight(0), minimumHeight(1));
    m_splitter->setSizes({heights.first, heights.second});
    m_restored = true;
}

bool TWSplitDivider::eventFilter(QObject *watched, QEvent *event)
{
    // Placed when first shown with a height, and again at every new height:
    // the remembered pane keeps its height as far as the others allow.
    if (watched == m_splitter && (m_pending || m_restored) && !m_placing &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show) && laidOut()) {
        if (event->type() == QEvent::Show)
            updateMinimums();
        place();
    }
    return QObject::eventFilter(watched, event);
}
