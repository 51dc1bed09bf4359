#include "app/versioncheck.h"
#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/sqlexec.h"
#include "data/transaction.h"
#include "testsupport/recordingmessages.h"
#include "testsupport/shop.h"
#include "testsupport/testdatabase.h"
#include "ui/guard.h"

#include <QSqlQuery>
#include <QTest>

using namespace tabel;

// The server drops the program's connection (a restart, an administrator, the network): the action
// that meets it reports it once, the next one reconnects and works, nothing is half-written.
class TestConnectionLoss : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> db;
    std::unique_ptr<DataModule> dm;
    test::RecordingMessages messages;
    int worker = 0, operation = 0;

    int backendPid()
    {
        QSqlQuery q = execBound(&dm->connection(), QStringLiteral("select pg_backend_pid()"), {});
        q.next();
        return q.value(0).toInt();
    }
    // Ends the program's backend, as an administrator would, and waits until it is gone.
    void endBackend(int pid)
    {
        db->exec(QStringLiteral("select pg_terminate_backend(%1)").arg(pid));
        QTRY_COMPARE(
            db->scalar(QStringLiteral("select count(*) from pg_stat_activity where pid = %1").arg(pid))
                .toInt(),
            0);
    }
    void openRegister()
    {
        Dataset *d = dm->smena(1);
        d->close();
        d->setParam(QStringLiteral("data"), QDate(2023, 3, 15));
        d->open();
    }
    int entries() { return db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(); }

private Q_SLOTS:
    void initTestCase()
    {
        db = std::make_unique<test::TestDatabase>();
        test::Shop shop(*db);
        worker = shop.worker(QStringLiteral("Антонов А.А."));
        operation =
            shop.operation(shop.product(QStringLiteral("ПН-27")), shop.kind(QStringLiteral("Резка")), 0, {2});
        shop.entry({QDate(2023, 3, 15), 1, worker, operation});
    }
    void cleanupTestCase() { db.reset(); }
    void init()
    {
        messages.clear();
        dm = std::make_unique<DataModule>();
        db->connectModule(*dm);
        dm->smena(1)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    }
    void cleanup() { dm.reset(); }

    void betweenTwoActions()
    {
        guarded(&messages, [this] { openRegister(); }); // prepared on the first backend
        const int first = backendPid();
        endBackend(first);
        // The action that meets the loss: reported once, in the standard error box.
        QVERIFY(!guarded(&messages, [this] { openRegister(); }));
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY(messages.boxes.first().standard);
        // The program's own sentence first, the server's or driver's text below it.
        const QStringList parts = messages.last().split(QStringLiteral("\n\n"));
        QCOMPARE(parts.first(),
                 QStringLiteral("Связь с базой данных была потеряна. Повторите действие: программа "
                                "подключится заново."));
        QVERIFY2(parts.size() == 2 && !parts.last().trimmed().isEmpty(), qPrintable(messages.last()));
        // The next action reconnects, with the session's settings, and works.
        QVERIFY(guarded(&messages, [this] { openRegister(); }));
        QCOMPARE(dm->smena(1)->recordCount(), 1);
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY(backendPid() != first);
        QSqlQuery q = execBound(&dm->connection(), QStringLiteral("show DateStyle"), {});
        q.next();
        QCOMPARE(q.value(0).toString(), QStringLiteral("ISO, DMY"));
    }

    void inTheMiddleOfATransaction()
    {
        const int before = entries();
        const bool done = guarded(&messages, [this] {
            Transaction t(dm->connection());
            test::Shop(*db).entry({QDate(2023, 3, 16), 1, worker, operation}); // another client's write
            execBound(
                &dm->connection(),
                QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, o_id, i_id, kol_vo, ok) "
                               "values ('16.03.2023', 2, ?, ?, 0, 5, 'no')"),
                {worker, operation});
            endBackend(backendPid());
            execBound(&dm->connection(),
                      QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d16) "
                                     "values (?, 2, 3, 2023, 8)"),
                      {worker});
            t.commit();
        });
        QVERIFY(!done);
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY2(messages.last().startsWith(QStringLiteral("Связь с базой данных была потеряна.")),
                 qPrintable(messages.last()));
        // Our half is gone with the server's rollback; the other client's row stays.
        QCOMPARE(entries(), before + 1);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel")).toInt(), 0);
        // Nothing is repeated by itself; the next action works.
        QVERIFY(guarded(&messages, [this] { openRegister(); }));
        QCOMPARE(entries(), before + 1);
        QCOMPARE(messages.boxes.size(), 1);
    }

    // After the reconnection the first write is a transaction that reopens a dataset prepared on the
    // old connection: nothing of the old connection may reach the new one.
    void transactionRightAfterReconnecting()
    {
        QVERIFY(guarded(&messages, [this] { openRegister(); }));
        endBackend(backendPid());
        QVERIFY(!guarded(&messages, [this] { openRegister(); }));
        const int before = entries();
        QVERIFY(guarded(&messages, [this] {
            Transaction t(dm->connection());
            openRegister();
            execBound(
                &dm->connection(),
                QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, o_id, i_id, kol_vo, ok) "
                               "values ('15.03.2023', 1, ?, ?, 0, 5, 'no')"),
                {worker, operation});
            openRegister();
            t.commit();
        }));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(entries(), before + 1);
        db->exec(QStringLiteral("delete from accounts_dep.smena where kol_vo = 5"));
    }

    void versionCheckOnTheTimerStaysQuiet()
    {
        VersionCheck check(&dm->connection(), &messages, BuildStamp{20221121, 74593});
        QCOMPARE(check.run(VersionCheck::Trigger::Timer), VersionCheck::Outcome::Raised);
        endBackend(backendPid());
        // The tick that meets the loss shows nothing; the next one works again.
        QCOMPARE(check.run(VersionCheck::Trigger::Timer), VersionCheck::Outcome::Failed);
        QVERIFY(messages.boxes.isEmpty());
        QCOMPARE(check.run(VersionCheck::Trigger::Timer), VersionCheck::Outcome::Current);
        QVERIFY(messages.boxes.isEmpty());
    }

    void versionCheckNeverStacksBoxes()
    {
        // A newer build's record: the message stays open while the timer ticks again.
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
        db->exec(QStringLiteral("insert into accounts_dep.ver (d, t) values (20300101, 1)"));
        int ticksWhileShown = 0;
        struct Nested : test::RecordingMessages
        {
            std::function<void()> whileShown;
            void show(const QString &caption, const QString &text, Icon icon) override
            {
                test::RecordingMessages::show(caption, text, icon);
                if (whileShown)
                    whileShown();
            }
        } boxes;
        VersionCheck check(&dm->connection(), &boxes, BuildStamp{20221121, 74593});
        boxes.whileShown = [&] {
            ++ticksWhileShown;
            check.run(VersionCheck::Trigger::Timer);
        };
        QCOMPARE(check.run(VersionCheck::Trigger::Timer), VersionCheck::Outcome::Outdated);
        QCOMPARE(ticksWhileShown, 1);
        QCOMPARE(boxes.boxes.size(), 1);
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
    }
};

QTEST_MAIN(TestConnectionLoss)
#include "tst_connectionloss.moc"
