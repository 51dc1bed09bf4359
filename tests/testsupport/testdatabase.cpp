#include "testsupport/testdatabase.h"

#include "data/connectionstring.h"
#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/sqlexec.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <stdexcept>

namespace tabel::test {

namespace {
// TABEL_TEST_TEMPLATE names another, so that two checkouts can run their suites side by side.
const QString kTemplate = qEnvironmentVariableIsSet("TABEL_TEST_TEMPLATE")
                              ? qEnvironmentVariable("TABEL_TEST_TEMPLATE")
                              : QStringLiteral("tabel_test_template");

bool tryPsql(const QStringList &args, QByteArray *error = nullptr)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("wpvmzkd"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("psql"),
            QStringList{QStringLiteral("-qX"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                        QStringLiteral("-U"), QStringLiteral("sys"), QStringLiteral("-v"),
                        QStringLiteral("ON_ERROR_STOP=1")} +
                args);
    p.waitForFinished(600000);
    if (error)
        *error = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void psql(const QStringList &args)
{
    QByteArray error;
    if (!tryPsql(args, &error))
        qFatal("psql failed: %s", error.constData());
}

bool templateExists()
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("wpvmzkd"));
    p.setProcessEnvironment(env);
    p.start(
        QStringLiteral("psql"),
        {QStringLiteral("-qXAt"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-U"),
         QStringLiteral("sys"), QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-c"),
         QStringLiteral("select 1 from pg_database where datname = '") + kTemplate + QStringLiteral("'")});
    p.waitForFinished();
    return p.readAllStandardOutput().trimmed() == "1";
}
} // namespace

TestDatabase::TestDatabase(Start start) : m_connection(QStringLiteral("test_ADO_DB"))
{
    const QString program = QCoreApplication::applicationName().isEmpty()
                                ? QStringLiteral("tst")
                                : QCoreApplication::applicationName().toLower();
    m_name = QStringLiteral("tabel_%1_%2").arg(program).arg(QCoreApplication::applicationPid());
    // A second database of the same program at the same time gets a name of its own.
    static int made = 0;
    if (made++ > 0)
        m_name += QStringLiteral("_%1").arg(made);
    if (!templateExists()) {
        // Normally made by scripts/test; made here when a test runs alone.
        psql({QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-c"),
              QStringLiteral("create database ") + kTemplate});
        psql({QStringLiteral("-d"), kTemplate, QStringLiteral("-f"),
              QStringLiteral(TABEL_SOURCE_DIR "/sql/schema.sql")});
    }
    if (start == Start::Template) {
        psql({QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-c"),
              QStringLiteral("drop database if exists ") + m_name, QStringLiteral("-c"),
              QStringLiteral("create database %1 template %2").arg(m_name, kTemplate), QStringLiteral("-c"),
              QStringLiteral("alter database %1 set datestyle = 'ISO, DMY'").arg(m_name)});
    } else {
        psql({QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-c"),
              QStringLiteral("drop database if exists ") + m_name, QStringLiteral("-c"),
              QStringLiteral("create database %1 template template0").arg(m_name)});
        psql({QStringLiteral("-d"), m_name, QStringLiteral("-f"),
              QStringLiteral(TABEL_SOURCE_DIR "/sql/base.sql")});
    }
    m_connection.setDriver(driver());
    m_connection.setConnectionString(connectionString(m_name, QStringLiteral("127.0.0.1")));
    m_connection.open();
}

TestDatabase::~TestDatabase()
{
    m_connection.close();
    QSqlDatabase::removeDatabase(m_connection.name());
    // Our own sessions are ended; an autovacuum worker that happens to be in the database is the
    // server's, which a plain drop waits for (a forced one would refuse to end it).
    QByteArray error;
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (tryPsql(
                {QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-c"),
                 QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where datname = '%1' "
                                "and usename = current_user and pid <> pg_backend_pid()")
                     .arg(m_name),
                 QStringLiteral("-c"), QStringLiteral("drop database if exists %1").arg(m_name)},
                &error))
            return;
        QThread::msleep(250);
    }
    qFatal("psql failed: %s", error.constData());
}

Connection::Driver TestDatabase::driver() const
{
    return qEnvironmentVariable("TABEL_TEST_DRIVER") == QLatin1String("native") ? Connection::Driver::Native
                                                                                : Connection::Driver::Odbc;
}

QStringList TestDatabase::arguments() const
{
    QStringList args{QStringLiteral("tabel"), m_name, QStringLiteral("127.0.0.1")};
    if (driver() == Connection::Driver::Native)
        args << QStringLiteral("--native");
    return args;
}

void TestDatabase::connectModule(DataModule &data)
{
    data.connection().setDriver(driver());
    data.connection().setConnectionString(m_connection.connectionString());
    data.connection().open();
}

void TestDatabase::exec(const QString &sql)
{
    execBound(&m_connection, sql, {});
}

QVariant TestDatabase::scalar(const QString &sql)
{
    QSqlQuery q = execBound(&m_connection, sql, {});
    return q.next() ? q.value(0) : QVariant();
}

std::unique_ptr<QProcess> TestDatabase::startScript(const QString &sql)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("wpvmzkd"));
    p->setProcessEnvironment(env);
    p->start(QStringLiteral("psql"),
             {QStringLiteral("-qX"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-U"),
              QStringLiteral("sys"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
              QStringLiteral("-d"), m_name, QStringLiteral("-c"), sql});
    if (!p->waitForStarted())
        qFatal("psql did not start");
    return p;
}

bool TestDatabase::waitForLockHolder(int space, int key)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (scalar(QStringLiteral(
                       "select count(*) from pg_locks where locktype = 'advisory' and granted "
                       "and classid = %1 and objid = %2 and database = (select oid from pg_database where "
                       "datname = current_database())")
                       .arg(space)
                       .arg(key))
                .toInt() > 0)
            return true;
        QThread::msleep(50);
    }
    return false;
}

QString TestDatabase::schemaDump()
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("wpvmzkd"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("pg_dump"),
            {QStringLiteral("--schema-only"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
             QStringLiteral("-U"), QStringLiteral("sys"), m_name});
    p.waitForFinished(60000);
    QStringList kept;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (!line.startsWith(QLatin1String("--")) && !line.startsWith(QLatin1String("SET ")) &&
            !line.startsWith(QLatin1String("SELECT pg_catalog.set_config")) &&
            !line.startsWith(QLatin1String("\\restrict")) && !line.startsWith(QLatin1String("\\unrestrict")))
            kept << line;
    return kept.join(QLatin1Char('\n'));
}

void TestDatabase::loadDemo()
{
    psql({QStringLiteral("-d"), m_name, QStringLiteral("-o"), QStringLiteral("/dev/null"),
          QStringLiteral("-f"), QStringLiteral(TABEL_SOURCE_DIR "/sql/demo.sql")});
}

void TestDatabase::clear()
{
    exec(QStringLiteral(
        "truncate accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.norm, accounts_dep.oper, "
        "accounts_dep.vid_oper, accounts_dep.person, accounts_dep.ver, accounts_dep.workers, accounts_dep.nomenkl, accounts_dep.person_link, "
        "cmn_contractor.person, cmn_gds_and_srv.gds_and_srv restart identity"));
}

} // namespace tabel::test
