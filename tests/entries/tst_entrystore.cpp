#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/locks.h"
#include "data/transaction.h"
#include "shop/entrystore.h"
#include "testsupport/entryworkload.h"
#include "testsupport/shop.h"
#include "testsupport/testdatabase.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <future>
#include <memory>

using namespace tabel;

// Saving, deleting and accepting entries with the hours posted to the time sheet, on the real
// database; and four clients at once, after which the time sheet must equal the entries.
class TestEntryStore : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> db;
    std::unique_ptr<DataModule> data;
    int ivanov = 0, petrov = 0, product = 0, cutting = 0, painting = 0;
    const QDate day{2023, 3, 15};
    const QDate today{2023, 3, 16};

    EntryDraft draft(int worker, int hours, int shift = 1, const QDate &date = {})
    {
        EntryDraft d =
            test::cuttingDraft(worker, product, cutting, hours, date.isValid() ? date : day, today);
        d.shift = shift;
        return d;
    }
    // The day column of a worker's time sheet row, or -1 without a row.
    int cell(int worker, int shift, const QDate &date)
    {
        const QVariant v =
            db->scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 "
                                      "and month=%4 and year=%5")
                           .arg(date.day())
                           .arg(worker)
                           .arg(shift)
                           .arg(date.month())
                           .arg(date.year()));
        return v.isNull() ? -1 : v.toInt();
    }
    qint64 count(const QString &table)
    {
        return db->scalar(QStringLiteral("select count(*) from ") + table).toLongLong();
    }
    int lastEntry() { return db->scalar(QStringLiteral("select max(id) from accounts_dep.smena")).toInt(); }

private Q_SLOTS:
    void initTestCase() { db = std::make_unique<test::TestDatabase>(); }
    void cleanupTestCase()
    {
        data.reset();
        db.reset();
    }
    void init()
    {
        db->clear();
        std::tie(ivanov, petrov, product, cutting) = test::cuttingShop(*db);
        test::Shop shop(*db);
        painting = shop.operation(product, shop.kind(QStringLiteral("Краска")), 0, {10});
        data = std::make_unique<DataModule>();
        db->connectModule(*data);
    }
    void cleanup() { data.reset(); }

    void statementsAsGiven()
    {
        EntryDraft d = draft(17, 8);
        d.productId = 5;
        d.operationId = 42;
        d.today = QDate(2023, 3, 16);
        QCOMPARE(
            EntryStore::insertStatement(d, {10, 0, 8, 0}),
            QStringLiteral(
                "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, "
                "time, vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
                "values(17, 5, 42, 12.5,10, 0, to_date('15.03.2023', 'DD.MM.YYYY HH24:MI:SS'), 1, 0, 8, "
                "'16.03.2023', 'no', 0, 0, 0, 0, 0, 0)"));
        d.entryId = 99;
        d.price = 0.123456;
        QCOMPARE(
            EntryStore::updateStatement(d, {10, 0, 8, 3}),
            QStringLiteral(
                "update accounts_dep.SMENA set w_id=17, i_id=5, o_id=42, cena=0.1235, kol_vo=10, brak=0, "
                "data=to_date('15.03.2023', 'DD.MM.YYYY'), smena=1, color=3, time=8, vvod='16.03.2023', "
                "prize=0, id_doc=0, id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=99"));
        QCOMPARE(EntryStore::duplicateStatement(d, {10, 0, 8, 3}),
                 QStringLiteral(
                     "select count(id) as cnt from accounts_dep.SMENA where w_id=17 and o_id=42 and i_id=5 "
                     "and data=to_date('15.03.2023', 'DD.MM.YYYY') and smena=1 and id<>99 and color=3"));
        d.date = QDate(999, 1, 2); // four-digit years whatever the locale
        QVERIFY(EntryStore::insertStatement(d, {10, 0, 8, 0}).contains(QStringLiteral("'02.01.0999'")));
        // Posting 11 hours of worker 17 on 15.03.2023, shift 1.
        const EntryKey day{17, QDate(2023, 3, 15), 1};
        QCOMPARE(
            EntryStore::postingRowsStatement(day),
            QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel where w_id=17 and smena=1 "
                           "and month=3 and year=2023"));
        QCOMPARE(
            EntryStore::dayTotalStatement(day),
            QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=17 and smena=1 and "
                           "data=to_date('15.03.2023', 'DD.MM.YYYY') group by w_id, smena, data"));
        QCOMPARE(
            EntryStore::postingInsertStatement(day, 11),
            QStringLiteral(
                "insert into accounts_dep.h_tabel(smena, w_id, month, year, d15) values(1, 17, 3, 2023, 11)"));
        QCOMPARE(
            EntryStore::postingUpdateStatement(day, 11),
            QStringLiteral(
                "update accounts_dep.h_tabel set d15=11 where w_id=17 and smena=1 and month=3 and year=2023"));
    }

    // The number boxes become numbers once: digits only, within the column, the first refusal named.
    void numbers_data()
    {
        QTest::addColumn<QString>("text");   // quantity|rejects|hours|colour
        QTest::addColumn<QString>("values"); // as read, or the refusal
        QTest::newRow("plain") << QStringLiteral("10|0|8|") << QStringLiteral("10/0/8/0");
        QTest::newRow("leading zeros and blanks")
            << QStringLiteral(" 007|00|8 |1013") << QStringLiteral("7/0/8/1013");
        QTest::newRow("a sign") << QStringLiteral("-5|0|8|")
                                << QStringLiteral("В поле «Кол-во» допустимы только цифры.");
        QTest::newRow("rejects too many")
            << QStringLiteral("10|40000|8|")
            << QStringLiteral("Число в поле «Брак» слишком велико: не больше 32767.");
        QTest::newRow("first refusal stands")
            << QStringLiteral("10|0|1,5|x") << QStringLiteral("В поле «Время» допустимы только цифры.");
        QTest::newRow("beyond 64 bits")
            << QStringLiteral("10|0|8|99999999999999999999")
            << QStringLiteral("Число в поле «Цвет» слишком велико: не больше 2147483647.");
    }
    void numbers()
    {
        QFETCH(QString, text);
        const QStringList boxes = text.split(QLatin1Char('|'));
        QFETCH(QString, values);
        EntryDraft d;
        d.quantity = boxes[0];
        d.rejects = boxes[1];
        d.hours = boxes[2];
        d.colour = boxes[3];
        QString message;
        const std::optional<EntryNumbers> v = EntryStore::numbers(d, &message);
        QCOMPARE(
            v ? QStringLiteral("%1/%2/%3/%4").arg(v->quantity).arg(v->rejects).arg(v->hours).arg(v->colour)
              : message,
            values);
        QCOMPARE(v.has_value(), message.isEmpty());
    }

    // 8 and 3 hours make 11; a third entry of 0 keeps 11. The first entry of the month creates the
    // row with only its day; other days stay 0.
    void postingHoldsTheDaysSum()
    {
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(ivanov, 8)), QString());
        QCOMPARE(cell(ivanov, 1, day), 8);
        QCOMPARE(db->scalar(QStringLiteral("select d14 + d16 from accounts_dep.h_tabel")).toInt(), 0);
        EntryDraft second = draft(ivanov, 3);
        second.operationId = painting;
        second.operation = QStringLiteral("ПН-27; Краска; Готовая продукция");
        second.colour = QStringLiteral("5");
        QCOMPARE(store.save(second), QString());
        QCOMPARE(cell(ivanov, 1, day), 11);
        second.colour = QStringLiteral("6");
        second.hours = QStringLiteral("0");
        QCOMPARE(store.save(second), QString());
        QCOMPARE(cell(ivanov, 1, day), 11);
        // Another day of the month: the same row, its own column.
        QCOMPARE(store.save(draft(ivanov, 4, 1, day.addDays(1))), QString());
        QCOMPARE(cell(ivanov, 1, day), 11);
        QCOMPARE(cell(ivanov, 1, day.addDays(1)), 4);
        QCOMPARE(count(QStringLiteral("accounts_dep.h_tabel")), 1);
        // Overtime goes to shift 4 in both tables.
        QCOMPARE(store.save(draft(ivanov, 2, 4)), QString());
        QCOMPARE(cell(ivanov, 4, day), 2);
        QCOMPARE(
            db->scalar(QStringLiteral("select smena from accounts_dep.smena where id=%1").arg(lastEntry()))
                .toInt(),
            4);
    }

    void newEntryColumns()
    {
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(ivanov, 8)), QString());
        QCOMPARE(db->scalar(QStringLiteral(
                                "select concat_ws('|', w_id=%1, i_id=%2, o_id=%3, cena, kol_vo, brak, data, "
                                "smena, color, time, vvod, ok, prize, id_doc, id_doc_item, f_gds_qty_use, "
                                "id_gds_use, id_cons_use) from accounts_dep.smena")
                                .arg(ivanov)
                                .arg(product)
                                .arg(cutting))
                     .toString(),
                 QStringLiteral("t|t|t|12.5|10|0|2023-03-15|1|0|8|2023-03-16 00:00:00|no|0|0|0|0|0|0"));
    }

    void duplicates_data()
    {
        QTest::addColumn<QString>("change"); // what the second save changes
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same entry, other quantity, rejects and hours") << QStringLiteral("numbers") << false;
        QTest::newRow("another colour") << QStringLiteral("colour") << true;
        QTest::newRow("another shift") << QStringLiteral("shift") << true;
        QTest::newRow("an edit of the entry itself, unchanged") << QStringLiteral("edit") << true;
        QTest::newRow("an edit onto another entry") << QStringLiteral("edit onto") << false;
    }

    void duplicates()
    {
        QFETCH(QString, change);
        QFETCH(bool, accepted);
        EntryStore store(data.get());
        EntryDraft first = draft(ivanov, 8);
        first.operationId = painting;
        first.operation = QStringLiteral("ПН-27; Покраска; Заготовки");
        first.colour = QStringLiteral("5");
        QCOMPARE(store.save(first), QString());
        const int id = lastEntry();
        EntryDraft second = first;
        if (change == QLatin1String("numbers")) {
            second.quantity = QStringLiteral("99");
            second.rejects = QStringLiteral("3");
            second.hours = QStringLiteral("1");
        } else if (change == QLatin1String("colour")) {
            second.colour = QStringLiteral("6");
        } else if (change == QLatin1String("shift")) {
            second.shift = 2;
        } else if (change == QLatin1String("edit")) {
            second.entryId = id;
        } else {
            EntryDraft other = first;
            other.colour = QStringLiteral("7");
            QCOMPARE(store.save(other), QString());
            second.entryId = lastEntry();
        }
        const qint64 before = count(QStringLiteral("accounts_dep.smena"));
        const QString refusal = store.save(second);
        QCOMPARE(refusal,
                 accepted ? QString() : QStringLiteral("Позиция с такими параметрами уже заведена!"));
        if (!accepted || change.startsWith(QLatin1String("edit")))
            QCOMPARE(count(QStringLiteral("accounts_dep.smena")), before);
        QCOMPARE(cell(ivanov, 1, day),
                 change == QLatin1String("colour") || change == QLatin1String("edit onto") ? 16 : 8);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString all = QStringLiteral("Все поля должны быть заполнены!");
        QTest::newRow("no worker") << "worker"
                                   << " " << all;
        QTest::newRow("no operation") << "operation"
                                      << "" << all;
        QTest::newRow("no quantity") << "quantity"
                                     << " " << all;
        QTest::newRow("no rejects") << "rejects"
                                    << "" << all;
        QTest::newRow("no hours") << "hours"
                                  << "" << all;
        QTest::newRow("paint without a colour") << "paint"
                                                << "" << all;
        QTest::newRow("letters") << "quantity"
                                 << "1O" << QStringLiteral("В поле «Кол-во» допустимы только цифры.");
        QTest::newRow("a minus") << "hours"
                                 << "-1" << QStringLiteral("В поле «Время» допустимы только цифры.");
        QTest::newRow("injection") << "rejects"
                                   << "0); delete from accounts_dep.smena; --"
                                   << QStringLiteral("В поле «Брак» допустимы только цифры.");
        QTest::newRow("a decimal comma") << "colour"
                                         << "1,5" << QStringLiteral("В поле «Цвет» допустимы только цифры.");
        QTest::newRow("rejects beyond smallint")
            << "rejects"
            << "32768" << QStringLiteral("Число в поле «Брак» слишком велико: не больше 32767.");
        QTest::newRow("colour beyond 32 bits")
            << "colour"
            << "2147483648" << QStringLiteral("Число в поле «Цвет» слишком велико: не больше 2147483647.");
        QTest::newRow("quantity beyond 64 bits")
            << "quantity"
            << "99999999999999999999"
            << QStringLiteral("Число в поле «Кол-во» слишком велико: не больше 2147483647.");
    }

    void refusals()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        EntryDraft d = draft(ivanov, 8);
        if (field == QLatin1String("worker"))
            d.worker = text;
        else if (field == QLatin1String("operation"))
            d.operation = text;
        else if (field == QLatin1String("quantity"))
            d.quantity = text;
        else if (field == QLatin1String("rejects"))
            d.rejects = text;
        else if (field == QLatin1String("hours"))
            d.hours = text;
        else if (field == QLatin1String("colour"))
            d.colour = text;
        else
            d.operation = QStringLiteral("ПН-27; покраска; Готовая продукция");
        QCOMPARE(EntryStore(data.get()).save(d), message);
        QCOMPARE(count(QStringLiteral("accounts_dep.smena")), 0);
        QCOMPARE(count(QStringLiteral("accounts_dep.h_tabel")), 0);
    }

    // One worker's hours of one day and shift are at most 24, whether the entry is new, edited or
    // moved there; a refusal names worker, day and total and leaves nothing written, not the entry
    // either, so that saving again is not met by "уже заведена".
    void dayOverTwentyFourHoursRefused_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("total"); // 0: saved
        QTest::newRow("new, 24 in all") << "new" << 4 << 0;
        QTest::newRow("new, 25 in all") << "new" << 5 << 25;
        QTest::newRow("new, beyond a day cell") << "new" << 20000 << 20020;
        QTest::newRow("edited to 25") << "edit" << 25 << 25;
        QTest::newRow("edited to 24") << "edit" << 24 << 0;
        QTest::newRow("moved onto the day") << "move" << 5 << 25;
    }

    void dayOverTwentyFourHoursRefused()
    {
        QFETCH(QString, how);
        QFETCH(int, hours);
        QFETCH(int, total);
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(ivanov, 20)), QString());
        const int first = lastEntry();
        EntryDraft d = draft(ivanov, hours);
        d.colour = QStringLiteral("1");
        if (how == QLatin1String("edit")) {
            d.entryId = first;
        } else if (how == QLatin1String("move")) {
            QCOMPARE(store.save(draft(ivanov, hours, 1, day.addDays(1))), QString());
            d.entryId = lastEntry();
        }
        const qint64 entries = count(QStringLiteral("accounts_dep.smena"));
        const QString before =
            db->scalar(QStringLiteral("select string_agg(concat_ws(',', id, w_id, data, smena, time), ';' "
                                      "order by id) from accounts_dep.smena"))
                .toString();
        const QString refusal = store.save(d);
        if (total == 0) {
            QCOMPARE(refusal, QString());
            QCOMPARE(cell(ivanov, 1, day), how == QLatin1String("edit") ? hours : 20 + hours);
            return;
        }
        QCOMPARE(
            refusal,
            QStringLiteral("У работника Иванов И.И. за 15.03.2023 в смене 1 получается %1 ч, а больше 24 ч "
                           "быть не может. Проверьте время.")
                .arg(total));
        QCOMPARE(count(QStringLiteral("accounts_dep.smena")), entries);
        QCOMPARE(
            db->scalar(QStringLiteral(
                           "select string_agg(concat_ws(',', id, w_id, data, smena, time), ';' order by id) "
                           "from accounts_dep.smena"))
                .toString(),
            before);
        QCOMPARE(cell(ivanov, 1, day), 20);
    }

    // A move to another worker, date, shift or month posts both days: the old one keeps the hours of
    // the entries left there.
    void editPostsBothDays_data()
    {
        QTest::addColumn<int>("worker"); // 0 ivanov, 1 petrov
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("shift");
        QTest::newRow("another worker") << 1 << 0 << 1;
        QTest::newRow("another date") << 0 << 1 << 1;
        QTest::newRow("another shift") << 0 << 0 << 3;
        QTest::newRow("another month") << 0 << 20 << 1;
        QTest::newRow("all at once") << 1 << 20 << 4;
    }

    void editPostsBothDays()
    {
        QFETCH(int, worker);
        QFETCH(int, days);
        QFETCH(int, shift);
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(ivanov, 3)), QString());
        EntryDraft moving = draft(ivanov, 8);
        moving.colour = QStringLiteral("2");
        QCOMPARE(store.save(moving), QString());
        const int id = lastEntry();
        db->exec(
            QStringLiteral("update accounts_dep.smena set ok='ok', prize=5, id_doc=7 where id=%1").arg(id));
        QCOMPARE(cell(ivanov, 1, day), 11);
        const int to = worker ? petrov : ivanov;
        const QDate date = day.addDays(days);
        EntryDraft moved = draft(to, 6, shift, date);
        moved.entryId = id;
        QCOMPARE(store.save(moved), QString());
        QCOMPARE(cell(ivanov, 1, day), 3);
        QCOMPARE(cell(to, shift, date), 6);
        QCOMPARE(db->scalar(QStringLiteral(
                                "select concat_ws('|', ok, prize, id_doc, vvod) from accounts_dep.smena "
                                "where id=%1")
                                .arg(id))
                     .toString(),
                 QStringLiteral("ok|0|0|2023-03-16 00:00:00"));
    }

    void goneMeanwhile_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("the entry") << "smena" << QStringLiteral("Позиция удалена другим пользователем.");
        const QString operationGone =
            QStringLiteral("Операция удалена или изменена другим пользователем. Выберите её заново.");
        QTest::newRow("the operation") << "oper" << operationGone;
        QTest::newRow("the product, picked again")
            << "izdel" << QStringLiteral("Изделие удалено другим пользователем. Выберите операцию заново.");
        // The entry's own operation and product, not picked again: only the operation must be there,
        // and the stored price stays.
        QTest::newRow("the product, own pick") << "izdel own" << QString();
        QTest::newRow("operation given another product, own pick") << "moved own" << QString();
        QTest::newRow("operation given another product, picked again") << "moved" << operationGone;
    }

    void goneMeanwhile()
    {
        QFETCH(QString, what);
        QFETCH(QString, message);
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(ivanov, 8)), QString());
        EntryDraft edit = draft(ivanov, 5);
        edit.entryId = lastEntry();
        edit.price = 99; // what the editor holds: the stored price
        if (what == QLatin1String("smena"))
            db->exec(QStringLiteral("delete from accounts_dep.smena"));
        else if (what == QLatin1String("oper"))
            db->exec(QStringLiteral("delete from accounts_dep.oper where id=%1").arg(cutting));
        else if (what.startsWith(QLatin1String("izdel")))
            db->exec(QStringLiteral("delete from accounts_dep.izdel where id=%1").arg(product));
        else
            db->exec(QStringLiteral("update accounts_dep.oper set i_id=i_id+1000 where id=%1").arg(cutting));
        if (what == QLatin1String("izdel") || what == QLatin1String("moved"))
            edit.entryId.reset(); // a new entry: its operation and product were picked
        QCOMPARE(store.save(edit), message);
        QCOMPARE(cell(ivanov, 1, day), message.isEmpty() ? 5 : 8);
        if (message.isEmpty())
            QCOMPARE(
                db->scalar(
                      QStringLiteral("select cena from accounts_dep.smena where id=%1").arg(*edit.entryId))
                    .toDouble(),
                99.0);
    }

    // A save waits only for saves of the same worker's shift and month: another shift of the same
    // worker and day goes on while a client holds the first.
    void savesWaitOnlyForTheSameShift()
    {
        const int month = day.year() * 100 + day.month();
        const AdvisoryKey held = advisoryKey({locks::WorkerShift, ivanov, 1, month});
        auto holder =
            db->startScript(QStringLiteral("select pg_advisory_xact_lock(%1, %2); select pg_sleep(3);")
                                .arg(held.space)
                                .arg(held.value));
        QVERIFY(db->waitForLockHolder(held.space, held.value));
        QElapsedTimer t;
        t.start();
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(ivanov, 4, 2)), QString()); // shift 2: not held
        QCOMPARE(store.save(draft(petrov, 4, 1)), QString()); // another worker
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(holder->state() != QProcess::NotRunning);
        QCOMPARE(store.save(draft(ivanov, 5, 1)), QString()); // shift 1: after the holder
        QVERIFY(holder->waitForFinished(5000));
        QVERIFY2(t.elapsed() >= 2500, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(cell(ivanov, 1, day), 5);
        QCOMPARE(cell(ivanov, 2, day), 4);
    }

    void removeReposts()
    {
        EntryStore store(data.get());
        QCOMPARE(store.save(draft(ivanov, 5, 2)), QString());
        const int first = lastEntry();
        EntryDraft second = draft(ivanov, 3, 2);
        second.colour = QStringLiteral("1");
        QCOMPARE(store.save(second), QString());
        const int last = lastEntry();
        QCOMPARE(store.save(draft(ivanov, 7, 2, day.addDays(1))), QString());
        QCOMPARE(cell(ivanov, 2, day), 8);
        QVERIFY(store.remove(first));
        QCOMPARE(cell(ivanov, 2, day), 3);
        QVERIFY(store.remove(last));
        QCOMPARE(cell(ivanov, 2, day), 0); // the last one gone: the day is 0, the others stay
        QCOMPARE(cell(ivanov, 2, day.addDays(1)), 7);
        QVERIFY(!store.remove(last)); // another client was first
        // Its own worker, date and shift count, whatever a view showed: moved meanwhile.
        QCOMPARE(store.save(draft(petrov, 4, 4)), QString());
        const int overtime = lastEntry();
        db->exec(
            QStringLiteral("update accounts_dep.smena set w_id=%1 where id=%2").arg(ivanov).arg(overtime));
        db->exec(
            QStringLiteral(
                "insert into accounts_dep.h_tabel (w_id, smena, month, year, d15) values (%1, 4, 3, 2023, 4)")
                .arg(ivanov));
        QVERIFY(store.remove(overtime));
        QCOMPARE(cell(ivanov, 4, day), 0);
        QCOMPARE(cell(petrov, 4, day), 4); // not the row it was saved to: only a rebuild mends that one
    }

    void toggledMark_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("next");
        QTest::newRow("no") << "no"
                            << "ok";
        QTest::newRow("OK") << "OK"
                            << "ok";
        QTest::newRow("ta") << "ta"
                            << "ok";
        QTest::newRow("empty") << ""
                               << "ok";
        QTest::newRow("ok") << "ok"
                            << "no";
        QTest::newRow("да") << QStringLiteral("да") << "no";
    }

    void toggledMark()
    {
        QFETCH(QString, mark);
        QFETCH(QString, next);
        QCOMPARE(EntryStore::toggledMark(mark), next);
    }

    // Four clients at once: new entries, moves, repeated saves of the same entry and deletions over
    // three workers and three days. Afterwards every day cell is the sum of its entries' hours, and the
    // history, replayed from an empty table, gives exactly the entries.
    void concurrentClientsKeepTheTimesheetExact()
    {
        data.reset();
        const qint64 historyBefore = test::lastHistoryLine(db->connection());
        const test::Workload w = test::makeWorkload(db->connection());
        std::vector<std::future<test::ClientResult>> clients;
        for (quint32 seed = 1; seed <= 4; ++seed)
            clients.push_back(std::async(std::launch::async, [&, seed] {
                return test::runClient(w, db->driver(), db->connection().connectionString(), 60, seed);
            }));
        test::ClientResult all;
        for (auto &c : clients)
            all += c.get();
        QCOMPARE(all.failed, 0); // no deadlock: every client takes its locks in the same order
        QVERIFY2(all.saved > 10 && all.refused > 0 && all.moved > 5 && all.deleted > 5,
                 qPrintable(QStringLiteral("%1 saved, %2 refused, %3 moved, %4 deleted")
                                .arg(all.saved)
                                .arg(all.refused)
                                .arg(all.moved)
                                .arg(all.deleted)));
        const test::Mismatches m = test::checkTimesheet(db->connection());
        QCOMPARE(m.cells, 0);
        QCOMPARE(m.rows, 0);
        QCOMPARE(m.duplicates, 0);
        const test::Replay replay = test::replayEntries(db->connection(), historyBefore);
        QVERIFY(replay.lines > all.saved); // saves, moves, marks and deletions each left a line
        QVERIFY(!replay.entries.isEmpty());
        QCOMPARE(replay.fromHistory, replay.entries);
    }
};

QTEST_MAIN(TestEntryStore)
#include "tst_entrystore.moc"
