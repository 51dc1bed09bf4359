#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/sqlexec.h"
#include "shop/entrystore.h"
#include "shop/timesheetrebuild.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"

#include <QSqlQuery>
#include <QTest>

#include <memory>

using namespace tabel;

// The database's history of changes, written by its triggers: what each change of an entry, a norm
// and an operation's price leaves, who it names (also after a reconnection), the one line of a bulk
// change, and that nothing in it can be changed.
class TestHistory : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<DataModule> data;
    int ivanov = 0, petrov = 0, product = 0, cutting = 0;
    qint64 before = 0;

    EntryDraft draft(int hours)
    {
        EntryDraft d;
        d.worker = QStringLiteral("Иванов И.И.");
        d.operation = QStringLiteral("ПН-27; Резка; Готовая продукция");
        d.workerId = ivanov;
        d.productId = product;
        d.operationId = cutting;
        d.quantity = QStringLiteral("10");
        d.rejects = QStringLiteral("0");
        d.hours = QString::number(hours);
        d.price = 12.5;
        d.date = QDate(2023, 3, 15);
        d.today = QDate(2023, 3, 16);
        return d;
    }
    // The lines written since the test began: "table/action/who/host/os_user/program old new note".
    QStringList lines()
    {
        QStringList out;
        QSqlQuery q = execBound(
            &db->connection(),
            QStringLiteral(
                "select concat_ws(' ', concat_ws('/', tbl, action, who, host, os_user, program), "
                "old::text, new::text, note) from accounts_dep.tabel_history where id > ? order by id"),
            {before});
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    int lastEntry() { return db->scalar(QStringLiteral("select max(id) from accounts_dep.smena")).toInt(); }

private Q_SLOTS:
    void init()
    {
        db->clear();
        test::Shop shop(*db);
        ivanov = shop.worker(QStringLiteral("Иванов И.И."));
        petrov = shop.worker(QStringLiteral("Петров П.П."));
        product = shop.product(QStringLiteral("ПН-27"));
        cutting = shop.operation(product, shop.kind(QStringLiteral("Резка")), 0, {10});
        data = std::make_unique<DataModule>();
        Connection &c = data->connection();
        c.setSessionValue(QStringLiteral("application_name"), QStringLiteral("tabel"));
        c.setSessionValue(QStringLiteral("tabel.host"), QStringLiteral("цех-1"));
        c.setSessionValue(QStringLiteral("tabel.os_user"), QStringLiteral("master"));
        db->connectModule(*data);
        c.setSessionValue(QStringLiteral("tabel.role"), QStringLiteral("Ввод"));
        before = db->scalar(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.tabel_history"))
                     .toLongLong();
    }
    void cleanup() { data.reset(); }

    // A save, an edit of each kind of field, the acceptance mark and a deletion, through the store.
    void entryChanges()
    {
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(8)), QString());
        const int id = lastEntry();
        EntryDraft edit = draft(6);
        edit.entryId = id;
        edit.workerId = petrov;          // an integer
        edit.price = 12.25;              // a double
        edit.date = QDate(2023, 3, 14);  // a date
        edit.today = QDate(2023, 3, 17); // a timestamp
        QCOMPARE(store.save(edit), QString());
        QCOMPARE(store.save(edit), QString()); // saved as it is: nothing changed, no line
        store.setMark(id, QStringLiteral("ok"));
        QVERIFY(store.remove(id));
        const QStringList l = lines();
        QCOMPARE(l.size(), 4);
        QVERIFY2(
            l[0].startsWith(QStringLiteral("smena/insert/Ввод/цех-1/master/tabel {\"id\": %1, ").arg(id)),
            qPrintable(l[0]));
        QVERIFY(l[0].contains(QStringLiteral("\"time\": 8")));
        QCOMPARE(l[1], QStringLiteral("smena/update/Ввод/цех-1/master/tabel "
                                      "{\"cena\": 12.5, \"data\": \"2023-03-15\", \"time\": 8, \"vvod\": "
                                      "\"2023-03-16T00:00:00\", \"w_id\": %1} "
                                      "{\"cena\": 12.25, \"data\": \"2023-03-14\", \"time\": 6, \"vvod\": "
                                      "\"2023-03-17T00:00:00\", \"w_id\": %2}")
                           .arg(ivanov)
                           .arg(petrov));
        QCOMPARE(l[2],
                 QStringLiteral("smena/update/Ввод/цех-1/master/tabel {\"ok\": \"no\"} {\"ok\": \"ok\"}"));
        QVERIFY2(
            l[3].startsWith(QStringLiteral("smena/delete/Ввод/цех-1/master/tabel {\"id\": %1, ").arg(id)),
            qPrintable(l[3]));
        QVERIFY(l[3].contains(QStringLiteral("\"ok\": \"ok\"")));
    }

    // Norms and an operation's price; an operation's other fields leave nothing.
    void normsAndPrices()
    {
        db->exec(QStringLiteral("update accounts_dep.norm set price = 11 where o_id = %1").arg(cutting));
        db->exec(QStringLiteral("update accounts_dep.oper set naimen = 1 where id = %1").arg(cutting));
        db->exec(QStringLiteral("update accounts_dep.oper set cena_new = 3.5 where id = %1").arg(cutting));
        const QStringList l = lines();
        QCOMPARE(l.size(), 2);
        QVERIFY2(l[0].startsWith(QStringLiteral("norm/update/")) &&
                     l[0].endsWith(QStringLiteral("{\"price\": 10} {\"price\": 11}")),
                 qPrintable(l[0]));
        // Outside the program: the server's user and address, psql's or the driver's name.
        QVERIFY2(l[1].startsWith(QStringLiteral("oper/update/sys/127.0.0.1")), qPrintable(l[1]));
        QVERIFY(l[1].endsWith(QStringLiteral("{\"cena_new\": 0} {\"cena_new\": 3.5}")));
    }

    // A lost connection is made again with the same who.
    void whoAfterAReconnection()
    {
        db->exec(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where "
                                "application_name = 'tabel' and datname = current_database()"));
        EntryStore store(data.get());
        try {
            store.save(draft(8)); // the statement that finds the connection gone
        } catch (const DataError &) {
        }
        if (lines().isEmpty())
            QCOMPARE(store.save(draft(8)), QString());
        const QStringList l = lines();
        QCOMPARE(l.size(), 1);
        QVERIFY2(l[0].startsWith(QStringLiteral("smena/insert/Ввод/цех-1/master/tabel ")), qPrintable(l[0]));
    }

    // The rebuild of a month adds one line, not one per time sheet row.
    void rebuildIsOneLine()
    {
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(8)), QString());
        before = db->scalar(QStringLiteral("select max(id) from accounts_dep.tabel_history")).toLongLong();
        rebuildTimesheetMonth(&data->connection(), 2023, 3);
        QCOMPARE(lines(), QStringList{QStringLiteral(
                              "h_tabel/rebuild/Ввод/цех-1/master/tabel 03.2023: 1 строк табеля")});
    }

    void appendOnly_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("update") << QStringLiteral("update accounts_dep.tabel_history set who = 'x'");
        QTest::newRow("delete") << QStringLiteral("delete from accounts_dep.tabel_history");
        QTest::newRow("truncate") << QStringLiteral("truncate accounts_dep.tabel_history");
    }
    void appendOnly()
    {
        QFETCH(QString, statement);
        db->exec(QStringLiteral("insert into accounts_dep.vid_oper (vid) values ('x')"));
        EntryStore(data.get()).save(draft(8));
        const qint64 count =
            db->scalar(QStringLiteral("select count(*) from accounts_dep.tabel_history")).toLongLong();
        QVERIFY(count > 0);
        try {
            db->exec(statement);
            QFAIL("the history was changed");
        } catch (const DataError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("История изменений только дополняется")),
                     qPrintable(e.message()));
        }
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.tabel_history")).toLongLong(),
                 count);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
