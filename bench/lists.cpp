// The reference lists on a large shop (bench/books.sql: 5,000 workers, 20,000 products, 50,000
// operations): opening each shared list dataset as its window does, side by side with its statement
// run by psql in one session over the same rounds; then the operation list's search, one keystroke
// at a time, on all its rows with the grid attached.
//
//   bench_lists [DATABASE [ROUNDS [odbc|native]]]

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "psqltime.h"
#include "shop/listfilter.h"
#include "ui/datasetmodel.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <vector>

using namespace tabel;

static int rounds = 10;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    useShopLocale();
    const QStringList args = app.arguments();
    const QString database = args.value(1, QStringLiteral("tabel_books"));
    rounds = args.value(2, QStringLiteral("10")).toInt();
    const bool native = args.value(3) == QLatin1String("native");

    DataModule dm;
    dm.connection().setDriver(native ? Connection::Driver::Native : Connection::Driver::Odbc);
    dm.connection().setConnectionString(connectionString(database, QStringLiteral("127.0.0.1")));
    dm.connection().open();

    std::printf("reference lists of %s (%s), at least %d rounds\n", qPrintable(database),
                native ? "libpq" : "ODBC", rounds);
    for (Dataset *d : {dm.workers(), dm.izdel(), dm.vidOper(), dm.oper()}) {
        d->close();
        d->open(); // warm
        const int rows = d->recordCount();
        // A short list is opened many more times, so that psql's share rises above its start-up noise.
        const int rounds = std::max(::rounds, std::min(2000, 100000 / std::max(rows, 1)));
        // Batches of both in turn; the medians are compared. psql runs the statement as many times
        // as we open the list, less one run of its start-up.
        const QString once = d->statement() + QStringLiteral(";\n");
        QString batch = QStringLiteral("set datestyle = 'ISO, DMY';\n");
        for (int i = 0; i < rounds + 1; ++i)
            batch += once;
        const QString baseline = QStringLiteral("set datestyle = 'ISO, DMY';\n") + once;
        std::vector<double> ours, theirs;
        for (int b = 0; b < 5; ++b) {
            QElapsedTimer t;
            t.start();
            for (int r = 0; r < rounds; ++r) {
                d->close();
                d->open();
            }
            ours.push_back(t.nsecsElapsed() / 1e6 / rounds);
            theirs.push_back((psqlSeconds(database, batch) - psqlSeconds(database, baseline)) * 1000 /
                             rounds);
        }
        std::sort(ours.begin(), ours.end());
        std::sort(theirs.begin(), theirs.end());
        const double o = ours[ours.size() / 2], p = std::max(theirs[theirs.size() / 2], 0.001);
        std::printf("  %-9s %6d rows: %8.1f ms per opening, psql %8.1f ms, ratio %.2f (goal: at most 1.30)\n",
                    qPrintable(d->name()), rows, o, p, o / p);
    }

    // The search of the operation list: each keystroke refilters every row and the grid follows.
    Dataset *oper = dm.oper();
    DatasetModel model;
    model.setColumns({{QStringLiteral("Марка"), QStringLiteral("MARKA")},
                      {QStringLiteral("Опреция"), QStringLiteral("VID")},
                      {QStringLiteral("Цена (min)"), QStringLiteral("cena")}});
    model.setDataset(oper);
    QTableView view;
    model.attach(&view);
    view.resize(700, 460);
    view.show();
    const QString typed = QStringLiteral("ПН-12x");
    double worst = 0, total = 0;
    int keys = 0;
    for (int r = 0; r < ::rounds; ++r) {
        for (int n = 1; n <= typed.size(); ++n) {
            QElapsedTimer t;
            t.start();
            applySearch(oper, QStringLiteral("marka"), typed.left(n));
            app.processEvents();
            const double ms = t.nsecsElapsed() / 1e6;
            worst = std::max(worst, ms);
            total += ms;
            ++keys;
        }
        applySearch(oper, QStringLiteral("marka"), QString());
        app.processEvents();
    }
    std::printf(
        "  search over %d operations: %.1f ms per keystroke on average, %.1f ms at most (%d keystrokes)\n",
        oper->recordCount(), total / keys, worst, keys);
    return 0;
}
