// The register's four shift views of one date, opened by the class the register window uses,
// against the same four statements run by psql in one session.
//
//   bench_register_views [DATABASE [DATE dd.MM.yyyy [ROUNDS [odbc|native]]]]

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/shiftviews.h"
#include "data/sqlparams.h"
#include "psqltime.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tabel;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString database = args.value(1, QStringLiteral("tabel_large"));
    const QDate date = args.size() > 2 ? QDate::fromString(args.at(2), QStringLiteral("dd.MM.yyyy"))
                                       : QDate::currentDate().addDays(-28);
    const int rounds = args.value(3, QStringLiteral("200")).toInt();
    const bool native = args.value(4) == QLatin1String("native");

    DataModule dm;
    dm.connection().setDriver(native ? Connection::Driver::Native : Connection::Driver::Odbc);
    dm.connection().setConnectionString(connectionString(database, QStringLiteral("127.0.0.1")));
    dm.connection().open();
    // The register's own views, as its activation opens them.
    ShiftViews views(&dm);
    views.setAcceptanceFilter(QStringLiteral("ta"));
    auto activation = [&] { views.open(date); };
    activation(); // warm the caches and the prepared statements
    int rows = 0;
    for (int s = 1; s <= 4; ++s)
        rows += dm.smena(s)->recordCount();

    // The same statements with the values written in, run by psql in one session.
    QString once;
    for (int s = 1; s <= 4; ++s) {
        QString text = dm.smena(s)->statement();
        text.replace(QStringLiteral(":data"), QStringLiteral("'") +
                                                  date.toString(QStringLiteral("dd.MM.yyyy")) +
                                                  QStringLiteral("'::date"));
        text.replace(QStringLiteral(":ok"), quoted(QStringLiteral("ta")));
        once += text + QStringLiteral(";\n");
    }

    // Batches of both in turn, so that a busy moment of the machine does not fall on one side only;
    // the medians are compared.
    const int batches = 7;
    const int perBatch = std::max(1, rounds / batches);
    QString script = QStringLiteral("set datestyle = 'ISO, DMY';\n");
    for (int i = 0; i < perBatch + 1; ++i)
        script += once;
    const QString baseline = QStringLiteral("set datestyle = 'ISO, DMY';\n") + once;
    std::vector<double> ourTimes, psqlTimes;
    for (int b = 0; b < batches; ++b) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < perBatch; ++i)
            activation();
        ourTimes.push_back(t.nsecsElapsed() / 1e9 / perBatch);
        psqlTimes.push_back((psqlSeconds(database, script) - psqlSeconds(database, baseline)) / perBatch);
    }
    std::sort(ourTimes.begin(), ourTimes.end());
    std::sort(psqlTimes.begin(), psqlTimes.end());
    const double ours = ourTimes[batches / 2];
    const double theirs = psqlTimes[batches / 2];

    std::printf("register views of %s on %s (%s): %d rows in the four views\n",
                qPrintable(date.toString(QStringLiteral("dd.MM.yyyy"))), qPrintable(database),
                native ? "libpq" : "ODBC", rows);
    std::printf("  Табель: %.3f ms per activation (median of %d batches of %d)\n", ours * 1000, batches,
                perBatch);
    std::printf("  psql:   %.3f ms per activation (same statements in one session, same batches)\n",
                theirs * 1000);
    std::printf("  ratio:  %.2f (goal: at most 1.30)\n", ours / theirs);
    return 0;
}
