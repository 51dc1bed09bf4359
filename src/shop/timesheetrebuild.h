#pragma once

#include <QString>

namespace tabel {

class Connection;

// The month of the time sheet computed anew from the production entries: for every worker and shift
// with entries in the month one row, each day's column the sum of that day's hours (an entry without
// hours counts 0), days without entries 0. One transaction under the month's lock taken exclusively
// (saves and deletions take it shared), so the month is rewritten whole or not at all and never
// interleaves with a posting.
void rebuildTimesheetMonth(Connection *connection, int year, int month);

// The one statement that writes the month's rows, for the rebuild and its benchmark.
QString timesheetMonthStatement(int year, int month);

} // namespace tabel
