#include "reportengine/mask.h"

#include <QTest>

using namespace tabel::report;

class TestMask : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void format_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("text");
        QTest::newRow("12.5 two decimals") << 12.5 << QStringLiteral("#0.00") << QStringLiteral("12.50");
        QTest::newRow("2 three decimals") << 2.0 << QStringLiteral("#0.000") << QStringLiteral("2.000");
        QTest::newRow("0.4 whole") << 0.4 << QStringLiteral("#0") << QStringLiteral("0");
        QTest::newRow("2.5 whole") << 2.5 << QStringLiteral("#0") << QStringLiteral("3");
        QTest::newRow("3.5 whole") << 3.5 << QStringLiteral("#0") << QStringLiteral("4");
        QTest::newRow("below one keeps a zero") << 0.05 << QStringLiteral("#0.00") << QStringLiteral("0.05");
        QTest::newRow("negative") << -12.5 << QStringLiteral("#0.00") << QStringLiteral("-12.50");
        QTest::newRow("negative half") << -2.5 << QStringLiteral("#0") << QStringLiteral("-3");
        QTest::newRow("negative to zero") << -0.4 << QStringLiteral("#0") << QStringLiteral("0");
        QTest::newRow("decimal rounding, not binary")
            << 2.675 << QStringLiteral("#0.00") << QStringLiteral("2.68");
        QTest::newRow("carry") << 9.9996 << QStringLiteral("#0.000") << QStringLiteral("10.000");
        QTest::newRow("large") << 1234567.891 << QStringLiteral("#0.00") << QStringLiteral("1234567.89");
        QTest::newRow("grouped") << 1234567.891 << QStringLiteral("#,##0.00")
                                 << QStringLiteral("1,234,567.89");
        QTest::newRow("zero") << 0.0 << QStringLiteral("#0.000") << QStringLiteral("0.000");
    }

    void format()
    {
        QFETCH(double, value);
        QFETCH(QString, mask);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(value, mask, QLocale::c()), text);
    }

    void decimalSeparatorFollowsTheLocale()
    {
        const QLocale russian(QLocale::Russian, QLocale::Russia);
        QCOMPARE(formatNumber(12.5, QStringLiteral("#0.00"), russian), QStringLiteral("12,50"));
        QCOMPARE(formatNumber(-0.125, QStringLiteral("#0.00"), russian), QStringLiteral("-0,13"));
        QCOMPARE(formatNumber(2.5, QStringLiteral("#0"), russian), QStringLiteral("3"));
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(formatNumber(1234.5, QStringLiteral("#,##0.00"), german), QStringLiteral("1.234,50"));
    }
};

QTEST_GUILESS_MAIN(TestMask)
#include "tst_mask.moc"
