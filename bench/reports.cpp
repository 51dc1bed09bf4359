// The period reports on the large demo shop for a whole year, as the report dialog runs them:
// query (over ODBC) + product kind filter + prepare + the first page drawn, side by side with the
// query alone run by psql, in one run. Prints rows, pages, times and the memory the pages and the
// query's rows take; then the report by workers from the command line as a whole process.
//
//   bench_reports [DATABASE [YEAR [odbc|native]]]

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/session.h"
#include "data/statements.h"
#include "psqltime.h"
#include "reportengine/document.h"
#include "reports/reportdialog.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tabel;

namespace {
// What a value holds in memory, roughly: the variant and a text's characters.
qint64 bytesOf(const QVariant &v)
{
    qint64 n = sizeof(QVariant);
    if (v.typeId() == QMetaType::QString)
        n += v.toString().capacity() * 2;
    return n;
}

qint64 pageBytes(const report::Document &d)
{
    qint64 n = 0;
    for (const report::Page &p : d.pages)
        n += qint64(p.ops.capacity() * sizeof(report::DrawOp));
    n += qint64(d.strings.capacity() * sizeof(QString));
    for (const QString &s : d.strings)
        n += s.capacity() * 2;
    return n;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    useShopLocale();
    const QStringList args = app.arguments();
    const QString database = args.value(1, QStringLiteral("tabel_large"));
    int year = args.value(2).toInt();
    const bool native = args.value(3) == QLatin1String("native");

    DataModule dm;
    dm.connection().setDriver(native ? Connection::Driver::Native : Connection::Driver::Odbc);
    dm.connection().setConnectionString(connectionString(database, QStringLiteral("127.0.0.1")));
    dm.connection().open();
    if (year == 0) { // the last whole year of the shop
        QSqlQuery q(dm.connection().database());
        q.exec(QStringLiteral("select extract(year from max(data))::int - 1 from accounts_dep.smena"));
        q.next();
        year = q.value(0).toInt();
    }
    const QDate from(year, 1, 1), to(year + 1, 1, 1);
    Session session(&dm);
    WindowServices services;
    WindowRegistry windows;
    AppContext context{&dm, &session, services, &windows};
    ReportDialog dialog(context);
    dialog.setPeriod(from, to);
    std::printf("period reports of %s (%s) for %d\n", qPrintable(database), native ? "libpq" : "ODBC", year);

    const struct
    {
        ReportDialog::Kind kind;
        const char *name;
        QStringList statement;
    } reports[] = {
        {ReportDialog::Kind::Workers, "by workers", statements::workersReport()},
        {ReportDialog::Kind::ProductsDetail, "detailed by products", statements::productsDetailReport()}};
    for (const auto &r : reports) {
        dialog.prepareReport(r.kind); // warm: fonts, plans
        QString query = r.statement.join(QLatin1Char('\n'));
        query.replace(QStringLiteral(":data2"),
                      QStringLiteral("'") + to.toString(Qt::ISODate) + QStringLiteral("'"));
        query.replace(QStringLiteral(":data1"),
                      QStringLiteral("'") + from.toString(Qt::ISODate) + QStringLiteral("'"));
        const QString once = QStringLiteral("set datestyle = 'ISO, DMY';\n") + query + QStringLiteral(";\n");
        const QString nothing = QStringLiteral("set datestyle = 'ISO, DMY';\n");
        std::vector<double> ours, theirs;
        int rows = 0, pages = 0;
        qint64 rowBytes = 0, pagesBytes = 0;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            const report::Document document = dialog.prepareReport(r.kind);
            const QImage first = document.render(0, 96);
            ours.push_back(t.nsecsElapsed() / 1e6);
            pages = document.pageCount();
            pagesBytes = pageBytes(document);
            Q_UNUSED(first);
            theirs.push_back((psqlSeconds(database, once) - psqlSeconds(database, nothing)) * 1000);
        }
        // The rows the query holds while the report reads them (closed again afterwards).
        Dataset *q = dialog.query(r.kind);
        q->setParam(QStringLiteral("data1"), from);
        q->setParam(QStringLiteral("data2"), to);
        q->open();
        rows = q->recordCount();
        for (int row = 0; row < rows; ++row)
            for (int c = 0; c < q->fieldCount(); ++c)
                rowBytes += bytesOf(q->valueAt(row, c));
        q->close();
        const double o = median(ours), p = std::max(median(theirs), 0.001);
        std::printf(
            "  %-22s %6d rows, %4d pages: %7.1f ms (query, filter, prepare, first page); query alone in psql "
            "%7.1f ms; ratio %.2f (goal at most 1.50); memory: the query's rows %.1f MB while read, the pages %.1f MB\n",
            r.name, rows, pages, o, p, o / p, rowBytes / 1048576.0, pagesBytes / 1048576.0);
    }

    // The report by workers for the year from the command line, as cron runs it: the whole process
    // (start, connection, query, prepare, the PDF written), its time and peak memory.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("workers.pdf"));
    QProcess run;
    QElapsedTimer t;
    t.start();
    run.start(QStringLiteral("/usr/bin/time"),
              {QStringLiteral("-f"), QStringLiteral("peak %M KB"), QStringLiteral(TABEL_PROGRAM), database,
               QStringLiteral("127.0.0.1"), QStringLiteral("--report"), QStringLiteral("workers"),
               QStringLiteral("--from"), from.toString(QStringLiteral("dd.MM.yyyy")), QStringLiteral("--to"),
               to.toString(QStringLiteral("dd.MM.yyyy")), QStringLiteral("--pdf"), pdf});
    run.waitForFinished(-1);
    const double whole = t.nsecsElapsed() / 1e9;
    const QString err = QString::fromUtf8(run.readAllStandardError());
    const QRegularExpressionMatch peak = QRegularExpression(QStringLiteral("peak (\\d+) KB")).match(err);
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral(": (\\d+) стр\\.")).match(err);
    QString query = statements::workersReport().join(QLatin1Char('\n'));
    query.replace(QStringLiteral(":data2"),
                  QStringLiteral("'") + to.toString(Qt::ISODate) + QStringLiteral("'"));
    query.replace(QStringLiteral(":data1"),
                  QStringLiteral("'") + from.toString(Qt::ISODate) + QStringLiteral("'"));
    const double alone =
        psqlSeconds(database, QStringLiteral("set datestyle = 'ISO, DMY';\n") + query + u';');
    std::printf(
        "  --report workers for the year as a whole process: %.2f s (exit %d), %s pages, peak %.0f MB; "
        "the query alone in psql %.2f s\n",
        whole, run.exitCode(), qPrintable(pages.captured(1)), peak.captured(1).toDouble() / 1024.0, alone);
    return 0;
}
