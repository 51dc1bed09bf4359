#include "shop/changehistory.h"

#include "data/productkind.h"
#include "data/sqlexec.h"

#include <QDateTime>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <QSqlQuery>

#include <vector>

namespace tabel {

namespace {
// How a table's fields are named, in the order they are listed; a field not here is shown by its
// column name when it changed, and left out of a whole row.
struct FieldName
{
    const char *column;
    const char *caption;
};
const FieldName kEntryFields[] = {
    {"data", "Дата"},     {"smena", "Смена"}, {"w_id", "Фамилия И.О."}, {"i_id", "Марка изделия"},
    {"o_id", "Операция"}, {"color", "Цвет"},  {"time", "Часы"},         {"kol_vo", "Кол-во"},
    {"brak", "Брак"},     {"cena", "Цена"},   {"prize", "Премия (%)"},  {"ok", "OK"},
    {"vvod", "Заведен"},
};
const FieldName kNormFields[] = {
    {"o_id", "Операция"}, {"norma", "Норматив"}, {"price", "Цена"}, {"prize", "Премия, %"}};
const FieldName kOperationFields[] = {{"i_id", "Марка изделия"},
                                      {"vid", "Операция"},
                                      {"naimen", "Вид"},
                                      {"cena_new", "Цена (min)"},
                                      {"cena", "Цена"}};
const QSet<QString> kQuiet = {QStringLiteral("id"),          QStringLiteral("id_doc"),
                              QStringLiteral("id_doc_item"), QStringLiteral("f_gds_qty_use"),
                              QStringLiteral("id_gds_use"),  QStringLiteral("id_cons_use")};

struct Raw
{
    qint64 id = 0;
    QString at, who, tbl, action, note;
    qint64 rowId = 0, parentId = 0;
    QByteArray old, now; // jsonb as text: parsed when needed, a parsed row takes several times more
};

QJsonObject parsed(const QByteArray &json)
{
    return json.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(json).object();
}

// The names the lines refer to by id, read at once for all of them.
struct Names
{
    QHash<qint64, QString> workers, products, operations, kinds;
};

QString idList(const QSet<qint64> &ids)
{
    QStringList out;
    for (qint64 id : ids)
        out << QString::number(id);
    return QLatin1Char('{') + out.join(QLatin1Char(',')) + QLatin1Char('}');
}

void readNames(Connection *c, const QString &statement, const QSet<qint64> &ids, QHash<qint64, QString> *into,
               const std::function<QString(const QSqlQuery &)> &text)
{
    if (ids.isEmpty())
        return;
    QSqlQuery q = execBound(c, statement, {idList(ids)});
    while (q.next())
        into->insert(q.value(0).toLongLong(), text(q));
}

// Operations as the entry editor names them: "ПН-27; Резка; Готовая продукция".
void readOperationNames(Connection *c, const QSet<qint64> &ids, QHash<qint64, QString> *into)
{
    readNames(c,
              QStringLiteral("select o.id, coalesce(i.marka, ''), coalesce(v.vid, ''), coalesce(o.naimen, 0) "
                             "from accounts_dep.oper o left join accounts_dep.izdel i on i.id = o.i_id "
                             "left join accounts_dep.vid_oper v on v.id = o.vid "
                             "where o.id = any(cast(? as integer[]))"),
              ids, into, [](const QSqlQuery &q) {
                  return q.value(1).toString().trimmed() + QStringLiteral("; ") +
                         q.value(2).toString().trimmed() + QStringLiteral("; ") +
                         productKindText(q.value(3).toLongLong());
              });
}

qint64 idOf(const QJsonValue &v)
{
    return v.isDouble() ? qint64(v.toDouble()) : v.toString().toLongLong();
}

QString numberText(const QJsonValue &v)
{
    if (v.isDouble())
        return QLocale(QLocale::Russian).toString(v.toDouble(), 'g', 15).remove(QChar(0xa0));
    return v.toString();
}

QString dateText(const QString &iso)
{
    // A date ("2023-03-15") or a timestamp ("2023-03-16T00:00:00"): the time only when there is one.
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
    if (t.isValid() && t.time() != QTime(0, 0))
        return t.toString(QStringLiteral("dd.MM.yyyy hh:mm"));
    const QDate d = QDate::fromString(iso.left(10), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : iso;
}

QString valueText(const QString &tbl, const QString &column, const QJsonValue &v, const Names &names)
{
    if (v.isNull() || v.isUndefined())
        return QStringLiteral("—");
    const auto named = [&](const QHash<qint64, QString> &book) {
        const qint64 id = idOf(v);
        return book.value(id, QStringLiteral("№ %1").arg(id));
    };
    if (column == QLatin1String("w_id"))
        return named(names.workers);
    if (column == QLatin1String("o_id"))
        return named(names.operations);
    if (column == QLatin1String("i_id"))
        return named(names.products);
    if (tbl == QLatin1String("oper") && column == QLatin1String("vid"))
        return named(names.kinds);
    if (tbl == QLatin1String("oper") && column == QLatin1String("naimen"))
        return productKindText(idOf(v));
    if (column == QLatin1String("data") || column == QLatin1String("vvod"))
        return dateText(v.toString());
    if (column == QLatin1String("smena"))
        return idOf(v) == 4 ? QStringLiteral("переработка") : numberText(v);
    if (column == QLatin1String("ok")) {
        const QString mark = v.toString().trimmed();
        return mark == QLatin1String("ok") || mark == QStringLiteral("да") ? QStringLiteral("да")
                                                                           : QStringLiteral("нет");
    }
    return numberText(v);
}

std::vector<FieldName> fieldsOf(const QString &tbl)
{
    if (tbl == QLatin1String("smena"))
        return {std::begin(kEntryFields), std::end(kEntryFields)};
    if (tbl == QLatin1String("norm"))
        return {std::begin(kNormFields), std::end(kNormFields)};
    if (tbl == QLatin1String("oper"))
        return {std::begin(kOperationFields), std::end(kOperationFields)};
    return {};
}

QStringList changesText(const Raw &raw, const Names &names)
{
    struct
    {
        const QString &tbl, &action;
        QJsonObject old, now;
    } r{raw.tbl, raw.action, parsed(raw.old), parsed(raw.now)};
    const std::vector<FieldName> fields = fieldsOf(r.tbl);
    QStringList parts;
    QSet<QString> shown;
    const auto one = [&](const QString &column, const QString &caption) {
        shown.insert(column);
        const bool inOld = r.old.contains(column), inNew = r.now.contains(column);
        if (!inOld && !inNew)
            return;
        if (r.action == QLatin1String("update"))
            parts << caption + QStringLiteral(": ") + valueText(r.tbl, column, r.old.value(column), names) +
                         QStringLiteral(" → ") + valueText(r.tbl, column, r.now.value(column), names);
        else
            parts << caption + QStringLiteral(": ") +
                         valueText(r.tbl, column, (inNew ? r.now : r.old).value(column), names);
    };
    for (const FieldName &f : fields)
        one(QString::fromLatin1(f.column), QString::fromUtf8(f.caption));
    if (r.action == QLatin1String("update")) // whatever else changed, by its column name
        for (const QString &column : r.now.keys())
            if (!shown.contains(column) && !kQuiet.contains(column))
                one(column, column);
    return parts;
}

QString whatText(const Raw &r)
{
    if (r.tbl == QLatin1String("smena"))
        return QStringLiteral("Позиция № %1").arg(r.rowId);
    if (r.tbl == QLatin1String("norm"))
        return QStringLiteral("Норма № %1 операции № %2").arg(r.rowId).arg(r.parentId);
    if (r.tbl == QLatin1String("oper"))
        return QStringLiteral("Операция № %1").arg(r.rowId);
    if (r.action == QLatin1String("rebuild"))
        return QStringLiteral("Табель");
    if (r.action == QLatin1String("import"))
        return QStringLiteral("Загрузка в %1").arg(r.tbl);
    return r.tbl;
}

QString actionText(const QString &action)
{
    if (action == QLatin1String("insert"))
        return QStringLiteral("добавлена");
    if (action == QLatin1String("update"))
        return QStringLiteral("изменена");
    if (action == QLatin1String("delete"))
        return QStringLiteral("удалена");
    if (action == QLatin1String("rebuild"))
        return QStringLiteral("пересчитан");
    if (action == QLatin1String("import"))
        return QStringLiteral("загружены строки");
    return action;
}

// Who made a change as the windows name it and the filter picks it: the role (outside the program
// the server's user), then where: the computer, the OS user, a program other than this one.
const QString kWho =
    QStringLiteral("(who || coalesce(' (' || nullif(concat_ws(', ', nullif(host, ''), nullif(os_user, ''), "
                   "nullif(nullif(program, ''), 'tabel')), '') || ')', ''))");

// A period's bounds: from the first day's midnight to the day after the last, on this computer's
// clock, whatever time zone the server keeps.
QVariantList periodBounds(const QDate &from, const QDate &to)
{
    return {double(from.startOfDay().toSecsSinceEpoch()),
            double(to.addDays(1).startOfDay().toSecsSinceEpoch())};
}
const QString kPeriod = QStringLiteral("at >= to_timestamp(?) and at < to_timestamp(?)");

// The filter's condition on tbl and action.
QString kindCondition(HistoryKind kind)
{
    switch (kind) {
    case HistoryKind::Entries:
        return QStringLiteral(" and tbl = 'smena' and action in ('insert', 'update', 'delete')");
    case HistoryKind::Norms:
        return QStringLiteral(" and tbl in ('norm', 'oper') and action in ('insert', 'update', 'delete')");
    case HistoryKind::Bulk:
        return QStringLiteral(" and action in ('rebuild', 'import')");
    case HistoryKind::All:
        break;
    }
    return QString();
}

const QString kColumns =
    QStringLiteral("select id, extract(epoch from at)::float8, ") + kWho +
    QStringLiteral(", tbl, coalesce(row_id, 0), action, coalesce(old::text, ''), coalesce(new::text, ''), "
                   "coalesce(note, ''), coalesce(parent_id, 0) from accounts_dep.tabel_history where ");
} // namespace

bool ChangeHistory::isKept(Connection *connection)
{
    QSqlQuery q =
        execBound(connection,
                  QStringLiteral("select to_regclass('accounts_dep.tabel_history') is not null and "
                                 "exists (select 1 from information_schema.columns where table_schema "
                                 "= 'accounts_dep' and table_name = 'tabel_history' and column_name = "
                                 "'parent_id')"),
                  {});
    return q.next() && q.value(0).toBool();
}

QString ChangeHistory::operationName(int operationId) const
{
    QHash<qint64, QString> names;
    readOperationNames(m_connection, {operationId}, &names);
    return names.value(operationId);
}

QString ChangeHistory::kindText(HistoryKind kind)
{
    switch (kind) {
    case HistoryKind::Entries:
        return QStringLiteral("Позиции");
    case HistoryKind::Norms:
        return QStringLiteral("Нормы и цены операций");
    case HistoryKind::Bulk:
        return QStringLiteral("Пересчёт табеля и загрузка");
    case HistoryKind::All:
        break;
    }
    return QStringLiteral("Все изменения");
}

QList<HistoryLine> ChangeHistory::read(const QString &where, const QVariantList &values, int limit,
                                       const std::function<void(qint64, qint64)> &progress) const
{
    std::vector<Raw> raws;
    {
        QString statement = kColumns + where + QStringLiteral(" order by id desc");
        if (limit > 0)
            statement += QStringLiteral(" limit %1").arg(limit);
        QSqlQuery q = execBound(m_connection, statement, values);
        while (q.next()) {
            Raw r;
            r.id = q.value(0).toLongLong();
            // The time on this computer's clock.
            r.at = QDateTime::fromMSecsSinceEpoch(qint64(q.value(1).toDouble() * 1000))
                       .toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
            r.who = q.value(2).toString();
            r.tbl = q.value(3).toString();
            r.rowId = q.value(4).toLongLong();
            r.action = q.value(5).toString();
            r.old = q.value(6).toString().toUtf8();
            r.now = q.value(7).toString().toUtf8();
            r.note = q.value(8).toString();
            r.parentId = q.value(9).toLongLong();
            raws.push_back(std::move(r));
        }
    }
    // Every id the lines name, then each book once.
    QSet<qint64> workers, products, operations, kinds;
    for (const Raw &r : raws) {
        const QJsonObject old = parsed(r.old), now = parsed(r.now);
        for (const QJsonObject *o : {&old, &now}) {
            if (o->contains(QLatin1String("w_id")))
                workers.insert(idOf(o->value(QLatin1String("w_id"))));
            if (o->contains(QLatin1String("i_id")))
                products.insert(idOf(o->value(QLatin1String("i_id"))));
            if (o->contains(QLatin1String("o_id")))
                operations.insert(idOf(o->value(QLatin1String("o_id"))));
            if (r.tbl == QLatin1String("oper") && o->contains(QLatin1String("vid")))
                kinds.insert(idOf(o->value(QLatin1String("vid"))));
        }
    }
    Names names;
    const auto text = [](const QSqlQuery &q) { return q.value(1).toString().trimmed(); };
    readNames(m_connection,
              QStringLiteral("select id, fio from accounts_dep.person where id = any(cast(? as integer[]))"),
              workers, &names.workers, text);
    readNames(m_connection,
              QStringLiteral("select id, marka from accounts_dep.izdel where id = any(cast(? as integer[]))"),
              products, &names.products, text);
    readNames(
        m_connection,
        QStringLiteral("select id, vid from accounts_dep.vid_oper where id = any(cast(? as integer[]))"),
        kinds, &names.kinds, text);
    readOperationNames(m_connection, operations, &names.operations);
    QList<HistoryLine> lines;
    lines.reserve(qsizetype(raws.size()));
    const qint64 total = qint64(raws.size());
    for (Raw &r : raws) {
        lines.push_back(
            {r.id, r.at, r.who, whatText(r), actionText(r.action), changesText(r, names), r.note});
        r = Raw(); // what is made texts is let go
        if (progress && lines.size() % 5000 == 0)
            progress(lines.size(), total);
    }
    return lines;
}

QList<HistoryLine> ChangeHistory::forEntry(int entryId) const
{
    return read(QStringLiteral("tbl = 'smena' and row_id = ?"), {entryId});
}

QList<HistoryLine> ChangeHistory::forOperation(int operationId) const
{
    return read(QStringLiteral("(tbl = 'oper' and row_id = ?) or (parent_id = ? and tbl = 'norm')"),
                {operationId, operationId});
}

QList<HistoryLine> ChangeHistory::forPeriod(const HistoryFilter &f, int limit,
                                            const std::function<void(qint64, qint64)> &progress) const
{
    QString where = kPeriod + kindCondition(f.kind);
    QVariantList values = periodBounds(f.from, f.to);
    if (!f.who.isEmpty()) {
        where += QStringLiteral(" and ") + kWho + QStringLiteral(" = ?");
        values << f.who;
    }
    return read(where, values, limit, progress);
}

QStringList ChangeHistory::people(const QDate &from, const QDate &to) const
{
    QStringList out;
    QSqlQuery q = execBound(m_connection,
                            QStringLiteral("select distinct ") + kWho +
                                QStringLiteral(" as w from accounts_dep.tabel_history where ") + kPeriod +
                                QStringLiteral(" order by w"),
                            periodBounds(from, to));
    while (q.next())
        out << q.value(0).toString();
    return out;
}

} // namespace tabel
