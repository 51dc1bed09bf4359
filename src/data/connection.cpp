#include "connection.h"

#include "connectionstring.h"
#include "dataerror.h"

#include <QSqlError>
#include <QSqlQuery>

namespace tabel {

Connection::Connection(const QString &name) : m_name(name) {}

Connection::~Connection()
{
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

void Connection::open()
{
    close();
    ++m_generation;
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
    QSqlDatabase db;
    if (m_driver == Driver::Odbc) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        db.setDatabaseName(m_connectionString);
    } else {
        const auto pairs = connectionStringPairs(m_connectionString);
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        db.setDatabaseName(pairs.value(QStringLiteral("DATABASE")));
        db.setHostName(pairs.value(QStringLiteral("SERVER")));
        db.setPort(pairs.value(QStringLiteral("PORT"), QStringLiteral("5432")).toInt());
        db.setUserName(pairs.value(QStringLiteral("UID")));
        db.setPassword(pairs.value(QStringLiteral("PWD")));
        const QString ssl = pairs.value(QStringLiteral("SSLMODE"));
        if (!ssl.isEmpty())
            db.setConnectOptions(QStringLiteral("sslmode=") + ssl);
    }
    if (!db.isValid())
        throw DataError(QStringLiteral("Драйвер базы данных недоступен: ") + db.driverName());
    if (!db.open()) {
        const QString message = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw DataError(message);
    }
    // Dates in statement text are day first.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("set DateStyle = 'ISO, DMY'")))
        throw DataError(q.lastError().text());
}

void Connection::close()
{
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

} // namespace tabel
