#include "reportengine/formula.h"

#include <QTest>

using namespace tabel::report;

namespace {
const QStringList kFields = {QStringLiteral("fio"),   QStringLiteral("naimen"), QStringLiteral("color"),
                             QStringLiteral("kolvo"), QStringLiteral("summa"),  QStringLiteral("vid")};

class Row : public FormulaContext
{
public:
    QVariantList values;
    int page = 1;
    int total = 1;
    QVariant field(int i) const override { return values.value(i); }
    double aggregate(int) const override { return 0; }
    int pageNumber() const override { return page; }
    int totalPages() const override { return total; }
};

QString run(const QString &formula, const QVariantList &values, int page = 1, int total = 1)
{
    Row row;
    row.values = values;
    row.page = page;
    row.total = total;
    int next = 0;
    return Formula::parse(formula, QStringLiteral("t_Report"), kFields, &next).evaluate(row).toText();
}

const QString kKind = QStringLiteral("IF(naimen=0,'Готовая продукция','Заготовки')");
const QString kColour = QStringLiteral("if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')");
} // namespace

class TestFormula : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void evaluate_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QVariantList>("row");
        QTest::addColumn<QString>("result");
        const QVariantList r0 = {QStringLiteral("Зайцев А.В."), 0, 0, 12.0, 30.5, QStringLiteral("Резка")};
        const QVariantList r1 = {QStringLiteral("Зайцев А.В."), 1, 1, 2.0, 3.25, QStringLiteral("Покраска")};
        const QVariantList rRal = {QStringLiteral("Петров"), 1, 1013, 7.0, 0.0, QStringLiteral("Краска")};
        QTest::newRow("number") << QStringLiteral("12") << r0 << QStringLiteral("12");
        QTest::newRow("decimal number") << QStringLiteral("12.5") << r0 << QStringLiteral("12.5");
        QTest::newRow("text") << QStringLiteral("'Итого:'") << r0 << QStringLiteral("Итого:");
        QTest::newRow("text with apostrophe") << QStringLiteral("'it''s'") << r0 << QStringLiteral("it's");
        QTest::newRow("field") << QStringLiteral("fio") << r0 << QStringLiteral("Зайцев А.В.");
        QTest::newRow("qualified field")
            << QStringLiteral("t_Report.fio") << r0 << QStringLiteral("Зайцев А.В.");
        QTest::newRow("field any case")
            << QStringLiteral("T_REPORT.FIO") << r0 << QStringLiteral("Зайцев А.В.");
        QTest::newRow("numbers add") << QStringLiteral("kolvo+summa+1") << r0 << QStringLiteral("43.5");
        QTest::newRow("texts join") << QStringLiteral("fio+' / '+vid") << r0
                                    << QStringLiteral("Зайцев А.В. / Резка");
        QTest::newRow("text and number join")
            << QStringLiteral("'№'+STR(kolvo)") << r0 << QStringLiteral("№12");
        QTest::newRow("equal") << QStringLiteral("IF(naimen=0,'да','нет')") << r0 << QStringLiteral("да");
        QTest::newRow("greater false")
            << QStringLiteral("IF(kolvo>12,'да','нет')") << r0 << QStringLiteral("нет");
        QTest::newRow("greater true")
            << QStringLiteral("IF(summa>30,'да','нет')") << r0 << QStringLiteral("да");
        QTest::newRow("text equal") << QStringLiteral("if(vid='Резка',1,2)") << r0 << QStringLiteral("1");
        QTest::newRow("product kind 0") << kKind << r0 << QStringLiteral("Готовая продукция");
        QTest::newRow("product kind 1") << kKind << r1 << QStringLiteral("Заготовки");
        QTest::newRow("colour 0") << kColour << r0 << QStringLiteral(" ");
        QTest::newRow("colour 1") << kColour << r1 << QStringLiteral(" (грунт)");
        QTest::newRow("colour 1013") << kColour << rRal << QStringLiteral(" (RAL: 1013)");
        QTest::newRow("nested IF, inner false")
            << QStringLiteral("IF(naimen=1,IF(color>5,'краска','грунт'),'нет')") << r1
            << QStringLiteral("грунт");
        QTest::newRow("STR of a fraction") << QStringLiteral("STR(summa)") << r1 << QStringLiteral("3.25");
        QTest::newRow("parentheses") << QStringLiteral("(kolvo+1)") << r0 << QStringLiteral("13");
        QTest::newRow("null field joins as empty")
            << QStringLiteral("'['+fio+']'") << QVariantList{QVariant(), 0, 0, 0, 0, QVariant()}
            << QStringLiteral("[]");
        QTest::newRow("null field adds as 0")
            << QStringLiteral("kolvo+1") << QVariantList{QVariant(), 0, 0, QVariant(), 0, QVariant()}
            << QStringLiteral("1");
        QTest::newRow("page number") << QStringLiteral("PAGENUMBER") << r0 << QStringLiteral("3");
        QTest::newRow("page X of Y") << QStringLiteral("'Страница '+STR(PAGENUMBER)+' из '+STR(TOTALPAGES)")
                                     << r0 << QStringLiteral("Страница 3 из 7");
    }

    void evaluate()
    {
        QFETCH(QString, formula);
        QFETCH(QVariantList, row);
        QFETCH(QString, result);
        QCOMPARE(run(formula, row, 3, 7), result);
    }

    void timesheetTotalOf31Days()
    {
        QStringList fields;
        QString formula;
        QVariantList values;
        for (int d = 1; d <= 31; ++d) {
            fields << QStringLiteral("sd%1").arg(d);
            formula += (d > 1 ? QStringLiteral("+") : QString()) + QStringLiteral("sd%1").arg(d);
            values << (d % 7 == 0 ? QVariant() : QVariant(d % 3)); // null days count as 0
        }
        Row row;
        row.values = values;
        int next = 0;
        const Formula f = Formula::parse(formula, QStringLiteral("H_Tabel"), fields, &next);
        int expected = 0;
        for (int d = 1; d <= 31; ++d)
            expected += d % 7 == 0 ? 0 : d % 3;
        QCOMPARE(f.evaluate(row).toText(), QString::number(expected));
    }

    void sumsGetTheirOwnIds()
    {
        int next = 0;
        const Formula a =
            Formula::parse(QStringLiteral("sum(kolvo)"), QStringLiteral("t_Report"), kFields, &next);
        const Formula b = Formula::parse(QStringLiteral("sum(summa)+sum(kolvo)"), QStringLiteral("t_Report"),
                                         kFields, &next);
        QCOMPARE(next, 3);
        QCOMPARE(a.aggregateIds(), std::vector<int>{0});
        QCOMPARE(b.aggregateIds(), (std::vector<int>{1, 2}));
        Row row;
        row.values = {QString(), 0, 0, 4.0, 2.5, QString()};
        std::vector<double> acc(3);
        b.accumulate(row, [&](int id, double v) { acc[size_t(id)] += v; });
        QCOMPARE(acc, (std::vector<double>{0, 2.5, 4.0}));
    }

    void rejected_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown field")
            << QStringLiteral("nom+1") << 1 << QStringLiteral("в запросе нет поля «nom»");
        QTest::newRow("other query") << QStringLiteral("w_Report.fio") << 1
                                     << QStringLiteral("нет запроса «w_Report»");
        QTest::newRow("IF short") << QStringLiteral("IF(naimen=0,'a')") << 16
                                  << QStringLiteral("ожидается «,»");
        QTest::newRow("unclosed text")
            << QStringLiteral("'abc") << 1 << QStringLiteral("нет закрывающего апострофа");
        QTest::newRow("dangling plus")
            << QStringLiteral("kolvo +") << 8 << QStringLiteral("формула оборвана");
        QTest::newRow("unclosed sum") << QStringLiteral("sum(kolvo") << 10 << QStringLiteral("ожидается «)»");
        QTest::newRow("unknown sign")
            << QStringLiteral("kolvo * 2") << 7 << QStringLiteral("недопустимый знак «*»");
        QTest::newRow("two values") << QStringLiteral("kolvo summa") << 7
                                    << QStringLiteral("лишний текст «summa»");
        QTest::newRow("empty") << QStringLiteral("  ") << 3 << QStringLiteral("пустая формула");
        QTest::newRow("comma alone") << QStringLiteral("STR(,)") << 5
                                     << QStringLiteral("ожидается значение, а не «,»");
        // Found by fuzzing: deep nesting used to exhaust the stack; a "%1" in the text stays as written.
        QTest::newRow("parentheses 3000 deep")
            << QString(3000, QLatin1Char('(')) << 101 << QStringLiteral("вложенность глубже 100");
        QTest::newRow("STR nested 200 times")
            << QStringLiteral("STR(").repeated(200) << 401 << QStringLiteral("вложенность глубже 100");
        QTest::newRow("percent digits in a text")
            << QStringLiteral("'%1 %2' +") << 10 << QStringLiteral("формула оборвана");
        QTest::newRow("too long") << QStringLiteral("kolvo+").repeated(700) + QStringLiteral("1") << 1
                                  << QStringLiteral("формула длиннее 4000 знаков");
    }

    void rejected()
    {
        QFETCH(QString, formula);
        QFETCH(int, position);
        QFETCH(QString, reason);
        int next = 0;
        try {
            Formula::parse(formula, QStringLiteral("t_Report"), kFields, &next);
            QFAIL("accepted");
        } catch (const ReportError &e) {
            QCOMPARE(e.message(), QStringLiteral("Формула «") + formula + QStringLiteral("», позиция ") +
                                      QString::number(position) + QStringLiteral(": ") + reason);
        }
    }
};

QTEST_GUILESS_MAIN(TestFormula)
#include "tst_formula.moc"
