#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace tabel {

// The connection string of the shop's database, piece by piece as the program has always sent it to
// the PostgreSQL ODBC driver.
QString connectionString(const QString &database, const QString &server);

// The string used without a server on the command line.
QString builtInConnectionString();
QString builtInServer();

// The positional command line: 1 database name, 2 server address. Position 1 counts only with a
// non-empty position 2. Arguments starting with "--" are options, not positions.
struct CommandLine
{
    QString database;
    QString server;
    bool nativeDriver = false; // --native: libpq (QPSQL) instead of ODBC
    QString connectionString() const;
};
CommandLine parseCommandLine(const QStringList &arguments);

// KEY=value pairs of a connection string, keys upper-cased; used to hand the same settings to the
// native driver.
QMap<QString, QString> connectionStringPairs(const QString &connectionString);

} // namespace tabel
