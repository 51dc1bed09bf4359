// The period reports on the large demo shop for a whole year, as the report dialog runs them: the
// rows read a block at a time (over ODBC) and laid out as they come, the first page drawn as the
// preview shows it, then the whole report; side by side with the query alone run by psql to its last
// row, in one run. Prints rows, pages, times, the client's peak memory and the pages' own; then the
// report by workers from the command line as a whole process.
//
//   bench_reports [DATABASE [YEAR [odbc|native]]]

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/session.h"
#include "data/statements.h"
#include "psqltime.h"
#include "reportengine/document.h"
#include "reports/reportdialog.h"
#include "reports/streamedreport.h"
#include "reports/summaryreport.h"
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
#include <malloc.h>
#include <vector>

using namespace tabel;

namespace {
// A line of /proc/self/status, in KB.
qint64 memoryKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The peak resident size starts again from the present one.
void resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
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
        double firstGoal, wholeGoal; // against the query in psql
    } reports[] = {{ReportDialog::Kind::Workers, "by workers", statements::workersReport(), 1.05, 1.20},
                   {ReportDialog::Kind::ProductsDetail, "detailed by products",
                    statements::productsDetailReport(), 1.50, 1.50}};
    for (const auto &r : reports) {
        dialog.prepareReport(r.kind); // warm: fonts, plans
        QString query = r.statement.join(QLatin1Char('\n'));
        query.replace(QStringLiteral(":data2"),
                      QStringLiteral("'") + to.toString(Qt::ISODate) + QStringLiteral("'"));
        query.replace(QStringLiteral(":data1"),
                      QStringLiteral("'") + from.toString(Qt::ISODate) + QStringLiteral("'"));
        const QString once = QStringLiteral("set datestyle = 'ISO, DMY';\n") + query + QStringLiteral(";\n");
        const QString nothing = QStringLiteral("set datestyle = 'ISO, DMY';\n");
        std::vector<double> firstShown, whole, theirs, peaks;
        int pages = 0;
        qint64 rows = 0, pagesBytes = 0;
        for (int i = 0; i < 5; ++i) {
            // As the preview opens: page 1 drawn while the rest is laid out, then the whole.
            malloc_trim(0); // what earlier runs freed goes back, so the peak counts this run alone
            const qint64 before = memoryKb("VmRSS");
            resetPeakMemory();
            QElapsedTimer t;
            t.start();
            auto stream =
                startSummaryReport(dialog.query(r.kind), {r.kind, from, to, ProductKindChoice::All});
            const report::Document first = stream->firstPage();
            const QImage shown = first.render(0, 96);
            firstShown.push_back(t.nsecsElapsed() / 1e6);
            const report::Document document = stream->done() ? first : stream->takeDocument();
            whole.push_back(t.nsecsElapsed() / 1e6);
            peaks.push_back((memoryKb("VmHWM") - before) / 1024.0);
            rows = stream->rowsRead();
            pages = document.pageCount();
            pagesBytes = pageBytes(document);
            Q_UNUSED(shown);
            theirs.push_back((psqlSeconds(database, once) - psqlSeconds(database, nothing)) * 1000);
        }
        const double f = median(firstShown), w = median(whole), p = std::max(median(theirs), 0.001);
        std::printf(
            "  %-22s %6lld rows, %4d pages; the query to its last row in psql %7.1f ms\n"
            "    first page shown %7.1f ms, ratio %.2f (goal at most %.2f)\n"
            "    whole report prepared %7.1f ms, ratio %.2f (goal at most %.2f)\n"
            "    memory: the client's resident size grew at most %.1f MB over the report; the pages' own %.1f MB\n",
            r.name, rows, pages, p, f, f / p, r.firstGoal, w, w / p, r.wholeGoal, median(peaks),
            pagesBytes / 1048576.0);
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
