#pragma once

class QTableView;

// The ledger's lists (fields, choices, autofill, repeats, units, values,
// accounting periods) show one line of text per row. The style's default row
// is nearly twice a line's height, which shows half as many rows as the
// register beside them; this gives them a single-line row, eliding the rest.
void twUseSingleLineRows(QTableView *table);
