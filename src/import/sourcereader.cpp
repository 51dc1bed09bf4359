#include "import/sourcereader.h"

#include "data/dataerror.h"
#include "data/inputcheck.h"
#include "data/odbchandle.h"
#include "data/sqlexec.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>

#include <sqlext.h>

#include <charconv>
#include <cmath>

namespace tabel::legacy {

void appendInteger(QString &out, qint64 value)
{
    out += QString::number(value);
}

void appendFloating(QString &out, double value)
{
    // The shortest text that reads back as the same double; only finite values get here.
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

void appendDateTime(QString &out, const LegacyDateTime &v, bool withTime)
{
    const auto two = [&out](int n) {
        out += QLatin1Char(char('0' + n / 10 % 10));
        out += QLatin1Char(char('0' + n % 10));
    };
    out += QLatin1Char('"');
    out += QString::number(v.date.year()).rightJustified(4, QLatin1Char('0'));
    out += QLatin1Char('-');
    two(v.date.month());
    out += QLatin1Char('-');
    two(v.date.day());
    if (withTime) {
        const QTime t = v.time.isValid() ? v.time : QTime(0, 0);
        out += QLatin1Char(' ');
        two(t.hour());
        out += QLatin1Char(':');
        two(t.minute());
        out += QLatin1Char(':');
        two(t.second());
        if (!v.fraction.isEmpty()) {
            out += QLatin1Char('.');
            out += v.fraction;
        }
    }
    out += QLatin1Char('"');
}

namespace {

bool digitsAt(QStringView t, qsizetype from, qsizetype count, int *value)
{
    if (from + count > t.size())
        return false;
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const QChar c = t.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
    }
    *value = v;
    return true;
}

} // namespace

std::optional<LegacyDateTime> parseLegacyDateTime(QStringView text)
{
    const QStringView t = text.trimmed();
    int year = 0, month = 0, day = 0;
    if (t.size() >= 10 && t.at(4) == QLatin1Char('-') && t.at(7) == QLatin1Char('-')) {
        if (!digitsAt(t, 0, 4, &year) || !digitsAt(t, 5, 2, &month) || !digitsAt(t, 8, 2, &day))
            return std::nullopt;
    } else if (t.size() >= 10 && t.at(2) == QLatin1Char('.') && t.at(5) == QLatin1Char('.')) {
        if (!digitsAt(t, 0, 2, &day) || !digitsAt(t, 3, 2, &month) || !digitsAt(t, 6, 4, &year))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    LegacyDateTime v;
    v.date = QDate(year, month, day);
    if (!v.date.isValid() || year < 1)
        return std::nullopt;
    if (t.size() == 10)
        return v;
    // A time of day: " HH:MM", then ":SS", then ".fraction" (up to microseconds).
    if (t.at(10) != QLatin1Char(' ') && t.at(10) != QLatin1Char('T'))
        return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (t.size() < 16 || !digitsAt(t, 11, 2, &hour) || t.at(13) != QLatin1Char(':') ||
        !digitsAt(t, 14, 2, &minute))
        return std::nullopt;
    qsizetype at = 16;
    if (at < t.size() && t.at(at) == QLatin1Char(':')) {
        if (!digitsAt(t, at + 1, 2, &second))
            return std::nullopt;
        at += 3;
        if (at < t.size() && t.at(at) == QLatin1Char('.')) {
            const qsizetype from = ++at;
            while (at < t.size() && t.at(at).isDigit() && t.at(at).unicode() < 128)
                ++at;
            if (at == from || at - from > 6)
                return std::nullopt;
            v.fraction = t.mid(from, at - from).toString();
        }
    }
    if (at != t.size() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    v.time = QTime(hour, minute, second);
    return v;
}

namespace {

QString missingField(const Table &table, const Field &field)
{
    return QStringLiteral("В таблице %1 источника нет поля %2.").arg(table.source, field.name);
}

bool isKeyed(const Table &table)
{
    return table.fields.front().name == QLatin1String("id");
}

// "запись id 17", or for a table without ids "строка 5" (counted from 1 in the source's order).
QString rowLabelFor(const Table &table, QStringView id, bool idNull, qint64 rowNumber)
{
    if (isKeyed(table))
        return idNull ? QStringLiteral("запись с пустым id")
                      : QStringLiteral("запись id %1").arg(visibleText(id.toString()));
    return QStringLiteral("строка %1").arg(rowNumber);
}

QString refusalText(const Table &table, const Field &field, const QString &row, QStringView value,
                    const QString &reason)
{
    return QStringLiteral("Таблица %1, поле %2, %3: значение «%4» %5. Таблица не импортирована.")
        .arg(table.source, field.name, row, visibleText(value.toString()), reason);
}

// Bytes that are no UTF-8, shown as they are: ASCII as itself, anything else as \xNN.
QString bytesShown(QByteArrayView bytes)
{
    QString out;
    for (const char b : bytes.first(std::min<qsizetype>(bytes.size(), 60))) {
        const auto u = uchar(b);
        if (u >= 0x20 && u < 0x7f)
            out += QLatin1Char(char(u));
        else
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
    }
    return out;
}

constexpr SQLLEN kTextUnits = 1024; // longer than any target text column; a longer text is refused
constexpr SQLLEN kNumberUnits = 64;

class OdbcReader final : public SourceReader
{
public:
    OdbcReader(SQLHDBC dbc, const QString &statement, const Table &table, int blockRows, bool narrowUtf8)
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
            if (!SQL_SUCCEEDED(SQLColAttributeW(m_st.handle, SQLUSMALLINT(i), SQL_DESC_NAME, name,
                                                sizeof name, &length, nullptr)))
                fail();
            columns.insert(QString::fromUtf16(reinterpret_cast<const char16_t *>(name),
                                              std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), 255))
                               .toLower(),
                           SQLUSMALLINT(i));
        }
        if (!SQL_SUCCEEDED(SQLSetStmtAttr(m_st.handle, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0)) ||
            !SQL_SUCCEEDED(SQLSetStmtAttr(m_st.handle, SQL_ATTR_ROW_ARRAY_SIZE,
                                          reinterpret_cast<SQLPOINTER>(m_block), 0)) ||
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
            // Everything comes as its text: a driver may read a text that is no number as 0, or a
            // date it cannot read as null or today, without a word.
            if (field.copy == Copy::Text && narrowUtf8) {
                c.cType = SQL_C_CHAR;
                c.units = kTextUnits * 4; // bytes: up to four per character
                c.width = c.units + 1;
                c.decoded.resize(m_block);
            } else {
                c.cType = SQL_C_WCHAR;
                c.units = field.copy == Copy::Text ? kTextUnits : kNumberUnits;
                c.width = SQLLEN((c.units + 1) * sizeof(SQLWCHAR));
            }
            c.buffer.reset(new char[size_t(c.width) * m_block]);
            c.indicators.resize(m_block);
            if (!SQL_SUCCEEDED(
                    SQLBindCol(m_st.handle, *found, c.cType, c.buffer.get(), c.width, c.indicators.data())))
                fail();
        }
    }

    int fetch() override
    {
        if (m_done)
            return 0;
        m_rowsBefore += qint64(m_fetched);
        m_fetched = 0;
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
            Column &c = m_columns[f];
            const Field &field = m_table.fields[f];
            const SQLLEN unit = c.cType == SQL_C_CHAR ? 1 : SQLLEN(sizeof(SQLWCHAR));
            for (SQLULEN r = 0; r < m_fetched; ++r) {
                const SQLLEN n = c.indicators[r];
                if (n == SQL_NULL_DATA)
                    continue;
                if (n == SQL_NO_TOTAL || n >= c.units * unit) {
                    const QString head = c.cType == SQL_C_CHAR
                                             ? QString::fromUtf8(c.buffer.get() + c.width * SQLLEN(r), 60)
                                             : textAt(c, r, 60);
                    throw DataError(
                        refusalText(m_table, field, label(int(r)), head,
                                    QStringLiteral("длиннее %1 знаков")
                                        .arg(field.copy == Copy::Text ? kTextUnits - 1 : kNumberUnits - 1)));
                }
                if (c.cType != SQL_C_CHAR)
                    continue;
                const QByteArrayView bytes(c.buffer.get() + c.width * SQLLEN(r), n);
                QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                c.decoded[r] = utf8.decode(bytes);
                if (utf8.hasError())
                    throw DataError(refusalText(m_table, field, label(int(r)), bytesShown(bytes),
                                                QStringLiteral("не в кодировке UTF-8")));
            }
        }
        return int(m_fetched);
    }

    QStringView text(int row, int field, bool *isNull) const override
    {
        const Column &c = m_columns[size_t(field)];
        const SQLLEN indicator = c.indicators[size_t(row)];
        *isNull = indicator == SQL_NULL_DATA;
        if (*isNull)
            return {};
        if (c.cType == SQL_C_CHAR)
            return c.decoded[size_t(row)];
        const char *p = c.buffer.get() + c.width * SQLLEN(row);
        return QStringView(reinterpret_cast<const char16_t *>(p), indicator / SQLLEN(sizeof(SQLWCHAR)));
    }

private:
    struct Column
    {
        SQLSMALLINT cType = 0;
        SQLLEN units = 0; // characters (or bytes for narrow texts) the buffer holds
        SQLLEN width = 0;
        std::unique_ptr<char[]> buffer;
        std::vector<SQLLEN> indicators;
        std::vector<QString> decoded; // narrow texts of the block, decoded
    };

    static QString textAt(const Column &c, SQLULEN row, qsizetype units)
    {
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(c.buffer.get() + c.width * SQLLEN(row)),
                                  std::min<qsizetype>(units, c.units));
    }

    QString label(int row) const
    {
        bool idNull = false;
        QString id;
        if (isKeyed(m_table) && m_columns.front().cType == SQL_C_WCHAR) {
            const QStringView v = text(row, 0, &idNull);
            id = v.left(kNumberUnits).toString();
        }
        return rowLabelFor(m_table, id, idNull, m_rowsBefore + row + 1);
    }

    [[noreturn]] void fail() const { throw DataError(odbcDiagnostics(SQL_HANDLE_STMT, m_st.handle)); }

    const Table &m_table;
    SQLULEN m_block;
    SQLULEN m_fetched = 0;
    qint64 m_rowsBefore = 0;
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
            std::vector<std::optional<QString>> row;
            row.reserve(m_indexes.size());
            for (const int i : m_indexes)
                row.push_back(asText(m_query.value(i)));
            m_rows.push_back(std::move(row));
        }
        if (m_query.lastError().isValid())
            throw DataError(sqlErrorText(m_query.lastError()));
        return int(m_rows.size());
    }

    QStringView text(int row, int field, bool *isNull) const override
    {
        const std::optional<QString> &v = m_rows[size_t(row)][size_t(field)];
        *isNull = !v;
        return v ? QStringView(*v) : QStringView();
    }

private:
    // Dates and times as ISO text, so that they are read like any other source's text.
    static std::optional<QString> asText(const QVariant &v)
    {
        if (v.isNull())
            return std::nullopt;
        if (v.metaType() == QMetaType::fromType<QDate>())
            return v.toDate().toString(Qt::ISODate);
        if (v.metaType() == QMetaType::fromType<QDateTime>())
            return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return v.toString();
    }

    const Table &m_table;
    QSqlQuery m_query;
    int m_block;
    std::vector<int> m_indexes;
    std::vector<std::vector<std::optional<QString>>> m_rows;
};

} // namespace

BlockWriter::BlockWriter(const Table &table, std::vector<ColumnLimit> limits)
    : m_table(table), m_limits(std::move(limits)), m_keyed(isKeyed(table))
{
    m_limits.resize(table.fields.size());
}

QString BlockWriter::rowLabel(const SourceReader &reader, int row) const
{
    bool idNull = false;
    const QStringView id = m_keyed ? reader.text(row, 0, &idNull) : QStringView();
    return rowLabelFor(m_table, id, idNull, m_rowsBefore + row + 1);
}

void BlockWriter::refuse(const SourceReader &reader, int row, int field, QStringView value,
                         const QString &reason) const
{
    throw DataError(
        refusalText(m_table, m_table.fields[size_t(field)], rowLabel(reader, row), value, reason));
}

void BlockWriter::beginBlock(const SourceReader &reader, int rows)
{
    m_rowsBefore += m_pendingRows;
    m_pendingRows = rows;
    if (m_keyed) {
        // The rows come sorted by id: a repeated id follows its first.
        for (int r = 0; r < rows; ++r) {
            bool isNull = false;
            const QStringView t = reader.text(r, 0, &isNull);
            bool ok = false;
            const qint64 id = isNull ? 0 : t.trimmed().toLongLong(&ok);
            if (isNull || t.trimmed().isEmpty())
                throw DataError(QStringLiteral("Таблица %1, строка %2: пустой id. Таблица не импортирована.")
                                    .arg(m_table.source)
                                    .arg(m_rowsBefore + r + 1));
            if (!ok)
                refuse(reader, r, 0, t, QStringLiteral("не является целым числом"));
            if (m_lastId && *m_lastId == id)
                throw DataError(
                    QStringLiteral("Таблица %1: id %2 встречается в источнике больше одного раза. "
                                   "Таблица не импортирована.")
                        .arg(m_table.source)
                        .arg(id));
            m_lastId = id;
        }
    }
}

void BlockWriter::appendElement(QString &out, const SourceReader &reader, int row, int field)
{
    const Field &f = m_table.fields[size_t(field)];
    const ColumnLimit &limit = m_limits[size_t(field)];
    bool isNull = false;
    const QStringView text = reader.text(row, field, &isNull);
    const bool dateKind = f.copy == Copy::Date || f.copy == Copy::Timestamp;
    if (isNull || (dateKind && text.trimmed().isEmpty())) {
        switch (f.copy) {
        case Copy::Integer:
        case Copy::Floating:
            out += QLatin1Char('0');
            break;
        case Copy::Text:
            out += QLatin1String("\"\"");
            break;
        case Copy::Date:
            ++m_undated;
            out += QLatin1String("NULL");
            break;
        case Copy::NullableInteger:
        case Copy::Timestamp:
            out += QLatin1String("NULL");
            break;
        }
        return;
    }
    switch (f.copy) {
    case Copy::Floating: {
        bool ok = false;
        const double d = text.trimmed().toDouble(&ok);
        if (!ok)
            refuse(reader, row, field, text, QStringLiteral("не является числом"));
        if (!std::isfinite(d))
            refuse(reader, row, field, text, QStringLiteral("не является конечным числом"));
        appendFloating(out, d);
        return;
    }
    case Copy::Integer:
    case Copy::NullableInteger: {
        // An integer may come as a decimal with no fraction (8.0).
        const QStringView t = text.trimmed();
        bool ok = false;
        qint64 n = t.toLongLong(&ok);
        if (!ok) {
            const double d = t.toDouble(&ok);
            ok = ok && std::isfinite(d) && d == std::trunc(d) && std::abs(d) < 9e18;
            n = ok ? qint64(d) : 0;
        }
        if (!ok)
            refuse(reader, row, field, text, QStringLiteral("не является целым числом"));
        if (n < limit.min || n > limit.max)
            refuse(reader, row, field, text,
                   QStringLiteral("не помещается в поле (от %1 до %2)").arg(limit.min).arg(limit.max));
        appendInteger(out, n);
        return;
    }
    case Copy::Text: {
        if (limit.maxLength > 0 && text.size() > limit.maxLength) {
            const qsizetype characters = text.toString().toUcs4().size();
            if (characters > limit.maxLength)
                refuse(reader, row, field, text,
                       QStringLiteral("длиннее %1 знаков (%2)").arg(limit.maxLength).arg(characters));
        }
        for (const QChar c : text)
            if (c.unicode() == 0)
                refuse(reader, row, field, text, QStringLiteral("содержит символ NUL"));
        appendText(out, text);
        return;
    }
    case Copy::Date:
    case Copy::Timestamp: {
        const std::optional<LegacyDateTime> v = parseLegacyDateTime(text);
        if (!v)
            refuse(reader, row, field, text,
                   QStringLiteral("не является датой (ожидается ГГГГ-ММ-ДД или ДД.ММ.ГГГГ)"));
        appendDateTime(out, *v, f.copy == Copy::Timestamp);
        return;
    }
    }
}

std::unique_ptr<SourceReader> readOverOdbc(const QSqlDatabase &db, const QString &statement,
                                           const Table &table, int blockRows, bool narrowUtf8)
{
    const SQLHDBC dbc = odbcConnectionHandle(db);
    if (dbc == SQL_NULL_HDBC)
        return nullptr;
    return std::make_unique<OdbcReader>(dbc, statement, table, blockRows, narrowUtf8);
}

std::unique_ptr<SourceReader> readOverQt(const QSqlDatabase &db, const QString &statement, const Table &table,
                                         int blockRows)
{
    return std::make_unique<QtReader>(db, statement, table, blockRows);
}

} // namespace tabel::legacy
