#include "sqlexec.h"

#include "connection.h"
#include "dataerror.h"
#include "sqlparams.h"

#include <QSqlError>

namespace tabel {

namespace {
QString errorText(const QSqlQuery &q)
{
    const QSqlError e = q.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Ошибка базы данных");
    return text;
}

QSqlQuery newQuery(Connection *connection, bool forwardOnly)
{
    if (!connection || !connection->isOpen())
        throw DataError(QStringLiteral("Нет подключения к базе данных"));
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
            throw DataError(errorText(q));
        return q;
    }
    if (!q.prepare(statement))
        throw DataError(errorText(q));
    for (const QVariant &v : values)
        q.addBindValue(boundValue(v));
    if (!q.exec())
        throw DataError(errorText(q));
    return q;
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

} // namespace tabel
