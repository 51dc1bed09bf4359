#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/sqlexec.h"
#include "shop/changehistory.h"
#include "shop/entrystore.h"
#include "shop/timesheetrebuild.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"

#include <QDateTime>
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
        return test::cuttingDraft(ivanov, product, cutting, hours, QDate(2023, 3, 15), QDate(2023, 3, 16));
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
    // The lines of this test: the ids of the rows restart with every test, the history stays.
    QList<HistoryLine> recent(QList<HistoryLine> lines) const
    {
        lines.removeIf([this](const HistoryLine &l) { return l.id <= before; });
        return lines;
    }
    int lastEntry() { return db->scalar(QStringLiteral("select max(id) from accounts_dep.smena")).toInt(); }

private Q_SLOTS:
    void init()
    {
        db->clear();
        std::tie(ivanov, petrov, product, cutting) = test::cuttingShop(*db);
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

    // The role given at a login on a connection the server has dropped meanwhile: the login is told
    // to try again, and the connection made again carries the role.
    void roleSetOnALostConnection()
    {
        db->exec(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where "
                                "application_name = 'tabel' and datname = current_database()"));
        try {
            data->connection().setSessionValue(QStringLiteral("tabel.role"), QStringLiteral("Отчеты"));
        } catch (const DataError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Связь с базой данных была потеряна")),
                     qPrintable(e.message()));
        }
        QCOMPARE(EntryStore(data.get()).save(draft(8)), QString());
        const QStringList l = lines();
        QCOMPARE(l.size(), 1);
        QVERIFY2(l[0].startsWith(QStringLiteral("smena/insert/Отчеты/цех-1/master/tabel ")),
                 qPrintable(l[0]));
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

    // What the windows show of an entry: newest first, names for ids, values as the grid shows them,
    // only what changed; a worker who is no more by number.
    void entryTexts()
    {
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(8)), QString());
        const int id = lastEntry();
        EntryDraft edit = draft(8);
        edit.entryId = id;
        edit.workerId = petrov;
        edit.quantity = QStringLiteral("12");
        QCOMPARE(store.save(edit), QString());
        edit.shift = 4;
        edit.price = 13.75;
        QCOMPARE(store.save(edit), QString());
        store.setMark(id, QStringLiteral("ok"));
        db->exec(QStringLiteral("delete from accounts_dep.person where id = %1").arg(ivanov));
        const QList<HistoryLine> l = recent(ChangeHistory(&data->connection()).forEntry(id));
        QCOMPARE(l.size(), 4);
        QStringList got;
        for (const HistoryLine &line : l)
            got << line.what + u' ' + line.action + QStringLiteral(" | ") + line.who + QStringLiteral(" | ") +
                       line.changes.join(QStringLiteral("; "));
        const QString who = QStringLiteral("Ввод (цех-1, master)");
        QCOMPARE(got,
                 (QStringList{
                     QStringLiteral("Позиция № %1 изменена | %2 | OK: нет → да").arg(id).arg(who),
                     QStringLiteral("Позиция № %1 изменена | %2 | Смена: 1 → переработка; Цена: 12,5 → 13,75")
                         .arg(id)
                         .arg(who),
                     QStringLiteral("Позиция № %1 изменена | %2 | Фамилия И.О.: № %3 → Петров П.П.; "
                                    "Кол-во: 10 → 12")
                         .arg(id)
                         .arg(who)
                         .arg(ivanov),
                     QStringLiteral("Позиция № %1 добавлена | %2 | Дата: 15.03.2023; Смена: 1; Фамилия "
                                    "И.О.: № %3; Марка изделия: ПН-27; Операция: ПН-27; Резка; Готовая "
                                    "продукция; Цвет: 0; Часы: 8; Кол-во: 10; Брак: 0; Цена: 12,5; Премия "
                                    "(%): 0; OK: нет; Заведен: 16.03.2023")
                         .arg(id)
                         .arg(who)
                         .arg(ivanov),
                 }));
        QVERIFY(l.first().id > l.last().id);
        QVERIFY(QDateTime::fromString(l.first().at, QStringLiteral("dd.MM.yyyy HH:mm:ss")).isValid());
        QVERIFY(recent(ChangeHistory(&data->connection()).forEntry(id + 1)).isEmpty());
    }

    // An operation's history: its price and its norms, a deleted norm too, not another operation's.
    void operationTexts()
    {
        const int other = test::Shop(*db).operation(product,
                                                    db->scalar(QStringLiteral("select min(id) from "
                                                                              "accounts_dep.vid_oper"))
                                                        .toInt(),
                                                    1, {4});
        db->exec(QStringLiteral("update accounts_dep.norm set price = 11 where o_id = %1").arg(cutting));
        db->exec(QStringLiteral("update accounts_dep.norm set price = 5 where o_id = %1").arg(other));
        db->exec(QStringLiteral("update accounts_dep.oper set cena_new = 3.5 where id = %1").arg(cutting));
        db->exec(QStringLiteral(
                     "insert into accounts_dep.norm (o_id, norma, price, prize) values (%1, 300, 9.5, 2)")
                     .arg(cutting));
        db->exec(
            QStringLiteral("delete from accounts_dep.norm where o_id = %1 and norma = 300").arg(cutting));
        const QList<HistoryLine> l = recent(ChangeHistory(&data->connection()).forOperation(cutting));
        QStringList got;
        for (const HistoryLine &line : l)
            got << line.what.section(u' ', 0, 0) + u' ' + line.action + QStringLiteral(" | ") +
                       line.changes.join(QStringLiteral("; "));
        const QString op = QStringLiteral("Операция: ПН-27; Резка; Готовая продукция");
        QCOMPARE(got,
                 (QStringList{
                     QStringLiteral("Норма удалена | %1; Норматив: 300; Цена: 9,5; Премия, %: 2").arg(op),
                     QStringLiteral("Норма добавлена | %1; Норматив: 300; Цена: 9,5; Премия, %: 2").arg(op),
                     QStringLiteral("Операция изменена | Цена (min): 0 → 3,5"),
                     QStringLiteral("Норма изменена | Цена: 10 → 11"),
                 }));
        QVERIFY2(l.last().what.endsWith(QStringLiteral("операции № %1").arg(cutting)),
                 qPrintable(l.last().what));
        QVERIFY2(l.last().who.startsWith(QStringLiteral("sys (")),
                 qPrintable(l.last().who)); // outside the program
        QCOMPARE(ChangeHistory(&data->connection()).operationName(cutting),
                 QStringLiteral("ПН-27; Резка; Готовая продукция"));
    }

    // The period's lines by kind and by who; a bulk change is one line with its note.
    void periodFilters_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("who"); // the role, or the server's user, the filter's name begins with
        QTest::addColumn<QString>("expected"); // the lines' first words, newest first
        QTest::newRow("all") << int(HistoryKind::All) << ""
                             << "Табель Норма Позиция";
        QTest::newRow("entries") << int(HistoryKind::Entries) << ""
                                 << "Позиция";
        QTest::newRow("norms") << int(HistoryKind::Norms) << ""
                               << "Норма";
        QTest::newRow("bulk") << int(HistoryKind::Bulk) << ""
                              << "Табель";
        QTest::newRow("by the program's role") << int(HistoryKind::All) << "Ввод"
                                               << "Табель Позиция";
        QTest::newRow("outside the program") << int(HistoryKind::All) << "sys"
                                             << "Норма";
        QTest::newRow("nobody") << int(HistoryKind::All) << "Приемка"
                                << "";
    }
    void periodFilters()
    {
        QFETCH(int, kind);
        QFETCH(QString, who);
        QFETCH(QString, expected);
        QCOMPARE(EntryStore(data.get()).save(draft(8)), QString());
        db->exec(QStringLiteral("update accounts_dep.norm set price = 11 where o_id = %1").arg(cutting));
        rebuildTimesheetMonth(&data->connection(), 2023, 3);
        const QDate today = QDate::currentDate();
        const QStringList people = ChangeHistory(&data->connection()).people(today, today);
        QVERIFY2(people.contains(QStringLiteral("Ввод (цех-1, master)")), qPrintable(people.join(u'|')));
        for (const QString &p : people) // the name as the filter offers it
            if (p.startsWith(who + QStringLiteral(" (")))
                who = p;
        HistoryFilter f{today, today, who, HistoryKind(kind)};
        QStringList got;
        for (const HistoryLine &line : recent(ChangeHistory(&data->connection()).forPeriod(f)))
            got << line.what.section(u' ', 0, 0);
        QCOMPARE(got.join(u' '), expected);
        if (kind == int(HistoryKind::Bulk))
            QCOMPARE(ChangeHistory(&data->connection()).forPeriod(f).first().note,
                     QStringLiteral("03.2023: 1 строк табеля"));
        // Yesterday holds none of them.
        f.from = f.to = today.addDays(-1);
        QVERIFY(recent(ChangeHistory(&data->connection()).forPeriod(f)).isEmpty());
    }

    // A period's days and the lines' times are this computer's, whatever time zone the server's
    // session keeps: a line at the first day's midnight and one a second before the last day ends
    // are in, the seconds around them are not.
    void periodBounds_data()
    {
        QTest::addColumn<int>(
            "secondsFromStart"); // from the first day's local midnight; the period is two days
        QTest::addColumn<bool>("inside");
        QTest::newRow("a second before") << -1 << false;
        QTest::newRow("midnight") << 0 << true;
        QTest::newRow("the last second") << 2 * 86400 - 1 << true;
        QTest::newRow("the next midnight") << 2 * 86400 << false;
    }
    void periodBounds()
    {
        QFETCH(int, secondsFromStart);
        QFETCH(bool, inside);
        data->connection().setSessionValue(QStringLiteral("TimeZone"), QStringLiteral("Pacific/Kiritimati"));
        const QDate first(2024, 5, 6);
        const QDateTime at = first.startOfDay().addSecs(secondsFromStart);
        db->exec(QStringLiteral("insert into accounts_dep.tabel_history (at, who, tbl, action, note) values "
                                "(to_timestamp(%1), 'Ввод', 'h_tabel', 'rebuild', 'граница')")
                     .arg(at.toSecsSinceEpoch()));
        const QList<HistoryLine> l =
            recent(ChangeHistory(&data->connection())
                       .forPeriod({first, first.addDays(1), QString(), HistoryKind::All}));
        QCOMPARE(l.size(), inside ? 1 : 0);
        if (inside)
            QCOMPARE(l.first().at, at.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
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
