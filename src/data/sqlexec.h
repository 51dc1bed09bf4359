#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <optional>
#include <set>

class QSqlError;

namespace tabel {

class Connection;

// What the user is shown of a database error: the server's text, else the driver's.
QString sqlErrorText(const QSqlError &error);

// Runs one statement on the connection, binding its named parameters by position; a parameter never
// set is bound as null. Throws DataError with the driver's message when the database refuses.
QSqlQuery execStatement(Connection *connection, const QString &statement,
                        const QHash<QString, QVariant> &params, bool forwardOnly = true);

// A statement prepared once and run again with new values, as long as its text and the connection
// stay the same: the server keeps its plan, and the client skips the parse.
class PreparedStatement
{
public:
    PreparedStatement() = default;
    ~PreparedStatement();
    PreparedStatement(const PreparedStatement &) = delete;
    PreparedStatement &operator=(const PreparedStatement &) = delete;

    QSqlQuery &exec(Connection *connection, const QString &statement, const QHash<QString, QVariant> &params);
    void release();

private:
    std::optional<QSqlQuery> m_query;
    QString m_text;
    QStringList m_names;
    const Connection *m_connection = nullptr;
    int m_generation = -1;
    std::weak_ptr<std::set<PreparedStatement *>> m_registry; // the connection's, while prepared
};

// A result read whole: its field names and rows.
struct FetchedRows
{
    QStringList fields;
    QVector<QVector<QVariant>> rows;
};
// The rest of an executed query's rows, through Qt.
FetchedRows readRows(QSqlQuery &query);

// Runs a statement whose values are all bound positionally.
QSqlQuery execBound(Connection *connection, const QString &statement, const QVariantList &values,
                    bool forwardOnly = true);

} // namespace tabel
