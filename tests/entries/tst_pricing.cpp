#include "shop/pricing.h"
#include "ui/windowsetup.h"

#include <QTest>

using namespace tabel;

// The price rules, the rounding to 4 places and the number text of the entry editor.
class TestPricing : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useShopLocale(); }

    void entryPriceRules_data()
    {
        QTest::addColumn<double>("price");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<int>("shift");
        QTest::addColumn<QString>("shown"); // rounded, as "Цена итог" shows it
        QTest::newRow("shift 1") << 10.0 << false << 1 << QStringLiteral("10");
        QTest::newRow("shift 2") << 10.0 << false << 2 << QStringLiteral("10");
        QTest::newRow("shift 3: 10 gives 12, without binary noise")
            << 10.0 << false << 3 << QStringLiteral("12");
        QTest::newRow("overtime") << 10.0 << false << 4 << QStringLiteral("15");
        QTest::newRow("day off") << 10.0 << true << 1 << QStringLiteral("20");
        QTest::newRow("day off in overtime: three times") << 10.0 << true << 4 << QStringLiteral("30");
        QTest::newRow("day off in shift 3") << 0.7 << true << 3 << QStringLiteral("1,68");
        QTest::newRow("12.5 with a comma") << 12.5 << false << 1 << QStringLiteral("12,5");
        QTest::newRow("shift view out of range counts as shift 1")
            << 3.3 << false << 7 << QStringLiteral("3,3");
    }

    void entryPriceRules()
    {
        QFETCH(double, price);
        QFETCH(bool, dayOff);
        QFETCH(int, shift);
        QFETCH(QString, shown);
        QCOMPARE(numberText(roundPrice(entryPrice(price, dayOff, shift))), shown);
    }

    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a half up to even") << 0.00015 << QStringLiteral("0,0002");
        QTest::newRow("a half down to even") << 0.00025 << QStringLiteral("0,0002");
        QTest::newRow("a half at the fifth decimal") << 1.23445 << QStringLiteral("1,2344");
        QTest::newRow("the other half") << 1.23455 << QStringLiteral("1,2346");
        QTest::newRow("above a half") << 1.234551 << QStringLiteral("1,2346");
        QTest::newRow("below a half") << 1.234549 << QStringLiteral("1,2345");
        QTest::newRow("too small: 0") << 0.00004 << QStringLiteral("0");
        QTest::newRow("no decimals beyond four") << 2.675 << QStringLiteral("2,675");
        QTest::newRow("a sum: 3 x 12.000000000000002") << 3 * (10 * 1.2) << QStringLiteral("36");
        QTest::newRow("large") << 123456789.12345 << QStringLiteral("123456789,1234");
        QTest::newRow("no digit grouping") << 1234567.0 << QStringLiteral("1234567");
        QTest::newRow("negative half") << -0.00015 << QStringLiteral("-0,0002");
        QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    }

    void rounding()
    {
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(numberText(roundPrice(value)), shown);
    }

    void statementsTakeAPoint()
    {
        QCOMPARE(numberText(12.5, QLocale::c()), QStringLiteral("12.5"));
        QCOMPARE(numberText(roundPrice(0.12345678)), QStringLiteral("0,1235"));
    }

    void operationTextAndPaint_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("naimen");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("paint");
        QTest::newRow("finished") << QStringLiteral(" ПН-27 ") << QStringLiteral("Резка ") << 0
                                  << QStringLiteral("ПН-27; Резка; Готовая продукция") << false;
        QTest::newRow("blanks, paint in a longer word, lower case")
            << QStringLiteral("КР-40") << QStringLiteral("Покраска порошковая") << 1
            << QStringLiteral("КР-40; Покраска порошковая; Заготовки") << true;
        QTest::newRow("paint in the product's mark")
            << QStringLiteral("краска-1") << QStringLiteral("Гибка") << 0
            << QStringLiteral("краска-1; Гибка; Готовая продукция") << true;
        QTest::newRow("any other naimen is blanks")
            << QStringLiteral("A") << QStringLiteral("B") << 5 << QStringLiteral("A; B; Заготовки") << false;
    }

    void operationTextAndPaint()
    {
        QFETCH(QString, mark);
        QFETCH(QString, kind);
        QFETCH(int, naimen);
        QFETCH(QString, text);
        QFETCH(bool, paint);
        QCOMPARE(operationText(mark, kind, naimen), text);
        QCOMPARE(isPaintOperation(text), paint);
    }
};

QTEST_MAIN(TestPricing)
#include "tst_pricing.moc"
