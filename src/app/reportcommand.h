#pragma once

#include <QStringList>

namespace tabel {

// The period reports without a window (for cron at the month's end):
//   tabel [DATABASE SERVER] --report NAME --from DD.MM.YYYY --to DD.MM.YYYY
//         [--kind all|finished|blanks] --pdf FILE
// NAME: workers, products, workers-detail, products-detail. The file is written whole or not at all
// (to a temporary name beside it, then renamed). Exit 0 when written, 1 with the reason on stderr.
bool isReportCommand(const QStringList &arguments);
int runReportCommand(const QStringList &arguments);

} // namespace tabel
