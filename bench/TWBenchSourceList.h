#pragma once
// The source list's totals phase of tw-bench: every row's detail text and
// colour for a business, computed the way the list refreshes them.

class TWBusiness;

// Builds the list's tree once, then times refreshing every amount and reading
// each row's text and colour; the milliseconds of the refresh.
long long twBenchSourceListTotals(TWBusiness &business, long long *rows = nullptr);
