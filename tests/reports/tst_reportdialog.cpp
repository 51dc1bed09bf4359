#include "reportengine/document.h"
#include "reports/reportdialog.h"
#include "reports/spreadsheet.h"
#include "testsupport/shop.h"
#include "testsupport/windowfixture.h"
#include "testsupport/xlsxcells.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tabel;
using Kind = ReportDialog::Kind;
Q_DECLARE_METATYPE(tabel::ReportDialog::Kind)

// The period reports on a small shop whose totals are known, and the export by products.
class TestReportDialog : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestDatabase> db;
    std::unique_ptr<test::WindowFixture> fx;
    ReportDialog *dialog = nullptr;

    QStringList allTexts(const report::Document &d)
    {
        QStringList out;
        for (int p = 0; p < d.pageCount(); ++p)
            out << d.texts(p);
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        db = std::make_unique<test::TestDatabase>();
        test::reportShop(*db);
    }
    void cleanupTestCase() { db.reset(); }
    void init()
    {
        fx = std::make_unique<test::WindowFixture>(*db);
        dialog = fx->windows.add(std::make_unique<ReportDialog>(fx->context));
        dialog->setPeriod(QDate(2024, 3, 1), QDate(2024, 4, 1));
    }
    void cleanup() { fx.reset(); }

    // Headings, details and totals in order; products with 3 decimals, workers and all with 2.
    void reportByWorkers()
    {
        const report::Document d = dialog->prepareReport(Kind::Workers);
        QVERIFY(!dialog->query(Kind::Workers)->isOpen());
        QCOMPARE(d.pageCount(), 1);
        QCOMPARE(d.itemTexts(QStringLiteral("TitleLabel")),
                 QStringList{QStringLiteral("   Отчет по рабочим за период с 01.03.2024 по 01.04.2024")});
        QCOMPARE(d.itemTexts(QStringLiteral("fio")),
                 (QStringList{QStringLiteral("Иванов И.И."), QStringLiteral("Петров П.П.")}));
        QCOMPARE(d.itemTexts(QStringLiteral("nom")),
                 (QStringList{QStringLiteral("Кронштейн"), QStringLiteral("Профиль ПН-27"),
                              QStringLiteral("Профиль ПН-27")}));
        QCOMPARE(d.itemTexts(QStringLiteral("colour")),
                 (QStringList{QStringLiteral(" (грунт)"), QStringLiteral(" (RAL: 1013)"), QStringLiteral(" "),
                              QStringLiteral(" ")}));
        QCOMPARE(d.itemTexts(QStringLiteral("nomSumma")),
                 (QStringList{QStringLiteral("10,625"), QStringLiteral("15,000"), QStringLiteral("7,500")}));
        QCOMPARE(d.itemTexts(QStringLiteral("nomKolvo")),
                 (QStringList{QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("5")}));
        QCOMPARE(d.itemTexts(QStringLiteral("fioSumma")),
                 (QStringList{QStringLiteral("25,63"), QStringLiteral("7,50")}));
        QCOMPARE(d.itemTexts(QStringLiteral("totalSumma")), QStringList{QStringLiteral("33,13")});
        // In reading order: a worker, his products each with details and total, his total, the next.
        const QStringList texts = allTexts(d);
        const auto at = [&](const QString &t) { return texts.indexOf(t); };
        QVERIFY(at(QStringLiteral("Иванов И.И.")) < at(QStringLiteral("Кронштейн")));
        QVERIFY(at(QStringLiteral("10,625")) < at(QStringLiteral("Профиль ПН-27")));
        QVERIFY(at(QStringLiteral("25,63")) < at(QStringLiteral("Петров П.П.")));
        QVERIFY(at(QStringLiteral("7,50")) < at(QStringLiteral("33,13")));
    }

    void productKindFilter_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("total");
        QTest::newRow("Все") << "allRadio" << QStringLiteral("33,13");
        QTest::newRow("Заготовки") << "blanksRadio" << QStringLiteral("10,63");
        QTest::newRow("Готовая продукция") << "finishedRadio" << QStringLiteral("22,50");
    }

    void productKindFilter()
    {
        QFETCH(QString, radio);
        QFETCH(QString, total);
        dialog->findChild<QRadioButton *>(radio)->setChecked(true);
        QCOMPARE(dialog->prepareReport(Kind::Workers).itemTexts(QStringLiteral("totalSumma")),
                 QStringList{total});
    }

    // The grand total of mass as a whole number; the products' totals as they are.
    void reportByProducts()
    {
        const report::Document d = dialog->prepareReport(Kind::Products);
        QCOMPARE(d.itemTexts(QStringLiteral("TitleLabel")),
                 QStringList{QStringLiteral("   Отчет по продукции за период с 01.03.2024 по 01.04.2024")});
        QCOMPARE(d.itemTexts(QStringLiteral("nomMass")),
                 (QStringList{QStringLiteral("10"), QStringLiteral("7,5")}));
        QCOMPARE(d.itemTexts(QStringLiteral("totalMass")), QStringList{QStringLiteral("18")});
        QCOMPARE(d.itemTexts(QStringLiteral("totalKolvo")), QStringList{QStringLiteral("20")});
    }

    void detailedReports()
    {
        const report::Document w = dialog->prepareReport(Kind::WorkersDetail); // runs at all
        QCOMPARE(w.itemTexts(QStringLiteral("marka")).size(), 3 + 1);
        QCOMPARE(w.itemTexts(QStringLiteral("totalBrk")), QStringList{QStringLiteral("1")});
        QCOMPARE(w.itemTexts(QStringLiteral("totalKolvo")),
                 QStringList{QStringLiteral("21")}); // rejects included
        QCOMPARE(w.itemTexts(QStringLiteral("totalSumma")), QStringList{QStringLiteral("33,13")});
        const report::Document p = dialog->prepareReport(Kind::ProductsDetail);
        QCOMPARE(p.itemTexts(QStringLiteral("TitleLabel")),
                 QStringList{
                     QStringLiteral("   Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024")});
        QCOMPARE(p.itemTexts(QStringLiteral("nomMass")),
                 (QStringList{QStringLiteral("12,00"), QStringLiteral("7,50")}));
        QVERIFY(!dialog->query(Kind::ProductsDetail)->isOpen());
    }

    void emptyPeriod()
    {
        dialog->setPeriod(QDate(2024, 3, 1), QDate(2024, 3, 1));
        for (Kind k : {Kind::Workers, Kind::Products, Kind::WorkersDetail, Kind::ProductsDetail}) {
            const report::Document d = dialog->prepareReport(k);
            QCOMPARE(d.pageCount(), 1);
            QVERIFY(d.itemTexts(QStringLiteral("vid")).isEmpty());
            QVERIFY(!dialog->query(k)->isOpen());
        }
    }

    // One report as a real PDF: the title and the names as text, the page number.
    void pdf_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("line"); // a text a detail line shows
        QTest::newRow("by workers") << Kind::Workers << QStringLiteral("Отчет по рабочим")
                                    << QStringLiteral("(RAL: 1013)");
        QTest::newRow("by products") << Kind::Products << QStringLiteral("Отчет по продукции")
                                     << QStringLiteral("Кронштейн");
        QTest::newRow("detailed by workers")
            << Kind::WorkersDetail << QStringLiteral("Детальный отчет по рабочим")
            << QStringLiteral("Петров П.П.");
        QTest::newRow("detailed by products")
            << Kind::ProductsDetail << QStringLiteral("Детальный отчет по продукции")
            << QStringLiteral("КР-40");
    }

    // Each report as a real PDF: the title and the lines as text, the page number.
    void pdf()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, title);
        QFETCH(QString, line);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        dialog->prepareReport(kind).writePdf(path);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        text.waitForFinished(30000);
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(out.contains(title + QStringLiteral(" за период с 01.03.2024 по 01.04.2024")),
                 qPrintable(out));
        QVERIFY2(out.contains(line), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("Итого:")));
        QVERIFY(out.trimmed().endsWith(QLatin1Char('1')));
    }

    // A workbook that cannot be opened: its message, the caption as it was, the query closed.
    void exportFailure()
    {
        dialog->spreadsheet().setFolder(QStringLiteral("/proc/no-such-folder"));
        dialog->exportToSpreadsheet();
        QCOMPARE(fx->messages.last(), QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        QCOMPARE(dialog->findChild<QPushButton *>(QStringLiteral("excelButton"))->text(),
                 QStringLiteral("Excel (0 из 0)"));
        QVERIFY(!dialog->exportQuery()->isOpen());
        QVERIFY(dialog->findChild<QPushButton *>(QStringLiteral("exitButton"))->isEnabled());
    }

    void exportTexts_data()
    {
        QTest::addColumn<qint64>("colour");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << QStringLiteral("Покраска");
        QTest::newRow("negative") << qint64(-3) << QStringLiteral("Покраска");
        QTest::newRow("primer") << qint64(1) << QStringLiteral("Покраска (грунт)");
        QTest::newRow("colour 5") << qint64(5) << QStringLiteral("Покраска (цвет: 5)");
    }

    void exportTexts()
    {
        QFETCH(qint64, colour);
        QFETCH(QString, text);
        QCOMPARE(exportOperation(QStringLiteral("Покраска"), colour), text);
        QCOMPARE(exportQuantity(2.5), QStringLiteral("2"));
        QCOMPARE(exportQuantity(3.5), QStringLiteral("4"));
        QCOMPARE(exportQuantity(2.4999), QStringLiteral("2"));
    }

    void exportByProducts()
    {
        QTemporaryDir dir;
        QStringList opened;
        dialog->spreadsheet().setFolder(dir.path());
        dialog->spreadsheet().setOpener([&](const QString &path) {
            opened << path;
            return true;
        });
        auto *excel = dialog->findChild<QPushButton *>(QStringLiteral("excelButton"));
        QCOMPARE(excel->text(), QStringLiteral("Excel (0 из 0)"));
        dialog->exportToSpreadsheet();
        QCOMPARE(excel->text(), QStringLiteral("Excel (3 из 3)"));
        QVERIFY(!dialog->exportQuery()->isOpen());
        QCOMPARE(opened.size(), 1);
        const QJsonObject cells = test::xlsxCells(opened.first());
        auto cell = [&](const char *at) {
            return cells.value(QLatin1String(at)).toObject().value(QStringLiteral("value")).toVariant();
        };
        QCOMPARE(cell("A1").toString(), QStringLiteral("Наименование"));
        QCOMPARE(cell("B1").toString(), QStringLiteral("Операция"));
        QCOMPARE(cell("C1").toString(), QStringLiteral("Вид продукции"));
        QCOMPARE(cell("D1").toString(), QStringLiteral("Коробки"));
        QCOMPARE(cell("E1").toString(), QStringLiteral("Кол-во"));
        QCOMPARE(cell("A2").toString(), QStringLiteral("Кронштейн"));
        QCOMPARE(cell("B2").toString(), QStringLiteral("Покраска (грунт)"));
        QCOMPARE(cell("B3").toString(), QStringLiteral("Покраска (цвет: 1013)"));
        QCOMPARE(cell("C2").toString(), QStringLiteral("Заготовки"));
        QCOMPARE(cell("E2").toInt(), 3);
        QCOMPARE(cell("A4").toString(), QStringLiteral("Профиль ПН-27"));
        QCOMPARE(cell("B4").toString(), QStringLiteral("Резка"));
        QCOMPARE(cell("D4").toDouble(), 7.5);
        QCOMPARE(cells.value(QStringLiteral("D4")).toObject().value(QStringLiteral("type")).toString(),
                 QStringLiteral("n"));
        QCOMPARE(cell("E4").toInt(), 15);
        QVERIFY(!cells.contains(QStringLiteral("A5")));
        // The filter counts; an empty period gives the heading only.
        dialog->findChild<QRadioButton *>(QStringLiteral("blanksRadio"))->setChecked(true);
        dialog->exportToSpreadsheet();
        QCOMPARE(excel->text(), QStringLiteral("Excel (2 из 2)"));
        const QJsonObject blanks = test::xlsxCells(opened.last());
        QCOMPARE(blanks.value(QStringLiteral("A3")).toObject().value(QStringLiteral("value")).toString(),
                 QStringLiteral("Кронштейн"));
        QVERIFY(!blanks.contains(QStringLiteral("A4"))); // the finished products left out
        QCOMPARE(opened.size(), 2);
        dialog->setPeriod(QDate(2024, 3, 1), QDate(2024, 3, 1));
        dialog->exportToSpreadsheet();
        QCOMPARE(excel->text(), QStringLiteral("Excel (0 из 0)"));
        const QJsonObject empty = test::xlsxCells(opened.last());
        QCOMPARE(empty.size(), 5); // the heading row alone
    }

    // A product named by figures keeps its leading zeros: the name is a text cell, not a number.
    void exportKeepsNamesAsText()
    {
        test::Shop shop(*db);
        const int part = shop.product(QStringLiteral("0012"), 1, QStringLiteral("0012"));
        const int cut = shop.operation(part, shop.kind(QStringLiteral("Гибка")), 0, {1});
        shop.entry({QDate(2023, 6, 1), 1, shop.worker(QStringLiteral("Сидоров С.С.")), cut, 4, 0, 1, 8});
        QTemporaryDir dir;
        QStringList opened;
        dialog->spreadsheet().setFolder(dir.path());
        dialog->spreadsheet().setOpener([&](const QString &path) {
            opened << path;
            return true;
        });
        dialog->setPeriod(QDate(2023, 6, 1), QDate(2023, 7, 1));
        dialog->exportToSpreadsheet();
        QCOMPARE(opened.size(), 1);
        const QJsonObject a2 = test::xlsxCells(opened.first()).value(QStringLiteral("A2")).toObject();
        QCOMPARE(a2.value(QStringLiteral("type")).toString(), QStringLiteral("s"));
        QCOMPARE(a2.value(QStringLiteral("value")).toString(), QStringLiteral("0012"));
    }

    // Reports set to read from another server (a read-only standby): the dialog says so, and its
    // reports and export read there; by default it says nothing.
    void readsFromTheReportServer()
    {
        QVERIFY(!test::child<QLabel>(dialog, "sourceLabel")->isVisibleTo(dialog));
        test::TestDatabase standby;
        test::Shop shop(standby);
        const int sidorov = shop.worker(QStringLiteral("Сидоров С.С."));
        const int bracket = shop.product(QStringLiteral("КР-40"));
        shop.entry({QDate(2024, 3, 4), 1, sidorov,
                    shop.operation(bracket, shop.kind(QStringLiteral("Резка")), 0, {10}), 10, 0, 12.5, 8});
        standby.exec(
            QStringLiteral("alter database %1 set default_transaction_read_only = on").arg(standby.name()));
        fx->data.setReportSource(standby.connection().connectionString(), QStringLiteral("резерв-1"));
        auto *other = fx->windows.add(std::make_unique<ReportDialog>(fx->context));
        fx->whileOpen[other] = [&] {
            QCOMPARE(test::child<QLabel>(other, "sourceLabel")->text(),
                     QStringLiteral("Отчёты читаются с сервера резерв-1"));
            QVERIFY(test::child<QLabel>(other, "sourceLabel")->isVisibleTo(other));
            for (Kind kind : {Kind::Workers, Kind::Products, Kind::WorkersDetail, Kind::ProductsDetail})
                QVERIFY(other->prepareReport(kind).pageCount() >= 1);
            QCOMPARE(other->prepareReport(Kind::Workers).itemTexts(QStringLiteral("fio")),
                     QStringList{QStringLiteral("Сидоров С.С.")});
            const std::vector<PayStatement> statements = other->preparePayStatements();
            QCOMPARE(statements.size(), size_t(1));
            QCOMPARE(statements.front().name, QStringLiteral("Сидоров С.С."));
        };
        other->openForPeriod(QDate(2024, 3, 1), QDate(2024, 4, 1));
        QCOMPARE(fx->data.reportConnection().connectionString(), standby.connection().connectionString());
    }
};

QTEST_MAIN(TestReportDialog)
#include "tst_reportdialog.moc"
