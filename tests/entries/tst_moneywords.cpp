#include "shop/moneywords.h"

#include <QTest>

using namespace tabel;

// Sums as a pay statement writes them, in figures and in words: each count's form (1 рубль, 2
// рубля, 5 рублей, 11–14), the thousands feminine, the scales, kopecks, and the report's rounding.
class TestMoneyWords : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void words_data()
    {
        QTest::addColumn<qint64>("kopecks");
        QTest::addColumn<QString>("figures");
        QTest::addColumn<QString>("words");
        QTest::newRow("0") << qint64(0) << "0,00"
                           << "ноль рублей 00 копеек";
        QTest::newRow("1") << qint64(100) << "1,00"
                           << "один рубль 00 копеек";
        QTest::newRow("2") << qint64(200) << "2,00"
                           << "два рубля 00 копеек";
        QTest::newRow("5") << qint64(500) << "5,00"
                           << "пять рублей 00 копеек";
        QTest::newRow("11") << qint64(1100) << "11,00"
                            << "одиннадцать рублей 00 копеек";
        QTest::newRow("21") << qint64(2100) << "21,00"
                            << "двадцать один рубль 00 копеек";
        QTest::newRow("112") << qint64(11200) << "112,00"
                             << "сто двенадцать рублей 00 копеек";
        QTest::newRow("1000") << qint64(100000) << "1 000,00"
                              << "одна тысяча рублей 00 копеек";
        QTest::newRow("2000") << qint64(200000) << "2 000,00"
                              << "две тысячи рублей 00 копеек";
        QTest::newRow("11000") << qint64(1100000) << "11 000,00"
                               << "одиннадцать тысяч рублей 00 копеек";
        QTest::newRow("1 000 000") << qint64(100000000) << "1 000 000,00"
                                   << "один миллион рублей 00 копеек";
        QTest::newRow("12 345,67") << qint64(1234567) << "12 345,67"
                                   << "двенадцать тысяч триста сорок пять рублей 67 копеек";
        QTest::newRow("1 копейка") << qint64(1) << "0,01"
                                   << "ноль рублей 01 копейка";
        QTest::newRow("22 копейки") << qint64(22) << "0,22"
                                    << "ноль рублей 22 копейки";
        QTest::newRow("12 копеек") << qint64(12) << "0,12"
                                   << "ноль рублей 12 копеек";
        QTest::newRow("2 002 001,50") << qint64(200200150) << "2 002 001,50"
                                      << "два миллиона две тысячи один рубль 50 копеек";
        QTest::newRow("negative") << qint64(-150) << "-1,50"
                                  << "минус один рубль 50 копеек";
    }
    void words()
    {
        QFETCH(qint64, kopecks);
        QFETCH(QString, figures);
        QFETCH(QString, words);
        QCOMPARE(moneyFigures(kopecks), figures);
        QCOMPARE(moneyInWords(kopecks), words);
    }

    // Halves away from zero, also where binary fractions fall just below: 1.005 is 1,01 in print.
    void rounding_data()
    {
        QTest::addColumn<double>("rubles");
        QTest::addColumn<qint64>("kopecks");
        QTest::newRow("exact") << 12.5 << qint64(1250);
        QTest::newRow("half up") << 1.005 << qint64(101);
        QTest::newRow("below half") << 1.0049 << qint64(100);
        QTest::newRow("negative half") << -2.675 << qint64(-268);
        QTest::newRow("a sum of pieces") << 37 * 0.35 << qint64(1295);
    }
    void rounding()
    {
        QFETCH(double, rubles);
        QFETCH(qint64, kopecks);
        QCOMPARE(toKopecks(rubles), kopecks);
    }
};

QTEST_GUILESS_MAIN(TestMoneyWords)
#include "tst_moneywords.moc"
