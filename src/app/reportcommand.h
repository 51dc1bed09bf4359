#pragma once

#include <QStringList>

namespace tabel {

// The reports without a window (for cron at the month's end):
//   tabel [DATABASE SERVER] --report NAME --from DD.MM.YYYY --to DD.MM.YYYY
//         [--kind all|finished|blanks] --pdf FILE | --xlsx FILE
//   tabel [DATABASE SERVER] --report timesheet --month M --year YYYY --pdf FILE | --xlsx FILE
// NAME: workers, products, workers-detail, products-detail, pay-statements [--worker ID]; --xlsx
// for products is the report dialog's export. A file is written whole or not at all (to a temporary name
// beside it, then renamed). Progress lines on stderr; exit 0 when written, 1 with the reason on stderr.
bool isReportCommand(const QStringList &arguments);
int runReportCommand(const QStringList &arguments);

} // namespace tabel
