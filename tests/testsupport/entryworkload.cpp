#include "entryworkload.h"

#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/sqlexec.h"
#include "shop/entrystore.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QStringList>

namespace tabel::test {

namespace {
int insertId(Connection &c, const QString &statement)
{
    QSqlQuery q = execBound(&c, statement, {});
    q.next();
    return q.value(0).toInt();
}
} // namespace

Workload makeWorkload(Connection &c)
{
    Workload w;
    for (const QString &fio :
         {QStringLiteral("Алексеев А.А."), QStringLiteral("Борисов Б.Б."), QStringLiteral("Власов В.В.")})
        w.workers << insertId(
            c, QStringLiteral("insert into accounts_dep.person (fio) values ('%1') returning id").arg(fio));
    const int product =
        insertId(c, QStringLiteral("insert into accounts_dep.izdel (marka) values ('ПН-27') returning id"));
    const int kind =
        insertId(c, QStringLiteral("insert into accounts_dep.vid_oper (vid) values ('Резка') returning id"));
    const int bend =
        insertId(c, QStringLiteral("insert into accounts_dep.vid_oper (vid) values ('Гибка') returning id"));
    for (int k : {kind, bend}) {
        const int op =
            insertId(c, QStringLiteral("insert into accounts_dep.oper (vid, naimen, i_id, cena_new) "
                                       "values (%1, 0, %2, 2.5) returning id")
                            .arg(k)
                            .arg(product));
        w.operations << qMakePair(op, product);
    }
    w.dates = {QDate(2024, 3, 30), QDate(2024, 3, 31), QDate(2024, 4, 1)};
    return w;
}

ClientResult runClient(const Workload &w, Connection::Driver driver, const QString &connectionString,
                       int operations, quint32 seed)
{
    ClientResult result;
    DataModule data(nullptr, QStringLiteral("client-%1").arg(seed));
    data.connection().setDriver(driver);
    data.connection().setConnectionString(connectionString);
    data.connection().open();
    EntryStore store(&data);
    QRandomGenerator random(seed);
    auto pick = [&random](const auto &list) { return list.at(int(random.bounded(quint32(list.size())))); };
    auto draft = [&] {
        EntryDraft d;
        d.worker = QStringLiteral("Рабочий");
        d.operation = QStringLiteral("ПН-27; Резка; Готовая продукция");
        d.workerId = pick(w.workers);
        const auto op = pick(w.operations);
        d.operationId = op.first;
        d.productId = op.second;
        d.quantity = QString::number(random.bounded(1, 50));
        d.rejects = QStringLiteral("0");
        d.hours = QString::number(random.bounded(0, 9));
        d.colour = random.bounded(4) == 0 ? QStringLiteral("1") : QString();
        d.price = 2.5;
        d.date = pick(w.dates);
        d.shift = int(random.bounded(1, 5));
        d.today = QDate(2024, 4, 2);
        return d;
    };
    auto someEntry = [&]() -> std::optional<int> {
        QSqlQuery q =
            execBound(&data.connection(),
                      QStringLiteral("select id from accounts_dep.smena order by id offset ? limit 1"),
                      {int(random.bounded(40))});
        if (q.next())
            return q.value(0).toInt();
        return std::nullopt;
    };
    for (int i = 0; i < operations; ++i) {
        try {
            const quint32 action = random.bounded(100);
            if (action < 45) {
                const QString refusal = store.save(draft());
                refusal.isEmpty() ? ++result.saved : ++result.refused;
            } else if (action < 75) { // a move, or a save of the entry as it is
                const std::optional<int> id = someEntry();
                if (!id)
                    continue;
                EntryDraft d = draft();
                d.entryId = *id;
                store.save(d).isEmpty() ? ++result.moved : ++result.refused;
            } else {
                const std::optional<int> id = someEntry();
                if (id && store.remove(*id))
                    ++result.deleted;
            }
        } catch (const DataError &e) {
            ++result.failed; // a deadlock the server broke, for instance: nothing of it is written
            result.failures << e.message();
        }
    }
    return result;
}

Mismatches checkTimesheet(Connection &c)
{
    QStringList days;
    for (int d = 1; d <= 31; ++d)
        days << QStringLiteral("d%1").arg(d);
    const QString cells =
        QStringLiteral(
            "with e as (select w_id, smena, extract(year from data)::int y, extract(month from data)::int m, "
            "extract(day from data)::int d, sum(coalesce(time, 0)) t from accounts_dep.smena group by 1, 2, 3, 4, 5), "
            "h as (select w_id, smena, year::int y, month::int m, g.d, (array[%1])[g.d] v "
            "from accounts_dep.h_tabel cross join generate_series(1, 31) g(d)) "
            "select count(*) from e full join h using (w_id, smena, y, m, d) where coalesce(e.t, 0) <> coalesce(h.v, 0)")
            .arg(days.join(QStringLiteral(", ")));
    auto scalar = [&c](const QString &s) {
        QSqlQuery q = execBound(&c, s, {});
        q.next();
        return q.value(0).toLongLong();
    };
    Mismatches m;
    m.cells = scalar(cells);
    m.rows = scalar(QStringLiteral("select count(*) from (select 1 from accounts_dep.h_tabel "
                                   "group by w_id, smena, month, year having count(*) > 1) x"));
    m.duplicates =
        scalar(QStringLiteral("select count(*) from (select 1 from accounts_dep.smena "
                              "group by w_id, o_id, i_id, data, smena, color having count(*) > 1) x"));
    return m;
}

qint64 lastHistoryLine(Connection &connection)
{
    QSqlQuery q = execBound(
        &connection, QStringLiteral("select coalesce(max(id), 0) from accounts_dep.tabel_history"), {});
    return q.next() ? q.value(0).toLongLong() : 0;
}

Replay replayEntries(Connection &connection, qint64 afterLine)
{
    Connection *c = &connection;
    execBound(c, QStringLiteral("drop table if exists pg_temp.replay"), {});
    execBound(c, QStringLiteral("create temp table replay (like accounts_dep.smena)"), {});
    execBound(
        c,
        QStringLiteral(
            "do $$ declare h record; cur accounts_dep.smena; begin "
            "for h in select * from accounts_dep.tabel_history where tbl = 'smena' and id > %1 order by id loop "
            "  if h.action = 'insert' then "
            "    insert into replay select (jsonb_populate_record(null::accounts_dep.smena, h.new)).*; "
            "  elsif h.action = 'delete' then "
            "    delete from replay where id = h.row_id; "
            "  elsif h.action = 'update' then "
            "    delete from replay where id = h.row_id returning * into cur; "
            "    insert into replay select (jsonb_populate_record(cur, h.new)).*; "
            "  end if; "
            "end loop; end $$")
            .arg(afterLine),
        {});
    Replay r;
    QSqlQuery q = execBound(
        c,
        QStringLiteral(
            "select (select coalesce(string_agg(x::text, E'\\n' order by id), '') from replay x), "
            "(select coalesce(string_agg(x::text, E'\\n' order by id), '') from accounts_dep.smena x), "
            "(select count(*) from accounts_dep.tabel_history where tbl = 'smena' and id > %1)")
            .arg(afterLine),
        {});
    if (q.next()) {
        r.fromHistory = q.value(0).toString();
        r.entries = q.value(1).toString();
        r.lines = q.value(2).toLongLong();
    }
    return r;
}

} // namespace tabel::test
