#pragma once

#include "timesheet/timesheetcells.h"
#include "ui/datasetmodel.h"

#include <QStyledItemDelegate>

namespace tabel {

// One shift's grid of the time sheet: the name, the 31 days and the total, coloured by the month
// shown (weekends red, days past the month's end greyed, the total bold on blue).
class TimesheetModel : public DatasetModel
{
    Q_OBJECT
public:
    static constexpr int kFirstDay = 1, kTotal = 32;

    explicit TimesheetModel(QObject *parent = nullptr);
    void setMonth(int year, int month);
    DayKind dayKind(int column) const;

    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    int m_year = 2000, m_month = 1;
};

// Draws the day cells by dayCellLook(), except the highlighted selected cell.
class TimesheetDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

} // namespace tabel
