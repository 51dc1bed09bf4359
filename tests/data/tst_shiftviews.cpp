#include "data/datamodule.h"
#include "data/shiftviews.h"
#include "testsupport/shop.h"
#include "testsupport/testdatabase.h"

#include <QTest>

using namespace tabel;

// The register's four shift views, without a window.
class TestShiftViews : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> db;
    const QDate day{2023, 3, 15};
    int worker = 0, operation = 0;

    static QStringList marks(Dataset *d)
    {
        QStringList out;
        for (d->first(); !d->eof(); d->next())
            out << d->asString(QStringLiteral("ok"));
        out.sort();
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        db = std::make_unique<test::TestDatabase>();
        test::Shop shop(*db);
        worker = shop.worker(QStringLiteral("Антонов А.А."));
        operation =
            shop.operation(shop.product(QStringLiteral("ПН-27")), shop.kind(QStringLiteral("Резка")), 0, {2});
        // Shift s holds s entries of the day; one more of every shift the next day; marks of all kinds.
        for (int s = 1; s <= 4; ++s)
            for (int i = 0; i < s; ++i)
                shop.entry({day, s, worker, operation, 10 + i});
        for (int s = 1; s <= 4; ++s)
            shop.entry({day.addDays(1), s, worker, operation});
        shop.entry({day, 1, worker, operation, 1, 0, 1, 8, QStringLiteral("ta")});
        shop.entry({day, 1, worker, operation, 1, 0, 1, 8, QString()});
        shop.entry({day, 1, worker, operation, 1, 0, 1, 8, QStringLiteral("ok")});
    }
    void cleanupTestCase() { db.reset(); }

    void openForADate()
    {
        DataModule dm;
        db->connectModule(dm);
        ShiftViews views(&dm);
        views.setAcceptanceFilter(QStringLiteral("ta"));
        views.open(day);
        QCOMPARE(views.date(), day);
        // Shift 1: its own entry and the accepted one; "ta" and unmarked never.
        QCOMPARE(views.dataset(1)->recordCount(), 2);
        for (int s = 2; s <= 4; ++s)
            QCOMPARE(views.dataset(s)->recordCount(), s);
        views.open(day.addDays(1));
        for (int s = 1; s <= 4; ++s)
            QCOMPARE(views.dataset(s)->recordCount(), 1);
        // Refresh reads again with the parameters as they are.
        test::Shop(*db).entry({day.addDays(1), 3, worker, operation});
        views.refresh();
        QCOMPARE(views.dataset(3)->recordCount(), 2);
        QCOMPARE(views.date(), day.addDays(1));
    }

    void acceptanceFilter()
    {
        DataModule dm;
        db->connectModule(dm);
        ShiftViews views(&dm);
        // The design-time filter of Smena1 hides accepted entries; the login's "ta" shows them.
        QCOMPARE(views.acceptanceFilter(), QStringLiteral("ok"));
        views.open(day);
        QCOMPARE(marks(views.dataset(1)), QStringList({QStringLiteral("no"), QStringLiteral("ta")}));
        views.setAcceptanceFilter(QStringLiteral("ta"));
        for (int s = 1; s <= 4; ++s)
            QCOMPARE(views.dataset(s)->param(QStringLiteral("OK")).toString(), QStringLiteral("ta"));
        views.refresh();
        QCOMPARE(marks(views.dataset(1)), QStringList({QStringLiteral("no"), QStringLiteral("ok")}));
    }

    void currentView_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("expected");
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("3") << 3 << 3;
        QTest::newRow("overtime") << 4 << 4;
        QTest::newRow("0 counts as 1") << 0 << 1;
        QTest::newRow("5 counts as 1") << 5 << 1;
        QTest::newRow("-2 counts as 1") << -2 << 1;
    }

    void currentView()
    {
        QFETCH(int, view);
        QFETCH(int, expected);
        DataModule dm;
        ShiftViews views(&dm);
        views.setView(view);
        QCOMPARE(views.view(), expected);
        QCOMPARE(views.current(), dm.smena(expected));
        QCOMPARE(views.current()->name(), QStringLiteral("Smena%1").arg(expected));
    }
};

QTEST_MAIN(TestShiftViews)
#include "tst_shiftviews.moc"
