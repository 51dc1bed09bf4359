#pragma once

#include "import/legacytables.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <vector>

namespace tabel::legacy {

// The rows of a legacy table, a block at a time, each value turned into the SQL literal its copy
// kind writes. A value that does not convert stops the reading with DataError.
class SourceReader
{
public:
    virtual ~SourceReader() = default;
    // The next block: the number of rows in it, 0 at the end.
    virtual int fetch() = 0;
    // A field (in the table's order) of a row of the current block.
    virtual void appendLiteral(QString &out, int row, int field) const = 0;
};

// Over the ODBC handle under a Qt ODBC connection, with every field bound in the C type of its copy
// kind, so that the driver converts and whole blocks come in one call. Empty when the connection
// is not ODBC.
std::unique_ptr<SourceReader> readOverOdbc(const QSqlDatabase &db, const QString &statement, const Table &table,
                                           int blockRows);
// Through Qt's own driver, a row at a time.
std::unique_ptr<SourceReader> readOverQt(const QSqlDatabase &db, const QString &statement, const Table &table,
                                         int blockRows);

// The literals of the copy kinds (an SQL text in standard form: apostrophes doubled, backslashes plain).
void appendInteger(QString &out, qint64 value);
void appendFloating(QString &out, double value);
void appendText(QString &out, QStringView text);
void appendDateTime(QString &out, int year, int month, int day, int hour, int minute, int second, bool withTime);

} // namespace tabel::legacy
