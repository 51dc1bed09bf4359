#include "import/sourcereader.h"

#include "data/dataerror.h"
#include "data/odbchandle.h"
#include "data/sqlexec.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlext.h>

#include <charconv>
#include <cmath>
#include <limits>

namespace tabel::legacy {

void appendInteger(QString &out, qint64 value)
{
    out += QString::number(value);
}

void appendFloating(QString &out, double value)
{
    if (std::isnan(value)) {
        out += QLatin1String("NaN");
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? QLatin1String("Infinity") : QLatin1String("-Infinity");
        return;
    }
    // The shortest text that reads back as the same double.
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out += QLatin1String(buffer, int(end - buffer));
}

void appendText(QString &out, QStringView text)
{
    out += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('\''))
            out += QLatin1Char('\'');
        else if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
}

QString arrayType(Copy copy)
{
    switch (copy) {
    case Copy::Integer:
    case Copy::NullableInteger:
        return QStringLiteral("integer");
    case Copy::Floating:
        return QStringLiteral("double precision");
    case Copy::Text:
        return QStringLiteral("text");
    case Copy::Date:
        return QStringLiteral("date");
    case Copy::Timestamp:
        return QStringLiteral("timestamp");
    }
    return {};
}

void appendDateTime(QString &out, int year, int month, int day, int hour, int minute, int second, bool withTime)
{
    const auto two = [&out](int v) {
        out += QLatin1Char(char('0' + v / 10 % 10));
        out += QLatin1Char(char('0' + v % 10));
    };
    out += QLatin1Char('"');
    out += QString::number(year).rightJustified(4, QLatin1Char('0'));
    out += QLatin1Char('-');
    two(month);
    out += QLatin1Char('-');
    two(day);
    if (withTime) {
        out += QLatin1Char(' ');
        two(hour);
        out += QLatin1Char(':');
        two(minute);
        out += QLatin1Char(':');
        two(second);
    }
    out += QLatin1Char('"');
}

namespace {

QString missingField(const Table &table, const Field &field)
{
    return QStringLiteral("В таблице %1 источника нет поля %2.").arg(table.source, field.name);
}

QString notConverted(const Table &table, const Field &field, const QString &value)
{
    return QStringLiteral("Значение «%1» поля %2 таблицы %3 не подходит к полю назначения.")
        .arg(value, field.name, table.source);
}

void appendEmpty(QString &out, Copy copy)
{
    switch (copy) {
    case Copy::Integer:
    case Copy::Floating:
        out += QLatin1Char('0');
        break;
    case Copy::Text:
        out += QLatin1String("\"\"");
        break;
    case Copy::NullableInteger:
    case Copy::Date:
    case Copy::Timestamp:
        out += QLatin1String("NULL");
        break;
    }
}

constexpr SQLLEN kTextUnits = 1024; // longer than any target text column; a longer text is refused
constexpr SQLLEN kNumberUnits = 64;

// A number's text as the literal of its copy kind. An integer may come as a decimal with no
// fraction (8.0); anything else that is not a number of the kind stops the import.
void appendNumber(QString &out, QStringView text, const Table &table, const Field &field)
{
    const QStringView t = text.trimmed();
    bool ok = false;
    if (field.copy == Copy::Floating) {
        const double d = t.toDouble(&ok);
        if (!ok)
            throw DataError(notConverted(table, field, text.toString()));
        appendFloating(out, d);
        return;
    }
    qint64 n = t.toLongLong(&ok);
    if (!ok) {
        const double d = t.toDouble(&ok);
        ok = ok && std::isfinite(d) && d == std::trunc(d) && std::abs(d) < 4e9;
        n = ok ? qint64(d) : 0;
    }
    if (!ok || n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
        throw DataError(notConverted(table, field, text.toString()));
    appendInteger(out, n);
}

class OdbcReader final : public SourceReader
{
public:
    OdbcReader(SQLHDBC dbc, const QString &statement, const Table &table, int blockRows)
        : m_table(table), m_block(SQLULEN(std::max(blockRows, 1)))
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_st.handle)))
            throw DataError(odbcDiagnostics(SQL_HANDLE_DBC, dbc));
        std::u16string text = statement.toStdU16String();
        const SQLRETURN rc =
            SQLExecDirectW(m_st.handle, reinterpret_cast<SQLWCHAR *>(text.data()), SQLINTEGER(text.size()));
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            fail();
        SQLSMALLINT count = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(m_st.handle, &count)))
            fail();
        // Source columns by name, without regard to letter case.
        QHash<QString, SQLUSMALLINT> columns;
        for (SQLSMALLINT i = 1; i <= count; ++i) {
            SQLWCHAR name[256];
            SQLSMALLINT length = 0;
            if (!SQL_SUCCEEDED(SQLColAttributeW(m_st.handle, SQLUSMALLINT(i), SQL_DESC_NAME, name, sizeof name,
                                                &length, nullptr)))
                fail();
            columns.insert(QString::fromUtf16(reinterpret_cast<const char16_t *>(name),
                                               std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), 255))
                               .toLower(),
                           SQLUSMALLINT(i));
        }
        if (!SQL_SUCCEEDED(SQLSetStmtAttr(m_st.handle, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0)) ||
            !SQL_SUCCEEDED(
                SQLSetStmtAttr(m_st.handle, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(m_block), 0)) ||
            !SQL_SUCCEEDED(SQLSetStmtAttr(m_st.handle, SQL_ATTR_ROWS_FETCHED_PTR, &m_fetched, 0)))
            fail();
        m_status.resize(m_block);
        SQLSetStmtAttr(m_st.handle, SQL_ATTR_ROW_STATUS_PTR, m_status.data(), 0);
        m_columns.resize(table.fields.size());
        for (size_t f = 0; f < table.fields.size(); ++f) {
            const Field &field = table.fields[f];
            const auto found = columns.constFind(field.name.toLower());
            if (found == columns.constEnd())
                throw DataError(missingField(table, field));
            Column &c = m_columns[f];
            switch (field.copy) {
            case Copy::Integer:
            case Copy::NullableInteger:
            case Copy::Floating:
                // Numbers come as their text and are converted here: a driver may read a text that is
                // no number as 0 without a word.
                c.cType = SQL_C_WCHAR;
                c.width = SQLLEN((kNumberUnits + 1) * sizeof(SQLWCHAR));
                break;
            case Copy::Text:
                c.cType = SQL_C_WCHAR;
                c.width = SQLLEN((kTextUnits + 1) * sizeof(SQLWCHAR));
                break;
            case Copy::Date:
            case Copy::Timestamp:
                c.cType = SQL_C_TYPE_TIMESTAMP;
                c.width = sizeof(SQL_TIMESTAMP_STRUCT);
                break;
            }
            c.buffer.reset(new char[size_t(c.width) * m_block]);
            c.indicators.resize(m_block);
            if (!SQL_SUCCEEDED(SQLBindCol(m_st.handle, *found, c.cType, c.buffer.get(), c.width,
                                          c.indicators.data())))
                fail();
        }
    }

    int fetch() override
    {
        if (m_done)
            return 0;
        const SQLRETURN rc = SQLFetch(m_st.handle);
        if (rc == SQL_NO_DATA) {
            m_done = true;
            return 0;
        }
        if (!SQL_SUCCEEDED(rc))
            fail();
        for (SQLULEN r = 0; r < m_fetched; ++r)
            if (m_status[r] == SQL_ROW_ERROR)
                fail();
        for (size_t f = 0; f < m_columns.size(); ++f) {
            const Column &c = m_columns[f];
            if (c.cType != SQL_C_WCHAR)
                continue;
            const bool number = m_table.fields[f].copy != Copy::Text;
            const SQLLEN room = (number ? kNumberUnits : kTextUnits) * SQLLEN(sizeof(SQLWCHAR));
            for (SQLULEN r = 0; r < m_fetched; ++r) {
                const SQLLEN n = c.indicators[r];
                if (n != SQL_NO_TOTAL && (n == SQL_NULL_DATA || n < room))
                    continue;
                if (number)
                    throw DataError(notConverted(m_table, m_table.fields[f], textAt(c, r, room / 2 - 1) + QStringLiteral("…")));
                throw DataError(QStringLiteral("Текст поля %1 таблицы %2 источника длиннее %3 знаков.")
                                    .arg(m_table.fields[f].name, m_table.source)
                                    .arg(kTextUnits - 1));
            }
        }
        return int(m_fetched);
    }

    void appendElement(QString &out, int row, int field) const override
    {
        const Column &c = m_columns[size_t(field)];
        const Copy copy = m_table.fields[size_t(field)].copy;
        const SQLLEN indicator = c.indicators[size_t(row)];
        if (indicator == SQL_NULL_DATA) {
            appendEmpty(out, copy);
            return;
        }
        const char *p = c.buffer.get() + c.width * SQLLEN(row);
        const QStringView text(reinterpret_cast<const char16_t *>(p), indicator / SQLLEN(sizeof(SQLWCHAR)));
        switch (copy) {
        case Copy::Integer:
        case Copy::NullableInteger:
        case Copy::Floating:
            appendNumber(out, text, m_table, m_table.fields[size_t(field)]);
            break;
        case Copy::Text:
            appendText(out, text);
            break;
        case Copy::Date:
        case Copy::Timestamp: {
            const auto *t = reinterpret_cast<const SQL_TIMESTAMP_STRUCT *>(p);
            appendDateTime(out, t->year, t->month, t->day, t->hour, t->minute, t->second, copy == Copy::Timestamp);
            break;
        }
        }
    }

private:
    struct Column
    {
        SQLSMALLINT cType = 0;
        SQLLEN width = 0;
        std::unique_ptr<char[]> buffer;
        std::vector<SQLLEN> indicators;
    };

    static QString textAt(const Column &c, SQLULEN row, qsizetype units)
    {
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(c.buffer.get() + c.width * SQLLEN(row)), units);
    }

    [[noreturn]] void fail() const { throw DataError(odbcDiagnostics(SQL_HANDLE_STMT, m_st.handle)); }

    const Table &m_table;
    SQLULEN m_block;
    SQLULEN m_fetched = 0;
    bool m_done = false;
    OdbcStatement m_st;
    std::vector<SQLUSMALLINT> m_status;
    std::vector<Column> m_columns;
};

class QtReader final : public SourceReader
{
public:
    QtReader(const QSqlDatabase &db, const QString &statement, const Table &table, int blockRows)
        : m_table(table), m_query(db), m_block(std::max(blockRows, 1))
    {
        m_query.setForwardOnly(true);
        if (!m_query.exec(statement))
            throw DataError(sqlErrorText(m_query.lastError()));
        const QSqlRecord record = m_query.record();
        for (const Field &field : table.fields) {
            int index = -1;
            for (int i = 0; i < record.count() && index < 0; ++i)
                if (record.fieldName(i).compare(field.name, Qt::CaseInsensitive) == 0)
                    index = i;
            if (index < 0)
                throw DataError(missingField(table, field));
            m_indexes.push_back(index);
        }
    }

    int fetch() override
    {
        m_rows.clear();
        while (int(m_rows.size()) < m_block && m_query.next()) {
            std::vector<QVariant> row;
            row.reserve(m_indexes.size());
            for (const int i : m_indexes)
                row.push_back(m_query.value(i));
            m_rows.push_back(std::move(row));
        }
        if (m_query.lastError().isValid())
            throw DataError(sqlErrorText(m_query.lastError()));
        return int(m_rows.size());
    }

    void appendElement(QString &out, int row, int field) const override
    {
        const QVariant &v = m_rows[size_t(row)][size_t(field)];
        const Field &f = m_table.fields[size_t(field)];
        if (v.isNull()) {
            appendEmpty(out, f.copy);
            return;
        }
        switch (f.copy) {
        case Copy::Integer:
        case Copy::NullableInteger:
        case Copy::Floating:
            appendNumber(out, v.toString(), m_table, f);
            break;
        case Copy::Text:
            appendText(out, v.toString());
            break;
        case Copy::Date:
        case Copy::Timestamp: {
            const QDateTime t = v.metaType() == QMetaType::fromType<QDate>() ? v.toDate().startOfDay() : v.toDateTime();
            if (!t.isValid())
                throw DataError(notConverted(m_table, f, v.toString()));
            appendDateTime(out, t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                           t.time().second(), f.copy == Copy::Timestamp);
            break;
        }
        }
    }

private:
    const Table &m_table;
    QSqlQuery m_query;
    int m_block;
    std::vector<int> m_indexes;
    std::vector<std::vector<QVariant>> m_rows;
};

} // namespace

std::unique_ptr<SourceReader> readOverOdbc(const QSqlDatabase &db, const QString &statement, const Table &table,
                                           int blockRows)
{
    const SQLHDBC dbc = odbcConnectionHandle(db);
    if (dbc == SQL_NULL_HDBC)
        return nullptr;
    return std::make_unique<OdbcReader>(dbc, statement, table, blockRows);
}

std::unique_ptr<SourceReader> readOverQt(const QSqlDatabase &db, const QString &statement, const Table &table,
                                         int blockRows)
{
    return std::make_unique<QtReader>(db, statement, table, blockRows);
}

} // namespace tabel::legacy
