#include "data/odbcfetch.h"

#include "data/connection.h"
#include "data/dataerror.h"
#include "data/odbchandle.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tabel {

namespace {
constexpr SQLULEN kBlock = 256;     // rows per fetch
constexpr SQLULEN kLongText = 1024; // UTF-16 units read of a text of unknown length

enum class Kind { Int, BigInt, Double, Date, Time, Timestamp, Text };

struct Column
{
    Kind kind;
    SQLSMALLINT cType;
    SQLLEN width; // bytes per row: column-wise binding steps by the C type's size, or by the length given for
                  // texts
    std::unique_ptr<char[]> buffer; // left unset: the driver writes what is read
    std::vector<SQLLEN> indicators;
};

[[noreturn]] void fail(Connection *connection, const QString &text)
{
    throw connection->failure(text);
}

// Qt reads these column kinds as Int, LongLong, Double (low precision), QDate, QTime, QDateTime and
// QString; anything else (unsigned, binary, float, GUID) is left to it.
std::optional<Kind> kindOf(SQLSMALLINT sqlType, bool isUnsigned)
{
    switch (sqlType) {
    case SQL_SMALLINT:
    case SQL_INTEGER:
        return isUnsigned ? std::nullopt : std::optional(Kind::Int);
    case SQL_BIGINT:
        return isUnsigned ? std::nullopt : std::optional(Kind::BigInt);
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return Kind::Double;
    case SQL_DATE:
    case SQL_TYPE_DATE:
        return Kind::Date;
    case SQL_TIME:
    case SQL_TYPE_TIME:
        return Kind::Time;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        return Kind::Timestamp;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
        return Kind::Text;
    default:
        return std::nullopt;
    }
}

QVariant valueAt(const Column &c, SQLULEN row)
{
    const SQLLEN indicator = c.indicators[row];
    const char *p = c.buffer.get() + c.width * SQLLEN(row);
    switch (c.kind) {
    case Kind::Int:
        return indicator == SQL_NULL_DATA ? QVariant(QMetaType::fromType<int>())
                                          : QVariant(*reinterpret_cast<const SQLINTEGER *>(p));
    case Kind::BigInt:
        return indicator == SQL_NULL_DATA ? QVariant(QMetaType::fromType<qlonglong>())
                                          : QVariant(qlonglong(*reinterpret_cast<const SQLBIGINT *>(p)));
    case Kind::Double:
        return indicator == SQL_NULL_DATA ? QVariant(QMetaType::fromType<double>())
                                          : QVariant(*reinterpret_cast<const SQLDOUBLE *>(p));
    case Kind::Date: {
        if (indicator == SQL_NULL_DATA)
            return QVariant(QMetaType::fromType<QDate>());
        const auto *d = reinterpret_cast<const SQL_DATE_STRUCT *>(p);
        return QDate(d->year, d->month, d->day);
    }
    case Kind::Time: {
        if (indicator == SQL_NULL_DATA)
            return QVariant(QMetaType::fromType<QTime>());
        const auto *t = reinterpret_cast<const SQL_TIME_STRUCT *>(p);
        return QTime(t->hour, t->minute, t->second);
    }
    case Kind::Timestamp: {
        if (indicator == SQL_NULL_DATA)
            return QVariant(QMetaType::fromType<QDateTime>());
        const auto *t = reinterpret_cast<const SQL_TIMESTAMP_STRUCT *>(p);
        return QDateTime(QDate(t->year, t->month, t->day),
                         QTime(t->hour, t->minute, t->second, int(t->fraction / 1000000)));
    }
    case Kind::Text:
        if (indicator == SQL_NULL_DATA)
            return QVariant(); // as Qt gives a null text: of no type
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(p),
                                  indicator / SQLLEN(sizeof(SQLWCHAR)));
    }
    return {};
}
} // namespace

std::optional<FetchedRows> fetchAllOdbc(Connection *connection, const QString &statement)
{
    if (!connection)
        throw DataError(QStringLiteral("Нет подключения к базе данных"));
    connection->beforeStatement();
    const QSqlDatabase db = connection->database();
    const SQLHDBC dbc = odbcConnectionHandle(db);
    if (dbc == SQL_NULL_HDBC)
        return std::nullopt;
    OdbcStatement st;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st.handle)))
        return std::nullopt;
    std::u16string text = statement.toStdU16String();
    const SQLRETURN rc =
        SQLExecDirectW(st.handle, reinterpret_cast<SQLWCHAR *>(text.data()), SQLINTEGER(text.size()));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        fail(connection, odbcDiagnostics(SQL_HANDLE_STMT, st.handle));

    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(st.handle, &count)) || count <= 0)
        return std::nullopt;
    // The driver has read the whole result at the statement: a short list needs no block of 256.
    SQLLEN rowCount = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(st.handle, &rowCount)))
        rowCount = -1;
    const SQLULEN block = rowCount >= 0 ? std::clamp<SQLULEN>(SQLULEN(rowCount), 1, kBlock) : kBlock;
    SQLULEN fetched = 0;
    if (!SQL_SUCCEEDED(
            SQLSetStmtAttr(st.handle, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(st.handle, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)))
        return std::nullopt;
    FetchedRows result;
    if (rowCount > 0)
        result.rows.reserve(qsizetype(rowCount));
    std::vector<Column> columns(static_cast<size_t>(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(st.handle, SQLUSMALLINT(i + 1), name, 256, &nameLength, &sqlType,
                                           &size, &digits, &nullable)))
            return std::nullopt;
        SQLLEN isUnsigned = SQL_FALSE;
        SQLColAttributeW(st.handle, SQLUSMALLINT(i + 1), SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
        const std::optional<Kind> kind = kindOf(sqlType, isUnsigned == SQL_TRUE);
        if (!kind)
            return std::nullopt;
        result.fields << QString::fromUtf16(reinterpret_cast<const char16_t *>(name),
                                            std::min<SQLSMALLINT>(nameLength, 255));
        Column &c = columns[size_t(i)];
        c.kind = *kind;
        switch (c.kind) {
        case Kind::Int:
            c.cType = SQL_C_SLONG;
            c.width = sizeof(SQLINTEGER);
            break;
        case Kind::BigInt:
            c.cType = SQL_C_SBIGINT;
            c.width = sizeof(SQLBIGINT);
            break;
        case Kind::Double:
            c.cType = SQL_C_DOUBLE;
            c.width = sizeof(SQLDOUBLE);
            break;
        case Kind::Date:
            c.cType = SQL_C_TYPE_DATE;
            c.width = sizeof(SQL_DATE_STRUCT);
            break;
        case Kind::Time:
            c.cType = SQL_C_TYPE_TIME;
            c.width = sizeof(SQL_TIME_STRUCT);
            break;
        case Kind::Timestamp:
            c.cType = SQL_C_TYPE_TIMESTAMP;
            c.width = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        case Kind::Text: {
            // A character of the column may take two UTF-16 units; texts of unknown length get a
            // buffer of their own size, and a longer one sends the whole result to Qt.
            const SQLULEN units = size > 0 && size < kLongText ? 2 * size : kLongText;
            c.cType = SQL_C_WCHAR;
            c.width = SQLLEN((units + 1) * sizeof(SQLWCHAR));
            break;
        }
        }
        c.buffer.reset(new char[size_t(c.width) * block]);
        c.indicators.resize(block);
        if (!SQL_SUCCEEDED(SQLBindCol(st.handle, SQLUSMALLINT(i + 1), c.cType, c.buffer.get(), c.width,
                                      c.indicators.data())))
            return std::nullopt;
    }
    for (;;) {
        const SQLRETURN f = SQLFetch(st.handle);
        if (f == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(f))
            fail(connection, odbcDiagnostics(SQL_HANDLE_STMT, st.handle));
        for (SQLULEN r = 0; r < fetched; ++r) {
            QVector<QVariant> row(count);
            for (SQLSMALLINT i = 0; i < count; ++i) {
                const Column &c = columns[size_t(i)];
                if (c.kind == Kind::Text) {
                    const SQLLEN n = c.indicators[r];
                    if (n == SQL_NO_TOTAL || (n != SQL_NULL_DATA && n >= c.width - SQLLEN(sizeof(SQLWCHAR))))
                        return std::nullopt; // cut short
                }
                row[i] = valueAt(c, r);
            }
            result.rows.push_back(std::move(row));
        }
    }
    return result;
}

} // namespace tabel
