#pragma once

#include "reportengine/document.h"

#include <QString>

#include <functional>

class QObject;

namespace tabel {

class Connection;
class Dataset;
class Workbook;

// The month's time sheet as it prints and exports, from its window and from the command line.

// "Январь" … "Декабрь", as the window's month list names them.
QString timesheetMonthName(int month);
// The query both read (the three shifts' rows of a month), not open.
Dataset *newTimesheetPrintQuery(Connection *connection, QObject *parent);
// Opens the query on the month, prepares the pages and closes it again on every path.
report::Document prepareTimesheetReport(Dataset *print, int year, int month);
// Opens the query on the month and writes its sheet: the heading, one row per worker and shift with
// the 31 days and the total; progress gets rows written and their count. Closes it again.
void writeTimesheetSheet(Workbook &book, Dataset *print, int year, int month,
                         const std::function<void(int, int)> &progress = {});

} // namespace tabel
