#pragma once

#include "shop/changehistory.h"

#include <QAbstractTableModel>

class QTableView;

namespace tabel {

// The lines of the history in a read-only grid: "Когда", "Кто", "Что", "Изменения", "Примечание"; a
// line's changes one under the other.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    enum Column { At, Who, What, Changes, Note, ColumnCount };

    void setLines(QList<HistoryLine> lines);
    const QList<HistoryLine> &lines() const { return m_lines; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QString columnTitle(int column);
    // What a cell shows, as text: the export and the print use the same.
    static QString cellText(const HistoryLine &line, int column, const QString &changesSeparator);

    // The grid's look for the lines: widths, whole lines shown where there are not too many.
    static void setUpGrid(QTableView *grid);
    static void fitRows(QTableView *grid);

private:
    QList<HistoryLine> m_lines;
};

} // namespace tabel
