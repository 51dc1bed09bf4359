// The time sheet on the large demo shop: the rebuild of one month by the program, side by side with
// its one statement run by psql and with the old program's day-by-day loop; the opening of a month
// (the three shift grids) against their statements in psql; and the printed month: query, prepare
// and the first page drawn.
//
//   bench_timesheet [DATABASE [YEAR MONTH [odbc|native]]]

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/session.h"
#include "psqltime.h"
#include "reportengine/document.h"
#include "shop/timesheetrebuild.h"
#include "testsupport/timesheetloop.h"
#include "timesheet/timesheetwindow.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tabel;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    useShopLocale();
    const QStringList args = app.arguments();
    const QString database = args.value(1, QStringLiteral("tabel_large"));
    int year = args.value(2).toInt(), month = args.value(3).toInt();
    const bool native = args.value(4) == QLatin1String("native");

    DataModule dm;
    dm.connection().setDriver(native ? Connection::Driver::Native : Connection::Driver::Odbc);
    dm.connection().setConnectionString(connectionString(database, QStringLiteral("127.0.0.1")));
    dm.connection().open();
    if (year == 0) { // the last whole month of the shop
        QSqlQuery q(dm.connection().database());
        q.exec(QStringLiteral("select max(data) - 31 from accounts_dep.smena"));
        q.next();
        year = q.value(0).toDate().year();
        month = q.value(0).toDate().month();
    }
    QSqlQuery count(dm.connection().database());
    count.exec(QStringLiteral("select count(*) from accounts_dep.smena where extract(year from data)=%1 and "
                              "extract(month from data)=%2")
                   .arg(year)
                   .arg(month));
    count.next();
    std::printf("time sheet of %s (%s), %02d.%d: %lld entries\n", qPrintable(database),
                native ? "libpq" : "ODBC", month, year, count.value(0).toLongLong());

    // Rebuild: ours and psql's in turn, five times each.
    // Five rebuilds a batch on both sides, so that psql's start-up noise weighs little.
    const QString once =
        QStringLiteral("begin; delete from accounts_dep.h_tabel where month=%1 and year=%2; ")
            .arg(month)
            .arg(year) +
        timesheetMonthStatement(year, month) + QStringLiteral("; commit;\n");
    const QString statement =
        QStringLiteral("set datestyle = 'ISO, DMY';\n") + once + once + once + once + once;
    const QString nothing = QStringLiteral("set datestyle = 'ISO, DMY';\n");
    std::vector<double> ours, theirs;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        for (int r = 0; r < 5; ++r)
            rebuildTimesheetMonth(&dm.connection(), year, month);
        ours.push_back(t.nsecsElapsed() / 1e6 / 5);
        theirs.push_back((psqlSeconds(database, statement) - psqlSeconds(database, nothing)) * 1000 / 5);
    }
    QElapsedTimer t;
    t.start();
    test::timesheetLoop(&dm.connection(), year, month);
    const double loop = t.nsecsElapsed() / 1e6;
    rebuildTimesheetMonth(&dm.connection(), year, month); // leave it as the program builds it
    const double o = median(ours), p = std::max(median(theirs), 0.001);
    std::printf("  rebuild: %.1f ms; its statement in psql %.1f ms (ratio %.2f, goal at most 1.50); "
                "the day-by-day loop %.0f ms (%.0fx slower, goal at least 20x)\n",
                o, p, o / p, loop, loop / o);

    // Opening a month: the three grids' queries.
    Session session(&dm);
    WindowServices services;
    WindowRegistry windows;
    AppContext context{&dm, &session, services, &windows};
    TimesheetWindow window(context);
    std::vector<double> opening, psqlOpening;
    QString three = nothing;
    for (int s = 1; s <= 3; ++s)
        three += dm.hTabel(s)
                     ->statement()
                     .replace(QStringLiteral(":mnth"), QString::number(month))
                     .replace(QStringLiteral(":yea"), QString::number(year)) +
                 QStringLiteral(";\n");
    for (int i = 0; i < 7; ++i) {
        t.restart();
        window.selectMonth(year, month);
        opening.push_back(t.nsecsElapsed() / 1e6);
        psqlOpening.push_back((psqlSeconds(database, three) - psqlSeconds(database, nothing)) * 1000);
    }
    const double op = median(opening), pp = std::max(median(psqlOpening), 0.001);
    std::printf(
        "  opening the month: %.1f ms (%d + %d + %d rows); the three statements in psql %.1f ms (ratio %.2f, goal at most 1.30)\n",
        op, dm.hTabel(1)->recordCount(), dm.hTabel(2)->recordCount(), dm.hTabel(3)->recordCount(), pp,
        op / pp);

    // Printing: query, prepare, first page drawn.
    std::vector<double> printing;
    int pages = 0;
    for (int i = 0; i < 5; ++i) {
        t.restart();
        const report::Document document = window.prepareReport();
        const QImage first = document.render(0, 96);
        printing.push_back(t.nsecsElapsed() / 1e6);
        pages = document.pageCount();
        Q_UNUSED(first);
    }
    std::printf("  printing the month: %.1f ms to the first page shown (%d pages)\n", median(printing),
                pages);
    return 0;
}
