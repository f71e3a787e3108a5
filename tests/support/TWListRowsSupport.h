#pragma once
// What a list shows of itself in the space it was given: its header whole
// and how many whole rows fit under it (views split in panes keep three).

#include <QHeaderView>
#include <QTableView>

inline int twWholeRowsInView(const QTableView *table)
{
    const int row = table->verticalHeader()->defaultSectionSize();
    return row > 0 ? table->viewport()->height() / row : 0;
}

inline bool twHeaderWhole(const QTableView *table)
{
    const QHeaderView *header = table->horizontalHeader();
    return header->isVisible() && header->height() >= header->sizeHint().height();
}
