#include "import/legacyimport.h"

#include "data/connection.h"
#include "data/dataerror.h"
#include "data/history.h"
#include "data/inputcheck.h"
#include "data/odbchandle.h"
#include "data/sqlexec.h"
#include "data/sqlparams.h"
#include "data/transaction.h"
#include "import/legacytables.h"
#include "import/sourcereader.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>

#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>

#include <odbcinst.h>
#include <sqlext.h>

namespace tabel {

using namespace legacy;

namespace {

const QString kLegacyConnection = QStringLiteral("MSA");
const QString kTargetConnection = QStringLiteral("PGSQL");
const QString kEntriesCursor = QStringLiteral("legacy_entries");

QSqlQuery execute(const QSqlDatabase &db, const QString &statement)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(statement))
        throw DataError(sqlErrorText(q.lastError()));
    return q;
}

QVariant single(const QSqlDatabase &db, const QString &statement)
{
    QSqlQuery q = execute(db, statement);
    if (!q.next())
        throw DataError(QStringLiteral("Запрос не вернул строки: ") + statement);
    return q.value(0);
}

// Reads the entries through a server-side cursor of the program's connection, a block per fetch,
// so that the whole table is never held in memory.
class CursorReader final : public SourceReader
{
public:
    CursorReader(const QSqlDatabase &db, const Table &table, int blockRows)
        : m_db(db), m_table(table), m_blockRows(blockRows)
    {
    }
    int fetch() override
    {
        const QString statement =
            QStringLiteral("fetch forward %1 from %2").arg(m_blockRows).arg(kEntriesCursor);
        m_inner.reset();
        m_inner = readOverOdbc(m_db, statement, m_table, m_blockRows);
        if (!m_inner)
            m_inner = readOverQt(m_db, statement, m_table, m_blockRows);
        return m_inner->fetch();
    }
    QStringView text(int row, int field, bool *isNull) const override
    {
        return m_inner->text(row, field, isNull);
    }

private:
    QSqlDatabase m_db;
    const Table &m_table;
    int m_blockRows;
    std::unique_ptr<SourceReader> m_inner;
};

// A block of rows as the statement that writes it.
struct Block
{
    QString statement;
    int rows;
};

// Reads blocks and builds their statements on a thread of its own, at most two ahead, while the
// server writes the block before. A failure there comes out of next().
class BlockPipe
{
public:
    explicit BlockPipe(std::function<std::optional<Block>()> produce) : m_produce(std::move(produce))
    {
        m_thread = std::thread([this] { run(); });
    }
    ~BlockPipe()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    std::optional<Block> next()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_blocks.empty() || m_done; });
        if (!m_blocks.empty()) {
            Block b = std::move(m_blocks.front());
            m_blocks.pop_front();
            m_changed.notify_all();
            return b;
        }
        if (m_error)
            std::rethrow_exception(m_error);
        return std::nullopt;
    }

private:
    void run()
    {
        try {
            for (;;) {
                std::optional<Block> b = m_produce();
                std::unique_lock lock(m_mutex);
                if (!b || m_stop)
                    break;
                m_changed.wait(lock, [this] { return m_blocks.size() < 2 || m_stop; });
                if (m_stop)
                    break;
                m_blocks.push_back(std::move(*b));
                m_changed.notify_all();
            }
        } catch (...) {
            const std::lock_guard lock(m_mutex);
            m_error = std::current_exception();
        }
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
    }

    std::function<std::optional<Block>()> m_produce;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Block> m_blocks;
    bool m_done = false;
    bool m_stop = false;
    std::exception_ptr m_error;
    std::thread m_thread;
};

QString fieldList(const Table &table)
{
    QStringList names;
    for (const Field &f : table.fields)
        names << f.name;
    return names.join(QStringLiteral(", "));
}

} // namespace

struct LegacyImport::Impl
{
    Connection *shared;
    ImportSettings settings;
    Connection target{kTargetConnection};

    ~Impl()
    {
        if (QSqlDatabase::contains(kLegacyConnection)) {
            QSqlDatabase::database(kLegacyConnection, false).close();
            QSqlDatabase::removeDatabase(kLegacyConnection);
        }
    }

    QSqlDatabase legacy() const { return QSqlDatabase::database(kLegacyConnection, false); }

    void connect()
    {
        if (QSqlDatabase::contains(kLegacyConnection))
            QSqlDatabase::removeDatabase(kLegacyConnection);
        // The SQLite driver would make an empty database of a file that is not there.
        const QString file = sqliteFile(settings.legacySource);
        if (!file.isEmpty() && !QFileInfo(file).isFile())
            throw DataError(QStringLiteral("Файл старой базы %1 не найден. Импорт не выполнен.").arg(file));
        QSqlDatabase msa = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kLegacyConnection);
        msa.setDatabaseName(settings.legacySource);
        msa.setPassword(settings.legacyPassword);
        if (!msa.open())
            throw DataError(sqlErrorText(msa.lastError()));
        target.setConnectionString(settings.target);
        target.open(); // with standard text literals, as every connection of the program
        if (settings.programDatabaseOnly && !sameDatabase(shared->database(), QString(), 0)) {
            const auto where = [](const QSqlDatabase &db) {
                return single(db, QStringLiteral("select current_database() || ' на сервере ' || "
                                                 "coalesce(host(inet_server_addr()), 'localhost')"))
                    .toString();
            };
            throw DataError(
                QStringLiteral("Источник данных %1 ведёт в базу %2, а программа работает с базой %3. "
                               "Импорт не выполнен.")
                    .arg(settings.target.section(QLatin1Char(';'), 0, 0), where(target.database()),
                         where(shared->database())));
        }
    }

    // The file of an SQLite data source ("Database=" of the string, else of the named source's
    // entry); empty for any other driver.
    static QString sqliteFile(const QString &source)
    {
        QString dsn, driver, database;
        for (const QString &part : source.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const qsizetype eq = part.indexOf(QLatin1Char('='));
            const QString key = eq < 0 ? QString() : part.left(eq).trimmed().toUpper();
            const QString value = eq < 0 ? part.trimmed() : part.mid(eq + 1).trimmed();
            if (eq < 0 || key == QLatin1String("DSN"))
                dsn = value;
            else if (key == QLatin1String("DRIVER"))
                driver = value;
            else if (key == QLatin1String("DATABASE"))
                database = value;
        }
        const auto entry = [&dsn](const char *key) {
            char buffer[4096] = {};
            SQLGetPrivateProfileString(dsn.toUtf8().constData(), key, "", buffer, sizeof buffer, "odbc.ini");
            return QString::fromUtf8(buffer);
        };
        if (driver.isEmpty() && !dsn.isEmpty())
            driver = entry("Driver");
        if (!driver.contains(QLatin1String("sqlite"), Qt::CaseInsensitive))
            return {};
        if (database.isEmpty() && !dsn.isEmpty())
            database = entry("Database");
        return database;
    }

    // Whether the program's connection works on the target's server and database: the target's
    // session takes an advisory lock that the other looks for in its own database. With a table,
    // also whether that table (by the name the other uses) is the target's table of that oid.
    bool sameDatabase(const QSqlDatabase &other, const QString &otherTable, qint64 targetOid)
    {
        const QSqlDatabase out = target.database();
        const int nonce = int(QRandomGenerator::system()->bounded(1, std::numeric_limits<int>::max()));
        execute(out, QStringLiteral("select pg_advisory_lock(%1, %2)").arg(locks::ImportProbe).arg(nonce));
        const auto unlock = qScopeGuard([&] {
            QSqlQuery(out).exec(
                QStringLiteral("select pg_advisory_unlock(%1, %2)").arg(locks::ImportProbe).arg(nonce));
        });
        const QString table = otherTable.isEmpty()
                                  ? QStringLiteral("true")
                                  : QStringLiteral("coalesce(to_regclass('%1')::oid::bigint, -1) = %2")
                                        .arg(otherTable)
                                        .arg(targetOid);
        return single(other,
                      QStringLiteral(
                          "select %1 and exists (select 1 from pg_locks l join pg_database d on d.oid = "
                          "l.database where l.locktype = 'advisory' and l.classid = %2 and l.objid = %3 "
                          "and l.objsubid = 2 and l.granted and d.datname = current_database())")
                          .arg(table)
                          .arg(locks::ImportProbe)
                          .arg(nonce))
            .toBool();
    }

    // The entries' source on the program's connection must not be the very table being replaced.
    // The target's session shows itself by an advisory lock that the program's connection looks for
    // in its own database: the same lock there means the same server and database.
    void refuseSelfCopy(const Table &table, const QSqlDatabase &source)
    {
        const qint64 oid =
            single(target.database(),
                   QStringLiteral("select coalesce(to_regclass('%1')::oid::bigint, 0)").arg(table.target))
                .toLongLong();
        if (sameDatabase(source, table.source, oid))
            throw DataError(
                QStringLiteral("Источник записей %1 — это сама таблица %2, в которую они копируются. "
                               "Импорт записей не выполнен.")
                    .arg(table.source, table.target));
    }

    // The table and its reference book, waited for as long as the settings allow: another client's
    // open write would otherwise hold the import, and the window, without end.
    void lockTarget(Transaction &tx, const Table &table)
    {
        waitingSoLong(table, [&] {
            if (table.book)
                tx.lock(locks::book(*table.book));
            execute(target.database(), QStringLiteral("lock table %1 in exclusive mode").arg(table.target));
        });
    }

    // Takes locks for the table, waiting no longer than the settings allow.
    void waitingSoLong(const Table &table, const std::function<void()> &take)
    {
        const QSqlDatabase out = target.database();
        execute(out, QStringLiteral("set local lock_timeout = %1").arg(std::max(settings.lockWaitMs, 1)));
        try {
            take();
        } catch (const DataError &) {
            throw DataError(
                QStringLiteral(
                    "Таблица %1 занята другим пользователем. Импорт остановлен, повторите его позже.")
                    .arg(table.target));
        }
        execute(out, QStringLiteral("set local lock_timeout = 0"));
    }

    // A table replaced whole by many rows loads faster without its secondary indexes: the server
    // then builds each once from the rows in, as bulk loaders do, instead of keeping it row by row.
    // Taken alone for the load (readers wait until it ends); the transaction brings the indexes back
    // on any failure. Answers their definitions, to be built again.
    QStringList dropSecondaryIndexes(const Table &table)
    {
        const QSqlDatabase out = target.database();
        QStringList definitions, names;
        QSqlQuery q = execute(
            out, QStringLiteral(
                     "select pg_get_indexdef(i.indexrelid), i.indexrelid::regclass::text from pg_index i "
                     "where i.indrelid = to_regclass('%1') and not i.indisunique and not i.indisprimary "
                     "and not exists (select 1 from pg_constraint c where c.conindid = i.indexrelid) "
                     "order by 2")
                     .arg(table.target));
        while (q.next()) {
            definitions << q.value(0).toString();
            names << q.value(1).toString();
        }
        if (names.isEmpty())
            return {};
        waitingSoLong(table, [&] {
            execute(out, QStringLiteral("lock table %1 in access exclusive mode").arg(table.target));
        });
        for (const QString &name : names)
            execute(out, QStringLiteral("drop index %1").arg(name));
        return definitions;
    }

    ImportSummary::TableResult importTable(const Table &table, const Progress &progress)
    {
        const bool fromShared = table.origin == Origin::Shared && !settings.entriesFromLegacy;
        const QSqlDatabase source = fromShared ? shared->database() : legacy();
        if (fromShared)
            refuseSelfCopy(table, source);

        Transaction tx(target);
        lockTarget(tx, table);
        suppressRowHistory(&target); // one line for the table, below, not one per row
        const QSqlDatabase out = target.database();

        // The entries are counted and read in one snapshot of the program's connection.
        std::optional<Transaction> cursorScope;
        if (fromShared) {
            cursorScope.emplace(*shared);
            execute(source, QStringLiteral("set transaction isolation level repeatable read"));
        }
        const qint64 total =
            single(source, QStringLiteral("select count(*) from %1").arg(table.source)).toLongLong();
        QStringList indexes;
        if (table.write == Write::Replace && total >= settings.bulkRows)
            indexes = dropSecondaryIndexes(table);
        if (table.write == Write::Replace)
            execute(out, QStringLiteral("delete from %1 where id>0").arg(table.target));

        const QString select =
            QStringLiteral("select * from %1%2")
                .arg(table.source, table.sortedById ? QStringLiteral(" order by id") : QString());
        std::unique_ptr<SourceReader> reader;
        bool ownThread = false; // a reader on raw ODBC handles of the legacy source alone
        if (fromShared) {
            execute(source, QStringLiteral("declare %1 no scroll cursor for %2").arg(kEntriesCursor, select));
            reader = std::make_unique<CursorReader>(source, table, settings.blockRows);
        } else {
            const bool sqlite = isSqlite(source);
            if (sqlite)
                refuseNulTexts(source, table);
            reader = readOverOdbc(source, select, table, settings.blockRows, sqlite);
            ownThread = reader != nullptr;
            if (!reader)
                reader = readOverQt(source, select, table, settings.blockRows);
        }

        // A block goes in as one array per column, unnested into rows: the server reads arrays far
        // faster than as many rows of separate values.
        const QString head =
            QStringLiteral("insert into %1 (%2) select * from unnest(").arg(table.target, fieldList(table));
        // A source row whose id a kept row (id 0 or below) already has is left out, and counted.
        const bool keyed = table.fields.front().name == QLatin1String("id");
        const QString tail =
            table.write == Write::AddAbsent
                ? QStringLiteral(") v (%1) where not exists (select 1 from %2 t where t.id = v.id)")
                      .arg(fieldList(table), table.target)
            : keyed ? QStringLiteral(") on conflict (id) do nothing")
                    : QStringLiteral(")");
        BlockWriter writer(table, columnLimits(table));
        const auto produce = [&reader, &writer, &table, &head, &tail]() -> std::optional<Block> {
            const int rows = reader->fetch();
            if (rows == 0)
                return std::nullopt;
            writer.beginBlock(*reader, rows);
            QString statement = head;
            for (int f = 0; f < int(table.fields.size()); ++f) {
                statement += f == 0 ? QLatin1String("'{") : QLatin1String(", '{");
                for (int r = 0; r < rows; ++r) {
                    if (r > 0)
                        statement += QLatin1Char(',');
                    writer.appendElement(statement, *reader, r, f);
                }
                statement += QLatin1String("}'::");
                statement += arrayType(table.fields[size_t(f)].copy);
                statement += QLatin1String("[]");
            }
            statement += tail;
            return Block{std::move(statement), rows};
        };
        // The legacy source's connection is the import's alone, so it can be read on another thread;
        // the program's own connection is read here.
        std::optional<BlockPipe> pipe;
        if (ownThread)
            pipe.emplace(produce);
        qint64 done = 0;
        qint64 left = 0;
        for (;;) {
            const std::optional<Block> block = pipe ? pipe->next() : produce();
            if (!block)
                break;
            const int rows = block->rows;
            const QString &statement = block->statement;
            QSqlQuery q = execute(out, statement);
            if (keyed)
                left += rows - std::max(q.numRowsAffected(), 0);
            done += rows;
            if (progress)
                progress(statusText(table.source, done, total));
        }
        pipe.reset();
        reader.reset();
        cursorScope.reset();

        if (!indexes.isEmpty()) {
            if (progress)
                progress(statusText(table.source, done, total) + QStringLiteral(", построение индексов…"));
            // The deferred checks of the rows run now, as they would at the commit: an index is not
            // built while they wait.
            execute(out, QStringLiteral("set constraints all immediate"));
            for (const QString &definition : indexes)
                execute(out, definition);
            execute(out, QStringLiteral("analyze %1").arg(table.target)); // plans see the new rows at once
        }

        // Every later insert, by any client, must find its key free.
        execute(
            out,
            QStringLiteral(
                "select setval(q.seq, q.v::bigint) from (select pg_get_serial_sequence('%1', 'id')::regclass "
                "as seq, greatest((select max(id) from %1), pg_sequence_last_value(pg_get_serial_sequence('%1', "
                "'id')::regclass)) as v) q where q.v >= 1")
                .arg(table.keyTable));
        recordBulkChange(&target, table.target, QStringLiteral("import"),
                         QStringLiteral("%1 строк из %2").arg(done - left).arg(table.source));
        tx.commit();
        if (left > 0 && progress)
            progress(statusText(table.source, done, total) +
                     QStringLiteral(", уже были в базе и оставлены как есть: %1").arg(left));
        return {table.source, done - left, left,
                table.origin == Origin::Shared ? writer.rowsWithoutDate() : -1};
    }

    // What the target's columns hold, from the server's catalogue: integer ranges and text lengths.
    std::vector<ColumnLimit> columnLimits(const Table &table)
    {
        const QStringList name = table.target.split(QLatin1Char('.'));
        QSqlQuery q(target.database());
        q.setForwardOnly(true);
        q.prepare(
            QStringLiteral("select column_name::text, data_type::text, coalesce(character_maximum_length, 0) "
                           "from information_schema.columns where table_schema = ? and table_name = ?"));
        q.addBindValue(name.value(0));
        q.addBindValue(name.value(1));
        if (!q.exec())
            throw DataError(sqlErrorText(q.lastError()));
        QHash<QString, ColumnLimit> byName;
        while (q.next()) {
            ColumnLimit limit;
            const QString type = q.value(1).toString();
            if (type == QLatin1String("smallint")) {
                limit.min = std::numeric_limits<qint16>::min();
                limit.max = std::numeric_limits<qint16>::max();
            } else if (type == QLatin1String("bigint") || type == QLatin1String("numeric")) {
                limit.min = std::numeric_limits<qint64>::min();
                limit.max = std::numeric_limits<qint64>::max();
            }
            limit.maxLength = q.value(2).toInt();
            byName.insert(q.value(0).toString().toLower(), limit);
        }
        std::vector<ColumnLimit> limits;
        for (const Field &f : table.fields)
            limits.push_back(byName.value(f.name.toLower()));
        return limits;
    }

    static bool isSqlite(const QSqlDatabase &db)
    {
        const SQLHDBC dbc = odbcConnectionHandle(db);
        if (dbc == SQL_NULL_HDBC)
            return false;
        SQLWCHAR name[128] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name, &length)))
            return false;
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(name),
                                  length / qsizetype(sizeof(SQLWCHAR)))
            .contains(QLatin1String("sqlite"), Qt::CaseInsensitive);
    }

    // The SQLite driver hands a text over only up to a NUL in it, without a word: such texts are
    // looked for before the table is read.
    static void refuseNulTexts(const QSqlDatabase &db, const Table &table)
    {
        const bool keyed = table.fields.front().name == QLatin1String("id");
        for (const Field &f : table.fields) {
            if (f.copy != Copy::Text)
                continue;
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.exec(
                    QStringLiteral(
                        "select %1, hex(cast(%2 as blob)) from %3 where instr(cast(%2 as blob), x'00') > 0 "
                        "order by 1 limit 1")
                        .arg(keyed ? QStringLiteral("id") : QStringLiteral("rowid"), f.name, table.source)))
                throw DataError(sqlErrorText(q.lastError()));
            if (!q.next())
                continue;
            const QString value = QString::fromUtf8(QByteArray::fromHex(q.value(1).toByteArray()));
            throw DataError(QStringLiteral("Таблица %1, поле %2, %3 %4: значение «%5» содержит символ NUL. "
                                           "Таблица не импортирована.")
                                .arg(table.source, f.name,
                                     keyed ? QStringLiteral("запись id") : QStringLiteral("строка"),
                                     q.value(0).toString(), visibleText(value)));
        }
    }
};

LegacyImport::LegacyImport(Connection *shared, ImportSettings settings) : m(std::make_unique<Impl>())
{
    m->shared = shared;
    m->settings = std::move(settings);
}

LegacyImport::~LegacyImport() = default;

QString LegacyImport::statusText(const QString &table, qint64 done, qint64 total)
{
    return QStringLiteral("%1: %2 из %3 записей").arg(table).arg(done).arg(total);
}

ImportSummary LegacyImport::run(const Progress &progress)
{
    ImportSummary summary;
    if (!m->settings.entriesFromLegacy)
        m->shared->check();
    m->connect();
    for (const Table &table : tables()) {
        try {
            if (table.origin == Origin::Shared && !m->settings.entriesFromLegacy)
                m->shared->check(); // reconnected if it was lost while the other tables were copied
            summary.tables.push_back(m->importTable(table, progress));
        } catch (const std::exception &) {
            // The status line must not keep counting rows that were taken back; the program's
            // connection is looked at again in case it was the one that failed.
            if (progress)
                progress(QStringLiteral("%1: не импортирована, осталась как была").arg(table.source));
            m->shared->statementFailed();
            throw;
        }
    }
    return summary;
}

QStringList ImportSummary::lines() const
{
    QStringList out{QStringLiteral("Импорт завершён.")};
    for (const TableResult &t : tables) {
        QString line = QStringLiteral("%1: скопировано %2, оставлено как было %3")
                           .arg(t.table)
                           .arg(t.copied)
                           .arg(t.left);
        if (t.withoutDate >= 0)
            line += QStringLiteral(", без даты %1").arg(t.withoutDate);
        out << line;
    }
    return out;
}

} // namespace tabel
