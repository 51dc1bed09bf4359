#include "timesheet/timesheetmodel.h"

#include <QApplication>
#include <QDate>
#include <QFont>
#include <QPalette>

namespace tabel {

namespace {
QVector<GridColumn> timesheetColumns()
{
    QVector<GridColumn> columns{
        {QStringLiteral("Фамилия И. О."), QStringLiteral("fio"), Qt::AlignLeft | Qt::AlignVCenter, 208}};
    for (int d = 1; d <= 31; ++d)
        columns.push_back({QString::number(d), QStringLiteral("d%1").arg(d), Qt::AlignCenter, 20});
    columns.push_back({QStringLiteral("Итого"), QStringLiteral("summ"), Qt::AlignCenter, 47});
    return columns;
}
} // namespace

TimesheetModel::TimesheetModel(QObject *parent) : DatasetModel(parent)
{
    setColumns(timesheetColumns());
}

void TimesheetModel::setMonth(int year, int month)
{
    m_year = year;
    m_month = month;
    Q_EMIT headerDataChanged(Qt::Horizontal, kFirstDay, kFirstDay + 30);
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, kFirstDay), index(rowCount() - 1, kFirstDay + 30));
}

DayKind TimesheetModel::dayKind(int column) const
{
    const QDate first(m_year, m_month, 1);
    const int day = column - kFirstDay + 1;
    if (day > first.daysInMonth())
        return DayKind::PastMonthEnd;
    return first.addDays(day - 1).dayOfWeek() >= 6 ? DayKind::Weekend : DayKind::Workday;
}

QVariant TimesheetModel::data(const QModelIndex &index, int role) const
{
    if (index.column() == kTotal) {
        if (role == Qt::BackgroundRole)
            return QBrush(timesheetcolours::totalBackground);
        if (role == Qt::FontRole) {
            QFont f = QApplication::font();
            f.setBold(true);
            return f;
        }
    }
    return DatasetModel::data(index, role);
}

QVariant TimesheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::FontRole) {
            QFont f = QApplication::font();
            f.setBold(true);
            return f;
        }
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignCenter);
        if (role == Qt::ForegroundRole && section >= kFirstDay && section < kTotal)
            return QBrush(
                dayTitleColour(dayKind(section), QApplication::palette().color(QPalette::WindowText)));
    }
    return DatasetModel::headerData(section, orientation, role);
}

void TimesheetDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const auto *model = qobject_cast<const TimesheetModel *>(index.model());
    const int column = index.column();
    if (!model || column < TimesheetModel::kFirstDay || column >= TimesheetModel::kTotal ||
        (option->state & QStyle::State_Selected))
        return;
    const QPalette palette = QApplication::palette();
    const DayCellLook look =
        dayCellLook(index.data(Qt::DisplayRole).toString().toInt(), model->dayKind(column),
                    palette.color(QPalette::WindowText), palette.color(QPalette::Base));
    option->font.setBold(look.bold);
    option->palette.setColor(QPalette::Text, look.text);
    if (look.background.isValid())
        option->backgroundBrush = look.background;
}

} // namespace tabel
