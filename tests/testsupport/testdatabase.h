#pragma once

#include "data/connection.h"

#include <QString>
#include <QVariant>

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
    TestDatabase();
    ~TestDatabase();

    QString name() const { return m_name; }
    Connection &connection() { return m_connection; }
    Connection::Driver driver() const;
    // The command line that starts the program on this database.
    QStringList arguments() const;

    // Opens the data module's connection on this database, with the driver of this run.
    void connectModule(DataModule &data);

    // Direct statements for arranging and checking data.
    void exec(const QString &sql);
    QVariant scalar(const QString &sql);
    // Loads the demo shop (small).
    void loadDemo();
    // Empties every table.
    void clear();

private:
    QString m_name;
    Connection m_connection;
};

} // namespace tabel::test
