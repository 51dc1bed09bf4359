#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QVector>

#include "data/dataset.h"

class QItemSelectionModel;
class QAbstractItemView;

namespace tabel {

class Dataset;

// One grid column: its title, the field it shows, alignment, width in pixels, visibility.
struct GridColumn
{
    QString title;
    QString field;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int width = 100;
    bool visible = true;
    int decimals = -1; // fixed decimals for numbers (money: 2); -1: as many as the value has
};

// A grid's view of a dataset. The grid's current row is the dataset's current row, both ways.
class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DatasetModel(QObject *parent = nullptr);

    void setColumns(const QVector<GridColumn> &columns);
    const QVector<GridColumn> &columns() const { return m_columns; }
    void setDataset(Dataset *dataset);
    Dataset *dataset() const { return m_dataset; }

    // Binds a view: applies widths and visibility and keeps its current row and the dataset's in step.
    // Widths the user dragged on the view stay, whichever model it shows and however often the data
    // is reopened.
    void attach(QAbstractItemView *view);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The text a cell shows.
    static QString displayText(const QVariant &value, int decimals = -1);

private:
    void onReset();
    void onCurrentChanged(int recNo);
    void applyColumns();

    QPointer<Dataset> m_dataset;
    QVector<GridColumn> m_columns;
    QVector<int> m_fieldColumns; // dataset column of each grid column, -1 when absent
    QPointer<QAbstractItemView> m_view;
    QVector<QMetaObject::Connection> m_connections;
    QMetaObject::Connection m_resizeConnection;
    QMetaObject::Connection m_selectionConnection;
    bool m_syncing = false;
    bool m_applying = false;
};

} // namespace tabel
