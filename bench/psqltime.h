#pragma once

// The benchmarks' yardsticks: how long psql takes to run a script on the database, in one session,
// and the median of a run's timings.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double psqlSeconds(const QString &database, const QString &script)
{
    QTemporaryFile file;
    file.open();
    file.write(script.toUtf8());
    file.flush();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("wpvmzkd"));
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("psql"),
            {QStringLiteral("-qX"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-U"),
             QStringLiteral("sys"), QStringLiteral("-d"), database, QStringLiteral("-o"),
             QStringLiteral("/dev/null"), QStringLiteral("-f"), file.fileName()});
    p.waitForFinished(-1);
    if (p.exitCode() != 0) {
        std::fprintf(stderr, "psql: %s\n", p.readAllStandardError().constData());
        std::exit(1);
    }
    return t.nsecsElapsed() / 1e9;
}
