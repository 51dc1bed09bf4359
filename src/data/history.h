#pragma once

#include <QString>

namespace tabel {

class Connection;

// The database's history of changes (accounts_dep.tabel_history, written by its triggers) for the
// writes that replace many rows at once: they add one line of their own instead of one per row.
// Both do nothing on a database that keeps no history.

// The rows written from now to the end of the current transaction add no line each.
void suppressRowHistory(Connection *connection);
// One line for a bulk change: the table, what was done ("rebuild", "import") and a note (the month or
// the row count).
void recordBulkChange(Connection *connection, const QString &table, const QString &action,
                      const QString &note);

} // namespace tabel
