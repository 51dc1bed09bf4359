#pragma once

#include "data/dataset.h"
#include "reportengine/reportdata.h"

namespace tabel {

// A report reads a dataset of the program through the engine's narrow interface: its filtered rows
// in their order, one at a time, without a copy.
class DatasetReportData : public report::ReportData
{
public:
    explicit DatasetReportData(Dataset *dataset) : m_dataset(dataset) {}
    QString name() const override { return m_dataset->name(); }
    QStringList fieldNames() const override { return m_dataset->fieldNames(); }
    void first() override { m_dataset->first(); }
    void next() override { m_dataset->next(); }
    bool eof() const override { return m_dataset->isEmpty() || m_dataset->eof(); }
    QVariant value(int field) const override
    {
        return eof() ? QVariant() : m_dataset->valueAt(m_dataset->recNo() - 1, field);
    }

private:
    Dataset *m_dataset;
};

// Rows begin to end (0-based, end excluded) of a dataset's view, as a report of their own.
class DatasetRowsData : public report::ReportData
{
public:
    DatasetRowsData(Dataset *dataset, int begin, int end) : m_dataset(dataset), m_begin(begin), m_end(end) {}
    QString name() const override { return m_dataset->name(); }
    QStringList fieldNames() const override { return m_dataset->fieldNames(); }
    void first() override { m_row = m_begin; }
    void next() override { ++m_row; }
    bool eof() const override { return m_row >= m_end; }
    QVariant value(int field) const override { return eof() ? QVariant() : m_dataset->valueAt(m_row, field); }

private:
    Dataset *m_dataset;
    int m_begin, m_end, m_row = 0;
};

} // namespace tabel
