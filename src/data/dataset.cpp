#include "data/dataset.h"

#include "data/connection.h"
#include "data/dataerror.h"
#include "data/odbcfetch.h"
#include "data/sqlexec.h"
#include "data/sqlparams.h"

#include <QDateTime>
#include <QSqlRecord>

#include <algorithm>

namespace tabel {

namespace {
QString messageUnknownField(const QString &dataset, const QString &field)
{
    return QStringLiteral("%1: поле «%2» не найдено").arg(dataset, field);
}

int compareForSort(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    const QPartialOrdering o = QVariant::compare(a, b);
    if (o == QPartialOrdering::Less)
        return -1;
    if (o == QPartialOrdering::Greater)
        return 1;
    if (o == QPartialOrdering::Equivalent)
        return 0;
    return a.toString().localeAwareCompare(b.toString());
}
} // namespace

Dataset::Dataset(Connection *connection, const QString &name, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    setObjectName(name);
}

void Dataset::setParam(const QString &name, const QVariant &value)
{
    m_params.insert(name.toLower(), value);
}

QVariant Dataset::param(const QString &name) const
{
    return m_params.value(name.toLower());
}

void Dataset::open()
{
    if (isOpen())
        return;
    const QString text = m_updateTable.isEmpty() || !m_sql.isEmpty()
                             ? statement()
                             : QStringLiteral("select * from ") + m_updateTable;
    // Statements with parameters are reopened again and again with new values (the register's views
    // on every date change): keep them prepared.
    const bool withParams = text.contains(QLatin1Char(':')) && !toPositional(text).names.isEmpty();
    std::optional<FetchedRows> block;
    if (!withParams && m_connection && m_connection->driver() == Connection::Driver::Odbc)
        block = fetchAllOdbc(m_connection, text);
    if (block) {
        setFields(block->fields);
        m_rows = std::move(block->rows);
        opened();
        return;
    }
    std::optional<QSqlQuery> plain;
    if (!withParams)
        plain.emplace(execStatement(m_connection, text, m_params));
    QSqlQuery &q = plain ? *plain : m_prepared.exec(m_connection, text, m_params);
    FetchedRows read = readRows(q);
    setFields(read.fields);
    m_rows = std::move(read.rows);
    opened();
}

void Dataset::setFields(const QStringList &fields)
{
    m_fields = fields;
    m_fieldIndex.clear();
    for (int i = 0; i < fields.size(); ++i) {
        const QString key = fields.at(i).toLower();
        if (!m_fieldIndex.contains(key)) // the first of two equal names wins
            m_fieldIndex.insert(key, i);
    }
}

void Dataset::opened()
{
    m_state = State::Browse;
    if (m_filtered && !m_filterText.isEmpty())
        m_filterExpr = FilterExpression::parse(m_filterText, m_fields);
    else
        m_filterExpr = FilterExpression();
    rebuildView();
    m_current = m_view.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.isEmpty();
    notifyReset();
}

void Dataset::close()
{
    if (!isOpen())
        return;
    m_state = State::Inactive;
    m_rows.clear();
    m_view.clear();
    m_fields.clear();
    m_fieldIndex.clear();
    m_buffer.clear();
    m_editRow = -1;
    m_current = -1;
    m_eof = m_bof = true;
    notifyReset();
}

void Dataset::refresh()
{
    const int keep = recNo();
    close();
    open();
    if (keep > 0 && !isEmpty())
        setRecNo(std::min(keep, recordCount()));
}

void Dataset::rebuildView()
{
    m_view.clear();
    m_view.reserve(m_rows.size());
    const bool filtering = m_filtered && !m_filterExpr.isEmpty();
    for (int i = 0; i < m_rows.size(); ++i) {
        if (filtering) {
            const Row &r = m_rows.at(i);
            if (!m_filterExpr.matches([&r](int c) { return r.at(c); }))
                continue;
        }
        m_view.push_back(i);
    }
    if (!m_sortFields.isEmpty()) {
        struct Key
        {
            int column;
            bool descending;
        };
        QVector<Key> keys;
        const QStringList parts = m_sortFields.split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &part : parts) {
            const QStringList words = part.simplified().split(QLatin1Char(' '));
            keys.push_back({requireField(words.value(0)),
                            words.value(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0});
        }
        std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            for (const Key &k : keys) {
                const int c = compareForSort(m_rows.at(a).at(k.column), m_rows.at(b).at(k.column));
                if (c != 0)
                    return k.descending ? c > 0 : c < 0;
            }
            return false;
        });
    }
}

void Dataset::notifyReset()
{
    if (m_disableCount > 0) {
        m_pendingReset = true;
        return;
    }
    Q_EMIT reset();
    Q_EMIT currentChanged(recNo());
}

void Dataset::moveTo(int index)
{
    if (m_view.isEmpty()) {
        m_current = -1;
        return;
    }
    index = std::clamp(index, 0, int(m_view.size()) - 1);
    const bool moved = index != m_current;
    m_current = index;
    if (moved && m_disableCount == 0)
        Q_EMIT currentChanged(recNo());
}

void Dataset::setRecNo(int recNo)
{
    m_bof = m_eof = false;
    moveTo(recNo - 1);
}

void Dataset::first()
{
    moveTo(0);
    m_bof = true;
    m_eof = m_view.isEmpty();
}

void Dataset::last()
{
    moveTo(int(m_view.size()) - 1);
    m_eof = m_view.isEmpty();
    m_bof = m_view.isEmpty();
}

void Dataset::next()
{
    m_bof = false;
    if (m_current + 1 >= m_view.size()) {
        m_eof = true;
        return;
    }
    moveTo(m_current + 1);
    m_eof = false;
}

void Dataset::prior()
{
    m_eof = false;
    if (m_current <= 0) {
        m_bof = true;
        return;
    }
    moveTo(m_current - 1);
    m_bof = false;
}

int Dataset::fieldIndex(const QString &name) const
{
    return m_fieldIndex.value(name.toLower(), -1);
}

int Dataset::requireField(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw DataError(messageUnknownField(objectName(), name));
    return i;
}

QVariant Dataset::value(const QString &name) const
{
    if (!isOpen())
        throw DataError(QStringLiteral("%1: набор данных закрыт").arg(objectName()));
    const int c = requireField(name);
    if (m_state != State::Browse)
        return m_buffer.value(c);
    if (m_current < 0)
        return QVariant();
    return m_rows.at(m_view.at(m_current)).at(c);
}

QString Dataset::asString(const QString &name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    if (v.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("dd.MM.yyyy"))
                                        : dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

qint64 Dataset::asInt(const QString &name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return 0;
    bool ok = false;
    if (v.typeId() == QMetaType::Double)
        return qRound64(v.toDouble());
    const qint64 i = v.toLongLong(&ok);
    if (ok)
        return i;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (!ok)
        throw DataError(QStringLiteral("«%1» не является целым числом").arg(v.toString()));
    return qRound64(d);
}

double Dataset::asDouble(const QString &name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw DataError(QStringLiteral("«%1» не является числом").arg(v.toString()));
    return d;
}

QDate Dataset::asDate(const QString &name) const
{
    return value(name).toDate();
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= m_view.size() || column < 0 || column >= m_fields.size())
        return QVariant();
    if (m_state != State::Browse && row == m_current)
        return m_buffer.value(column);
    return m_rows.at(m_view.at(row)).at(column);
}

void Dataset::setFilter(const QString &expression)
{
    m_filterText = expression;
    if (isOpen() && m_filtered) {
        m_filterExpr = FilterExpression::parse(m_filterText, m_fields);
        rebuildView();
        m_current = m_view.isEmpty() ? -1 : 0;
        m_bof = true;
        m_eof = m_view.isEmpty();
        notifyReset();
    }
}

void Dataset::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    m_filtered = on;
    if (!isOpen())
        return;
    int keepRow = m_current >= 0 ? m_view.at(m_current) : -1;
    m_filterExpr = on ? FilterExpression::parse(m_filterText, m_fields) : FilterExpression();
    rebuildView();
    const int idx = int(m_view.indexOf(keepRow));
    m_current = idx >= 0 ? idx : (m_view.isEmpty() ? -1 : 0);
    m_bof = idx <= 0;
    m_eof = m_view.isEmpty();
    notifyReset();
}

bool Dataset::locate(const QString &field, const QVariant &value, Qt::CaseSensitivity cs)
{
    const int c = requireField(field);
    for (int i = 0; i < m_view.size(); ++i) {
        const QVariant &v = m_rows.at(m_view.at(i)).at(c);
        bool equal;
        if (value.typeId() == QMetaType::QString || v.typeId() == QMetaType::QString)
            equal = v.toString().compare(value.toString(), cs) == 0;
        else
            equal = !v.isNull() && QVariant::compare(v, value) == QPartialOrdering::Equivalent;
        if (equal) {
            m_bof = m_eof = false;
            moveTo(i);
            return true;
        }
    }
    return false;
}

void Dataset::sort(const QString &fields)
{
    m_sortFields = fields.trimmed();
    if (!isOpen())
        return;
    const int keepRow = m_current >= 0 ? m_view.at(m_current) : -1;
    rebuildView();
    const int idx = int(m_view.indexOf(keepRow));
    m_current = idx >= 0 ? idx : (m_view.isEmpty() ? -1 : 0);
    notifyReset();
}

void Dataset::disableControls()
{
    ++m_disableCount;
}

void Dataset::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0) {
        m_pendingReset = false;
        Q_EMIT reset();
        Q_EMIT currentChanged(recNo());
    }
}

// ---- editing ---------------------------------------------------------------------------------------

void Dataset::loadKeyFields()
{
    if (m_keyFieldsLoaded)
        return;
    m_keyFields.clear();
    QSqlQuery q = execBound(m_connection,
                            QStringLiteral("select a.attname from pg_index i join pg_attribute a on "
                                           "a.attrelid = i.indrelid and a.attnum = any(i.indkey) "
                                           "where i.indrelid = cast(? as text)::regclass and i.indisprimary"),
                            {m_updateTable});
    while (q.next())
        m_keyFields << q.value(0).toString();
    m_keyFieldsLoaded = true;
}

void Dataset::insert()
{
    if (m_updateTable.isEmpty())
        throw DataError(QStringLiteral("%1: набор данных только для чтения").arg(objectName()));
    if (!isOpen())
        throw DataError(QStringLiteral("%1: набор данных закрыт").arg(objectName()));
    if (m_state != State::Browse)
        post();
    m_buffer = Row(m_fields.size());
    m_editRow = -1;
    m_state = State::Insert;
    m_rows.push_back(m_buffer);
    m_view.push_back(int(m_rows.size()) - 1);
    m_current = int(m_view.size()) - 1;
    m_eof = m_bof = false;
    notifyReset();
}

void Dataset::edit()
{
    if (m_updateTable.isEmpty())
        throw DataError(QStringLiteral("%1: набор данных только для чтения").arg(objectName()));
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (!isOpen() || m_current < 0)
        throw DataError(QStringLiteral("%1: нет строки для изменения").arg(objectName()));
    m_editRow = m_view.at(m_current);
    m_buffer = m_rows.at(m_editRow);
    m_state = State::Edit;
}

void Dataset::setValue(const QString &name, const QVariant &value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        throw DataError(QStringLiteral("%1: набор данных не в режиме изменения").arg(objectName()));
    m_buffer[requireField(name)] = value;
    if (m_disableCount == 0)
        Q_EMIT rowChanged(m_current);
}

void Dataset::post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    loadKeyFields();
    const bool inserting = m_state == State::Insert;
    const int physical = inserting ? m_view.at(m_current) : m_editRow;
    const Row original = inserting ? Row(m_fields.size()) : m_rows.at(m_editRow);

    QStringList columns;
    QVariantList values;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (inserting
                ? m_buffer.at(i).isValid()
                : (m_buffer.at(i) != original.at(i) || m_buffer.at(i).isNull() != original.at(i).isNull())) {
            columns << m_fields.at(i);
            values << m_buffer.at(i);
        }
    }
    QString text;
    if (inserting) {
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        text =
            columns.isEmpty()
                ? QStringLiteral("insert into %1 default values returning *").arg(m_updateTable)
                : QStringLiteral("insert into %1 (%2) values (%3) returning *")
                      .arg(m_updateTable, columns.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
    } else {
        if (columns.isEmpty()) {
            m_state = State::Browse;
            m_editRow = -1;
            return;
        }
        QStringList sets;
        for (const QString &c : columns)
            sets << c + QStringLiteral(" = ?");
        QStringList where;
        const QStringList keys = m_keyFields.isEmpty() ? m_fields : m_keyFields;
        for (const QString &k : keys) {
            const QVariant v = original.at(requireField(k));
            if (v.isNull()) {
                where << k + QStringLiteral(" is null");
            } else {
                where << k + QStringLiteral(" = ?");
                values << v;
            }
        }
        text = QStringLiteral("update %1 set %2 where %3 returning *")
                   .arg(m_updateTable, sets.join(QLatin1String(", ")), where.join(QLatin1String(" and ")));
    }
    QSqlQuery q = execBound(m_connection, text, values);
    Row stored = m_buffer;
    const bool written = q.next();
    // An update that found no row has written nothing: another client changed or deleted it.
    if (!written && !inserting)
        throw DataError(QStringLiteral("%1: строка не найдена, её изменил или удалил другой пользователь")
                            .arg(objectName()));
    if (written) {
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            const int c = fieldIndex(rec.fieldName(i));
            if (c >= 0)
                stored[c] = q.value(i);
        }
    }
    m_rows[physical] = stored;
    m_buffer.clear();
    m_editRow = -1;
    m_state = State::Browse;
    if (m_disableCount == 0)
        Q_EMIT rowChanged(m_current);
}

void Dataset::cancel()
{
    if (m_state == State::Insert) {
        const int physical = m_view.at(m_current);
        m_view.removeAt(m_current);
        m_rows.removeAt(physical);
        for (int &v : m_view)
            if (v > physical)
                --v;
        m_state = State::Browse;
        m_buffer.clear();
        m_current = std::min(m_current, int(m_view.size()) - 1);
        notifyReset();
        return;
    }
    if (m_state == State::Edit) {
        m_state = State::Browse;
        m_buffer.clear();
        m_editRow = -1;
        if (m_disableCount == 0)
            Q_EMIT rowChanged(m_current);
    }
}

void Dataset::remove()
{
    if (m_updateTable.isEmpty())
        throw DataError(QStringLiteral("%1: набор данных только для чтения").arg(objectName()));
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (!isOpen() || m_current < 0)
        throw DataError(QStringLiteral("%1: нет строки для удаления").arg(objectName()));
    loadKeyFields();
    const int physical = m_view.at(m_current);
    const Row &original = m_rows.at(physical);
    QStringList where;
    QVariantList values;
    const QStringList keys = m_keyFields.isEmpty() ? m_fields : m_keyFields;
    for (const QString &k : keys) {
        const QVariant v = original.at(requireField(k));
        if (v.isNull()) {
            where << k + QStringLiteral(" is null");
        } else {
            where << k + QStringLiteral(" = ?");
            values << v;
        }
    }
    execBound(
        m_connection,
        QStringLiteral("delete from %1 where %2").arg(m_updateTable, where.join(QLatin1String(" and "))),
        values);
    m_view.removeAt(m_current);
    m_rows.removeAt(physical);
    for (int &v : m_view)
        if (v > physical)
            --v;
    m_current = std::min(m_current, int(m_view.size()) - 1);
    m_eof = m_view.isEmpty();
    notifyReset();
}

} // namespace tabel
