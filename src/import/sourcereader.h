#pragma once

#include "import/legacytables.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <vector>

namespace tabel::legacy {

// The rows of a legacy table, a block at a time, each value turned into an element of the array
// literal its column is written with (inside an SQL text literal: apostrophes doubled). A value that
// does not convert stops the reading with DataError.
class SourceReader
{
public:
    virtual ~SourceReader() = default;
    // The next block: the number of rows in it, 0 at the end.
    virtual int fetch() = 0;
    // A field (in the table's order) of a row of the current block.
    virtual void appendElement(QString &out, int row, int field) const = 0;
};

// Over the ODBC handle under a Qt ODBC connection, with every field bound in the C type of its copy
// kind, so that the driver converts and whole blocks come in one call. Empty when the connection
// is not ODBC.
std::unique_ptr<SourceReader> readOverOdbc(const QSqlDatabase &db, const QString &statement, const Table &table,
                                           int blockRows);
// Through Qt's own driver, a row at a time.
std::unique_ptr<SourceReader> readOverQt(const QSqlDatabase &db, const QString &statement, const Table &table,
                                         int blockRows);

// The array elements of the copy kinds; texts and times quoted for the array, apostrophes doubled for
// the SQL text around it.
void appendInteger(QString &out, qint64 value);
void appendFloating(QString &out, double value);
void appendText(QString &out, QStringView text);
void appendDateTime(QString &out, int year, int month, int day, int hour, int minute, int second, bool withTime);
// The element type of a copy kind's array ("integer", "text", …).
QString arrayType(Copy copy);

} // namespace tabel::legacy
