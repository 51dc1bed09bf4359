#include "app/buildstamp.h"

#include <QTest>

using namespace tabel;

class TestBuildStamp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void stamp_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("buildDate");
        QTest::addColumn<int>("buildTime");
        QTest::newRow("21 November 2022")
            << QStringLiteral("Nov 21 2022") << QStringLiteral("20:43:13") << 20221121 << 74593;
        QTest::newRow("5 March 2023, blank-padded day")
            << QStringLiteral("Mar  5 2023") << QStringLiteral("07:08:09") << 20230305
            << 7 * 3600 + 8 * 60 + 9;
        QTest::newRow("zero-padded day")
            << QStringLiteral("Mar 05 2023") << QStringLiteral("07:08:09") << 20230305 << 25689;
        QTest::newRow("January") << QStringLiteral("Jan  1 2024") << QStringLiteral("00:00:00") << 20240101
                                 << 0;
        QTest::newRow("February") << QStringLiteral("Feb 29 2024") << QStringLiteral("23:59:59") << 20240229
                                  << 86399;
        QTest::newRow("April") << QStringLiteral("Apr 30 2025") << QStringLiteral("12:00:00") << 20250430
                               << 43200;
        QTest::newRow("May") << QStringLiteral("May 15 2025") << QStringLiteral("01:02:03") << 20250515
                             << 3723;
        QTest::newRow("June") << QStringLiteral("Jun 10 2025") << QStringLiteral("00:00:01") << 20250610 << 1;
        QTest::newRow("July") << QStringLiteral("Jul 10 2025") << QStringLiteral("00:00:01") << 20250710 << 1;
        QTest::newRow("August") << QStringLiteral("Aug 10 2025") << QStringLiteral("00:00:01") << 20250810
                                << 1;
        QTest::newRow("September") << QStringLiteral("Sep 10 2025") << QStringLiteral("00:00:01") << 20250910
                                   << 1;
        QTest::newRow("October") << QStringLiteral("Oct 10 2025") << QStringLiteral("00:00:01") << 20251010
                                 << 1;
        QTest::newRow("December") << QStringLiteral("Dec 10 2026") << QStringLiteral("10:00:00") << 20261210
                                  << 36000;
        QTest::newRow("date unavailable")
            << QStringLiteral("??? ?? ????") << QStringLiteral("00:00:00") << 19000101 << 0;
    }

    void stamp()
    {
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(int, buildDate);
        QFETCH(int, buildTime);
        const BuildStamp s = buildStamp(date, time);
        QCOMPARE(s.date, buildDate);
        QCOMPARE(s.time, buildTime);
    }

    void laterBuildHasLargerStamp()
    {
        const BuildStamp a = buildStamp(QStringLiteral("Dec 31 2025"), QStringLiteral("23:59:59"));
        const BuildStamp b = buildStamp(QStringLiteral("Jan  1 2026"), QStringLiteral("00:00:00"));
        QVERIFY(b.date > a.date);
    }

    void thisBuildIsRecent()
    {
        const BuildStamp s = thisBuild();
        QVERIFY(s.date >= 20260101);
        QVERIFY(s.date <= QDate::currentDate().addDays(1).toString(QStringLiteral("yyyyMMdd")).toInt());
        QVERIFY(s.time >= 0 && s.time < 86400);
    }
};

QTEST_GUILESS_MAIN(TestBuildStamp)
#include "tst_buildstamp.moc"
