#include "data/dataerror.h"
#include "data/inputcheck.h"
#include "data/sqlparams.h"

#include <QLocale>
#include <QTest>

#include <limits>

using namespace tabel;

class TestSqlParams : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void positional_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("plain") << QStringLiteral("select 1") << QStringLiteral("select 1") << QStringList{};
        QTest::newRow("two") << QStringLiteral("where data=:data and ok!=:ok order by fio")
                             << QStringLiteral("where data=? and ok!=? order by fio")
                             << QStringList{QStringLiteral("data"), QStringLiteral("ok")};
        QTest::newRow("casts stay") << QStringLiteral("s_code::t_id=w_id and kol_vo::numeric, :Mnth")
                                    << QStringLiteral("s_code::t_id=w_id and kol_vo::numeric, ?")
                                    << QStringList{QStringLiteral("mnth")};
        QTest::newRow("quoted text stays")
            << QStringLiteral("select ':x', 'it''s :y', \":z\" from t where a=:a")
            << QStringLiteral("select ':x', 'it''s :y', \":z\" from t where a=?")
            << QStringList{QStringLiteral("a")};
        QTest::newRow("repeated name")
            << QStringLiteral("a<:data2 and a>=:data1 or b=:DATA1") << QStringLiteral("a<? and a>=? or b=?")
            << QStringList{QStringLiteral("data2"), QStringLiteral("data1"), QStringLiteral("data1")};
        QTest::newRow("time literal")
            << QStringLiteral("select '10:30' ,:t") << QStringLiteral("select '10:30' ,?")
            << QStringList{QStringLiteral("t")};
        QTest::newRow("line breaks") << QStringLiteral("select\n:a\n-- :b comment\n,:c")
                                     << QStringLiteral("select\n?\n-- :b comment\n,?")
                                     << QStringList{QStringLiteral("a"), QStringLiteral("c")};
        QTest::newRow("unclosed quote")
            << QStringLiteral("select 'abc :x") << QStringLiteral("select 'abc :x") << QStringList{};
    }

    void positional()
    {
        QFETCH(QString, statement);
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        const PositionalStatement p = toPositional(statement);
        QCOMPARE(p.text, text);
        QCOMPARE(p.names, names);
    }

    void quoting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("literal");
        QTest::newRow("plain") << QStringLiteral("ПН-27") << QStringLiteral("'ПН-27'");
        QTest::newRow("apostrophe") << QStringLiteral("O'Brien") << QStringLiteral("'O''Brien'");
        QTest::newRow("injection") << QStringLiteral("x'; drop table accounts_dep.smena; --")
                                   << QStringLiteral("'x''; drop table accounts_dep.smena; --'");
        QTest::newRow("empty") << QString() << QStringLiteral("''");
    }

    void quoting()
    {
        QFETCH(QString, text);
        QFETCH(QString, literal);
        QCOMPARE(quoted(text), literal);
    }

    void numbersInStatements_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("two and a half") << 2.5 << QStringLiteral("2.5");
        QTest::newRow("whole") << 3.0 << QStringLiteral("3");
        QTest::newRow("zero") << 0.0 << QStringLiteral("0");
        QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
        QTest::newRow("small, no exponent") << 0.000001 << QStringLiteral("0.000001");
        QTest::newRow("large, no exponent, no grouping") << 1e20 << QStringLiteral("100000000000000000000");
        QTest::newRow("binary noise rounded away") << 0.1 + 0.2 << QStringLiteral("0.3");
        QTest::newRow("15 significant digits") << 1234567.891234567 << QStringLiteral("1234567.89123457");
        QTest::newRow("negative") << -12.75 << QStringLiteral("-12.75");
    }

    void numbersInStatements()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); // a comma locale changes nothing
        QCOMPARE(sqlNumber(value), text);
    }

    void nonFiniteNumbersNeverWritten_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
    }

    void nonFiniteNumbersNeverWritten()
    {
        QFETCH(double, value);
        QVERIFY_THROWS_EXCEPTION(DataError, sqlNumber(value));
    }

    void textRefusals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("refusal"); // empty: stored as it is
        const QString field = QStringLiteral("В поле «ФИО» ");
        QTest::newRow("apostrophes and backslashes") << QStringLiteral("O'Brien \\' x") << 254 << QString();
        QTest::newRow("tab kept") << QStringLiteral("a\tb") << 254 << QString();
        QTest::newRow("NUL") << QString(QStringLiteral("ab") + QChar(0) + QStringLiteral("c")) << 254
                             << field + QStringLiteral("недопустимый символ \\u0000.");
        QTest::newRow("line feed") << QStringLiteral("a\nb") << 254
                                   << field + QStringLiteral("недопустимый символ \\u000a.");
        QTest::newRow("DEL") << QStringLiteral("a\x7f") << 254
                             << field + QStringLiteral("недопустимый символ \\u007f.");
        QTest::newRow("lone surrogate")
            << QString(QChar(0xd800)) << 254 << field + QStringLiteral("недопустимый символ \\ud800.");
        QTest::newRow("4-byte characters count once")
            << QString::fromUcs4(U"\U0001F600\U0001F600") << 2 << QString();
        QTest::newRow("too long") << QString(255, QLatin1Char('x')) << 254
                                  << field + QStringLiteral("не больше 254 знаков, введено 255.");
        QTest::newRow("no limit") << QString(10000, QLatin1Char('x')) << 0 << QString();
    }

    void textRefusals()
    {
        QFETCH(QString, text);
        QFETCH(int, maxLength);
        QFETCH(QString, refusal);
        QCOMPARE(textRefusal(QStringLiteral("ФИО"), text, maxLength), refusal);
    }

    void visibleTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QStringLiteral("Иванов") << QStringLiteral("Иванов");
        QTest::newRow("NUL and bell")
            << QString(QStringLiteral("a") + QChar(0) + QChar(7)) << QStringLiteral("a\\u0000\\u0007");
        QTest::newRow("cut") << QString(70, QLatin1Char('x'))
                             << QString(60, QLatin1Char('x')) + QStringLiteral("…");
    }

    void visibleTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(visibleText(text), shown);
    }

    void typedNumbers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("value");
        QTest::newRow("comma") << QStringLiteral("2,5") << true << 2.5;
        QTest::newRow("point") << QStringLiteral("2.5") << true << 2.5;
        QTest::newRow("whole, blanks around") << QStringLiteral(" 3 ") << true << 3.0;
        QTest::newRow("two commas") << QStringLiteral("2,5,1") << false << 0.0;
        QTest::newRow("letters") << QStringLiteral("abc") << false << 0.0;
        QTest::newRow("empty") << QString() << false << 0.0;
        QTest::newRow("comma alone") << QStringLiteral(",") << false << 0.0;
        QTest::newRow("infinity") << QStringLiteral("inf") << false << 0.0;
    }

    void typedNumbers()
    {
        QFETCH(QString, typed);
        QFETCH(bool, isNumber);
        QFETCH(double, value);
        const std::optional<double> n = typedNumber(typed);
        QCOMPARE(n.has_value(), isNumber);
        if (n)
            QCOMPARE(*n, value);
    }
};

QTEST_GUILESS_MAIN(TestSqlParams)
#include "tst_sqlparams.moc"
