#include "data/dataerror.h"
#include "data/sqlexec.h"
#include "reportengine/document.h"
#include "reports/spreadsheet.h"
#include "shop/timesheetrebuild.h"
#include "testsupport/databasetest.h"
#include "testsupport/entryworkload.h"
#include "testsupport/shop.h"
#include "testsupport/timesheetloop.h"
#include "testsupport/windowfixture.h"
#include "testsupport/xlsxcells.h"
#include "timesheet/timesheetcells.h"
#include "timesheet/timesheetmodel.h"
#include "timesheet/timesheetwindow.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <future>
#include <memory>

using namespace tabel;

Q_DECLARE_METATYPE(tabel::DayKind)

// The monthly time sheet: the cell colours, the rebuild against the old program's day-by-day loop
// and under concurrent saves, the window's months, the printed month and the export.
class TestTimesheet : public test::DatabaseTest
{
    Q_OBJECT

    // The month's time sheet rows as text, in a fixed order.
    QString monthRows(int year, int month)
    {
        QStringList days;
        for (int d = 1; d <= 31; ++d)
            days << QStringLiteral("d%1").arg(d);
        return db
            ->scalar(
                QStringLiteral("select string_agg(concat_ws(',', smena, w_id, %1), ';' order by smena, w_id) "
                               "from accounts_dep.h_tabel where year=%2 and month=%3")
                    .arg(days.join(QStringLiteral(", ")))
                    .arg(year)
                    .arg(month))
            .toString();
    }

private Q_SLOTS:
    void init() { db->clear(); }

    void dayCells_data()
    {
        using namespace timesheetcolours;
        const QColor text(Qt::black), window(Qt::white);
        QTest::addColumn<int>("value");
        QTest::addColumn<DayKind>("kind");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("background");
        QTest::newRow("0 on a workday: silver") << 0 << DayKind::Workday << silver << false << QColor();
        QTest::newRow("0 on a weekend stays red") << 0 << DayKind::Weekend << red << false << QColor();
        QTest::newRow("0 past the month's end: invisible")
            << 0 << DayKind::PastMonthEnd << window << false << QColor();
        QTest::newRow("8: bold black") << 8 << DayKind::Workday << text << true << QColor();
        QTest::newRow("8 on a weekend: bold red") << 8 << DayKind::Weekend << red << true << QColor();
        QTest::newRow("10: bold on green") << 10 << DayKind::Workday << text << true << moneyGreen;
        QTest::newRow("12 on a weekend: red, bold on green")
            << 12 << DayKind::Weekend << red << true << moneyGreen;
        QTest::newRow("5: plain") << 5 << DayKind::Workday << text << false << QColor();
        QTest::newRow("5 on a weekend: red") << 5 << DayKind::Weekend << red << false << QColor();
    }

    void dayCells()
    {
        QFETCH(int, value);
        QFETCH(DayKind, kind);
        QFETCH(QColor, colour);
        QFETCH(bool, bold);
        QFETCH(QColor, background);
        const DayCellLook look = dayCellLook(value, kind, Qt::black, Qt::white);
        QCOMPARE(look.text, colour);
        QCOMPARE(look.bold, bold);
        QCOMPARE(look.background, background);
    }

    // The set-based rebuild gives exactly what the day-by-day loop gives, for every month of the demo
    // shop, plus an entry without hours and overtime entries.
    void rebuildEqualsTheLoop()
    {
        db->loadDemo();
        db->exec(QStringLiteral(
            "update accounts_dep.smena set time = null where id = (select min(id) from accounts_dep.smena)"));
        QSqlQuery months = execBound(
            &db->connection(),
            QStringLiteral("select distinct extract(year from data)::int, extract(month from data)::int "
                           "from accounts_dep.smena order by 1, 2"),
            {});
        QList<QPair<int, int>> list;
        while (months.next())
            list << qMakePair(months.value(0).toInt(), months.value(1).toInt());
        QVERIFY(!list.isEmpty());
        QVERIFY(
            db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where smena = 4")).toInt() >
            0);
        for (const auto &[year, month] : list) {
            test::timesheetLoop(&db->connection(), year, month);
            const QString expected = monthRows(year, month);
            QVERIFY(!expected.isEmpty());
            rebuildTimesheetMonth(&db->connection(), year, month);
            QCOMPARE(monthRows(year, month), expected);
        }
    }

    // One row per worker and shift, shift 4 included; a month without entries ends without rows;
    // a rebuild that fails leaves the month as it was.
    void rebuildEdgeCases()
    {
        test::Shop shop(*db);
        const int ivanov = shop.worker(QStringLiteral("Иванов И.И."));
        const int op = shop.operation(shop.product(QStringLiteral("ПН-27")),
                                      shop.kind(QStringLiteral("Резка")), 0, {10});
        const QDate day(2024, 3, 15);
        shop.entry({day, 1, ivanov, op, 1, 0, 1, 3});
        shop.entry({day, 1, ivanov, op, 2, 0, 1, 5});
        shop.entry({day, 2, ivanov, op, 1, 0, 1, 4});
        shop.entry({day.addDays(1), 4, ivanov, op, 1, 0, 1, 2});
        db->exec(QStringLiteral(
            "insert into accounts_dep.h_tabel (w_id, smena, month, year, d1) values (999, 1, 3, 2024, 7)"));
        // Entries without a shift or a worker have no time sheet row (the loop would break on them).
        db->exec(
            QStringLiteral(
                "insert into accounts_dep.smena (data, smena, w_id, time) values ('2024-03-15', null, %1, 5), "
                "('2024-03-15', 1, null, 5)")
                .arg(ivanov));
        rebuildTimesheetMonth(&db->connection(), 2024, 3);
        QCOMPARE(db->scalar(QStringLiteral(
                                "select string_agg(smena || ':' || d15 || '/' || d16, ' ' order by smena) "
                                "from accounts_dep.h_tabel where month=3 and year=2024"))
                     .toString(),
                 QStringLiteral("1:8/0 2:4/0 4:0/2"));
        // A day beyond what a cell holds: the rebuild fails and the month stays as it was.
        const QString before = monthRows(2024, 3);
        shop.entry({day, 3, ivanov, op, 1, 0, 1, 30000});
        shop.entry({day, 3, ivanov, op, 2, 0, 1, 30000});
        QString message;
        try {
            rebuildTimesheetMonth(&db->connection(), 2024, 3);
        } catch (const DataError &e) {
            message = e.message();
        }
        QCOMPARE(message,
                 QStringLiteral(
                     "Часы работника Иванов И.И. за 15.03.2024 в смене 3 (60000 ч) не помещаются в клетку "
                     "табеля. Табель за месяц не перестроен, исправьте записи этого дня."));
        QCOMPARE(monthRows(2024, 3), before);
        // No entries: no rows.
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        rebuildTimesheetMonth(&db->connection(), 2024, 3);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel")).toInt(), 0);
    }

    // Clients saving, moving and deleting entries while another client rebuilds their months: the
    // time sheet still equals the entries.
    void rebuildWhileClientsSave()
    {
        const test::Workload w = test::makeWorkload(db->connection());
        std::atomic<bool> running{true};
        std::vector<std::future<test::ClientResult>> clients;
        for (quint32 seed = 11; seed <= 13; ++seed)
            clients.push_back(std::async(std::launch::async, [&, seed] {
                return test::runClient(w, db->driver(), db->connection().connectionString(), 50, seed);
            }));
        auto rebuilder = std::async(std::launch::async, [&] {
            Connection c(QStringLiteral("rebuilder"));
            c.setDriver(db->driver());
            c.setConnectionString(db->connection().connectionString());
            c.open();
            int rebuilds = 0;
            while (running) {
                rebuildTimesheetMonth(&c, 2024, 3);
                rebuildTimesheetMonth(&c, 2024, 4);
                rebuilds += 2;
            }
            return rebuilds;
        });
        int failed = 0;
        for (auto &c : clients)
            failed += c.get().failed;
        running = false;
        QVERIFY(rebuilder.get() > 2);
        QCOMPARE(failed, 0);
        const test::Mismatches m = test::checkTimesheet(db->connection());
        QCOMPARE(m.cells, 0);
        QCOMPARE(m.rows, 0);
    }

    void monthColumns_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("kinds"); // w workday, e weekend, x past the end; days 1..31
        QTest::newRow("April 2024: 30 days")
            << 2024 << 4 << QStringLiteral("wwwwweewwwwweewwwwweewwwwweewwx");
        QTest::newRow("February 2024: leap")
            << 2024 << 2 << QStringLiteral("wweewwwwweewwwwweewwwwweewwwwxx");
        QTest::newRow("February 2023") << 2023 << 2 << QStringLiteral("wwweewwwwweewwwwweewwwwweewwxxx");
        QTest::newRow("March 2024: the 31st a Sunday")
            << 2024 << 3 << QStringLiteral("weewwwwweewwwwweewwwwweewwwwwee");
    }

    void monthColumns()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(QString, kinds);
        test::WindowFixture fx(*db);
        auto *window = fx.windows.add(std::make_unique<TimesheetWindow>(fx.context));
        window->selectMonth(year, month);
        QCOMPARE(window->year(), year);
        QCOMPARE(window->month(), month);
        for (int shift = 1; shift <= 3; ++shift) {
            TimesheetModel *model = window->model(shift);
            QString got;
            for (int d = 1; d <= 31; ++d) {
                const DayKind k = model->dayKind(TimesheetModel::kFirstDay + d - 1);
                got += k == DayKind::Workday   ? QLatin1Char('w')
                       : k == DayKind::Weekend ? QLatin1Char('e')
                                               : QLatin1Char('x');
            }
            QCOMPARE(got, kinds);
            const QColor title =
                model->headerData(31, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color();
            QCOMPARE(title,
                     kinds.at(30) == QLatin1Char('x') ? timesheetcolours::silver : timesheetcolours::red);
        }
    }

    // What the grid draws: a day over 8 on green, the total on blue, a value past the month's end
    // not at all, and the selected cell left to the grid's own highlight.
    void gridDrawsTheCells()
    {
        test::Shop shop(*db);
        const int ivanov = shop.worker(QStringLiteral("Иванов И.И."));
        const int op = shop.operation(shop.product(QStringLiteral("ПН-27")),
                                      shop.kind(QStringLiteral("Резка")), 0, {10});
        shop.entry({QDate(2024, 4, 1), 1, ivanov, op, 1, 0, 1, 10});
        rebuildTimesheetMonth(&db->connection(), 2024, 4);
        db->exec(QStringLiteral("update accounts_dep.h_tabel set d31 = 7")); // April has no 31st
        test::WindowFixture fx(*db);
        auto *window = fx.windows.add(std::make_unique<TimesheetWindow>(fx.context));
        window->selectMonth(2024, 4);
        auto *grid = window->findChild<QTableView *>(QStringLiteral("grid1"));
        grid->resize(1000, 200);
        grid->clearSelection();
        grid->setCurrentIndex(QModelIndex());
        const QImage image = grid->viewport()->grab().toImage();
        auto at = [&](int column) {
            const QRect r = grid->visualRect(grid->model()->index(0, column));
            return image.pixelColor(r.left() + 2, r.top() + 2);
        };
        QCOMPARE(at(1), timesheetcolours::moneyGreen);
        QCOMPARE(grid->columnWidth(0), 208);
        QCOMPARE(grid->columnWidth(1), 20);
        QCOMPARE(grid->columnWidth(TimesheetModel::kTotal), 47);
        QCOMPARE(at(TimesheetModel::kTotal), timesheetcolours::totalBackground);
        // The 31st: its 7 drawn in the background's colour, so the cell is one colour throughout.
        const QRect past = grid->visualRect(grid->model()->index(0, 31));
        const QColor base = image.pixelColor(past.left() + 2, past.top() + 2);
        for (int x = past.left() + 1; x < past.right() - 1; ++x)
            for (int y = past.top() + 1; y < past.bottom() - 1; ++y)
                QCOMPARE(image.pixelColor(x, y), base);
    }

    // The year list runs from 2007 to next year, and a register date of another year is selectable.
    void yearList()
    {
        test::WindowFixture fx(*db);
        auto *window = fx.windows.add(std::make_unique<TimesheetWindow>(fx.context));
        auto *years = window->findChild<QComboBox *>(QStringLiteral("yearList"));
        QCOMPARE(years->itemText(0), QStringLiteral("2007"));
        QCOMPARE(years->itemText(years->count() - 1), QString::number(QDate::currentDate().year() + 1));
        QCOMPARE(years->findText(QString::number(QDate::currentDate().year())) >= 0, true);
        fx.whileOpen[window] = [&] {
            QCOMPARE(window->year(), 2040);
            QCOMPARE(window->month(), 12);
            window->reject();
        };
        window->openForDate(QDate(2040, 12, 1));
        QVERIFY(fx.shown.contains(window));
        QVERIFY(!fx.data.hTabel(1)->isOpen());
    }

    // Shift pages show their rows; a rebuild of an empty month empties them; shift 4 is on no page
    // but in the printed month and the export, added to the worker's day.
    void pagesPrintAndExport()
    {
        test::Shop shop(*db);
        const int ivanov = shop.worker(QStringLiteral("Иванов И.И."));
        const int petrov = shop.worker(QStringLiteral("Петров П.П."));
        const int op = shop.operation(shop.product(QStringLiteral("ПН-27")),
                                      shop.kind(QStringLiteral("Резка")), 0, {10});
        shop.entry({QDate(2024, 3, 4), 1, ivanov, op, 1, 0, 1, 8});
        shop.entry({QDate(2024, 3, 4), 4, ivanov, op, 1, 0, 1, 3});
        shop.entry({QDate(2024, 3, 5), 2, petrov, op, 1, 0, 1, 10});
        const int namesake = shop.worker(QStringLiteral("Иванов И.И.")); // printed as one line with the other
        shop.entry({QDate(2024, 3, 4), 3, namesake, op, 1, 0, 1, 2});
        test::WindowFixture fx(*db);
        auto *window = fx.windows.add(std::make_unique<TimesheetWindow>(fx.context));
        window->selectMonth(2024, 3);
        window->rebuild();
        QCOMPARE(fx.data.hTabel(1)->recordCount(), 1);
        QCOMPARE(fx.data.hTabel(2)->recordCount(), 1);
        QCOMPARE(fx.data.hTabel(3)->recordCount(), 1);
        QCOMPARE(window->model(1)->index(0, 4).data().toString(),
                 QStringLiteral("8")); // shift 4 not added here
        QCOMPARE(window->model(1)->index(0, TimesheetModel::kTotal).data().toString(), QStringLiteral("8"));

        // Printed: the heading, a worker's day over all shifts, the total, the page number.
        const report::Document document = window->prepareReport();
        QCOMPARE(document.pageCount(), 1);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("month.pdf"));
        document.writePdf(pdf);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        text.waitForFinished(30000);
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("Март 2024 г.")), qPrintable(out));
        QVERIFY(out.contains(QRegularExpression(QStringLiteral("Иванов И\\.И\\.\\s+0\\s+0\\s+0\\s+13\\s"))));
        QVERIFY(out.contains(QRegularExpression(QStringLiteral("Петров П\\.П\\..*\\s10\\s"))));
        QVERIFY(out.trimmed().endsWith(QLatin1Char('1')));
        QVERIFY(!window->printQuery()->isOpen());

        // Exported: heading, numbers as numbers, 0 in every empty day, the total, the caption.
        QStringList opened;
        window->spreadsheet().setFolder(dir.path());
        window->spreadsheet().setOpener([&](const QString &path) {
            opened << path;
            return true;
        });
        window->exportToSpreadsheet();
        auto *excel = window->findChild<QPushButton *>(QStringLiteral("excelButton"));
        QCOMPARE(excel->text(), QStringLiteral("Excel (2 из 2)"));
        QCOMPARE(opened.size(), 1);
        const QJsonObject cells = test::xlsxCells(opened.first());
        auto cell = [&](const char *at) { return cells.value(QLatin1String(at)).toObject(); };
        QCOMPARE(cell("A1").value(QStringLiteral("value")).toString(), QStringLiteral("Март 2024"));
        QVERIFY(cell("A1").value(QStringLiteral("bold")).toBool());
        QCOMPARE(cell("A2").value(QStringLiteral("value")).toString(), QStringLiteral("Фамилия И.О."));
        QCOMPARE(cell("B2").value(QStringLiteral("type")).toString(), QStringLiteral("n"));
        QCOMPARE(cell("AF2").value(QStringLiteral("value")).toInt(), 31);
        QCOMPARE(cell("AG2").value(QStringLiteral("value")).toString(), QStringLiteral("Итого"));
        QCOMPARE(cell("A3").value(QStringLiteral("value")).toString(), QStringLiteral("Иванов И.И."));
        QCOMPARE(cell("A3").value(QStringLiteral("type")).toString(), QStringLiteral("s"));
        QVERIFY(!cell("A3").value(QStringLiteral("bold")).toBool());
        QCOMPARE(cell("E3").value(QStringLiteral("value")).toInt(), 13);
        QCOMPARE(cell("E3").value(QStringLiteral("type")).toString(), QStringLiteral("n"));
        QCOMPARE(cell("B3").value(QStringLiteral("value")).toInt(), 0);
        QCOMPARE(cell("AF3").value(QStringLiteral("value")).toInt(), 0); // 31 March: 0, not empty
        QCOMPARE(cell("AG3").value(QStringLiteral("value")).toInt(), 13);
        for (int c = 2; c <= 32; ++c) // a number in every day, 0 where there were no hours
            QCOMPARE(cells
                         .value(QStringLiteral("%1%2")
                                    .arg(c <= 26 ? QString(QChar('A' + c - 1))
                                                 : QStringLiteral("A") + QChar('A' + c - 27))
                                    .arg(4))
                         .toObject()
                         .value(QStringLiteral("type"))
                         .toString(),
                     QStringLiteral("n"));
        QCOMPARE(cell("F4").value(QStringLiteral("value")).toInt(), 10);
        QVERIFY(!cells.contains(QStringLiteral("A5")));
        QVERIFY(!window->printQuery()->isOpen());

        // A workbook that cannot be opened: the message, no file, the caption as it was, the query closed.
        window->spreadsheet().setFolder(QStringLiteral("/proc/no-such-folder"));
        window->exportToSpreadsheet();
        QCOMPARE(fx.messages.last(), QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        QCOMPARE(excel->text(), QStringLiteral("Excel (2 из 2)"));
        QCOMPARE(opened.size(), 1);
        QVERIFY(!window->printQuery()->isOpen());
        QVERIFY(excel->isEnabled());
        window->spreadsheet().setFolder(dir.path());

        // A month without rows: one printed page, an export of two rows, "Excel (0 из 0)".
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        window->rebuild();
        QCOMPARE(fx.data.hTabel(1)->recordCount(), 0);
        QCOMPARE(window->prepareReport().pageCount(), 1);
        window->exportToSpreadsheet();
        QCOMPARE(excel->text(), QStringLiteral("Excel (0 из 0)"));
        QCOMPARE(test::xlsxCells(opened.last()).size(), 34);
    }
};

QTEST_MAIN(TestTimesheet)
#include "tst_timesheet.moc"
