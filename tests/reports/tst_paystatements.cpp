#include "data/dataset.h"
#include "reportengine/document.h"
#include "reportengine/fonts.h"
#include "reports/paystatements.h"
#include "reports/previewwindow.h"
#include "reports/reportdialog.h"
#include "reports/spreadsheet.h"
#include "shop/moneywords.h"
#include "shop/timesheetrebuild.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"
#include "ui/windowsetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tabel;
Q_DECLARE_METATYPE(tabel::ProductKindChoice)

namespace {

QString pdfText(const QString &path)
{
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    text.waitForFinished(60000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

// "1 234,56" or "25,63" as kopecks.
qint64 kopecksOf(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("[^0-9-]")));
    return text.toLongLong();
}
} // namespace

// The pay statements: their texts and totals on a small shop, the same sums as the report by workers
// on a generated one, the hours of the time sheet, and the dialog's preview and files per worker.
class TestPayStatements : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> db;
    QTemporaryDir config;
    int ivanov = 0, petrov = 0;

    void setShopName(const QString &name)
    {
        const QString path = config.filePath(QStringLiteral("tabel/tabel.conf"));
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("[shop]\nname = %1\n").arg(name).toUtf8());
    }

    std::vector<PayStatement> statements(const QDate &from, const QDate &to,
                                         ProductKindChoice kind = ProductKindChoice::All, int worker = 0)
    {
        return preparePayStatements(&db->connection(), {from, to, kind, worker, shopNameSetting()});
    }

private Q_SLOTS:
    void initTestCase()
    {
        useShopLocale();
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qputenv("TABEL_SYSTEM_CONFIG", config.filePath(QStringLiteral("none.conf")).toUtf8());
        setShopName(QStringLiteral("ООО «Металл», цех № 2"));
        db = std::make_unique<test::TestDatabase>();
        std::tie(ivanov, petrov) = test::reportShop(*db);
        for (int month : {2, 3, 4}) // the time sheet from the entries
            rebuildTimesheetMonth(&db->connection(), 2024, month);
    }
    void cleanupTestCase()
    {
        db.reset();
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("TABEL_SYSTEM_CONFIG");
    }

    // What the worker signs, read back from a real PDF: heading, lines by day with the day's totals
    // (to the tenth of a kopeck, as the report by workers shows a product's: the lines add up to the
    // total), the period's totals in figures and words, the hours by shift, the signature lines and the
    // pages.
    void statementAsPrinted()
    {
        std::vector<PayStatement> s = statements(QDate(2024, 3, 1), QDate(2024, 4, 1));
        QCOMPARE(s.size(), size_t(2));
        QCOMPARE(s[0].name, QStringLiteral("Иванов И.И."));
        QCOMPARE(s[0].kopecks, qint64(2563));
        QCOMPARE(s[1].kopecks, qint64(750));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("листки.pdf"));
        joinPayStatements(std::move(s)).writePdf(path);
        const QString text = pdfText(path);
        QStringList lines;
        for (const QString &l : text.split(u'\n'))
            if (!l.trimmed().isEmpty())
                lines << l.simplified();
        const QStringList expected = {
            QStringLiteral("ООО «Металл», цех № 2"),
            QStringLiteral("Расчётный листок"),
            QStringLiteral("Работник: Иванов И.И."),
            QStringLiteral("Период: с 01.03.2024 по 31.03.2024"),
            QStringLiteral("Дата Изделие Операция Вид продукции Цвет Кол-во Брак Цена Сумма"),
            QStringLiteral("01.03.2024 ПН-27 Резка Готовая продукция 10 0 1,5 15,000"),
            QStringLiteral("Итого за 01.03.2024 10 0 15,000"),
            QStringLiteral("05.03.2024 КР-40 Покраска Заготовки грунт 4 1 2,125 6,375"),
            QStringLiteral("Итого за 05.03.2024 4 1 6,375"),
            QStringLiteral("31.03.2024 КР-40 Покраска Заготовки RAL 1013 2 0 2,125 4,250"),
            QStringLiteral("Итого за 31.03.2024 2 0 4,250"),
            QStringLiteral("Итого за период: 16 1 25,63"),
            QStringLiteral("Итого к начислению: 25,63 (двадцать пять рублей 63 копейки)"),
            QStringLiteral("Часы по табелю:"),
            QStringLiteral("1 смена: 16 ч 2 смена: 8 ч 3 смена: 0 ч Переработка: 0 ч Всего: 24 ч"),
            QStringLiteral("Мастер ____________________"),
            QStringLiteral("(подпись)"),
            QStringLiteral("С расчётом ознакомлен ____________________ / ______________"),
            QStringLiteral("(подпись) (дата)"),
            QStringLiteral("Иванов И.И. Страница 1 из 1"),
        };
        QCOMPARE(lines.mid(0, expected.size()), expected);
        // The next worker from a new page, with pages of his own.
        const QStringList second = lines.mid(expected.size());
        QCOMPARE(second.value(0), QStringLiteral("ООО «Металл», цех № 2"));
        QCOMPARE(second.value(2), QStringLiteral("Работник: Петров П.П."));
        QVERIFY(second.contains(QStringLiteral("10.03.2024 ПН-27 Резка Готовая продукция 5 0 1,5 7,500")));
        QVERIFY(second.contains(QStringLiteral("Итого к начислению: 7,50 (семь рублей 50 копеек)")));
        QVERIFY(second.contains(
            QStringLiteral("1 смена: 0 ч 2 смена: 0 ч 3 смена: 0 ч Переработка: 8 ч Всего: 8 ч")));
        QCOMPARE(second.last(), QStringLiteral("Петров П.П. Страница 1 из 1"));
        QCOMPARE(text.count(u'\f'), 2); // two pages
    }

    // The product kind and one worker choose the lines; the hours stay the time sheet's, all kinds.
    void choice_data()
    {
        QTest::addColumn<ProductKindChoice>("kind");
        QTest::addColumn<bool>("onlyPetrov");
        QTest::addColumn<QStringList>("workers");
        QTest::addColumn<QStringList>("money");
        QTest::addColumn<QStringList>("hours");
        QTest::newRow("blanks") << ProductKindChoice::Blanks << false
                                << QStringList{QStringLiteral("Иванов И.И.")}
                                << QStringList{QStringLiteral(
                                       "Итого к начислению: 10,63 (десять рублей 63 копейки)")}
                                << QStringList{QStringLiteral("Всего: 24 ч")};
        QTest::newRow("finished")
            << ProductKindChoice::Finished << false
            << QStringList{QStringLiteral("Иванов И.И."), QStringLiteral("Петров П.П.")}
            << QStringList{QStringLiteral("Итого к начислению: 15,00 (пятнадцать рублей 00 копеек)"),
                           QStringLiteral("Итого к начислению: 7,50 (семь рублей 50 копеек)")}
            << QStringList{QStringLiteral("Всего: 24 ч"), QStringLiteral("Всего: 8 ч")};
        QTest::newRow("one worker") << ProductKindChoice::All << true
                                    << QStringList{QStringLiteral("Петров П.П.")}
                                    << QStringList{QStringLiteral(
                                           "Итого к начислению: 7,50 (семь рублей 50 копеек)")}
                                    << QStringList{QStringLiteral("Всего: 8 ч")};
        QTest::newRow("his blanks: none")
            << ProductKindChoice::Blanks << true << QStringList{} << QStringList{} << QStringList{};
    }

    void choice()
    {
        QFETCH(ProductKindChoice, kind);
        QFETCH(bool, onlyPetrov);
        QFETCH(QStringList, workers);
        QFETCH(QStringList, money);
        QFETCH(QStringList, hours);
        std::vector<PayStatement> s =
            statements(QDate(2024, 3, 1), QDate(2024, 4, 1), kind, onlyPetrov ? petrov : 0);
        QStringList names;
        for (const PayStatement &p : s)
            names << p.name;
        QCOMPARE(names, workers);
        const report::Document d = joinPayStatements(std::move(s));
        QCOMPARE(d.itemTexts(QStringLiteral("MoneyLabel")), money);
        QCOMPARE(d.itemTexts(QStringLiteral("HoursTotal")), hours);
    }

    // No shop name in the settings: nothing printed above the heading.
    void withoutShopName()
    {
        setShopName(QString());
        const auto restore = qScopeGuard([this] { setShopName(QStringLiteral("ООО «Металл», цех № 2")); });
        const report::Document d = joinPayStatements(statements(QDate(2024, 3, 1), QDate(2024, 4, 1)));
        QCOMPARE(d.itemTexts(QStringLiteral("ShopLabel")), (QStringList{QString(), QString()}));
    }

    // A long statement runs over pages counted for its worker alone, the columns' heading on each;
    // the next worker's statement starts on a new page from page 1.
    void pagesPerWorker()
    {
        test::Shop shop(*db);
        const int long1 = shop.worker(QStringLiteral("Долгов Д.Д."));
        const int short1 = shop.worker(QStringLiteral("Кратков К.К."));
        const int product = shop.product(QStringLiteral("ШП-10"));
        const int op = shop.operation(product, shop.kind(QStringLiteral("Гибка")), 0, {3});
        for (int day = 0; day < 28; ++day)
            for (int shift = 1; shift <= 3; ++shift)
                shop.entry({QDate(2025, 2, 1).addDays(day), shift, long1, op, 10, 0, 3, 8});
        shop.entry({QDate(2025, 2, 3), 1, short1, op, 1, 0, 3, 8});
        const report::Document d = joinPayStatements(statements(QDate(2025, 2, 1), QDate(2025, 3, 1)));
        const QStringList pages = d.itemTexts(QStringLiteral("pageNumber"));
        QCOMPARE(pages, (QStringList{QStringLiteral("Страница 1 из 3"), QStringLiteral("Страница 2 из 3"),
                                     QStringLiteral("Страница 3 из 3"), QStringLiteral("Страница 1 из 1")}));
        for (int p = 0; p < d.pageCount(); ++p)
            QCOMPARE(d.opsOf(p, QStringLiteral("head0")).size(), size_t(1));
        QCOMPARE(d.text(*d.opsOf(3, QStringLiteral("WorkerLabel")).front()),
                 QStringLiteral("Работник: Кратков К.К."));
        QCOMPARE(d.itemTexts(QStringLiteral("totalSumma")),
                 (QStringList{QStringLiteral("2") + QLocale().groupSeparator() + QStringLiteral("520,00"),
                              QStringLiteral("3,00")}));
        // Totals and signatures kept together after the last line.
        QCOMPARE(d.opsOf(2, QStringLiteral("masterLabel")).size(), size_t(1));
        QCOMPARE(d.opsOf(2, QStringLiteral("totalSumma")).size(), size_t(1));
    }

    // On a generated shop, every worker's sum is the report by workers' to the kopeck, for every
    // product kind; prices of three decimals put many sums on a half kopeck.
    void sameSumsAsTheReportByWorkers_data()
    {
        QTest::addColumn<ProductKindChoice>("kind");
        QTest::newRow("all") << ProductKindChoice::All;
        QTest::newRow("finished") << ProductKindChoice::Finished;
        QTest::newRow("blanks") << ProductKindChoice::Blanks;
    }

    void sameSumsAsTheReportByWorkers()
    {
        QFETCH(ProductKindChoice, kind);
        static bool generated = false;
        if (!generated) {
            generated = true;
            test::Shop shop(*db);
            for (int w = 0; w < 40; ++w)
                shop.worker(QStringLiteral("Работник %1").arg(w, 2, 10, QLatin1Char('0')));
            for (int p = 0; p < 6; ++p) {
                const int product = shop.product(QStringLiteral("ГП-%1").arg(p));
                for (int k = 0; k < 3; ++k)
                    shop.operation(product, shop.kind(QStringLiteral("Операция %1").arg(k)), (p + k) % 2,
                                   {1});
            }
            // 3000 entries of June 2025: prices with 3 decimals, rejects now and then, all shifts.
            db->exec(QStringLiteral(
                "select setseed(0.25); "
                "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, kol_vo, brak, cena, color, time, ok, vvod) "
                "select date '2025-06-01' + (random()*29)::int, 1 + (random()*3)::int, w.s_code::integer, o.i_id, o.id, "
                "q, case when random() < 0.2 then (random()*q/4)::int else 0 end, "
                "round((0.005 + random()*20)::numeric, 3)::float8, (random()*2)::int, 1 + (random()*11)::int, 'no', now() "
                "from generate_series(1, 3000) g, lateral (select 1 + (random()*300)::int as q) qq, "
                "lateral (select s_code from cmn_contractor.person where s_caption like 'Работник %' and g > 0 "
                "order by random() limit 1) w, "
                "lateral (select o.id, o.i_id from accounts_dep.oper o join accounts_dep.vid_oper v on v.id = o.vid "
                "where v.vid like 'Операция %' and g > 0 order by random() limit 1) o"));
        }
        const QDate from(2025, 6, 1), to(2025, 7, 1);
        std::unique_ptr<Dataset> query(
            newSummaryReportQuery(&db->connection(), SummaryReport::Workers, nullptr));
        const report::Document byWorkers =
            prepareSummaryReport(query.get(), {SummaryReport::Workers, from, to, kind});
        const QStringList names = byWorkers.itemTexts(QStringLiteral("fio"));
        const QStringList sums = byWorkers.itemTexts(QStringLiteral("fioSumma"));
        QVERIFY(names.size() >= 35);
        std::vector<PayStatement> s = statements(from, to, kind);
        QCOMPARE(int(s.size()), names.size());
        QStringList halves;
        for (size_t i = 0; i < s.size(); ++i) {
            QCOMPARE(s[i].name, names.at(qsizetype(i)));
            QCOMPARE(s[i].kopecks, kopecksOf(sums.at(qsizetype(i))));
            const report::Document &doc = s[i].document;
            QCOMPARE(
                kopecksOf(doc.text(*doc.opsOf(doc.pageCount() - 1, QStringLiteral("totalSumma")).front())),
                s[i].kopecks);
            QVERIFY(
                s[i].document.itemTexts(QStringLiteral("MoneyLabel"))
                    .value(0)
                    .startsWith(QStringLiteral("Итого к начислению: ") + moneyFigures(s[i].kopecks) + u' '));
        }
        // The statements' lines are the entries of the period and kind, each once.
        QString condition = kind == ProductKindChoice::Finished ? QStringLiteral(" and o.naimen = 0")
                            : kind == ProductKindChoice::Blanks ? QStringLiteral(" and o.naimen = 1")
                                                                : QString();
        qsizetype lines = 0;
        for (const PayStatement &p : s)
            lines += p.document.itemTexts(QStringLiteral("summa")).size();
        QCOMPARE(lines, db->scalar(QStringLiteral(
                                       "select count(*) from accounts_dep.smena s join accounts_dep.oper o "
                                       "on o.id = s.o_id where s.data >= '2025-06-01' and s.data < "
                                       "'2025-07-01'") +
                                   condition)
                            .toLongLong());
    }

    // The hours by shift are the time sheet's, the period's days only, also where the time sheet
    // differs from the entries (kept from the old program, or not yet rebuilt).
    void hoursOfTheTimesheet()
    {
        rebuildTimesheetMonth(&db->connection(), 2025, 6);
        const int changed =
            db->scalar(QStringLiteral("select min(w_id) from accounts_dep.h_tabel where year = 2025 "
                                      "and month = 6 and smena = 1"))
                .toInt();
        db->exec(
            QStringLiteral("update accounts_dep.h_tabel set d12 = d12 + 5, d25 = d25 + 7 where w_id = %1 and "
                           "smena = 1 and year = 2025 and month = 6")
                .arg(changed));
        const std::vector<PayStatement> s = statements(QDate(2025, 6, 10), QDate(2025, 6, 20));
        QVERIFY(s.size() > 10);
        QStringList days;
        for (int d = 10; d < 20; ++d)
            days << QStringLiteral("d%1").arg(d);
        bool sawChanged = false;
        for (const PayStatement &p : s) {
            QStringList expected;
            qint64 all = 0;
            for (int shift = 1; shift <= 4; ++shift) {
                const qint64 h =
                    db->scalar(QStringLiteral("select coalesce(sum(%1), 0) from accounts_dep.h_tabel "
                                              "where w_id = %2 and smena = %3 and month = 6 and year = 2025")
                                   .arg(days.join(u'+'))
                                   .arg(p.worker)
                                   .arg(shift))
                        .toLongLong();
                all += h;
                expected << (shift == 4 ? QStringLiteral("Переработка: %1 ч").arg(h)
                                        : QStringLiteral("%1 смена: %2 ч").arg(shift).arg(h));
            }
            expected << QStringLiteral("Всего: %1 ч").arg(all);
            if (p.worker == changed) {
                sawChanged = true;
                const qint64 entries =
                    db->scalar(QStringLiteral("select coalesce(sum(time), 0) from accounts_dep.smena "
                                              "where w_id = %1 and data >= '2025-06-10' and data < "
                                              "'2025-06-20'")
                                   .arg(changed))
                        .toLongLong();
                QCOMPARE(all, entries + 5); // the time sheet's, not the entries'
            }
            QCOMPARE((QStringList{p.document.itemTexts(QStringLiteral("Hours1")).value(0),
                                  p.document.itemTexts(QStringLiteral("Hours2")).value(0),
                                  p.document.itemTexts(QStringLiteral("Hours3")).value(0),
                                  p.document.itemTexts(QStringLiteral("Hours4")).value(0),
                                  p.document.itemTexts(QStringLiteral("HoursTotal")).value(0)}),
                     expected);
        }
        QVERIFY(sawChanged);
    }

    // Files per worker: names a file system takes, never outside the folder, the same name told apart.
    void fileNames()
    {
        const QStringList names = {QStringLiteral("Иванов И.И."), QStringLiteral("../../etc/passwd"),
                                   QStringLiteral("Иванов И.И."), QStringLiteral("..."),
                                   QStringLiteral("A:B*C?"),      QStringLiteral("Иванов И.И. (10)"),
                                   QString(300, QChar(u'Щ'))};
        std::vector<PayStatement> s(size_t(names.size()));
        for (int i = 0; i < names.size(); ++i) {
            s[size_t(i)].worker = 10 + i;
            s[size_t(i)].name = names.at(i);
        }
        const QStringList files = payStatementFileNames(s);
        QCOMPARE(files.mid(0, 6),
                 (QStringList{QStringLiteral("Иванов И.И. (10).pdf"), QStringLiteral("_.._etc_passwd.pdf"),
                              QStringLiteral("Иванов И.И. (12).pdf"), QStringLiteral("Работник 13.pdf"),
                              QStringLiteral("A_B_C_.pdf"), QStringLiteral("Иванов И.И. (10) (15-2).pdf")}));
        QCOMPARE(files.at(6), QString(100, QChar(u'Щ')) + QStringLiteral(".pdf")); // 200 bytes and the suffix
        QCOMPARE(payStatementFolderName(QDate(2024, 3, 15)), QStringLiteral("Листки 2024-03"));
    }

    // A sum whose words run past the page: the figures first, the words carried to the next line.
    void longSumCarriedOver()
    {
        test::Shop shop(*db);
        const int rich = shop.worker(QStringLiteral("Богатов Б.Б."));
        const int op =
            shop.operation(shop.product(QStringLiteral("ЗЛ-1")), shop.kind(QStringLiteral("Литьё")), 0, {1});
        shop.entry({QDate(2019, 5, 6), 1, rich, op, 1, 0, 777777.77, 8});
        const report::Document d = joinPayStatements(statements(QDate(2019, 5, 1), QDate(2019, 6, 1)));
        const QString first = d.itemTexts(QStringLiteral("MoneyLabel")).value(0);
        const QString second = d.itemTexts(QStringLiteral("MoneyLabel2")).value(0);
        QVERIFY(!second.isEmpty());
        QCOMPARE(
            first + u' ' + second,
            QStringLiteral("Итого к начислению: 777 777,77 (семьсот семьдесят семь тысяч семьсот семьдесят "
                           "семь рублей 77 копеек)"));
        const report::DrawOp *op1 = d.opsOf(0, QStringLiteral("MoneyLabel")).front();
        QVERIFY(report::textWidth(d.fonts[size_t(op1->font)], first) <= op1->w);
    }

    // The dialog: the preview of every statement, the files per worker with the user told where, and
    // an empty period said as such.
    void dialog()
    {
        test::WindowFixture fx(*db);
        fx.windows.add(std::make_unique<report::PreviewWindow>(fx.context.services));
        auto *dialog = fx.windows.add(std::make_unique<ReportDialog>(fx.context));
        QTemporaryDir dir;
        dialog->spreadsheet().setFolder(dir.path());
        dialog->setPeriod(QDate(2024, 3, 1), QDate(2024, 4, 1));

        test::child<QPushButton>(dialog, "payStatementsButton")->click();
        const report::Document &shown = fx.windows.get<report::PreviewWindow>()->document();
        QCOMPARE(
            shown.itemTexts(QStringLiteral("WorkerLabel")),
            (QStringList{QStringLiteral("Работник: Иванов И.И."), QStringLiteral("Работник: Петров П.П.")}));

        test::child<QPushButton>(dialog, "saveStatementsButton")->click();
        const QString folder = dir.filePath(QStringLiteral("Листки 2024-03"));
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{QStringLiteral("Иванов И.И..pdf"), QStringLiteral("Петров П.П..pdf")}));
        QVERIFY(pdfText(QDir(folder).filePath(QStringLiteral("Петров П.П..pdf")))
                    .contains(QStringLiteral("Итого к начислению: 7,50 (семь рублей 50 копеек)")));
        QCOMPARE(fx.messages.last(), QStringLiteral("Сохранено листков: 2. Папка: %1").arg(folder));
        QCOMPARE(test::child<QPushButton>(dialog, "saveStatementsButton")->text(),
                 QStringLiteral("Сохранить по работникам"));
        QVERIFY(test::child<QPushButton>(dialog, "exitButton")->isEnabled());

        // Saved again: asked first; No keeps what is there, Yes replaces it, nothing else appears.
        const QString petrovFile = QDir(folder).filePath(QStringLiteral("Петров П.П..pdf"));
        QFile kept(petrovFile);
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("signed copy");
        kept.close();
        fx.messages.clear();
        fx.messages.answers = {false};
        test::child<QPushButton>(dialog, "saveStatementsButton")->click();
        QCOMPARE(fx.messages.last(),
                 QStringLiteral("В папке «%1» уже есть листки этих работников: 2. Заменить их?").arg(folder));
        QFile again(petrovFile);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), QByteArray("signed copy"));
        again.close();
        fx.messages.answers = {true};
        test::child<QPushButton>(dialog, "saveStatementsButton")->click();
        QVERIFY(again.open(QIODevice::ReadOnly));
        QVERIFY(again.readAll().startsWith("%PDF"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);

        fx.messages.clear();
        dialog->setPeriod(QDate(2023, 1, 1), QDate(2023, 2, 1));
        test::child<QPushButton>(dialog, "payStatementsButton")->click();
        QCOMPARE(fx.messages.last(), noPayStatementsMessage());
        test::child<QPushButton>(dialog, "saveStatementsButton")->click();
        QCOMPARE(fx.messages.last(), noPayStatementsMessage());
        QVERIFY(!QDir(dir.filePath(QStringLiteral("Листки 2023-01"))).exists());
    }

    // A file that cannot be written (a folder in its place): the ones before it stay, the user is told
    // which and how far it went.
    void aFileThatCannotBeWritten()
    {
        test::WindowFixture fx(*db);
        auto *dialog = fx.windows.add(std::make_unique<ReportDialog>(fx.context));
        QTemporaryDir dir;
        dialog->spreadsheet().setFolder(dir.path());
        dialog->setPeriod(QDate(2024, 3, 1), QDate(2024, 4, 1));
        const QString folder = dir.filePath(QStringLiteral("Листки 2024-03"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/Петров П.П..pdf")));
        test::child<QPushButton>(dialog, "saveStatementsButton")->click();
        QVERIFY2(fx.messages.last().startsWith(
                     QStringLiteral("Файл «%1/Петров П.П..pdf» не записывается").arg(folder)),
                 qPrintable(fx.messages.last()));
        QVERIFY(
            fx.messages.last().endsWith(QStringLiteral("Сохранено листков: 1 из 2. Папка: %1").arg(folder)));
        QVERIFY(QFileInfo(folder + QStringLiteral("/Иванов И.И..pdf")).isFile());
        QVERIFY(test::child<QPushButton>(dialog, "saveStatementsButton")->isEnabled());
    }

    // A folder that cannot be made: said, nothing written, the dialog given back.
    void unwritableFolder()
    {
        test::WindowFixture fx(*db);
        auto *dialog = fx.windows.add(std::make_unique<ReportDialog>(fx.context));
        dialog->spreadsheet().setFolder(QStringLiteral("/proc/no-such-folder"));
        dialog->setPeriod(QDate(2024, 3, 1), QDate(2024, 4, 1));
        test::child<QPushButton>(dialog, "saveStatementsButton")->click();
        QCOMPARE(
            fx.messages.last(),
            QStringLiteral("Папка «/proc/no-such-folder/Листки 2024-03» не создаётся: листки не сохранены."));
        QVERIFY(test::child<QPushButton>(dialog, "payStatementsButton")->isEnabled());
    }
};

QTEST_MAIN(TestPayStatements)
#include "tst_paystatements.moc"
