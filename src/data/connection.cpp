#include "data/connection.h"

#include "data/connectionstring.h"
#include "data/dataerror.h"
#include "data/odbchandle.h"
#include "data/sqlexec.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <dlfcn.h>

#include <libpq-fe.h>
#include <sqlext.h>

namespace tabel {

Connection::Connection(const QString &name) : m_name(name) {}

void Connection::requestStandardStrings()
{
    // Asked for in the start-up packet (libpq reads PGOPTIONS, under either driver), not only set
    // afterwards: the ODBC driver decides at connecting whether it doubles backslashes in the values
    // it splices into statements, and a later "set" would make it store each backslash twice.
    // Once per process, before the first connection: connections opened later on other threads
    // only read the environment.
    [[maybe_unused]] static const bool requested = [] {
        const QByteArray option = QByteArrayLiteral("-c standard_conforming_strings=on");
        const QByteArray current = qgetenv("PGOPTIONS");
        if (!current.contains(option))
            qputenv("PGOPTIONS", current.isEmpty() ? option : current + ' ' + option);
        return true;
    }();
}

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
    requestStandardStrings();
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
    m_lost = false;
    m_suspect = false;
    m_transactionDepth = 0;
    applySessionSettings();
}

void Connection::applySessionSettings()
{
    // Dates in statement text are day first. Text literals are standard whatever the server's or the
    // database's default: a backslash in a quoted name is just a character, never an escape.
    QSqlQuery q(database());
    for (const QString &setting : {QStringLiteral("set DateStyle = 'ISO, DMY'"),
                                   QStringLiteral("set standard_conforming_strings = on")})
        if (!q.exec(setting))
            throw DataError(q.lastError().text(), true);
    for (auto it = m_sessionValues.cbegin(); it != m_sessionValues.cend(); ++it) {
        q.prepare(QStringLiteral("select set_config(?, ?, false)"));
        q.addBindValue(it.key());
        q.addBindValue(it.value());
        if (!q.exec())
            throw DataError(q.lastError().text(), true);
    }
}

void Connection::setSessionValue(const QString &name, const QString &value)
{
    m_sessionValues.insert(name, value);
    if (!isOpen() || m_lost)
        return; // set when the connection is made again
    // A connection dropped meanwhile is found and made again (with the value) as for any statement.
    beforeStatement();
    QSqlQuery q(database());
    q.prepare(QStringLiteral("select set_config(?, ?, false)"));
    q.addBindValue(name);
    q.addBindValue(value);
    if (!q.exec())
        throw failure(q.lastError().text());
}

void Connection::beforeStatement()
{
    if (m_lost) {
        if (inTransaction())
            throw DataError(QStringLiteral("Соединение с базой данных потеряно"), true);
        QSqlDatabase db = database();
        if (!db.isValid())
            throw DataError(QStringLiteral("Нет подключения к базе данных"), true);
        releasePrepared();
        db.close();
        ++m_generation;
        if (!db.open())
            throw DataError(db.lastError().text(), true);
        applySessionSettings(); // still lost until the session is as it was
        m_lost = false;
        m_suspect = false;
        return;
    }
    if (m_suspect && !inTransaction())
        probe();
    if (!isOpen())
        throw DataError(QStringLiteral("Нет подключения к базе данных"), true);
}

void Connection::check()
{
    if (!inTransaction() && !m_lost)
        probe();
    beforeStatement();
}

void Connection::statementFailed()
{
    // Inside a transaction the failed statement has aborted it: no statement can probe it, but the
    // driver knows whether the connection itself is gone; the probe waits for the transaction's end.
    m_suspect = true;
    if (inTransaction()) {
        m_transactionFailed = true;
        if (driverSaysDead())
            m_lost = true;
    } else {
        probe();
    }
}

bool Connection::driverSaysDead() const
{
    const QSqlDatabase db = database();
    if (!db.isValid() || !db.isOpen())
        return true;
    if (m_driver == Driver::Odbc) {
        const SQLHDBC dbc = odbcConnectionHandle(db);
        SQLUINTEGER dead = SQL_CD_FALSE;
        return dbc != SQL_NULL_HDBC &&
               SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
               dead == SQL_CD_TRUE;
    }
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "PGconn*") != 0)
        return false;
    PGconn *conn = *static_cast<PGconn *const *>(handle.constData());
    // libpq is asked through the copy Qt's driver has loaded: the program does not link it, which
    // spares every start the loading of libpq and what it needs (Kerberos, LDAP, TLS).
    using Status = ConnStatusType (*)(const PGconn *);
    static const Status status = [] {
        void *libpq = dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        return libpq ? reinterpret_cast<Status>(dlsym(libpq, "PQstatus")) : nullptr;
    }();
    return conn && status && status(conn) == CONNECTION_BAD;
}

DataError Connection::failure(const QString &serverText)
{
    statementFailed();
    if (!m_lost)
        return DataError(serverText);
    return DataError(QStringLiteral("Связь с базой данных была потеряна. Повторите действие: программа "
                                    "подключится заново.\n\n") +
                         serverText,
                     true);
}

void Connection::transactionStarted()
{
    ++m_transactionDepth;
    m_transactionFailed = false;
}

void Connection::transactionEnded()
{
    if (m_transactionDepth > 0)
        --m_transactionDepth;
    m_transactionFailed = false;
    if (m_suspect && !inTransaction())
        probe();
}

void Connection::releasePrepared()
{
    // release() takes each one out of the set.
    while (!m_prepared->empty())
        (*m_prepared->begin())->release();
}

void Connection::probe()
{
    m_suspect = false;
    QSqlDatabase db = database();
    if (!db.isOpen()) {
        m_lost = true;
        return;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select 1")))
        m_lost = true;
}

void Connection::close()
{
    // Statements prepared on it are freed while it is still there to free them on.
    releasePrepared();
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
