#pragma once

#include <QMap>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <set>

namespace tabel {

class DataError;
class PreparedStatement;

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
    // A setting of the session (set_config: who the program's user is, for the database's history),
    // set at once when open and again after every reconnection.
    void setSessionValue(const QString &name, const QString &value);
    bool isOpen() const;

    // Statement bookkeeping for a connection the server may drop (a restart, an administrator, the
    // network). A dropped connection is found after the statement that met it failed, reported once
    // by that statement's error, and reopened with the same string and session settings before the
    // next statement. Inside a transaction nothing is reopened: the transaction is gone with it.
    void beforeStatement();
    void statementFailed();
    // Looks whether the connection is still there (outside a transaction) and reopens it if not.
    void check();
    // The error to throw for a statement that failed with the server's text: statementFailed(), and
    // when that found the connection gone, the program's own sentence with the server's text below.
    DataError failure(const QString &serverText);
    bool isLost() const { return m_lost; }
    bool inTransaction() const { return m_transactionDepth > 0; }
    // A statement failed inside the transaction: the server has aborted it, whatever the driver
    // answers to a later commit.
    bool transactionFailed() const { return m_transactionFailed; }
    void transactionStarted();
    void transactionEnded();

    // Statements prepared on this connection; they are let go before it is reopened, so that none
    // is freed later on the new connection (inside a transaction that would abort it).
    using PreparedSet = std::set<PreparedStatement *>;
    std::weak_ptr<PreparedSet> preparedStatements() const { return m_prepared; }

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
    bool m_transactionFailed = false;
    std::shared_ptr<PreparedSet> m_prepared = std::make_shared<PreparedSet>();
    QMap<QString, QString> m_sessionValues;

    void probe();
    bool driverSaysDead() const;
    void releasePrepared();
    void applySessionSettings();
    static void requestStandardStrings();
};

} // namespace tabel
