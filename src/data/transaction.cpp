#include "data/transaction.h"

#include <QStringList>
#include <QVariantList>

#include "data/connection.h"
#include "data/dataerror.h"
#include "data/sqlexec.h"

#include <QSqlError>

namespace tabel {

Transaction::Transaction(Connection &connection) : m_connection(connection)
{
    if (m_connection.inTransaction())
        throw DataError(QStringLiteral("Транзакция уже начата"));
    m_connection.beforeStatement();
    QSqlDatabase db = m_connection.database();
    if (!db.transaction()) {
        throw m_connection.failure(sqlErrorText(db.lastError()));
    }
    m_connection.transactionStarted();
    m_active = true;
}

Transaction::~Transaction()
{
    if (!m_active)
        return;
    // Nothing to report here: a dropped connection has rolled the work back already.
    m_connection.database().rollback();
    m_active = false;
    m_connection.transactionEnded();
}

void Transaction::commit()
{
    if (!m_active)
        throw DataError(QStringLiteral("Транзакция не начата"));
    QSqlDatabase db = m_connection.database();
    // The server has rolled it back already; a driver may still answer a commit with success.
    if (m_connection.transactionFailed()) {
        db.rollback();
        m_active = false;
        m_connection.transactionEnded();
        throw DataError(
            QStringLiteral("Запись не выполнена: транзакция прервана ошибкой, ничего не сохранено"));
    }
    if (!db.commit()) {
        const DataError error = m_connection.failure(sqlErrorText(db.lastError()));
        db.rollback();
        m_active = false;
        m_connection.transactionEnded();
        throw error;
    }
    m_active = false;
    m_connection.transactionEnded();
}

AdvisoryKey advisoryKey(const QList<int> &key)
{
    if (key.isEmpty())
        return {0, 0};
    quint32 folded = key.size() > 1 ? quint32(key.at(1)) : 0u;
    for (int i = 2; i < key.size(); ++i)
        folded = folded * 1000003u ^ quint32(key.at(i));
    return {key.at(0), int(folded)};
}

void Transaction::lock(const QList<int> &key, Mode mode)
{
    lock(QList<LockRequest>{{key, mode}});
}

void Transaction::lock(const QList<LockRequest> &keys)
{
    if (!m_active)
        throw DataError(QStringLiteral("Блокировка вне транзакции"));
    if (keys.isEmpty())
        return;
    // The server evaluates the list from left to right: the keys are taken in the order given.
    QStringList calls;
    QVariantList values;
    for (const LockRequest &r : keys) {
        const AdvisoryKey k = advisoryKey(r.key);
        calls << (r.mode == Mode::Shared ? QStringLiteral("pg_advisory_xact_lock_shared(?, ?)")
                                         : QStringLiteral("pg_advisory_xact_lock(?, ?)"));
        values << k.space << k.value;
    }
    execBound(&m_connection, QStringLiteral("select ") + calls.join(QStringLiteral(", ")), values);
}

} // namespace tabel
