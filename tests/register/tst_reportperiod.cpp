#include "shop/reportperiod.h"

#include <QTest>

using namespace tabel;

class TestReportPeriod : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void previousMonth_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("15 January 2024") << QDate(2024, 1, 15) << QDate(2023, 12, 1) << QDate(2024, 1, 1);
        QTest::newRow("15 March 2024") << QDate(2024, 3, 15) << QDate(2024, 2, 1) << QDate(2024, 3, 1);
        QTest::newRow("March 2023") << QDate(2023, 3, 31) << QDate(2023, 2, 1) << QDate(2023, 3, 1);
        QTest::newRow("1 January") << QDate(2025, 1, 1) << QDate(2024, 12, 1) << QDate(2025, 1, 1);
        QTest::newRow("31 December") << QDate(2026, 12, 31) << QDate(2026, 11, 1) << QDate(2026, 12, 1);
        QTest::newRow("October, two-digit months")
            << QDate(2026, 11, 10) << QDate(2026, 10, 1) << QDate(2026, 11, 1);
    }

    void previousMonth()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        const ReportPeriod p = previousMonthPeriod(today);
        QCOMPARE(p.from, from);
        QCOMPARE(p.to, to);
    }
};

QTEST_GUILESS_MAIN(TestReportPeriod)
#include "tst_reportperiod.moc"
