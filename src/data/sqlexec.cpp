#include "data/sqlexec.h"

#include "data/connection.h"
#include "data/dataerror.h"
#include "data/sqlparams.h"

#include <QSqlError>
#include <QSqlRecord>

namespace tabel {

QString sqlErrorText(const QSqlError &e)
{
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Ошибка базы данных");
    return text;
}

namespace {
QString errorText(const QSqlQuery &q)
{
    return sqlErrorText(q.lastError());
}

[[noreturn]] void fail(Connection *connection, const QString &text)
{
    throw connection->failure(text);
}

QSqlQuery newQuery(Connection *connection, bool forwardOnly)
{
    if (!connection)
        throw DataError(QStringLiteral("Нет подключения к базе данных"));
    connection->beforeStatement();
    QSqlQuery q(connection->database());
    q.setForwardOnly(forwardOnly);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    return q;
}

QVariant boundValue(const QVariant &v)
{
    // A null of unknown type cannot be bound by every driver; send it as a null text.
    if (!v.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return v;
}
} // namespace

QSqlQuery execBound(Connection *connection, const QString &statement, const QVariantList &values,
                    bool forwardOnly)
{
    QSqlQuery q = newQuery(connection, forwardOnly);
    if (values.isEmpty()) {
        if (!q.exec(statement))
            fail(connection, errorText(q));
        return q;
    }
    if (!q.prepare(statement))
        fail(connection, errorText(q));
    for (const QVariant &v : values)
        q.addBindValue(boundValue(v));
    if (!q.exec())
        fail(connection, errorText(q));
    return q;
}

QSqlQuery &PreparedStatement::exec(Connection *connection, const QString &statement,
                                   const QHash<QString, QVariant> &params)
{
    if (connection)
        connection->beforeStatement(); // may reopen, which voids what was prepared
    if (!m_query || m_text != statement || m_connection != connection ||
        m_generation != connection->generation()) {
        release();
        const PositionalStatement p = toPositional(statement);
        m_query.emplace(newQuery(connection, true));
        if (!m_query->prepare(p.text)) {
            const QString text = errorText(*m_query);
            release();
            fail(connection, text);
        }
        m_text = statement;
        m_names = p.names;
        m_connection = connection;
        m_generation = connection->generation();
        m_registry = connection->preparedStatements();
        if (auto set = m_registry.lock())
            set->insert(this);
    }
    for (int i = 0; i < m_names.size(); ++i)
        m_query->bindValue(i, boundValue(params.value(m_names.at(i))));
    if (!m_query->exec()) {
        const QString text = errorText(*m_query);
        release();
        fail(connection, text);
    }
    return *m_query;
}

PreparedStatement::~PreparedStatement()
{
    release();
}

void PreparedStatement::release()
{
    if (auto set = m_registry.lock())
        set->erase(this);
    m_registry.reset();
    m_query.reset();
    m_text.clear();
    m_names.clear();
    m_connection = nullptr;
    m_generation = -1;
}

QSqlQuery execStatement(Connection *connection, const QString &statement,
                        const QHash<QString, QVariant> &params, bool forwardOnly)
{
    const PositionalStatement p = toPositional(statement);
    if (p.names.isEmpty())
        return execBound(connection, statement, {}, forwardOnly);
    QVariantList values;
    values.reserve(p.names.size());
    for (const QString &name : p.names)
        values << params.value(name);
    return execBound(connection, p.text, values, forwardOnly);
}

FetchedRows readRows(QSqlQuery &q)
{
    FetchedRows result;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        result.fields << rec.fieldName(i);
    const int n = rec.count();
    const int size = q.size();
    if (size > 0)
        result.rows.reserve(size);
    while (q.next()) {
        QVector<QVariant> r(n);
        for (int i = 0; i < n; ++i)
            r[i] = q.value(i);
        result.rows.push_back(std::move(r));
    }
    q.finish();
    return result;
}

} // namespace tabel
