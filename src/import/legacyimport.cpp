#include "import/legacyimport.h"

#include "data/connection.h"
#include "data/dataerror.h"
#include "data/sqlexec.h"
#include "data/sqlparams.h"
#include "data/transaction.h"
#include "import/legacytables.h"
#include "import/sourcereader.h"

#include <QSqlError>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSqlQuery>

#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>

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
        const QString statement = QStringLiteral("fetch forward %1 from %2").arg(m_blockRows).arg(kEntriesCursor);
        m_inner.reset();
        m_inner = readOverOdbc(m_db, statement, m_table, m_blockRows);
        if (!m_inner)
            m_inner = readOverQt(m_db, statement, m_table, m_blockRows);
        return m_inner->fetch();
    }
    void appendElement(QString &out, int row, int field) const override { m_inner->appendElement(out, row, field); }

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
        QSqlDatabase msa = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kLegacyConnection);
        msa.setDatabaseName(settings.legacySource);
        msa.setPassword(settings.legacyPassword);
        if (!msa.open())
            throw DataError(sqlErrorText(msa.lastError()));
        target.setConnectionString(settings.target);
        target.open();
        // Texts are written as standard literals: a backslash is just a character.
        execute(target.database(), QStringLiteral("set standard_conforming_strings = on"));
    }

    // The entries' source on the program's connection must not be the very table being replaced.
    // The target's session shows itself by an advisory lock that the program's connection looks for
    // in its own database: the same lock there means the same server and database.
    void refuseSelfCopy(const Table &table, const QSqlDatabase &source)
    {
        const QSqlDatabase out = target.database();
        const int nonce = int(QRandomGenerator::system()->bounded(1, std::numeric_limits<int>::max()));
        const qint64 oid =
            single(out, QStringLiteral("select coalesce(to_regclass('%1')::oid::bigint, 0)").arg(table.target)).toLongLong();
        execute(out, QStringLiteral("select pg_advisory_lock(%1, %2)").arg(locks::ImportProbe).arg(nonce));
        const auto unlock = qScopeGuard([&] {
            QSqlQuery(out).exec(QStringLiteral("select pg_advisory_unlock(%1, %2)").arg(locks::ImportProbe).arg(nonce));
        });
        const bool same = single(source, QStringLiteral("select coalesce(to_regclass('%1')::oid::bigint, -1) = %2 and exists "
                                                        "(select 1 from pg_locks l join pg_database d on d.oid = l.database "
                                                        "where l.locktype = 'advisory' and l.classid = %3 and l.objid = %4 "
                                                        "and l.objsubid = 2 and l.granted and d.datname = current_database())")
                                             .arg(table.source)
                                             .arg(oid)
                                             .arg(locks::ImportProbe)
                                             .arg(nonce))
                              .toBool();
        if (same)
            throw DataError(QStringLiteral("Источник записей %1 — это сама таблица %2, в которую они копируются. "
                                           "Импорт записей не выполнен.")
                                .arg(table.source, table.target));
    }

    // The table and its reference book, waited for as long as the settings allow: another client's
    // open write would otherwise hold the import, and the window, without end.
    void lockTarget(Transaction &tx, const Table &table)
    {
        const QSqlDatabase out = target.database();
        execute(out, QStringLiteral("set local lock_timeout = %1").arg(std::max(settings.lockWaitMs, 1)));
        try {
            if (table.book)
                tx.lock(locks::book(*table.book));
            execute(out, QStringLiteral("lock table %1 in exclusive mode").arg(table.target));
        } catch (const DataError &) {
            throw DataError(QStringLiteral("Таблица %1 занята другим пользователем. Импорт остановлен, повторите его позже.")
                                .arg(table.target));
        }
        execute(out, QStringLiteral("set local lock_timeout = 0"));
    }

    void importTable(const Table &table, const Progress &progress)
    {
        const bool fromShared = table.origin == Origin::Shared && !settings.entriesFromLegacy;
        const QSqlDatabase source = fromShared ? shared->database() : legacy();
        if (fromShared)
            refuseSelfCopy(table, source);

        Transaction tx(target);
        lockTarget(tx, table);
        const QSqlDatabase out = target.database();

        // The entries are counted and read in one snapshot of the program's connection.
        std::optional<Transaction> cursorScope;
        if (fromShared) {
            cursorScope.emplace(*shared);
            execute(source, QStringLiteral("set transaction isolation level repeatable read"));
        }
        const qint64 total = single(source, QStringLiteral("select count(*) from %1").arg(table.source)).toLongLong();
        if (table.write == Write::Replace)
            execute(out, QStringLiteral("delete from %1 where id>0").arg(table.target));

        const QString select = QStringLiteral("select * from %1%2")
                                   .arg(table.source, table.sortedById ? QStringLiteral(" order by id") : QString());
        std::unique_ptr<SourceReader> reader;
        bool ownThread = false; // a reader on raw ODBC handles of the legacy source alone
        if (fromShared) {
            execute(source, QStringLiteral("declare %1 no scroll cursor for %2").arg(kEntriesCursor, select));
            reader = std::make_unique<CursorReader>(source, table, settings.blockRows);
        } else {
            reader = readOverOdbc(source, select, table, settings.blockRows);
            ownThread = reader != nullptr;
            if (!reader)
                reader = readOverQt(source, select, table, settings.blockRows);
        }

        // A block goes in as one array per column, unnested into rows: the server reads arrays far
        // faster than as many rows of separate values.
        const QString head = QStringLiteral("insert into %1 (%2) select * from unnest(").arg(table.target, fieldList(table));
        // A source row whose id a kept row (id 0 or below) already has is left out, and counted.
        const bool keyed = table.fields.front().name == QLatin1String("id");
        const QString tail = table.write == Write::AddAbsent
                                 ? QStringLiteral(") v (%1) where not exists (select 1 from %2 t where t.id = v.id)")
                                       .arg(fieldList(table), table.target)
                                 : keyed ? QStringLiteral(") on conflict (id) do nothing") : QStringLiteral(")");
        const auto produce = [&reader, &table, &head, &tail]() -> std::optional<Block> {
            const int rows = reader->fetch();
            if (rows == 0)
                return std::nullopt;
            QString statement = head;
            for (int f = 0; f < int(table.fields.size()); ++f) {
                statement += f == 0 ? QLatin1String("'{") : QLatin1String(", '{");
                for (int r = 0; r < rows; ++r) {
                    if (r > 0)
                        statement += QLatin1Char(',');
                    reader->appendElement(statement, r, f);
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

        // Every later insert, by any client, must find its key free.
        execute(out, QStringLiteral("select setval(q.seq, q.v::bigint) from (select pg_get_serial_sequence('%1', 'id')::regclass "
                                "as seq, greatest((select max(id) from %1), pg_sequence_last_value(pg_get_serial_sequence('%1', "
                                "'id')::regclass)) as v) q where q.v >= 1")
                     .arg(table.keyTable));
        tx.commit();
        if (left > 0 && progress)
            progress(statusText(table.source, done, total) +
                     QStringLiteral(", уже были в базе и оставлены как есть: %1").arg(left));
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

void LegacyImport::run(const Progress &progress)
{
    m->shared->beforeStatement();
    m->connect();
    for (const Table &table : tables()) {
        try {
            m->importTable(table, progress);
        } catch (const std::exception &) {
            // The status line must not keep counting rows that were taken back; the program's
            // connection is looked at again in case it was the one that failed.
            if (progress)
                progress(QStringLiteral("%1: не импортирована, осталась как была").arg(table.source));
            m->shared->statementFailed();
            throw;
        }
    }
}

} // namespace tabel
