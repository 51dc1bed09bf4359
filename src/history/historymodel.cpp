#include "history/historymodel.h"

#include <QHeaderView>
#include <QTableView>

namespace tabel {

namespace {
// Above this many lines the grid keeps one text line per row (fitting them all would take long);
// each cell's whole text is then its tooltip.
constexpr int kFittedRows = 2000;
} // namespace

void HistoryModel::setLines(QList<HistoryLine> lines)
{
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString HistoryModel::columnTitle(int column)
{
    switch (column) {
    case At:
        return QStringLiteral("Когда");
    case Who:
        return QStringLiteral("Кто");
    case What:
        return QStringLiteral("Что");
    case Changes:
        return QStringLiteral("Изменения");
    case Note:
        return QStringLiteral("Примечание");
    default:
        return QString();
    }
}

QString HistoryModel::cellText(const HistoryLine &line, int column, const QString &separator)
{
    switch (column) {
    case At:
        return line.at;
    case Who:
        return line.who;
    case What:
        return line.what + u' ' + line.action;
    case Changes:
        return line.changes.join(separator);
    case Note:
        return line.note;
    default:
        return QString();
    }
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cellText(m_lines.at(index.row()), index.column(), QStringLiteral("\n"));
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignTop);
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal)
        return columnTitle(section);
    return {};
}

void HistoryModel::setUpGrid(QTableView *grid)
{
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(true);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {150, 170, 250, 420};
    for (int c = 0; c < 4; ++c)
        grid->setColumnWidth(c, widths[c]);
}

void HistoryModel::fitRows(QTableView *grid)
{
    if (grid->model() && grid->model()->rowCount() <= kFittedRows)
        grid->resizeRowsToContents();
}

} // namespace tabel
