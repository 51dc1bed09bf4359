#pragma once

#include <QDate>

namespace tabel {

// The period the summary reports open with: the previous calendar month, its end being the first day
// of the current month (excluded).
struct ReportPeriod
{
    QDate from;
    QDate to;
};
ReportPeriod previousMonthPeriod(const QDate &today);

} // namespace tabel
