#include "timesheetloop.h"

#include "data/sqlexec.h"

#include <QDate>
#include <QSqlQuery>
#include <QStringList>

namespace tabel::test {

void timesheetLoop(Connection *c, int year, int month)
{
    const QString m = QString::number(month), y = QString::number(year);
    execBound(c,
              QStringLiteral("delete from accounts_dep.h_tabel where month=") + m +
                  QStringLiteral(" and year=") + y,
              {});
    for (int day = 1; day <= QDate(year, month, 1).daysInMonth(); ++day) {
        const QString d = QString::number(day);
        QSqlQuery dt =
            execBound(c,
                      QStringLiteral(" select smena, w_id, sum(time) as tim from accounts_dep.smena "
                                     "where data=? group by smena,w_id;"),
                      {QDate(year, month, day)});
        QList<QStringList> rows;
        while (dt.next())
            rows << QStringList{dt.value(0).toString(), dt.value(1).toString(),
                                QString::number(dt.value(2).toInt())};
        dt.finish();
        for (const QStringList &r : rows) {
            const QString &s = r[0], &w = r[1], &t = r[2];
            QSqlQuery q = execBound(
                c,
                QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel h_tabel where w_id=") +
                    w + QStringLiteral(" and smena=") + s + QStringLiteral(" and month=") + m +
                    QStringLiteral(" and year=") + y,
                {});
            q.next();
            const bool exists = q.value(0).toInt() != 0;
            q.finish();
            if (exists)
                execBound(c,
                          QStringLiteral("update accounts_dep.h_tabel set d") + d + QStringLiteral("='") + t +
                              QStringLiteral("' where w_id=") + w + QStringLiteral(" and smena=") + s +
                              QStringLiteral(" and month=") + m + QStringLiteral(" and year=") + y,
                          {});
            else
                execBound(c,
                          QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d") + d +
                              QStringLiteral(") values(") + s + QStringLiteral(", ") + w +
                              QStringLiteral(", ") + m + QStringLiteral(", ") + y + QStringLiteral(", ") + t +
                              QStringLiteral(")"),
                          {});
        }
    }
}

} // namespace tabel::test
