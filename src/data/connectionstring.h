#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace tabel {

// The connection string of the shop's database, piece by piece as the program has always sent it to
// the PostgreSQL ODBC driver; the port and the SSL mode as the settings give them.
QString connectionString(const QString &database, const QString &server, int port = 5432,
                         const QString &sslMode = QStringLiteral("allow"));

// The string used without a server on the command line.
QString builtInConnectionString();
QString builtInServer();

// The settings files, read in this order, each key from the first that has it (INI: server, port,
// database, driver = odbc | native, sslmode): the user's ~/.config/tabel/tabel.conf, then the
// machine's /etc/tabel/tabel.conf (TABEL_SYSTEM_CONFIG names another, for tests).
QStringList settingsFiles();
// Every key of the settings files, lower-cased ("server", "warnings/day_hours"), each from the first
// file that has it, its value trimmed.
QMap<QString, QString> settingsValues();

// Where the program connects: the positional command line (1 database name, 2 server address;
// position 1 counts only with a non-empty position 2; arguments starting with "--" are options, not
// positions), else the settings files, else the built-in database and server.
struct CommandLine
{
    QString database;
    QString server;
    int port = 5432;
    QString sslMode = QStringLiteral("allow");
    bool nativeDriver = false; // --native, or driver = native: libpq (QPSQL) instead of ODBC
    QString connectionString() const;
    // [reports] server, port, database of the settings: where reports read (a read-only standby);
    // a key not given is the primary's. Both empty when the settings name no report server.
    QString reportsServer, reportsDatabase;
    int reportsPort = 0;
    QString reportsConnectionString() const;
    QString reportsSource() const; // "10.0.0.2" or "10.0.0.2/shop"; empty: the primary
};
CommandLine parseCommandLine(const QStringList &arguments);

// KEY=value pairs of a connection string, keys upper-cased; used to hand the same settings to the
// native driver.
QMap<QString, QString> connectionStringPairs(const QString &connectionString);

} // namespace tabel
