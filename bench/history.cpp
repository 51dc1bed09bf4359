// Reading the history of changes on a shop with years of it (tabel_large: a line for each of its
// 1,000,000 entries): one entry's changes and one operation's (index look-ups, with the names read
// for them), and a period of the window's most lines, read and turned into texts, through ODBC.
//
//   bench_history [DATABASE [LOOKUPS]]

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/sqlexec.h"
#include "psqltime.h"
#include "shop/changehistory.h"

#include <QCoreApplication>
#include <QSqlQuery>

using namespace tabel;

namespace {
std::vector<int> someIds(Connection *c, const QString &statement, int n)
{
    std::vector<int> ids;
    QSqlQuery q = execBound(c, statement, {n});
    while (q.next())
        ids.push_back(q.value(0).toInt());
    return ids;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString database = args.value(1, QStringLiteral("tabel_large"));
    const int lookups = args.value(2, QStringLiteral("300")).toInt();
    DataModule dm;
    dm.connection().setConnectionString(connectionString(database, QStringLiteral("127.0.0.1")));
    dm.connection().open();
    Connection *c = &dm.connection();
    const ChangeHistory history(c);

    QElapsedTimer t;
    std::vector<double> entry, operation;
    for (int id :
         someIds(c, QStringLiteral("select id from accounts_dep.smena order by random() limit ?"), lookups)) {
        t.start();
        history.forEntry(id);
        entry.push_back(t.nsecsElapsed() / 1e6);
    }
    for (int id : someIds(c, QStringLiteral("select id from accounts_dep.oper order by random() limit ?"),
                          lookups / 10)) {
        t.start();
        history.forOperation(id);
        operation.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("history on %s (ODBC): an entry's changes median %.2f ms, 99th percentile %.2f ms; an "
                "operation's median %.2f ms (goal: index look-ups, a few ms)\n",
                qPrintable(database), median(entry), percentile(entry, 0.99), median(operation));

    // The period the window shows at most: the newest lines of the last day with any.
    QSqlQuery last = execBound(c, QStringLiteral("select max(at)::date from accounts_dep.tabel_history"), {});
    const QDate day = last.next() ? last.value(0).toDate() : QDate::currentDate();
    last.finish();
    HistoryFilter f{day.addDays(-30), day, QString(), HistoryKind::All};
    t.start();
    const QList<HistoryLine> shown = history.forPeriod(f);
    const double whole = t.nsecsElapsed() / 1e9;
    const double query = psqlSeconds(
        database, QStringLiteral("select * from accounts_dep.tabel_history where at >= '%1' and at < "
                                 "'%2' order by id desc limit %3;\n")
                      .arg(f.from.toString(Qt::ISODate), f.to.addDays(1).toString(Qt::ISODate))
                      .arg(ChangeHistory::kPeriodLimit));
    std::printf("  a period's %lld lines read and made texts in %.2f s; the query alone in psql %.2f s\n",
                qint64(shown.size()), whole, query);
    return 0;
}
