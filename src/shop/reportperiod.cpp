#include "shop/reportperiod.h"

#include <QString>

namespace tabel {

ReportPeriod previousMonthPeriod(const QDate &today)
{
    const int month = today.month();
    const int year = today.year();
    // Built as day-first texts, the way the dates are entered.
    const QString from = month == 1 ? QStringLiteral("01.12.") + QString::number(year - 1)
                                    : QStringLiteral("01.") + QString::number(month - 1) + QLatin1Char('.') +
                                          QString::number(year);
    const QString to =
        QStringLiteral("01.") + QString::number(month) + QLatin1Char('.') + QString::number(year);
    return {QDate::fromString(from, QStringLiteral("dd.M.yyyy")),
            QDate::fromString(to, QStringLiteral("dd.M.yyyy"))};
}

} // namespace tabel
