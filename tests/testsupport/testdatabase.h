#pragma once

#include "data/connection.h"

#include <QString>
#include <QVariant>

#include <memory>

class QProcess;

namespace tabel {
class DataModule;
}

namespace tabel::test {

// A fresh database for one test program, copied from the template that holds the schema, and dropped
// afterwards. Connects through ODBC with the program's own connection string, or through libpq when
// TABEL_TEST_DRIVER=native.
class TestDatabase
{
public:
    // From the template that holds the whole schema, or, with Start::BaseTables, a shop's database as
    // it is before the program's changes (sql/base.sql alone).
    enum class Start { Template, BaseTables };
    explicit TestDatabase(Start start = Start::Template);
    ~TestDatabase();

    QString name() const { return m_name; }
    Connection &connection() { return m_connection; }
    Connection::Driver driver() const;
    // The command line that starts the program on this database.
    QStringList arguments() const;

    // Opens the data module's connection on this database, with the driver of this run.
    void connectModule(DataModule &data);

    // The schema as pg_dump --schema-only prints it, without its comments, settings lines and the
    // random key of its restrict lines.
    QString schemaDump();

    // Direct statements for arranging and checking data.
    void exec(const QString &sql);
    QVariant scalar(const QString &sql);
    // Runs an SQL script through psql in a session of its own, without waiting for it: another
    // client holding a lock while the program's own connection waits on it.
    std::unique_ptr<QProcess> startScript(const QString &sql);
    // Waits until some session of this database holds the advisory lock {space, key}; false when none
    // does within ten seconds.
    bool waitForLockHolder(int space, int key);
    // Loads the demo shop (small).
    void loadDemo();
    // Empties every table.
    void clear();

private:
    QString m_name;
    Connection m_connection;
};

} // namespace tabel::test
