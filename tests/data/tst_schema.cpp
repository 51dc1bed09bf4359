#include "data/transaction.h"
#include "testsupport/databasetest.h"
#include "testsupport/testdatabase.h"

#include <QTest>

using namespace tabel;

// What the schema does by itself when rows are written.
class TestSchema : public test::DatabaseTest
{
    Q_OBJECT

    QString persons()
    {
        return db
            ->scalar(QStringLiteral(
                "select string_agg(id || ':' || coalesce(s_code, '-') || ':' || s_caption, ' | ' "
                "order by id) from cmn_contractor.person"))
            .toString();
    }

private Q_SLOTS:
    void init() { db->clear(); }

    // A new worker of the book and the enterprise persons that were there before it.
    void workerGetsAPersonOnlyWhenNoneExists_data()
    {
        QTest::addColumn<QString>("before");   // enterprise persons already there
        QTest::addColumn<QString>("expected"); // after adding worker 1 "Новиков Н.Н." and renaming him
        QTest::newRow("none: one under the worker's id, renamed with him")
            << QString() << QStringLiteral("1:1:Новикова Н.Н.");
        QTest::newRow("the worker's id taken by someone else: left alone, a key no worker can have")
            << QStringLiteral("(1, '900', 'Директор Д.Д.')")
            << QStringLiteral("-1:1:Новикова Н.Н. | 1:900:Директор Д.Д.");
        QTest::newRow("a person with the worker's code: left as it is, nothing added")
            << QStringLiteral("(70, '1', 'Новиков Николай Николаевич')")
            << QStringLiteral("70:1:Новиков Николай Николаевич");
    }

    void workerGetsAPersonOnlyWhenNoneExists()
    {
        QFETCH(QString, before);
        QFETCH(QString, expected);
        if (!before.isEmpty())
            db->exec(QStringLiteral("insert into cmn_contractor.person (id, s_code, s_caption) values ") +
                     before);
        QCOMPARE(db->scalar(QStringLiteral(
                                "insert into accounts_dep.person (fio) values ('Новиков Н.Н.') returning id"))
                     .toInt(),
                 1);
        db->exec(QStringLiteral("update accounts_dep.person set fio = 'Новикова Н.Н.' where id = 1"));
        QCOMPARE(persons(), expected);
    }

    // The person made under a fresh key must never be found by a later worker's id.
    void freshKeyIsNoWorkersId()
    {
        db->exec(QStringLiteral(
            "insert into cmn_contractor.person (id, s_code, s_caption) values (1, '900', 'Директор Д.Д.')"));
        db->exec(QStringLiteral(
            "insert into accounts_dep.person (fio) values ('Новиков Н.Н.'), ('Петров П.П.'), ('Сидоров С.С.')"));
        // Every worker is found exactly once, by id or code, as the register joins them.
        QCOMPARE(
            db
                ->scalar(QStringLiteral(
                    "select string_agg(w.id || '=' || (select count(*) from cmn_contractor.person p "
                    "where w.id = p.id or p.s_code::t_id = w.id), ',' order by w.id) from accounts_dep.person w"))
                .toString(),
            QStringLiteral("1=2,2=1,3=1")); // worker 1 also meets the director's row: his id was taken
    }

    void changingOtherColumnsLeavesThePersonAlone()
    {
        db->exec(QStringLiteral("insert into accounts_dep.person (fio) values ('Новиков Н.Н.')"));
        db->exec(QStringLiteral("update cmn_contractor.person set s_caption = 'Новиков Н. (кадры)'"));
        db->exec(QStringLiteral("update accounts_dep.person set s_staffpos_hl = 'Маляр'"));
        QCOMPARE(persons(), QStringLiteral("1:1:Новиков Н. (кадры)"));
    }

    // A new operation is listed at once: it gets a first norm row when its transaction leaves it
    // without any; one that brings its own norms keeps just those.
    void newOperationGetsAFirstNorm()
    {
        db->exec(QStringLiteral(
            "insert into accounts_dep.oper (vid, naimen, i_id, cena_new) values (1, 0, 1, 2.5)"));
        QCOMPARE(db->scalar(QStringLiteral("select string_agg(norma || '/' || price || '/' || prize, ',') "
                                           "from accounts_dep.norm"))
                     .toString(),
                 QStringLiteral("0/2.5/0"));
        {
            Transaction transaction(db->connection());
            db->exec(
                QStringLiteral("insert into accounts_dep.oper (id, vid, naimen, i_id) values (50, 2, 0, 1)"));
            db->exec(QStringLiteral(
                "insert into accounts_dep.norm (o_id, norma, price, prize) values (50, 120, 3, 5)"));
            transaction.commit();
        }
        QCOMPARE(
            db->scalar(QStringLiteral("select string_agg(norma || '/' || price, ',') from accounts_dep.norm "
                                      "where o_id = 50"))
                .toString(),
            QStringLiteral("120/3"));
    }

    // Ordinary inserts take their keys from the sequences only; a row written with its own key moves
    // nothing (the legacy import moves the sequences itself, in its transaction).
    void carriedOverKeysLeaveTheSequences_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::newRow("entries") << QStringLiteral("accounts_dep.smena") << QStringLiteral("w_id");
        QTest::newRow("time sheet") << QStringLiteral("accounts_dep.h_tabel") << QStringLiteral("w_id");
        QTest::newRow("kinds") << QStringLiteral("accounts_dep.vid_oper") << QStringLiteral("vid");
        QTest::newRow("goods") << QStringLiteral("cmn_gds_and_srv.gds_and_srv")
                               << QStringLiteral("s_caption");
    }

    void carriedOverKeysLeaveTheSequences()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        db->exec(QStringLiteral("insert into %1 (id, %2) values (40, '1')").arg(table, column));
        QCOMPARE(
            db->scalar(QStringLiteral("insert into %1 (%2) values ('3') returning id").arg(table, column))
                .toInt(),
            1);
    }
};

QTEST_MAIN(TestSchema)
#include "tst_schema.moc"
