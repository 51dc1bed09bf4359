#include "ui/datasetmodel.h"

#include "data/dataset.h"

#include <QAbstractItemView>
#include <QDate>
#include <QDateTime>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

namespace tabel {

DatasetModel::DatasetModel(QObject *parent) : QAbstractTableModel(parent) {}

void DatasetModel::setColumns(const QVector<GridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    endResetModel();
    onReset();
    applyColumns();
}

void DatasetModel::setDataset(Dataset *dataset)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    if (dataset) {
        m_connections << connect(dataset, &Dataset::reset, this, &DatasetModel::onReset);
        m_connections << connect(dataset, &Dataset::currentChanged, this, &DatasetModel::onCurrentChanged);
        m_connections << connect(dataset, &Dataset::rowChanged, this, [this](int row) {
            if (row >= 0)
                Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
    }
    onReset();
}

void DatasetModel::attach(QAbstractItemView *view)
{
    auto *table = qobject_cast<QTableView *>(view);
    // The grid's columns are the grid's: take over the widths it has now.
    if (table && table->model() && table->model() != this &&
        table->model()->columnCount() == m_columns.size()) {
        for (int i = 0; i < m_columns.size(); ++i)
            if (!table->isColumnHidden(i) && table->columnWidth(i) > 0)
                m_columns[i].width = table->columnWidth(i);
    }
    m_view = view;
    view->setModel(this);
    if (table) // rows as tall as their text, as in every grid of the program
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    disconnect(m_selectionConnection);
    disconnect(m_resizeConnection);
    if (table) {
        m_resizeConnection = connect(table->horizontalHeader(), &QHeaderView::sectionResized, this,
                                     [this](int section, int, int size) {
                                         if (m_applying || !m_view || m_view->model() != this || size <= 0 ||
                                             section >= m_columns.size())
                                             return;
                                         m_columns[section].width = size;
                                     });
    }
    m_selectionConnection = connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                                    [this](const QModelIndex &current) {
                                        if (m_syncing || !m_dataset || !current.isValid())
                                            return;
                                        m_syncing = true;
                                        m_dataset->setRecNo(current.row() + 1);
                                        m_syncing = false;
                                    });
    applyColumns();
    onCurrentChanged(m_dataset ? m_dataset->recNo() : 0);
}

void DatasetModel::applyColumns()
{
    auto *table = qobject_cast<QTableView *>(m_view.data());
    if (!table || table->model() != this)
        return;
    m_applying = true;
    for (int i = 0; i < m_columns.size(); ++i) {
        table->setColumnHidden(i, !m_columns.at(i).visible);
        table->setColumnWidth(i, m_columns.at(i).width);
    }
    m_applying = false;
}

void DatasetModel::onReset()
{
    // A reset lays the header out afresh; what it reports meanwhile is not the user's doing.
    m_applying = true;
    beginResetModel();
    m_fieldColumns.clear();
    for (const GridColumn &c : std::as_const(m_columns))
        m_fieldColumns << (m_dataset && m_dataset->isOpen() ? m_dataset->fieldIndex(c.field) : -1);
    endResetModel();
    m_applying = false;
    applyColumns();
}

void DatasetModel::onCurrentChanged(int recNo)
{
    // Several models may take turns on one grid; only the one it shows moves its selection.
    if (m_syncing || !m_view || m_view->model() != this || !m_view->selectionModel())
        return;
    m_syncing = true;
    if (recNo > 0) {
        const QModelIndex idx = index(recNo - 1, 0);
        m_view->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    } else {
        m_view->selectionModel()->clear();
    }
    m_syncing = false;
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataset || !m_dataset->isOpen())
        return 0;
    return m_dataset->recordCount();
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString DatasetModel::displayText(const QVariant &value, int decimals)
{
    if (value.isNull())
        return QString();
    if (decimals >= 0) {
        bool number = false;
        const double d = value.toDouble(&number);
        if (number)
            return QLocale().toString(d, 'f', decimals);
    }
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("dd.MM.yyyy"))
                                        : dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    case QMetaType::Double:
        return QLocale().toString(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_dataset || index.column() >= m_fieldColumns.size())
        return QVariant();
    const int field = m_fieldColumns.at(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return field < 0 ? QVariant()
                         : QVariant(displayText(m_dataset->valueAt(index.row(), field),
                                                m_columns.at(index.column()).decimals));
    case Qt::EditRole:
        return field < 0 ? QVariant() : m_dataset->valueAt(index.row(), field);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns.at(index.column()).alignment);
    default:
        return QVariant();
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return m_columns.at(section).title;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignCenter);
    case Qt::FontRole: {
        QFont f;
        f.setBold(true);
        return f;
    }
    default:
        return QVariant();
    }
}

} // namespace tabel
