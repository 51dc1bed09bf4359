#pragma once

#include <QSqlDatabase>
#include <QString>

namespace tabel {

// The one database connection a client works on. The same statements run over ODBC (the default,
// with the shop's connection string) or over libpq, which takes its settings from the same string.
class Connection
{
public:
    enum class Driver { Odbc, Native };

    explicit Connection(const QString &name = QStringLiteral("ADO_DB"));
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionString(const QString &connectionString) { m_connectionString = connectionString; }
    QString connectionString() const { return m_connectionString; }
    void setDriver(Driver driver) { m_driver = driver; }
    Driver driver() const { return m_driver; }

    // Throws DataError with the driver's message when the driver, server or credentials fail.
    void open();
    void close();
    bool isOpen() const;

    // Statement bookkeeping for a connection the server may drop (a restart, an administrator, the
    // network). A dropped connection is found after the statement that met it failed, reported once
    // by that statement's error, and reopened with the same string and session settings before the
    // next statement. Inside a transaction nothing is reopened: the transaction is gone with it.
    void beforeStatement();
    void statementFailed();
    bool isLost() const { return m_lost; }
    bool inTransaction() const { return m_transactionDepth > 0; }
    void transactionStarted() { ++m_transactionDepth; }
    void transactionEnded();

    QSqlDatabase database() const;
    QString name() const { return m_name; }
    // Changes at every opening: statements prepared before it are void.
    int generation() const { return m_generation; }

private:
    QString m_name;
    QString m_connectionString;
    Driver m_driver = Driver::Odbc;
    int m_generation = 0;
    int m_transactionDepth = 0;
    bool m_lost = false;
    bool m_suspect = false;

    void probe();
    void applySessionSettings();
};

} // namespace tabel
