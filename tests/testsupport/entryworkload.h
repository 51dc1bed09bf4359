#pragma once

#include "data/connection.h"

#include <QDate>
#include <QList>
#include <QString>

namespace tabel::test {

// Several clients saving, moving, deleting and saving again the same entries at once, each through
// EntryStore on its own connection, over a small shop so that they meet on the same workers, days
// and time sheet rows.
struct Workload
{
    QList<int> workers;
    QList<QPair<int, int>> operations; // operation, its product
    QList<QDate> dates;                // spread over two months
};

// Fills an empty shop database with the workload's workers and operations.
Workload makeWorkload(Connection &connection);

struct ClientResult
{
    int saved = 0, refused = 0, moved = 0, deleted = 0, failed = 0;
    QStringList failures; // what each failed action said
    ClientResult &operator+=(const ClientResult &o)
    {
        failures += o.failures;
        saved += o.saved;
        refused += o.refused;
        moved += o.moved;
        deleted += o.deleted;
        failed += o.failed;
        return *this;
    }
};

// One client: operations random actions from the seed, on a connection of its own.
ClientResult runClient(const Workload &w, Connection::Driver driver, const QString &connectionString,
                       int operations, quint32 seed);

// What the time sheet must never show: a day cell that is not the sum of that worker's hours of
// that shift and date, a second time sheet row of a worker, shift and month, two entries alike.
struct Mismatches
{
    qint64 cells = 0, rows = 0, duplicates = 0;
    qint64 total() const { return cells + rows + duplicates; }
};
Mismatches checkTimesheet(Connection &connection);

// The history's invariant: the entries' history lines after the given one (written while the
// entries table started empty), applied in order to an empty table, give exactly the entries table,
// every row and every field. Both as text, one row after another by id.
struct Replay
{
    QString fromHistory;
    QString entries;
    qint64 lines = 0;
};
qint64 lastHistoryLine(Connection &connection);
Replay replayEntries(Connection &connection, qint64 afterLine);

} // namespace tabel::test
