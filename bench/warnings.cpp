// The warnings before a save: the one statement that reads the shop's figures for an entry (the
// worker's day, the operation's recent largest quantities, other shifts), for entries like those a
// foreman types: a worker and an operation of the shop's recent days, through ODBC. Median and
// slowest of the look-ups.
//
//   bench_warnings [DATABASE [LOOKUPS]]   (DATABASE: a shop with entries, tabel_large)

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/sqlexec.h"
#include "psqltime.h"
#include "shop/entrywarnings.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <random>

using namespace tabel;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString database = args.value(1, QStringLiteral("tabel_large"));
    const int lookups = args.value(2, QStringLiteral("2000")).toInt();
    DataModule dm;
    dm.connection().setConnectionString(connectionString(database, QStringLiteral("127.0.0.1")));
    dm.connection().open();

    // Entries of the last 60 days of the shop: their worker, operation, product and shift, moved to a
    // day of their month.
    struct Pick
    {
        int worker, operation, product, shift;
        QDate date;
    };
    std::vector<Pick> picks;
    QSqlQuery q = execBound(&dm.connection(),
                            QStringLiteral("select w_id, o_id, i_id, smena, data from accounts_dep.smena "
                                           "where data > (select max(data) from accounts_dep.smena) - 60 "
                                           "order by random() limit ?"),
                            {lookups});
    while (q.next())
        picks.push_back({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toInt(),
                         q.value(4).toDate()});
    q.finish();
    if (picks.empty()) {
        std::fprintf(stderr, "%s has no entries\n", qPrintable(database));
        return 1;
    }
    const WarningLimits limits;
    PreparedStatement statement;
    std::mt19937 random(7);
    std::vector<double> times;
    QElapsedTimer t;
    qint64 warned = 0;
    for (const Pick &p : picks) {
        EntryDraft d;
        d.workerId = p.worker;
        d.operationId = p.operation;
        d.productId = p.product;
        d.shift = p.shift;
        d.date = p.date.addDays(int(random() % 5) - 2);
        d.today = p.date;
        t.start();
        const EntryContext c = readEntryContext(statement, &dm.connection(), d, limits);
        times.push_back(t.nsecsElapsed() / 1e6);
        warned += c.otherShifts.isEmpty() ? 0 : 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("warnings' look-up on %s (ODBC): %zu entries, median %.2f ms, 99th percentile %.2f ms, "
                "slowest %.2f ms (goal: at most 5 ms); %lld in another shift too\n",
                qPrintable(database), times.size(), times[times.size() / 2], times[times.size() * 99 / 100],
                times.back(), warned);
    return 0;
}
