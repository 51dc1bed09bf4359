#include "shop/timesheetrebuild.h"

#include "data/dataerror.h"
#include "data/history.h"
#include "data/locks.h"
#include "data/sqlexec.h"
#include "data/transaction.h"

#include <QDate>
#include <QSqlQuery>
#include <QStringList>

#include <optional>

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
    return QStringLiteral(
               "insert into accounts_dep.h_tabel (smena, w_id, month, year, %1) "
               "select smena, w_id, %2, %3, %4 from accounts_dep.smena "
               "where data >= date '%5' and data < date '%6' and smena is not null and w_id is not null "
               "group by smena, w_id")
        .arg(days.join(QStringLiteral(", ")))
        .arg(month)
        .arg(year)
        .arg(sums.join(QStringLiteral(", ")), first.toString(Qt::ISODate),
             first.addMonths(1).toString(Qt::ISODate));
}

namespace {
// The first worker's day whose hours a time sheet cell (smallint) cannot hold, as a message.
std::optional<QString> overflowingDay(Connection *connection, int year, int month)
{
    const QDate first(year, month, 1);
    QSqlQuery q = execBound(
        connection,
        QStringLiteral(
            "select s.w_id, coalesce((select p.fio from accounts_dep.person p where p.id = s.w_id), ''), "
            "s.data, s.smena, sum(coalesce(s.time, 0)) from accounts_dep.smena s "
            "where s.data >= ? and s.data < ? and s.smena is not null and s.w_id is not null "
            "group by s.w_id, s.data, s.smena having sum(coalesce(s.time, 0)) not between -32768 and 32767 "
            "order by s.data, s.w_id, s.smena limit 1"),
        {first, first.addMonths(1)});
    if (!q.next())
        return std::nullopt;
    const QString name = q.value(1).toString().trimmed();
    return QStringLiteral("Часы работника %1 за %2 в смене %3 (%4 ч) не помещаются в клетку табеля. "
                          "Табель за месяц не перестроен, исправьте записи этого дня.")
        .arg(name.isEmpty() ? QStringLiteral("№ %1").arg(q.value(0).toLongLong()) : name,
             q.value(2).toDate().toString(QStringLiteral("dd.MM.yyyy")), q.value(3).toString(),
             q.value(4).toString());
}
} // namespace

void rebuildTimesheetMonth(Connection *connection, int year, int month)
{
    std::optional<DataError> failed;
    {
        Transaction t(*connection);
        t.lock({locks::TimesheetMonth, year * 100 + month}, Transaction::Mode::Exclusive);
        execBound(connection,
                  QStringLiteral("delete from accounts_dep.h_tabel where month=") + QString::number(month) +
                      QStringLiteral(" and year=") + QString::number(year),
                  {});
        int rows = 0;
        try {
            rows = execBound(connection, timesheetMonthStatement(year, month), {}).numRowsAffected();
        } catch (const DataError &e) {
            if (e.connectionLost())
                throw;
            failed = e;
        }
        if (!failed) {
            recordBulkChange(connection, QStringLiteral("h_tabel"), QStringLiteral("rebuild"),
                             QStringLiteral("%1.%2: %3 строк табеля")
                                 .arg(month, 2, 10, QLatin1Char('0'))
                                 .arg(year)
                                 .arg(rows));
            t.commit();
            return;
        }
    }
    // The month is rolled back. The day that does not fit a cell is looked for only now, so that a
    // rebuild that fits pays nothing for the search.
    throw DataError(overflowingDay(connection, year, month).value_or(failed->message()));
}

} // namespace tabel
