#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace tabel::report {

// What a report reads: the rows its query returned (after any filter), one at a time.
class ReportData
{
public:
    virtual ~ReportData() = default;
    virtual QString name() const = 0; // the query's name, for qualified fields ("t_Report.fio")
    virtual QStringList fieldNames() const = 0;
    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool eof() const = 0;
    virtual QVariant value(int field) const = 0; // of the current row
};

// Rows held in memory: for tests, benchmarks and small lists.
class TableData : public ReportData
{
public:
    TableData(const QString &name, const QStringList &fields, QVector<QVariantList> rows = {})
        : m_name(name), m_fields(fields), m_rows(std::move(rows))
    {
    }
    void append(const QVariantList &row) { m_rows.push_back(row); }

    QString name() const override { return m_name; }
    QStringList fieldNames() const override { return m_fields; }
    void first() override { m_row = 0; }
    void next() override { ++m_row; }
    bool eof() const override { return m_row >= m_rows.size(); }
    QVariant value(int field) const override { return eof() ? QVariant() : m_rows.at(m_row).value(field); }

private:
    QString m_name;
    QStringList m_fields;
    QVector<QVariantList> m_rows;
    qsizetype m_row = 0;
};

} // namespace tabel::report
