// Saving entries: four clients, and sixteen, each count in two runs (4, 16, 16, 4) from the same empty
// shop, at once doing ACTIONS random actions (new entries, moves, repeated saves, deletions) through the
// program's entry store, then the time sheet checked against the entries; the price of safety: one save
// through its transaction and locks against the same statements run bare, one after the other in autocommit,
// side by side in one run; and the price of the history: one save with the entries' history trigger against
// the same save without it.
//
//   bench_entries [DATABASE [ACTIONS [odbc|native]]]   (DATABASE: an empty shop, it is filled)

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/sqlexec.h"
#include "shop/entrystore.h"
#include "testsupport/entryworkload.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <future>
#include <vector>

using namespace tabel;

namespace {
qint64 scalar(Connection *c, const QString &s)
{
    QSqlQuery q = execBound(c, s, {});
    return q.next() ? q.value(0).toLongLong() : 0;
}

// The save's statements without transaction, locks or checks of what the pick refers to.
void saveBare(Connection *c, const EntryDraft &d, const EntryNumbers &v)
{
    if (scalar(c, EntryStore::duplicateStatement(d, v)) > 0)
        return;
    execBound(c, EntryStore::insertStatement(d, v), {});
    const EntryKey key{d.workerId, d.date, d.shift};
    const qint64 rows = scalar(c, EntryStore::postingRowsStatement(key));
    const qint64 total = scalar(c, EntryStore::dayTotalStatement(key));
    execBound(c,
              rows != 0 ? EntryStore::postingUpdateStatement(key, total)
                        : EntryStore::postingInsertStatement(key, total),
              {});
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString database = args.value(1, QStringLiteral("tabel_entries"));
    const int actions = args.value(2, QStringLiteral("10000")).toInt();
    const bool native = args.value(3) == QLatin1String("native");
    const Connection::Driver driver = native ? Connection::Driver::Native : Connection::Driver::Odbc;
    const QString connection = connectionString(database, QStringLiteral("127.0.0.1"));

    DataModule dm;
    dm.connection().setDriver(driver);
    dm.connection().setConnectionString(connection);
    dm.connection().open();
    const test::Workload w = test::makeWorkload(dm.connection());

    // Four clients at once and sixteen (a shop's PCs all saving), ACTIONS each in all, in two runs of
    // half each, in the order 4, 16, 16, 4: what the machine does meanwhile falls on both alike. Every
    // run starts from the same shop: no entries, time sheet rows or history, the tables vacuumed
    // (otherwise a run works on what the one before left, a longer history and dead rows, and pays for
    // it); the time sheet is checked after each.
    double seconds[2] = {0, 0};
    int failures = 0;
    qint64 mismatches = 0;
    for (const int n : {4, 16, 16, 4}) {
        for (const char *statement :
             {"alter table accounts_dep.tabel_history disable trigger tabel_history_no_truncate",
              "truncate accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.tabel_history",
              "alter table accounts_dep.tabel_history enable trigger tabel_history_no_truncate",
              "vacuum analyze accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.tabel_history"})
            execBound(&dm.connection(), QString::fromLatin1(statement), {});
        const int run = actions / 2;
        QElapsedTimer t;
        t.start();
        std::vector<std::future<test::ClientResult>> clients;
        for (int seed = 1; seed <= n; ++seed)
            clients.push_back(std::async(std::launch::async, [&, seed] {
                return test::runClient(w, driver, connection, run / n,
                                       quint32(seed + 100 * n + 10000 * int(seconds[n == 4 ? 0 : 1] > 0)));
            }));
        test::ClientResult all;
        for (auto &c : clients)
            all += c.get();
        const double elapsed = t.nsecsElapsed() / 1e9;
        const test::Mismatches m = test::checkTimesheet(dm.connection());
        seconds[n == 4 ? 0 : 1] += elapsed;
        failures += all.failed;
        mismatches += m.total();
        std::printf("entries on %s (%s): %d actions by %d clients in %.2f s, %.0f actions/s\n",
                    qPrintable(database), native ? "libpq" : "ODBC", run, n, elapsed, run / elapsed);
        std::printf("  %d saved, %d refused, %d moved or saved again, %d deleted, %d failed (rolled back: a "
                    "deadlock or lock time-out; goal: 0)\n",
                    all.saved, all.refused, all.moved, all.deleted, all.failed);
        all.failures.removeDuplicates();
        for (const QString &f : all.failures)
            std::printf("    failed: %s\n", qPrintable(f));
        std::printf("  mismatches: %lld (cells %lld, second rows %lld, alike entries %lld; goal: 0)\n",
                    m.total(), m.cells, m.rows, m.duplicates);
    }
    const double rate4 = 2 * (actions / 2) / seconds[0], rate16 = 2 * (actions / 2) / seconds[1];
    std::printf("  4 clients: %.0f actions/s, 16 clients: %.0f actions/s (%d actions each)\n", rate4, rate16,
                2 * (actions / 2));
    std::printf("  16 clients against 4: %.2f of the actions per second (goal: at least 1.00)\n",
                rate16 / rate4);
    QElapsedTimer t;
    t.start();

    // The price of safety: new entries, each distinct (its own colour), by one client.
    EntryStore store(&dm);
    int colour = 1000;
    auto draft = [&](int i) {
        EntryDraft d;
        d.worker = QStringLiteral("Рабочий");
        d.operation = QStringLiteral("ПН-27; Резка; Готовая продукция");
        d.workerId = w.workers.at(i % w.workers.size());
        d.operationId = w.operations.at(0).first;
        d.productId = w.operations.at(0).second;
        d.quantity = QStringLiteral("10");
        d.rejects = QStringLiteral("0");
        d.hours = QStringLiteral("1");
        d.colour = QString::number(++colour);
        d.price = 2.5;
        d.date = w.dates.at(i % w.dates.size());
        d.shift = 1 + i % 4;
        d.today = QDate(2024, 4, 2);
        return d;
    };
    const int batch = 200;
    std::vector<double> safe, bare;
    for (int b = 0; b < 5; ++b) {
        t.restart();
        for (int i = 0; i < batch; ++i)
            store.save(draft(i));
        safe.push_back(t.nsecsElapsed() / 1e6 / batch);
        t.restart();
        for (int i = 0; i < batch; ++i) {
            const EntryDraft d = draft(i);
            QString refusal;
            saveBare(&dm.connection(), d, *EntryStore::numbers(d, &refusal));
        }
        bare.push_back(t.nsecsElapsed() / 1e6 / batch);
    }
    std::sort(safe.begin(), safe.end());
    std::sort(bare.begin(), bare.end());
    const double s = safe[safe.size() / 2], r = bare[bare.size() / 2];
    std::printf(
        "  one save: %.2f ms in its transaction with locks, %.2f ms bare, ratio %.2f (goal: at most 1.50)\n",
        s, r, s / r);

    // The price of the history: the same saves with the entries' history trigger and without it,
    // in interleaved batches.
    std::vector<double> kept, unkept;
    auto trigger = [&](bool on) {
        execBound(&dm.connection(),
                  QStringLiteral("alter table accounts_dep.smena %1 trigger smena_history")
                      .arg(on ? QStringLiteral("enable") : QStringLiteral("disable")),
                  {});
    };
    for (int b = 0; b < 7; ++b) {
        trigger(true);
        t.restart();
        for (int i = 0; i < batch; ++i)
            store.save(draft(i));
        kept.push_back(t.nsecsElapsed() / 1e6 / batch);
        trigger(false);
        t.restart();
        for (int i = 0; i < batch; ++i)
            store.save(draft(i));
        unkept.push_back(t.nsecsElapsed() / 1e6 / batch);
    }
    trigger(true);
    std::sort(kept.begin(), kept.end());
    std::sort(unkept.begin(), unkept.end());
    const double h = kept[kept.size() / 2], u = unkept[unkept.size() / 2];
    std::printf(
        "  one save: %.2f ms with its history line, %.2f ms without, ratio %.2f (goal: at most 1.15)\n", h, u,
        h / u);
    return mismatches == 0 && failures == 0 ? 0 : 1;
}
