#include "timesheet/timesheetrebuild.h"

#include "data/locks.h"
#include "data/sqlexec.h"
#include "data/transaction.h"

#include <QDate>
#include <QStringList>

namespace tabel {

QString timesheetMonthStatement(int year, int month)
{
    const QDate first(year, month, 1);
    QStringList days, sums;
    for (int d = 1; d <= 31; ++d) {
        days << QStringLiteral("d%1").arg(d);
        sums << (d <= first.daysInMonth()
                     ? QStringLiteral("coalesce(sum(coalesce(time, 0)) filter (where data = date '%1'), 0)")
                           .arg(first.addDays(d - 1).toString(Qt::ISODate))
                     : QStringLiteral("0"));
    }
    return QStringLiteral("insert into accounts_dep.h_tabel (smena, w_id, month, year, %1) "
                          "select smena, w_id, %2, %3, %4 from accounts_dep.smena "
                          "where data >= date '%5' and data < date '%6' and smena is not null and w_id is not null "
                          "group by smena, w_id")
        .arg(days.join(QStringLiteral(", ")))
        .arg(month)
        .arg(year)
        .arg(sums.join(QStringLiteral(", ")), first.toString(Qt::ISODate),
             first.addMonths(1).toString(Qt::ISODate));
}

void rebuildTimesheetMonth(Connection *connection, int year, int month)
{
    Transaction t(*connection);
    t.lock({locks::TimesheetMonth, year * 100 + month}, Transaction::Mode::Exclusive);
    execBound(connection,
              QStringLiteral("delete from accounts_dep.h_tabel where month=") + QString::number(month) +
                  QStringLiteral(" and year=") + QString::number(year),
              {});
    execBound(connection, timesheetMonthStatement(year, month), {});
    t.commit();
}

} // namespace tabel
