#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/transaction.h"
#include "testsupport/testdatabase.h"
#include "ui/messageservice.h"

#include <QTest>

using namespace tabel;

// Shared statements of the data module, run against the real schema.
class TestDataModule : public QObject
{
    Q_OBJECT
    test::TestDatabase *db = nullptr;
    DataModule *dm = nullptr;

    QStringList fios(Dataset *d)
    {
        QStringList out;
        for (d->first(); !d->eof(); d->next())
            out << d->asString(QStringLiteral("fio"));
        return out;
    }

    // One worker, product, kind and operation with a norm.
    void arrangeShop()
    {
        db->clear();
        db->exec(QStringLiteral(
            "insert into accounts_dep.person (id, fio) values (1, 'Антонов А.А.'), (2, 'Борисов Б.Б.')"));
        db->exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, nom) values "
                                "(10, 'ПН-27', 0.5, 'Профиль ПН 27'), (11, 'КР-40', 1, null)"));
        db->exec(QStringLiteral(
            "insert into accounts_dep.vid_oper (id, vid) values (1, 'Резка'), (2, 'Краска порошковая')"));
        Transaction transaction(db->connection()); // operations with their norms
        db->exec(QStringLiteral(
            "insert into accounts_dep.oper (id, vid, naimen, i_id) values (100, 1, 0, 10), (101, 2, 1, 11), (102, 1, 1, 11)"));
        db->exec(QStringLiteral(
            "insert into accounts_dep.norm (o_id, norma, price, prize) values (100, 100, 2.5, 0), (100, 200, 1.75, 0), (101, 50, 4, 5)"));
        transaction.commit();
        // Operation 102 as legacy data may have it: no norm row at all (the database gives new ones their
        // first).
        db->exec(QStringLiteral("delete from accounts_dep.norm where o_id = 102"));
    }

    void entry(int worker, int shift, const QString &ok, const QString &date = QStringLiteral("15.03.2023"))
    {
        db->exec(
            QStringLiteral(
                "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, kol_vo, brak, cena, color, time, ok, vvod) "
                "values ('%1', %2, %3, 10, 100, 10, 1, 2.5, 0, 4, %4, '%1')")
                .arg(date)
                .arg(shift)
                .arg(worker)
                .arg(ok.isNull() ? QStringLiteral("null") : QLatin1Char('\'') + ok + QLatin1Char('\'')));
    }

private Q_SLOTS:
    void initTestCase()
    {
        db = new test::TestDatabase;
        dm = new DataModule;
        db->connectModule(*dm);
    }
    void cleanupTestCase()
    {
        delete dm;
        delete db;
    }

    void everyStatementOpensOnTheDemoShop()
    {
        db->clear();
        db->loadDemo();
        const QDate today = QDate::currentDate();
        for (int s = 1; s <= 4; ++s) {
            dm->smena(s)->setParam(QStringLiteral("data"), today.addDays(-7));
            dm->smena(s)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        }
        for (int s = 1; s <= 3; ++s) {
            dm->hTabel(s)->setParam(QStringLiteral("mnth"), today.month());
            dm->hTabel(s)->setParam(QStringLiteral("yea"), today.year());
        }
        int withRows = 0;
        for (Dataset *d : dm->datasets()) {
            if (d->name() == QLatin1String("Control"))
                continue;
            d->close();
            d->open();
            QVERIFY2(d->isOpen(), qPrintable(d->name()));
            if (d->recordCount() > 0)
                ++withRows;
            d->close();
        }
        QVERIFY(withRows >= 8);
        // Register fields the window shows.
        Dataset *s1 = dm->smena(1);
        s1->open();
        for (const char *f : {"id", "fio", "marka", "vid", "nmn", "color", "time", "kol_vo", "brak", "summa",
                              "prize", "ok", "vvod"})
            QVERIFY2(s1->hasField(QLatin1String(f)), f);
        s1->close();
        // Commands with their own text.
        dm->operDel()->setParam(QStringLiteral("ID"), 250);
        dm->operDel()->execute();
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.oper where id=250")).toInt(),
                 0);
        for (Command *c : {dm->delSmena(), dm->hTabelIns(), dm->sqlExec(), dm->operIns(), dm->operEd()}) {
            c->setText(QStringLiteral("update accounts_dep.ver set delim = delim"));
            c->execute();
        }
    }

    void duplicateCount_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("count 0") << 0;
        QTest::newRow("count 2") << 2;
    }

    // The books' duplicate checks count through Control, compared without regard to letter case,
    // and leave it closed.
    void duplicateCount()
    {
        QFETCH(int, rows);
        db->clear();
        for (int i = 0; i < rows; ++i)
            db->exec(QStringLiteral("insert into accounts_dep.vid_oper (vid) values ('Резка')"));
        QCOMPARE(dm->duplicateCount(QStringLiteral(
                     "select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=upper('резка')")),
                 qint64(rows));
        QVERIFY(!dm->control()->isOpen());
    }

    void duplicateCountOfARejectedStatement()
    {
        const QStringList before = dm->control()->sql();
        QVERIFY_THROWS_EXCEPTION(DataError,
                                 dm->duplicateCount(QStringLiteral("select count(*) as cnt from nowhere")));
        QCOMPARE(dm->control()->sql(), before); // Control as it was
        QVERIFY(!dm->control()->isOpen());
    }

    void unmarkedAndHiddenEntriesNeverListed()
    {
        arrangeShop();
        entry(1, 2, QStringLiteral("no"));
        entry(1, 2, QStringLiteral("ok"));
        entry(1, 2, QStringLiteral("да"));
        entry(1, 2, QStringLiteral("ta"));
        entry(1, 2, QString()); // no mark at all
        entry(1, 1, QStringLiteral("no"));
        Dataset *d = dm->smena(2);
        d->close();
        d->setParam(QStringLiteral("data"), QDate(2023, 3, 15));
        d->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        d->open();
        QStringList marks;
        for (d->first(); !d->eof(); d->next())
            marks << d->asString(QStringLiteral("ok"));
        marks.sort();
        QCOMPARE(marks, (QStringList{QStringLiteral("no"), QStringLiteral("ok"), QStringLiteral("да")}));
        d->first();
        QCOMPARE(d->asDouble(QStringLiteral("summa")), 22.5); // (10 - 1) * 2.5
        QCOMPARE(d->asString(QStringLiteral("nmn")), QStringLiteral("Готовая продукция"));
        QCOMPARE(d->asString(QStringLiteral("marka")), QStringLiteral("ПН-27"));
        d->close();
    }

    void entryMatchingTwoPersonsListedTwice()
    {
        arrangeShop();
        // Worker key 5 is the id of one enterprise person and the personnel code of another.
        db->exec(QStringLiteral("insert into cmn_contractor.person (id, s_code, s_caption) values "
                                "(5, '900', 'Ветров В.В.'), (6, '5', 'Глебов Г.Г.')"));
        entry(5, 3, QStringLiteral("no"));
        Dataset *d = dm->smena(3);
        d->close();
        d->setParam(QStringLiteral("data"), QDate(2023, 3, 15));
        d->open();
        QCOMPARE(fios(d), (QStringList{QStringLiteral("Ветров В.В."), QStringLiteral("Глебов Г.Г.")}));
        d->close();
    }

    void workerOfTheBookIsFoundEverywhere()
    {
        arrangeShop();
        entry(2, 1, QStringLiteral("no"));
        db->exec(QStringLiteral(
            "insert into accounts_dep.h_tabel (smena, w_id, month, year, d15) values (1, 2, 3, 2023, 4)"));
        Dataset *d = dm->smena(1);
        d->close();
        d->setParam(QStringLiteral("data"), QDate(2023, 3, 15));
        d->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        d->open();
        QCOMPARE(fios(d), QStringList{QStringLiteral("Борисов Б.Б.")}); // once, by id and code alike
        d->close();
        Dataset *h = dm->hTabel(1);
        h->close();
        h->setParam(QStringLiteral("mnth"), 3);
        h->setParam(QStringLiteral("yea"), 2023);
        h->open();
        QCOMPARE(fios(h), QStringList{QStringLiteral("Борисов Б.Б.")});
        h->first();
        QCOMPARE(h->asInt(QStringLiteral("summ")), 4);
        QCOMPARE(h->asInt(QStringLiteral("d1")), 0); // the other days default to 0
        h->close();
        // A renamed worker is renamed in the enterprise too.
        db->exec(QStringLiteral("update accounts_dep.person set fio='Борисова Б.Б.' where id=2"));
        QCOMPARE(db->scalar(QStringLiteral("select s_caption from cmn_contractor.person where s_code='2'"))
                     .toString(),
                 QStringLiteral("Борисова Б.Б."));
    }

    void operListsOnlyOperationsWithNorms()
    {
        arrangeShop();
        Dataset *d = dm->oper();
        d->close();
        d->open();
        QCOMPARE(d->recordCount(), 2);
        QVERIFY(!d->locate(QStringLiteral("id"), 102));
        QVERIFY(d->locate(QStringLiteral("id"), 100));
        QCOMPARE(d->asInt(QStringLiteral("norma")), 2);
        QCOMPARE(d->asDouble(QStringLiteral("cena")), 1.75);
        QCOMPARE(d->asString(QStringLiteral("MARKA")), QStringLiteral("ПН-27"));
        QCOMPARE(d->asInt(QStringLiteral("oper_vid")), 1);
        QVERIFY(d->locate(QStringLiteral("id"), 101));
        QCOMPARE(d->asString(QStringLiteral("nmn")), QStringLiteral("Заготовки"));
        d->close();
    }

    void productsReadBackThroughIzdel()
    {
        arrangeShop();
        Dataset *d = dm->izdel();
        d->close();
        d->open();
        QCOMPARE(d->recordCount(), 2);
        QVERIFY(d->locate(QStringLiteral("id"), 11));
        QCOMPARE(d->asString(QStringLiteral("marka")), QStringLiteral("КР-40"));
        QCOMPARE(d->asString(QStringLiteral("nom")), QStringLiteral("КР-40")); // no name of its own: the mark
        QCOMPARE(d->asDouble(QStringLiteral("massa")), 1.0);
        d->close();
        // Written the way the product editor writes goods; the key comes from the database.
        db->exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv (s_caption, s_description, id_msm_bs, massa) "
            "values ('ХМ-12', '', 6, 0.25)"));
        QCOMPARE(
            db->scalar(QStringLiteral("select nom from accounts_dep.izdel where marka='ХМ-12'")).toString(),
            QStringLiteral("ХМ-12"));
        // The legacy import empties and fills it, ids carried over.
        db->exec(QStringLiteral("delete from accounts_dep.izdel"));
        db->exec(QStringLiteral(
            "insert into accounts_dep.izdel (id, marka, nom, massa) values (77, 'УГ-1', 'Уголок', 2)"));
        QCOMPARE(db->scalar(QStringLiteral("select s_caption from cmn_gds_and_srv.gds_and_srv where id=77"))
                     .toString(),
                 QStringLiteral("УГ-1"));
    }

    void upperCaseNamesReachTheSameTables()
    {
        arrangeShop();
        entry(1, 1, QStringLiteral("no"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.SMENA")).toInt(),
                 db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.OPER")).toInt(), 3);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.IZDEL")).toInt(), 2);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.VID_OPER")).toInt(), 2);
    }

    void nonDigitPersonnelCodeFailsTheCasts()
    {
        arrangeShop();
        db->exec(QStringLiteral(
            "insert into cmn_contractor.person (id, s_code, s_caption) values (50, 'A-17', 'Код Буквами')"));
        db->exec(QStringLiteral(
            "insert into accounts_dep.h_tabel (smena, w_id, month, year, d1) values (2, 1, 10, 2007, 8)"));
        Dataset *h = dm->hTabel(2);
        h->close();
        h->setParam(QStringLiteral("mnth"), 10);
        h->setParam(QStringLiteral("yea"), 2007);
        QVERIFY_THROWS_EXCEPTION(DataError, h->open());
        QVERIFY(!h->isOpen());
        db->exec(QStringLiteral("delete from cmn_contractor.person where id=50"));
    }
};

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
