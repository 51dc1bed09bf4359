#pragma once

#include <QStringList>

namespace tabel {

// "tabel [DATABASE SERVER] --import": the legacy import without a window, for an administrator
// moving a shop's data. Prints the status lines; answers the process's exit code (0 when every
// table was imported).
//   --legacy-source=TEXT   the legacy ODBC data source ("Tabel", extra keywords may follow)
//   --target-source=TEXT   the target ODBC data source ("Tabel_PgSQL;UID=sys")
//   --entries-from-legacy  read the entries from the legacy source, not the program's connection
bool isImportCommand(const QStringList &arguments);
int runImportCommand(const QStringList &arguments);

} // namespace tabel
