#pragma once

#include "reportengine/report.h"

#include <QFile>
#include <QProcess>

namespace tabel::report {

// What the report tests share.

// The program's layout of the report by workers, filled with generated workers (three lines each).
inline Document workersDocument(int workers)
{
    QFile f(QStringLiteral(LAYOUTS "/workersreport.json"));
    f.open(QIODevice::ReadOnly);
    Report report(Layout::fromJson(f.readAll(), QStringLiteral("workersreport.json")));
    report.setLabel(QStringLiteral("TitleLabel"),
                    QStringLiteral("Отчет по рабочим с 01.02.2024 по 01.03.2024"));
    TableData data(QStringLiteral("t_Report"),
                   {QStringLiteral("fio"), QStringLiteral("kolvo"), QStringLiteral("summa"),
                    QStringLiteral("vid"), QStringLiteral("nom"), QStringLiteral("naimen"),
                    QStringLiteral("color")});
    for (int w = 0; w < workers; ++w)
        for (int n = 0; n < 3; ++n)
            data.append({QStringLiteral("Щербаков Ёжи %1").arg(w), 10 + n, 12.345 * (n + 1),
                         QStringLiteral("Покраска"), QStringLiteral("Профиль направляющий ПН %1").arg(n),
                         n % 2, n == 2 ? 1013 : n});
    return report.prepare(data);
}

// The standard output of a tool run on a produced file (pdftotext, pdfinfo).
inline QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace tabel::report
