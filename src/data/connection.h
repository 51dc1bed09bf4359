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

    QSqlDatabase database() const;
    QString name() const { return m_name; }
    // Changes at every opening: statements prepared before it are void.
    int generation() const { return m_generation; }

private:
    QString m_name;
    QString m_connectionString;
    Driver m_driver = Driver::Odbc;
    int m_generation = 0;
};

} // namespace tabel
