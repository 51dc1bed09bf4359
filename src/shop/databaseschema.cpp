#include "shop/databaseschema.h"

#include "data/dataerror.h"
#include "data/locks.h"
#include "data/sqlexec.h"
#include "data/transaction.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>

#include <algorithm>

// The changes are a resource of this static library: made known before they are first read.
static void loadMigrationResources()
{
    Q_INIT_RESOURCE(migrations);
}

namespace tabel {

namespace {
// The shop tables whose id the program relies on as a key (the same list as 0003_id_keys.sql).
const char *const kKeyedTables[] = {"accounts_dep.smena",   "accounts_dep.h_tabel", "accounts_dep.vid_oper",
                                    "accounts_dep.oper",    "accounts_dep.norm",    "accounts_dep.person",
                                    "accounts_dep.workers", "accounts_dep.nomenkl"};
constexpr int kIdKeysVersion = 3;

QList<Migration> readMigrations()
{
    loadMigrationResources();
    QList<Migration> list;
    const QRegularExpression name(QStringLiteral("^(\\d{4})_(\\w+)\\.sql$"));
    QDir dir(QStringLiteral(":/migrations"));
    for (const QString &file : dir.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch m = name.match(file);
        QFile f(dir.filePath(file));
        if (!m.hasMatch() || !f.open(QIODevice::ReadOnly))
            continue;
        const int version = m.captured(1).toInt();
        // The history of changes: a client works without it, its windows hidden, until it is applied.
        const bool optional = version == 8 || version == 9;
        list.push_back({version, m.captured(2), QString::fromUtf8(f.readAll()), optional});
    }
    std::sort(list.begin(), list.end(),
              [](const Migration &a, const Migration &b) { return a.version < b.version; });
    return list;
}

QVariant scalar(Connection *c, const QString &statement, const QVariantList &values = {})
{
    QSqlQuery q = execBound(c, statement, values);
    return q.next() ? q.value(0) : QVariant();
}

QString rows(qint64 n)
{
    const qint64 last = n % 10, lastTwo = n % 100;
    const char *word = last == 1 && lastTwo != 11                                 ? "строка"
                       : last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14) ? "строки"
                                                                                  : "строк";
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(word));
}

QString versions(const QList<Migration> &list)
{
    QStringList out;
    for (const Migration &m : list)
        out << QStringLiteral("%1 (%2)").arg(m.version).arg(m.name);
    return out.join(QStringLiteral(", "));
}
} // namespace

const QList<Migration> &migrations()
{
    static const QList<Migration> list = readMigrations();
    return list;
}

int requiredSchemaVersion()
{
    return migrations().isEmpty() ? 0 : migrations().last().version;
}

QList<int> appliedSchemaVersions(Connection *connection)
{
    QList<int> applied;
    if (scalar(connection, QStringLiteral("select to_regclass('accounts_dep.tabel_schema') is not null"))
            .toBool()) {
        QSqlQuery q = execBound(
            connection, QStringLiteral("select version from accounts_dep.tabel_schema order by version"), {});
        while (q.next())
            applied << q.value(0).toInt();
    }
    return applied;
}

SchemaCheck checkSchema(Connection *connection)
{
    SchemaCheck check;
    const QList<int> applied = appliedSchemaVersions(connection);
    for (const Migration &m : migrations())
        if (!applied.contains(m.version))
            check.missing << m;
    for (const char *table : kKeyedTables) {
        const QString t = QString::fromLatin1(table);
        if (!scalar(connection, QStringLiteral("select to_regclass(?) is not null"), {t}).toBool()) {
            check.missingTables << t;
            continue;
        }
        const bool keyed =
            scalar(
                connection,
                QStringLiteral("select exists (select 1 from pg_index i join pg_attribute a on a.attrelid = "
                               "i.indrelid and a.attnum = i.indkey[0] where i.indrelid = ?::regclass and "
                               "i.indisunique and i.indnatts = 1 and a.attname = 'id')"),
                {t})
                .toBool();
        if (!keyed) {
            check.tablesWithoutKey << t;
            QSqlQuery dup =
                execBound(connection,
                          QStringLiteral("select id, count(*) from %1 group by id having count(*) > 1 "
                                         "or id is null order by id nulls first limit 20")
                              .arg(t),
                          {});
            while (dup.next())
                check.duplicateIds
                    << (dup.value(0).isNull()
                            ? QStringLiteral("%1: пустой id — %2").arg(t, rows(dup.value(1).toLongLong()))
                            : QStringLiteral("%1: id %2 — %3")
                                  .arg(t, dup.value(0).toString(), rows(dup.value(1).toLongLong())));
        }
        const QString sequence =
            scalar(connection,
                   QStringLiteral(
                       "select (regexp_match(pg_get_expr(d.adbin, d.adrelid), "
                       "'nextval\\(''([^'']+)''::regclass\\)'))[1] from pg_attrdef d join pg_attribute "
                       "a on a.attrelid = d.adrelid and a.attnum = d.adnum where d.adrelid = "
                       "?::regclass and a.attname = 'id'"),
                   {t})
                .toString();
        if (!sequence.isEmpty() &&
            !scalar(
                 connection,
                 QStringLiteral("select exists (select 1 from pg_depend where classid = 'pg_class'::regclass "
                                "and objid = ?::regclass and refobjid = ?::regclass and deptype = 'a')"),
                 {sequence, t})
                 .toBool())
            check.unownedSequences << QStringLiteral("%1 (%2)").arg(sequence, t);
        if (!sequence.isEmpty()) {
            QSqlQuery behind = execBound(
                connection,
                QStringLiteral(
                    "select (select case when is_called then last_value + 1 else last_value end from %1), "
                    "(select max(id) from %2)")
                    .arg(sequence, t),
                {});
            if (behind.next() && !behind.value(1).isNull() &&
                behind.value(1).toLongLong() >= behind.value(0).toLongLong())
                check.sequencesBehind
                    << QStringLiteral("%1 (%2): следующий %3, а id уже есть до %4")
                           .arg(sequence, t, behind.value(0).toString(), behind.value(1).toString());
        }
    }
    return check;
}

QStringList SchemaCheck::report() const
{
    QStringList lines;
    if (!missing.isEmpty())
        lines << QStringLiteral("Не применены изменения: ") + versions(missing) + QLatin1Char('.');
    if (!missingTables.isEmpty())
        lines << QStringLiteral("Нет таблиц цеха: ") + missingTables.join(QStringLiteral(", ")) +
                     QStringLiteral(
                         ". Это не база цеха, или она не создана (новая база создаётся из sql/schema.sql).");
    if (!tablesWithoutKey.isEmpty())
        lines << QStringLiteral("Нет уникального ключа на id: ") +
                     tablesWithoutKey.join(QStringLiteral(", ")) + QLatin1Char('.');
    if (!unownedSequences.isEmpty())
        lines << QStringLiteral("Последовательность id не принадлежит столбцу: ") +
                     unownedSequences.join(QStringLiteral(", ")) + QLatin1Char('.');
    if (!sequencesBehind.isEmpty())
        lines << QStringLiteral("Последовательность id отстала от строк: ") +
                     sequencesBehind.join(QStringLiteral(", ")) + QLatin1Char('.');
    if (!duplicateIds.isEmpty())
        lines << QStringLiteral("Повторяющиеся или пустые id, из-за которых ключ не добавить: ") +
                     duplicateIds.join(QStringLiteral("; ")) + QLatin1Char('.');
    return lines;
}

void prepareSchema(Connection *connection, const std::function<void(const QString &)> &progress)
{
    // One administrator at a time: a lock of the session, held across the changes' transactions.
    if (!scalar(connection, QStringLiteral("select pg_try_advisory_lock(?, 0)"), {int(locks::SchemaPrepare)})
             .toBool())
        throw DataError(QStringLiteral("Базу данных уже готовит другой администратор. Повторите позже."));
    const auto unlock = qScopeGuard([connection] {
        try {
            execBound(connection, QStringLiteral("select pg_advisory_unlock(?, 0)"),
                      {int(locks::SchemaPrepare)});
        } catch (...) {
        }
    });
    const SchemaCheck before = checkSchema(connection);
    if (!before.missingTables.isEmpty())
        throw DataError(
            QStringLiteral("В базе нет таблиц цеха: %1. Ничего не изменено: подготовить можно только "
                           "базу цеха (новая база создаётся из sql/schema.sql).")
                .arg(before.missingTables.join(QStringLiteral(", "))));
    if (!before.duplicateIds.isEmpty())
        throw DataError(
            QStringLiteral("Ключ на id нельзя добавить: есть повторяющиеся или пустые id. Ничего не "
                           "изменено. Исправьте строки и повторите:\n") +
            before.duplicateIds.join(QLatin1Char('\n')));
    auto apply = [&](const Migration &m) {
        Transaction transaction(*connection);
        execBound(connection, m.sql, {});
        transaction.commit();
        progress(QStringLiteral("Применено изменение %1 (%2).").arg(m.version).arg(m.name));
    };
    for (const Migration &m : before.missing)
        apply(m);
    // Keys or sequences lost or left behind since their change was recorded: the same change again.
    const SchemaCheck after = checkSchema(connection);
    if (!after.tablesWithoutKey.isEmpty() || !after.unownedSequences.isEmpty() ||
        !after.sequencesBehind.isEmpty())
        for (const Migration &m : migrations())
            if (m.version == kIdKeysVersion)
                apply(m);
}

QString schemaBehindMessage(Connection *connection, const QString &database, const QString &server)
{
    const QList<int> applied = appliedSchemaVersions(connection);
    QList<Migration> missing;
    for (const Migration &m : migrations())
        if (!applied.contains(m.version))
            missing << m;
    if (std::all_of(missing.begin(), missing.end(), [](const Migration &m) { return m.optional; }))
        return QString();
    return QStringLiteral(
               "База данных не подготовлена для этой версии программы: не применены изменения %1.\n\n"
               "Администратору нужно выполнить на любом компьютере с программой:\n"
               "tabel %2 %3 --prepare-database")
        .arg(versions(missing), database, server);
}

} // namespace tabel
