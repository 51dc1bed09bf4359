#pragma once

#include "import/legacytables.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QTime>

#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace tabel::legacy {

// The rows of a legacy table, a block at a time, each value as the text the source holds. Numbers
// and dates are read as text and converted by the import itself, so that no driver turns a value it
// cannot read into 0, a null or today.
class SourceReader
{
public:
    virtual ~SourceReader() = default;
    // The next block: the number of rows in it, 0 at the end.
    virtual int fetch() = 0;
    // A field (in the table's order) of a row of the current block; null when the source holds none.
    virtual QStringView text(int row, int field, bool *isNull) const = 0;
};

// What the target column holds: integers within [min, max], texts of at most maxLength characters
// (0: any length).
struct ColumnLimit
{
    qint64 min = std::numeric_limits<qint32>::min();
    qint64 max = std::numeric_limits<qint32>::max();
    int maxLength = 0;
};

// Over the ODBC handle under a Qt ODBC connection, every field bound as text, so that whole blocks
// come in one call. narrowUtf8: texts are read as the source's bytes and must be valid UTF-8 (a
// driver reading them as wide characters would silently turn a broken one into another letter).
// Empty when the connection is not ODBC.
std::unique_ptr<SourceReader> readOverOdbc(const QSqlDatabase &db, const QString &statement,
                                           const Table &table, int blockRows, bool narrowUtf8 = false);
// Through Qt's own driver, a row at a time.
std::unique_ptr<SourceReader> readOverQt(const QSqlDatabase &db, const QString &statement, const Table &table,
                                         int blockRows);

// Turns the rows of one table into the array elements they are written with, checking each value
// against its copy kind and target column. A value that does not fit stops the table with DataError
// naming table, field, row and value. Keeps what it has seen: the last id (a repeated or empty id is
// refused; the rows come sorted by id), the rows so far, the entries without a date.
class BlockWriter
{
public:
    BlockWriter(const Table &table, std::vector<ColumnLimit> limits);
    // Call once per block, before its elements.
    void beginBlock(const SourceReader &reader, int rows);
    void appendElement(QString &out, const SourceReader &reader, int row, int field);
    qint64 rowsWithoutDate() const { return m_undated; }

private:
    QString rowLabel(const SourceReader &reader, int row) const;
    [[noreturn]] void refuse(const SourceReader &reader, int row, int field, QStringView value,
                             const QString &reason) const;

    const Table &m_table;
    std::vector<ColumnLimit> m_limits;
    bool m_keyed;
    qint64 m_rowsBefore = 0;  // rows of the blocks before the current one
    qint64 m_pendingRows = 0; // rows of the current block
    std::optional<qint64> m_lastId;
    qint64 m_undated = 0;
};

// A legacy date, with or without a time of day: "YYYY-MM-DD" or "DD.MM.YYYY", then optionally a
// blank (or "T") and "HH:MM", ":SS", ".fraction". Empty when the text is no real date.
struct LegacyDateTime
{
    QDate date;
    QTime time;       // null without a time of day
    QString fraction; // digits after the seconds' point, as given
};
std::optional<LegacyDateTime> parseLegacyDateTime(QStringView text);

// The array elements of the copy kinds; texts and times quoted for the array, apostrophes doubled for
// the SQL text around it.
void appendInteger(QString &out, qint64 value);
void appendFloating(QString &out, double value);
void appendText(QString &out, QStringView text);
void appendDateTime(QString &out, const LegacyDateTime &value, bool withTime);
// The element type of a copy kind's array ("integer", "text", …).
QString arrayType(Copy copy);

} // namespace tabel::legacy
