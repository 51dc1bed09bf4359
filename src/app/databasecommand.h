#pragma once

#include <QStringList>

namespace tabel {

// The administrator's commands, run without a window:
//   tabel [DATABASE SERVER] --check-database     what the database lacks for this version; exit 0
//                                                 when nothing, 1 otherwise (nothing is changed)
//   tabel [DATABASE SERVER] --prepare-database   applies what is missing; exit 0 when ready
// Both reach the database through libpq, whatever the driver setting.
bool isDatabaseCommand(const QStringList &arguments);
int runDatabaseCommand(const QStringList &arguments);

// tabel --help, tabel --version.
bool isInfoCommand(const QStringList &arguments);
int runInfoCommand(const QStringList &arguments);

} // namespace tabel
