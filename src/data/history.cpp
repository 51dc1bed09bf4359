#include "data/history.h"

#include "data/sqlexec.h"

#include <QSqlQuery>

namespace tabel {

void suppressRowHistory(Connection *connection)
{
    execBound(connection, QStringLiteral("select set_config('tabel.bulk', 'on', true)"), {});
}

void recordBulkChange(Connection *connection, const QString &table, const QString &action,
                      const QString &note)
{
    QSqlQuery kept = execBound(
        connection,
        QStringLiteral(
            "select to_regprocedure('accounts_dep.tabel_history_line(text,bigint,text,jsonb,jsonb,text)') "
            "is not null"),
        {});
    if (!kept.next() || !kept.value(0).toBool())
        return;
    kept.finish();
    execBound(connection, QStringLiteral("select accounts_dep.tabel_history_line(?, null, ?, null, null, ?)"),
              {table, action, note});
}

} // namespace tabel
