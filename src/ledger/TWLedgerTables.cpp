#include "ledger/TWLedgerTables.h"

#include <QHeaderView>
#include <QTableView>

#include <algorithm>

void twUseSingleLineRows(QTableView *table)
{
    if (!table)
        return;
    table->setWordWrap(false);
    // Room for the text and for a check box, whichever is taller.
    const int height = std::max(table->fontMetrics().height() + 8, 22);
    table->verticalHeader()->setMinimumSectionSize(std::min(height, 18));
    table->verticalHeader()->setDefaultSectionSize(height);
}
