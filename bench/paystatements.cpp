// The pay statements of every worker for a month of the large demo shop, as the report dialog and the
// command line make them: the two queries (over ODBC), a document per worker prepared, joined, and the
// PDF written; side by side with the two queries alone run by psql, in one run.
//
//   bench_paystatements [DATABASE [YEAR MONTH [odbc|native]]]

#include "reports/paystatements.h"
#include "data/connection.h"
#include "data/connectionstring.h"
#include "psqltime.h"
#include "reportengine/document.h"
#include "ui/windowsetup.h"

#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace tabel;

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    useShopLocale();
    const QStringList args = app.arguments();
    const QString database = args.value(1, QStringLiteral("tabel_large"));
    int year = args.value(2).toInt(), month = args.value(3).toInt();
    const bool native = args.value(4) == QLatin1String("native");

    Connection connection(QStringLiteral("bench"));
    connection.setDriver(native ? Connection::Driver::Native : Connection::Driver::Odbc);
    connection.setConnectionString(connectionString(database, QStringLiteral("127.0.0.1")));
    connection.open();
    if (year == 0 || month == 0) { // the last whole month of the shop
        QSqlQuery q(connection.database());
        q.exec(QStringLiteral("select date_trunc('month', max(data))::date - 1 from accounts_dep.smena"));
        q.next();
        const QDate last = q.value(0).toDate();
        year = last.year();
        month = last.month();
    }
    PayStatementRequest request;
    request.from = QDate(year, month, 1);
    request.to = request.from.addMonths(1);
    request.shopName = QStringLiteral("ООО «Металл», цех № 2");

    // The same two statements in psql, the period written in.
    QString script = QStringLiteral("set datestyle = 'ISO, DMY';\n");
    for (const QStringList &statement :
         {payStatementLinesStatement(request), payStatementHoursStatement(request)}) {
        QString query = statement.join(QLatin1Char('\n'));
        query.replace(QStringLiteral(":data2"), QStringLiteral("'%1'").arg(request.to.toString(Qt::ISODate)));
        query.replace(QStringLiteral(":data1"),
                      QStringLiteral("'%1'").arg(request.from.toString(Qt::ISODate)));
        script += query + QStringLiteral(";\n");
    }
    const QString nothing = QStringLiteral("set datestyle = 'ISO, DMY';\n");

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("листки.pdf"));
    preparePayStatements(&connection, request); // warm: fonts, plans
    std::vector<double> prepared, written, whole, theirs;
    int workers = 0, pages = 0;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        std::vector<PayStatement> statements = preparePayStatements(&connection, request);
        workers = int(statements.size());
        const report::Document document = joinPayStatements(std::move(statements));
        const double a = t.nsecsElapsed() / 1e6;
        document.writePdf(pdf, QStringLiteral("Расчётные листки"));
        const double b = t.nsecsElapsed() / 1e6 - a;
        pages = document.pageCount();
        prepared.push_back(a);
        written.push_back(b);
        whole.push_back(a + b);
        theirs.push_back((psqlSeconds(database, script) - psqlSeconds(database, nothing)) * 1000);
    }
    const double q = std::max(median(theirs), 0.001), w = median(whole);
    std::printf("pay statements of %s (%s) for %02d.%d: %d workers, %d pages\n", qPrintable(database),
                native ? "libpq" : "ODBC", month, year, workers, pages);
    const double p = median(prepared), b = median(written);
    std::printf(
        "  queries and preparing %7.1f ms; the queries alone in psql %7.1f ms; ratio %.2f (goal at most 3.00)\n",
        p, q, p / q);
    std::printf("  PDF written %7.1f ms: %.0f pages a second (goal at least 100)\n", b, pages / (b / 1000));
    std::printf(
        "  the whole with the PDF %7.1f ms: %.2f times the queries alone (the PDF writer's share %.0f%%)\n",
        w, w / q, 100 * b / w);
    return 0;
}
