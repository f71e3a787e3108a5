#pragma once

// SQLite's page cache, with one thing added for databases held wholly in
// memory: it knows which pages it holds, so that the end of each SQL
// transaction does not walk the whole cache looking for pages past the end of
// the database that are not there.
//
// Why: when an insert splits a b-tree page, SQLite puts the new pages in order
// by swapping their numbers through a spare number past the one-gigabyte lock
// page. Its page cache then believes pages may lie that far out, and the next
// end of a transaction visits every one of its buckets to drop them: for a
// working copy of a million transactions, about half the time of adding one.
//
// Installed once, before SQLite is first used; if SQLite was started before
// (by other code), SQLite's own page cache stays and everything works as
// before, only slower.
namespace TWSQLitePageCache
{

// Installs the cache; safe to call from every place that opens a connection.
// Returns whether it is in use.
bool install();

} // namespace TWSQLitePageCache
