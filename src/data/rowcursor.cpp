#include "data/rowcursor.h"

#include "data/connection.h"
#include "data/dataerror.h"
#include "data/odbcfetch.h"
#include "data/sqlexec.h"
#include "data/sqlparams.h"

namespace tabel {

namespace {
const QString kCursor = QStringLiteral("tabel_rows");
}

RowCursor::RowCursor(Connection *connection, const QString &statement, const QHash<QString, QVariant> &params,
                     const QString &filter, Mode mode)
    : m_connection(connection), m_mode(mode), m_filterText(filter.trimmed())
{
    if (mode == Mode::Whole) {
        m_statement = statement;
        m_params = params;
        return;
    }
    m_transaction = std::make_unique<Transaction>(*connection);
    // A cursor is planned for its first rows unless told otherwise; these are all read.
    execStatement(connection, QStringLiteral("set local cursor_tuple_fraction = 1"), {});
    // libpq prepares what it binds, and a declaration cannot be prepared: its values go in as literals.
    const QString declare = QStringLiteral("declare ") + kCursor + QStringLiteral(" no scroll cursor for ");
    if (connection->driver() == Connection::Driver::Native)
        execStatement(connection, declare + withLiterals(statement, params), {});
    else
        execStatement(connection, declare + statement, params);
}

RowCursor::~RowCursor()
{
    // Stopped before the end: the cursor's transaction is committed, not rolled back. It wrote nothing
    // itself, and what another part of the program wrote meanwhile on this connection (a check on a
    // timer, expecting each statement to stand) must not be undone with it.
    if (m_transaction) {
        try {
            m_transaction->commit();
        } catch (const DataError &) {
            // Failed already: the server has rolled it back, and the report has said why.
        }
    }
}

QVector<RowCursor::Row> RowCursor::fetch(int rows)
{
    if (m_atEnd)
        return {};
    std::optional<FetchedRows> block;
    if (m_mode == Mode::Whole) {
        QSqlQuery q = execStatement(m_connection, m_statement, m_params);
        block = readRows(q);
        rows = int(block->rows.size()) + 1; // the end
    } else {
        const QString text = QStringLiteral("fetch forward %1 from ").arg(std::max(rows, 1)) + kCursor;
        if (m_connection->driver() == Connection::Driver::Odbc)
            block = fetchAllOdbc(m_connection, text);
        if (!block) {
            QSqlQuery q = execStatement(m_connection, text, {});
            block = readRows(q);
        }
    }
    if (!m_described) {
        m_fields = block->fields;
        if (!m_filterText.isEmpty())
            m_filter = FilterExpression::parse(m_filterText, m_fields);
        m_described = true;
    }
    if (block->rows.size() < rows) {
        m_atEnd = true;
        if (m_transaction) {
            m_transaction->commit();
            m_transaction.reset();
        }
    }
    if (m_filter.isEmpty())
        return std::move(block->rows);
    QVector<Row> passed;
    passed.reserve(block->rows.size());
    for (Row &r : block->rows)
        if (m_filter.matches([&r](int c) { return r.at(c); }))
            passed.push_back(std::move(r));
    return passed;
}

} // namespace tabel
