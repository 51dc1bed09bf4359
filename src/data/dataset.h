#pragma once

#include "data/filterexpression.h"
#include "data/sqlexec.h"

#include <QDate>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace tabel {

class Connection;

// A statement's whole result in memory, with a current row (numbered from 1), fields by name without
// regard to case, named parameters, a client-side filter, locate and sort. With an update table it can
// also insert, change and delete rows of that table (a "table dataset").
class Dataset : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    Dataset(Connection *connection, const QString &name, QObject *parent = nullptr);

    QString name() const { return objectName(); }
    Connection *connection() const { return m_connection; }

    // Statement, as lines joined by line breaks.
    void setSql(const QStringList &lines) { m_sql = lines; }
    void clearSql() { m_sql.clear(); }
    void addSql(const QString &line) { m_sql << line; }
    QStringList sql() const { return m_sql; }
    QString statement() const { return m_sql.join(QLatin1Char('\n')); }

    // Parameters, by name without regard to case.
    void setParam(const QString &name, const QVariant &value);
    QVariant param(const QString &name) const;

    // A table dataset: rows are written back to this table, found by its primary key (or, for a table
    // without one, by every value read).
    void setUpdateTable(const QString &table) { m_updateTable = table; }
    QString updateTable() const { return m_updateTable; }

    void open();
    void close();
    void refresh(); // reopen, keeping the current row number where possible
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // Rows as the filter shows them.
    int recordCount() const { return int(m_view.size()); }
    bool isEmpty() const { return m_view.isEmpty(); }
    int recNo() const { return m_current + 1; } // 0 when empty
    void setRecNo(int recNo);
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }

    // Fields.
    QStringList fieldNames() const { return m_fields; }
    int fieldCount() const { return int(m_fields.size()); }
    int fieldIndex(const QString &name) const; // -1 when absent
    bool hasField(const QString &name) const { return fieldIndex(name) >= 0; }
    QVariant value(const QString &name) const;   // DataError when absent; a null stays null
    QString asString(const QString &name) const; // null: empty text
    qint64 asInt(const QString &name) const;     // null: 0
    double asDouble(const QString &name) const;  // null: 0
    QDate asDate(const QString &name) const;
    QVariant valueAt(int row, int column) const; // row 0-based in the filtered view

    // Client-side filter (no new query).
    void setFilter(const QString &expression);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }

    bool locate(const QString &field, const QVariant &value, Qt::CaseSensitivity cs = Qt::CaseSensitive);
    void sort(const QString &fields); // "fio, marka desc"; empty: back to the fetched order

    // Editing of the current row (table datasets).
    void insert();
    void edit();
    void setValue(const QString &name, const QVariant &value);
    void post();
    void cancel();
    void remove();

    // Bound grids stop following while many moves are made.
    void disableControls();
    void enableControls();

Q_SIGNALS:
    void reset();                   // opened, closed, filtered, sorted: every row may differ
    void currentChanged(int recNo); // the current row moved
    void rowChanged(int row);       // 0-based view row changed in place

private:
    using Row = QVector<QVariant>;
    int requireField(const QString &name) const;
    void setFields(const QStringList &fields);
    void opened(); // rows read: browse them from the first
    void rebuildView();
    void moveTo(int index);
    void notifyReset();
    void loadKeyFields();

    Connection *m_connection;
    PreparedStatement m_prepared;
    QStringList m_sql;
    QHash<QString, QVariant> m_params;
    QString m_updateTable;
    QStringList m_keyFields;
    bool m_keyFieldsLoaded = false;

    State m_state = State::Inactive;
    QStringList m_fields;
    QHash<QString, int> m_fieldIndex; // lower-case name -> column
    QVector<Row> m_rows;              // fetched (and inserted) rows
    QVector<int> m_view;              // visible rows, in order
    int m_current = -1;               // index into m_view
    bool m_eof = true;
    bool m_bof = true;

    QString m_filterText;
    bool m_filtered = false;
    FilterExpression m_filterExpr;
    QString m_sortFields;

    Row m_buffer;       // row being edited or inserted
    int m_editRow = -1; // physical row being edited
    int m_disableCount = 0;
    bool m_pendingReset = false;
};

} // namespace tabel
