#include "data/connection.h"
#include "data/dataerror.h"
#include "data/sqlexec.h"
#include "data/transaction.h"
#include "testsupport/recordingmessages.h"
#include "testsupport/testdatabase.h"
#include "ui/guard.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTest>

using namespace tabel;

Q_DECLARE_METATYPE(QList<int>)

// One transaction at a time on a connection, and advisory locks between clients, on the real server.
class TestTransaction : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> db;
    std::unique_ptr<Connection> client;  // the program's connection
    std::unique_ptr<Connection> another; // a second client

    std::unique_ptr<Connection> connect(const QString &name)
    {
        auto c = std::make_unique<Connection>(name);
        c->setDriver(db->driver());
        c->setConnectionString(db->connection().connectionString());
        c->open();
        return c;
    }
    int kinds() { return db->scalar(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt(); }
    void addKind(Connection *c, const QString &name)
    {
        execBound(c, QStringLiteral("insert into accounts_dep.vid_oper (vid) values (?)"), {name});
    }
    bool tryLock(Connection *c, const QList<int> &key, bool shared)
    {
        const AdvisoryKey k = advisoryKey(key);
        QSqlQuery q = execBound(c,
                                shared ? QStringLiteral("select pg_try_advisory_xact_lock_shared(?, ?)")
                                       : QStringLiteral("select pg_try_advisory_xact_lock(?, ?)"),
                                {k.space, k.value});
        q.next();
        return q.value(0).toBool();
    }

private Q_SLOTS:
    void initTestCase()
    {
        db = std::make_unique<test::TestDatabase>();
        client = connect(QStringLiteral("client"));
        another = connect(QStringLiteral("another"));
    }
    void cleanupTestCase()
    {
        another.reset();
        client.reset();
        db.reset();
    }
    void init() { db->exec(QStringLiteral("truncate accounts_dep.vid_oper")); }

    void commitKeepsEverything()
    {
        {
            Transaction t(*client);
            addKind(client.get(), QStringLiteral("Резка"));
            addKind(client.get(), QStringLiteral("Гибка"));
            QCOMPARE(kinds(), 0); // not yet seen by others
            t.commit();
        }
        QCOMPARE(kinds(), 2);
        QVERIFY(!client->inTransaction());
    }

    void rollbackLeavesNothing_data()
    {
        QTest::addColumn<bool>("failingStatement");
        QTest::newRow("left without commit") << false;
        QTest::newRow("a statement fails") << true;
    }

    void rollbackLeavesNothing()
    {
        QFETCH(bool, failingStatement);
        test::RecordingMessages messages;
        // As a user action runs: through the guard, which shows the database's text.
        const bool done = guarded(&messages, [&] {
            Transaction t(*client);
            addKind(client.get(), QStringLiteral("Резка"));
            if (failingStatement)
                execBound(client.get(), QStringLiteral("insert into accounts_dep.nowhere values (1)"), {});
            // leaving without commit: an early return or a failure
        });
        QCOMPARE(done, !failingStatement);
        QCOMPARE(messages.boxes.size(), failingStatement ? 1 : 0);
        if (failingStatement)
            QVERIFY(messages.boxes.first().text.contains(QStringLiteral("nowhere")));
        QCOMPARE(kinds(), 0);
        QVERIFY(!client->inTransaction());
        QVERIFY(!client->isLost());
        // The connection works at the next action, outside any transaction.
        addKind(client.get(), QStringLiteral("Гибка"));
        QCOMPARE(kinds(), 1);
    }

    // A failure that the code catches inside the transaction still leaves nothing, on every driver:
    // the server aborted the transaction, so the commit must not report success.
    void failureCaughtInsideStillRollsBack()
    {
        Transaction t(*client);
        addKind(client.get(), QStringLiteral("Резка"));
        try {
            execBound(client.get(), QStringLiteral("select 1/0"), {});
            QFAIL("division by zero accepted");
        } catch (const DataError &) {
        }
        // PostgreSQL refuses what follows; psqlODBC rolls back to the failed statement and goes on.
        // Either way the commit refuses, and nothing of the transaction is kept.
        try {
            addKind(client.get(), QStringLiteral("Гибка"));
        } catch (const DataError &) {
        }
        QVERIFY_THROWS_EXCEPTION(DataError, t.commit());
        QVERIFY(!t.isActive());
        QCOMPARE(kinds(), 0);
        addKind(client.get(), QStringLiteral("Сварка")); // and the connection goes on
        QCOMPARE(kinds(), 1);
    }

    void oneTransactionAtATime()
    {
        Transaction t(*client);
        QVERIFY_THROWS_EXCEPTION(DataError, Transaction second(*client));
        QVERIFY(t.isActive());
    }

    void keys_data()
    {
        QTest::addColumn<QList<int>>("key");
        QTest::addColumn<int>("space");
        QTest::addColumn<int>("value");
        QTest::newRow("one integer") << QList<int>{3} << 3 << 0;
        QTest::newRow("two, exact") << QList<int>{1, 202403} << 1 << 202403;
        QTest::newRow("negative kept") << QList<int>{2, -7} << 2 << -7;
        QTest::newRow("three folded") << QList<int>{2, 1, 2} << 2 << int(1u * 1000003u ^ 2u);
    }

    void keys()
    {
        QFETCH(QList<int>, key);
        QFETCH(int, space);
        QFETCH(int, value);
        const AdvisoryKey k = advisoryKey(key);
        QCOMPARE(k.space, space);
        QCOMPARE(k.value, value);
        // Keys that differ in order lock differently.
        if (key.size() == 3)
            QVERIFY(advisoryKey({2, 2, 1}).value != k.value);
    }

    void locksSerializeClients_data()
    {
        QTest::addColumn<bool>("firstShared");
        QTest::addColumn<bool>("secondShared");
        QTest::addColumn<bool>("secondGets");
        QTest::newRow("exclusive, exclusive") << false << false << false;
        QTest::newRow("shared, exclusive") << true << false << false;
        QTest::newRow("exclusive, shared") << false << true << false;
        QTest::newRow("shared, shared") << true << true << true;
    }

    void locksSerializeClients()
    {
        QFETCH(bool, firstShared);
        QFETCH(bool, secondShared);
        QFETCH(bool, secondGets);
        const QList<int> month{1, 202403};
        auto t = std::make_unique<Transaction>(*client);
        t->lock(month, firstShared ? Transaction::Mode::Shared : Transaction::Mode::Exclusive);
        {
            Transaction other(*another);
            QCOMPARE(tryLock(another.get(), month, secondShared), secondGets);
            QVERIFY(tryLock(another.get(), {1, 202404}, false)); // another month is free
        }
        t->commit(); // the lock goes with the transaction
        Transaction other(*another);
        QVERIFY(tryLock(another.get(), month, secondShared));
    }

    void aWaitingClientGoesOnWhenTheLockIsReleased()
    {
        // Another client (psql) takes the same lock and writes; it must wait for our commit.
        const AdvisoryKey k = advisoryKey({2, 42});
        auto t = std::make_unique<Transaction>(*client);
        t->lock({2, 42});
        addKind(client.get(), QStringLiteral("первый"));
        QProcess psql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("wpvmzkd"));
        psql.setProcessEnvironment(env);
        psql.start(
            QStringLiteral("psql"),
            {QStringLiteral("-qX"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-U"),
             QStringLiteral("sys"), QStringLiteral("-d"), db->name(), QStringLiteral("-c"),
             QStringLiteral("begin; select pg_advisory_xact_lock(%1, %2); insert into accounts_dep.vid_oper "
                            "(vid) select 'второй ' || count(*) from accounts_dep.vid_oper; commit;")
                 .arg(k.space)
                 .arg(k.value)});
        QVERIFY(psql.waitForStarted());
        QVERIFY(!psql.waitForFinished(1500)); // still waiting for us
        t->commit();
        QVERIFY(psql.waitForFinished(10000));
        QCOMPARE(psql.exitCode(), 0);
        // It ran after us, so it saw our row.
        QCOMPARE(db->scalar(QStringLiteral("select vid from accounts_dep.vid_oper where vid like 'второй%'"))
                     .toString(),
                 QStringLiteral("второй 1"));
    }
};

QTEST_MAIN(TestTransaction)
#include "tst_transaction.moc"
