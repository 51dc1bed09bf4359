#pragma once

#include "data/filterexpression.h"
#include "data/transaction.h"

#include <QHash>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>

namespace tabel {

class Connection;

// A statement's rows read a block at a time through a server-side cursor, in a transaction of its
// own: a long result is never held whole in the client, and its first rows arrive before the server
// has made its last. Used from the connection's thread only.
class RowCursor
{
public:
    using Row = QVector<QVariant>;

    // Cursor: declares the cursor; throws DataError. Whole: for a short result of a long query, run
    // as a plain statement (the server plans a cursor without parallel workers), read in one block at
    // the first fetch. filter: a client-side filter as a Dataset takes it ("naimen=0"), empty for none.
    enum class Mode { Cursor, Whole };
    RowCursor(Connection *connection, const QString &statement, const QHash<QString, QVariant> &params,
              const QString &filter = QString(), Mode mode = Mode::Cursor);
    ~RowCursor(); // ends the transaction when the last row was not reached
    RowCursor(const RowCursor &) = delete;
    RowCursor &operator=(const RowCursor &) = delete;

    // Up to `rows` more rows of the statement, those the filter passes (maybe none); atEnd() once
    // the last is read, and the transaction is then ended. Throws DataError.
    QVector<Row> fetch(int rows);
    bool atEnd() const { return m_atEnd; }
    QStringList fieldNames() const { return m_fields; } // known after the first fetch

private:
    Connection *m_connection;
    QString m_statement;
    QHash<QString, QVariant> m_params;
    Mode m_mode;
    std::unique_ptr<Transaction> m_transaction;
    QString m_filterText;
    FilterExpression m_filter;
    QStringList m_fields;
    bool m_atEnd = false;
    bool m_described = false;
};

} // namespace tabel
