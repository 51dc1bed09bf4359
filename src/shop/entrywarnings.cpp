#include "shop/entrywarnings.h"

#include "data/sqlexec.h"

#include <QLocale>
#include <QScopeGuard>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace tabel {

namespace {
template <typename T>
void readLimit(const QMap<QString, QString> &settings, const char *key, T low, T high, T *value)
{
    bool ok = false;
    const QString text = settings.value(QStringLiteral("warnings/") + QLatin1String(key));
    const double v = text.toDouble(&ok);
    // A whole number where one is counted: 4.5 entries is no limit.
    if (ok && v >= low && v <= high && (!std::is_integral_v<T> || v == std::floor(v)))
        *value = T(v);
}

QString isoDate(const QDate &date)
{
    return date.toString(Qt::ISODate);
}

QString shiftText(int shift)
{
    return shift == 4 ? QStringLiteral("в переработке") : QStringLiteral("в смене %1").arg(shift);
}
} // namespace

WarningLimits WarningLimits::fromSettings(const QMap<QString, QString> &settings)
{
    WarningLimits l;
    readLimit(settings, "entry_hours", 0, 24, &l.entryHours);
    readLimit(settings, "day_hours", 0, 96, &l.dayHours);
    readLimit(settings, "pieces_factor", 1.0, 1000.0, &l.piecesFactor);
    readLimit(settings, "pieces_days", 1, 3660, &l.piecesDays);
    readLimit(settings, "pieces_min_entries", 1, 100000, &l.piecesMinEntries);
    readLimit(settings, "past_days", 0, 3660, &l.pastDays);
    return l;
}

EntryContext readEntryContext(PreparedStatement &statement, Connection *connection, const EntryDraft &d,
                              const WarningLimits &limits)
{
    // Index look-ups only: the worker's day (w_id, smena, data) and the operation's recent days
    // (o_id, data, with w_id and kol_vo in the index).
    QSqlQuery &q = statement.exec(
        connection,
        QStringLiteral(
            "select day.h, mine.n, mine.m, shop.n, shop.m, other.s from "
            "(select coalesce(sum(time), 0) as h from accounts_dep.smena "
            "  where w_id = :w and data = cast(:d as date) and id <> :id) day, "
            "(select count(kol_vo) as n, coalesce(max(kol_vo), 0) as m from accounts_dep.smena "
            "  where o_id = :o and w_id = :w and data >= cast(:from as date) and data < cast(:d as date) "
            "  and id <> :id) mine, "
            "(select count(kol_vo) as n, coalesce(max(kol_vo), 0) as m from accounts_dep.smena "
            "  where o_id = :o and data >= cast(:from as date) and data < cast(:d as date) and id <> :id) shop, "
            "(select string_agg(distinct smena::text, ',') as s from accounts_dep.smena "
            "  where o_id = :o and w_id = :w and data = cast(:d as date) and smena <> :shift and id <> :id) other"),
        {{QStringLiteral("w"), d.workerId},
         {QStringLiteral("o"), d.operationId},
         {QStringLiteral("d"), isoDate(d.date)},
         {QStringLiteral("from"), isoDate(d.date.addDays(-limits.piecesDays))},
         {QStringLiteral("id"), d.entryId.value_or(0)},
         {QStringLiteral("shift"), d.shift}});
    EntryContext c;
    if (!q.next())
        return c;
    const auto done = qScopeGuard([&q] { q.finish(); });
    c.otherDayHours = q.value(0).toLongLong();
    c.workerEntries = q.value(1).toLongLong();
    c.workerMax = q.value(2).toLongLong();
    c.shopEntries = q.value(3).toLongLong();
    c.shopMax = q.value(4).toLongLong();
    for (const QString &s : q.value(5).toString().split(QLatin1Char(','), Qt::SkipEmptyParts))
        c.otherShifts << s.toInt();
    std::sort(c.otherShifts.begin(), c.otherShifts.end());
    return c;
}

QList<EntryWarning> entryWarnings(const EntryDraft &d, const EntryNumbers &v, const EntryContext &c,
                                  const WarningLimits &l)
{
    QList<EntryWarning> w;
    if (v.rejects > v.quantity)
        w.push_back({EntryField::Rejects,
                     QStringLiteral("брак (%1) больше количества (%2);").arg(v.rejects).arg(v.quantity)});
    if (v.hours > l.entryHours)
        w.push_back(
            {EntryField::Hours,
             QStringLiteral("время %1 ч на одной позиции больше %2 ч;").arg(v.hours).arg(l.entryHours)});
    if (const qint64 day = c.otherDayHours + v.hours; day > l.dayHours)
        w.push_back(
            {EntryField::Hours, QStringLiteral("у работника за день во всех сменах будет %1 ч, больше %2 ч;")
                                    .arg(day)
                                    .arg(l.dayHours)});
    const auto tooMany = [&](qint64 entries, qint64 largest) {
        return entries >= l.piecesMinEntries && double(v.quantity) > l.piecesFactor * double(largest);
    };
    const QString factor = QLocale(QLocale::Russian).toString(l.piecesFactor, 'g', 6);
    if (tooMany(c.workerEntries, c.workerMax))
        w.push_back(
            {EntryField::Quantity,
             QStringLiteral("количество %1 больше чем в %2 раза превышает наибольшее у этого работника "
                            "на этой операции за %3 дн. (%4);")
                 .arg(v.quantity)
                 .arg(factor)
                 .arg(l.piecesDays)
                 .arg(c.workerMax)});
    else if (tooMany(c.shopEntries, c.shopMax))
        w.push_back(
            {EntryField::Quantity, QStringLiteral("количество %1 больше чем в %2 раза превышает наибольшее в "
                                                  "цехе на этой операции за %3 дн. (%4);")
                                       .arg(v.quantity)
                                       .arg(factor)
                                       .arg(l.piecesDays)
                                       .arg(c.shopMax)});
    const QString date = statementDate(d.date);
    if (d.date > d.today)
        w.push_back({EntryField::Date, QStringLiteral("дата %1 позже сегодняшней;").arg(date)});
    else if (d.date < d.today.addDays(-l.pastDays))
        w.push_back(
            {EntryField::Date,
             QStringLiteral("дата %1 раньше сегодняшней больше чем на %2 дн.;").arg(date).arg(l.pastDays)});
    if (!c.otherShifts.isEmpty()) {
        QStringList shifts;
        for (int s : c.otherShifts)
            shifts << shiftText(s);
        w.push_back(
            {EntryField::Operation, QStringLiteral("этот работник на этой операции за %1 уже записан %2;")
                                        .arg(date, shifts.join(QStringLiteral(" и ")))});
    }
    if (!w.isEmpty()) { // the last reason ends the list
        QString &last = w.last().text;
        last.chop(1);
        if (!last.endsWith(QLatin1Char('.')))
            last += QLatin1Char('.');
    }
    return w;
}

QString warningQuestion(const QList<EntryWarning> &warnings)
{
    QStringList lines{QStringLiteral("Позиция выглядит необычно:")};
    for (const EntryWarning &w : warnings)
        lines << QStringLiteral("— ") + w.text;
    lines << QString() << QStringLiteral("Записать всё же?");
    return lines.join(QLatin1Char('\n'));
}

QString warningNote(const QList<EntryWarning> &warnings)
{
    QStringList reasons;
    for (const EntryWarning &w : warnings)
        reasons << w.text;
    return QStringLiteral("Записано несмотря на предупреждения: ") + reasons.join(QLatin1Char(' '));
}

} // namespace tabel
