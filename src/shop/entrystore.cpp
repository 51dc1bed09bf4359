#include "shop/entrystore.h"

#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/locks.h"
#include "data/sqlexec.h"
#include "data/sqlparams.h"
#include "data/transaction.h"
#include "shop/pricing.h"

#include <QSqlQuery>

#include <algorithm>
#include <map>
#include <set>

namespace tabel {

namespace {
const QString kAllFields = QStringLiteral("Все поля должны быть заполнены!");
const QString kDuplicate = QStringLiteral("Позиция с такими параметрами уже заведена!");
const QString kDeleted = QStringLiteral("Позиция удалена другим пользователем.");
const QString kOperationGone =
    QStringLiteral("Операция удалена или изменена другим пользователем. Выберите её заново.");

QString n(qint64 v)
{
    return QString::number(v);
}

constexpr qint64 kMaxDayHours = 24;
// How many times an entry that moved between being read and being locked is followed to where it is
// now. Each try is short; only an entry moved over and over by many clients at once needs several.
constexpr int kMoveAttempts = 20;

QString dayTooLong(const QString &worker, const EntryKey &key, qint64 total)
{
    const QString shift =
        key.shift == 4 ? QStringLiteral("в переработке") : QStringLiteral("в смене %1").arg(key.shift);
    return QStringLiteral(
               "У работника %1 за %2 %3 получается %4 ч, а больше 24 ч быть не может. Проверьте время.")
        .arg(worker, statementDate(key.date), shift)
        .arg(total);
}

// A digits-only box, checked again here whatever reached it: its value, or nothing with the message
// set. The first refusal stands; an empty box is 0 (a save refuses it before).
std::optional<qint64> checkNumber(const QString &typed, const QString &label, qint64 maximum,
                                  QString *message)
{
    const QString text = typed.trimmed();
    if (!message->isEmpty())
        return std::nullopt;
    if (text.isEmpty())
        return 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            *message = QStringLiteral("В поле «%1» допустимы только цифры.").arg(label);
            return std::nullopt;
        }
    }
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v > maximum) {
        *message = QStringLiteral("Число в поле «%1» слишком велико: не больше %2.").arg(label, n(maximum));
        return std::nullopt;
    }
    return v;
}

qint64 count(Connection *connection, const QString &statement)
{
    QSqlQuery q = execBound(connection, statement, {});
    return q.next() ? q.value(0).toLongLong() : 0;
}

// The keys of a save or a deletion: months first, then workers, each in ascending order, then the
// books whose rows the entry refers to. Every client takes them the same way.
QList<Transaction::LockRequest> entryLocks(const QList<EntryKey> &keys, bool books)
{
    // What a save must see alone is one worker's shift of one month: the repeat check, the day's
    // total and the month's time sheet row all lie within it. Saves for other shifts or months of
    // the same worker go on side by side. Keys are taken in one order (of their folded values), so
    // that two moves never wait for each other.
    std::set<int> months;
    std::map<std::pair<int, int>, QList<int>> cells; // by the folded key: the order they are taken in
    for (const EntryKey &k : keys) {
        const int month = k.date.year() * 100 + k.date.month();
        months.insert(month);
        const QList<int> key = {locks::WorkerShift, k.worker, k.shift, month};
        const AdvisoryKey folded = advisoryKey(key);
        cells[{folded.space, folded.value}] = key;
    }
    QList<Transaction::LockRequest> locks;
    for (int m : months)
        locks.push_back({{locks::TimesheetMonth, m}, Transaction::Mode::Shared});
    for (const auto &[folded, key] : cells)
        locks.push_back({key, Transaction::Mode::Exclusive});
    if (books) {
        locks.push_back({locks::book(locks::Products), Transaction::Mode::Shared});
        locks.push_back({locks::book(locks::Operations), Transaction::Mode::Shared});
    }
    return locks;
}

// Where an entry is posted now, as the database holds it.
std::optional<EntryKey> storedKey(Connection *c, int entryId)
{
    QSqlQuery q = execBound(c, QStringLiteral("select w_id, data, smena from accounts_dep.smena where id=?"),
                            {entryId});
    if (!q.next())
        return std::nullopt;
    return EntryKey{q.value(0).toInt(), q.value(1).toDate(), q.value(2).toInt()};
}
} // namespace

QString statementDate(const QDate &date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

std::optional<EntryNumbers> EntryStore::numbers(const EntryDraft &d, QString *message)
{
    // What the columns hold: kol_vo and color integer, brak smallint, hours up to a day cell (smallint).
    message->clear();
    const auto quantity = checkNumber(d.quantity, QStringLiteral("Кол-во"), 2147483647, message);
    const auto rejects = checkNumber(d.rejects, QStringLiteral("Брак"), 32767, message);
    const auto hours = checkNumber(d.hours, QStringLiteral("Время"), 32767, message);
    const auto colour = checkNumber(d.colour, QStringLiteral("Цвет"), 2147483647, message);
    if (!quantity || !rejects || !hours || !colour)
        return std::nullopt;
    return EntryNumbers{*quantity, *rejects, *hours, int(*colour)};
}

QString EntryStore::duplicateStatement(const EntryDraft &d, const EntryNumbers &v)
{
    QString s = QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=") +
                n(d.workerId) + QStringLiteral(" and o_id=") + n(d.operationId) +
                QStringLiteral(" and i_id=") + n(d.productId) + QStringLiteral(" and data=to_date('") +
                statementDate(d.date) + QStringLiteral("', 'DD.MM.YYYY') and smena=") + n(d.shift);
    if (d.entryId)
        s += QStringLiteral(" and id<>") + n(*d.entryId);
    return s + QStringLiteral(" and color=") + n(v.colour);
}

QString EntryStore::insertStatement(const EntryDraft &d, const EntryNumbers &v)
{
    return QStringLiteral(
               "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, "
               "time, vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(") +
           n(d.workerId) + QStringLiteral(", ") + n(d.productId) + QStringLiteral(", ") + n(d.operationId) +
           QStringLiteral(", ") + sqlNumber(roundPrice(d.price)) + QStringLiteral(",") + n(v.quantity) +
           QStringLiteral(", ") + n(v.rejects) + QStringLiteral(", to_date('") + statementDate(d.date) +
           QStringLiteral("', 'DD.MM.YYYY HH24:MI:SS'), ") + n(d.shift) + QStringLiteral(", ") + n(v.colour) +
           QStringLiteral(", ") + n(v.hours) + QStringLiteral(", '") + statementDate(d.today) +
           QStringLiteral("', '") + QStringLiteral("no") + QStringLiteral("', 0, ") +
           QStringLiteral("0, 0, 0, 0, 0)");
}

QString EntryStore::updateStatement(const EntryDraft &d, const EntryNumbers &v)
{
    return QStringLiteral("update accounts_dep.SMENA set w_id=") + n(d.workerId) + QStringLiteral(", i_id=") +
           n(d.productId) + QStringLiteral(", o_id=") + n(d.operationId) + QStringLiteral(", cena=") +
           sqlNumber(roundPrice(d.price)) + QStringLiteral(", kol_vo=") + n(v.quantity) +
           QStringLiteral(", brak=") + n(v.rejects) + QStringLiteral(", data=to_date('") +
           statementDate(d.date) + QStringLiteral("', 'DD.MM.YYYY'), smena=") + n(d.shift) +
           QStringLiteral(", color=") + n(v.colour) + QStringLiteral(", time=") + n(v.hours) +
           QStringLiteral(", vvod='") + statementDate(d.today) + QStringLiteral("', prize=0, id_doc=") +
           QStringLiteral("0") + QStringLiteral(", id_doc_item=") + QStringLiteral("0") +
           QStringLiteral(", f_gds_qty_use=") + QStringLiteral("0") + QStringLiteral(", id_gds_use=") +
           QStringLiteral("0") + QStringLiteral(", id_cons_use=") + QStringLiteral("0") +
           QStringLiteral(" where id=") + n(d.entryId.value_or(0));
}

std::optional<EntryNumbers> EntryStore::checked(const EntryDraft &d, QString *refusal)
{
    const bool paint = isPaintOperation(d.operation);
    *refusal = kAllFields;
    if (d.worker.trimmed().isEmpty() || d.operation.trimmed().isEmpty() || d.quantity.trimmed().isEmpty() ||
        d.rejects.trimmed().isEmpty() || d.hours.trimmed().isEmpty() ||
        (paint && d.colour.trimmed().isEmpty()))
        return std::nullopt;
    const std::optional<EntryNumbers> values = numbers(d, refusal);
    if (!values)
        return std::nullopt;
    if (!d.date.isValid() || d.workerId <= 0 || d.operationId <= 0 || d.productId <= 0) {
        *refusal = kAllFields;
        return std::nullopt;
    }
    refusal->clear();
    return values;
}

QString EntryStore::save(const EntryDraft &d)
{
    QString message;
    const std::optional<EntryNumbers> values = checked(d, &message);
    if (!values)
        return message;
    const EntryKey key{d.workerId, d.date, d.shift};

    Connection *c = &m_data->connection();
    // An edit posts again the day the entry leaves: where the database holds it now (another client
    // may have moved it since the editor opened), read again under the locks.
    std::optional<EntryKey> from;
    if (d.entryId) {
        from = storedKey(c, *d.entryId);
        if (!from)
            return kDeleted;
    }
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        Transaction t(*c);
        t.lock(entryLocks(from ? QList<EntryKey>{key, *from} : QList<EntryKey>{key}, true));
        if (d.entryId) {
            const std::optional<EntryKey> now = storedKey(c, *d.entryId);
            if (!now)
                return kDeleted;
            if (!(*now == *from)) { // moved meanwhile: lock where it is now
                from = now;
                continue;
            }
        }
        // The picked operation and product must still be there: the books delete under their locks.
        // An edit that keeps the entry's own operation and product needs only the operation: it keeps
        // its stored price even if the operation has since been given another product.
        QSqlQuery there = execBound(
            c,
            QStringLiteral("select (select count(*) from accounts_dep.izdel where id=?), "
                           "(select count(*) from accounts_dep.oper where id=? and i_id=?), "
                           "(select count(*) from accounts_dep.oper where id=?), "
                           "(select count(*) from accounts_dep.smena where id=? and o_id=? and i_id=?)"),
            {d.productId, d.operationId, d.productId, d.operationId, d.entryId.value_or(0), d.operationId,
             d.productId});
        there.next();
        const bool ownPick = d.entryId && there.value(3).toLongLong() > 0;
        if (ownPick) {
            if (there.value(2).toLongLong() == 0)
                return kOperationGone;
        } else {
            if (there.value(0).toLongLong() == 0)
                return QStringLiteral("Изделие удалено другим пользователем. Выберите операцию заново.");
            if (there.value(1).toLongLong() == 0)
                return kOperationGone;
        }
        there.finish();
        if (m_data->duplicateCount(duplicateStatement(d, *values)) > 0)
            return kDuplicate;
        if (!d.note.isEmpty()) // kept with the entry's line in the history, for this transaction only
            execBound(c, QStringLiteral("select set_config('tabel.note', ?, true)"), {d.note});
        execBound(c, d.entryId ? updateStatement(d, *values) : insertStatement(d, *values), {});
        // A day cell holds one shift of one day: more than 24 hours there is a typing error.
        if (const qint64 total = post(key, true); total > kMaxDayHours)
            return dayTooLong(d.worker.trimmed(), key, total);
        if (from && !(*from == key))
            post(*from, false); // the day the entry left
        t.commit();
        return QString();
    }
    throw DataError(QStringLiteral("Позиция меняется другим пользователем. Повторите запись."));
}

QString EntryStore::postingRowsStatement(const EntryKey &k)
{
    return QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel where w_id=") + n(k.worker) +
           QStringLiteral(" and smena=") + n(k.shift) + QStringLiteral(" and month=") + n(k.date.month()) +
           QStringLiteral(" and year=") + n(k.date.year());
}

QString EntryStore::dayTotalStatement(const EntryKey &k)
{
    return QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=") + n(k.worker) +
           QStringLiteral(" and smena=") + n(k.shift) + QStringLiteral(" and data=to_date('") +
           statementDate(k.date) + QStringLiteral("', 'DD.MM.YYYY') group by w_id, smena, data");
}

QString EntryStore::postingUpdateStatement(const EntryKey &k, qint64 total)
{
    return QStringLiteral("update accounts_dep.h_tabel set d") + n(k.date.day()) + QStringLiteral("=") +
           n(total) + QStringLiteral(" where w_id=") + n(k.worker) + QStringLiteral(" and smena=") +
           n(k.shift) + QStringLiteral(" and month=") + n(k.date.month()) + QStringLiteral(" and year=") +
           n(k.date.year());
}

QString EntryStore::postingInsertStatement(const EntryKey &k, qint64 total)
{
    return QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d") + n(k.date.day()) +
           QStringLiteral(") ") + QStringLiteral("values(") + n(k.shift) + QStringLiteral(", ") +
           n(k.worker) + QStringLiteral(", ") + n(k.date.month()) + QStringLiteral(", ") + n(k.date.year()) +
           QStringLiteral(", ") + n(total) + QStringLiteral(")");
}

qint64 EntryStore::post(const EntryKey &key, bool createRow)
{
    Connection *c = &m_data->connection();
    const qint64 rows = count(c, postingRowsStatement(key));
    // Read after this transaction's own write, under the worker's lock.
    const qint64 total = count(c, dayTotalStatement(key));
    if (createRow && total > kMaxDayHours)
        return total; // refused by the caller, which rolls back
    if (rows != 0)
        execBound(c, postingUpdateStatement(key, total), {});
    else if (createRow)
        execBound(c, postingInsertStatement(key, total), {});
    return total;
}

bool EntryStore::remove(int entryId)
{
    Connection *c = &m_data->connection();
    // Where the entry is now decides the locks; it is read again under them, in case another client
    // moved it meanwhile.
    std::optional<EntryKey> key = storedKey(c, entryId);
    for (int attempt = 0; attempt < kMoveAttempts && key; ++attempt) {
        Transaction t(*c);
        t.lock(entryLocks({*key}, false));
        const std::optional<EntryKey> now = storedKey(c, entryId);
        if (!now)
            return false;
        if (!(*now == *key)) {
            key = now;
            continue;
        }
        execBound(c, QStringLiteral("delete from accounts_dep.smena where id=") + n(entryId), {});
        // The day's cell keeps the hours of the entries that remain, 0 after the last one.
        post(*key, false);
        t.commit();
        return true;
    }
    if (!key)
        return false;
    throw DataError(QStringLiteral("Позиция меняется другим пользователем. Повторите удаление."));
}

QString EntryStore::toggledMark(const QString &mark)
{
    return mark == QStringLiteral("да") || mark == QLatin1String("ok") ? QStringLiteral("no")
                                                                       : QStringLiteral("ok");
}

void EntryStore::setMark(int entryId, const QString &mark)
{
    execStatement(&m_data->connection(), QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id"),
                  {{QStringLiteral("ok"), mark}, {QStringLiteral("id"), entryId}});
}

} // namespace tabel
