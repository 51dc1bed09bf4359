#include "timesheet/timesheetprint.h"

#include "data/dataset.h"
#include "data/statements.h"
#include "reportengine/report.h"
#include "reports/datasetreportdata.h"
#include "reports/spreadsheet.h"

#include <QScopeGuard>

// The printed layout is a resource of this static library: it must be registered by hand.
static void initTimesheetPrintResources()
{
    Q_INIT_RESOURCE(timesheet);
}

namespace tabel {

namespace {
void openOnMonth(Dataset *print, int year, int month)
{
    print->close();
    print->setParam(QStringLiteral("mnth"), month);
    print->setParam(QStringLiteral("yea"), year);
    print->open();
}
} // namespace

QString timesheetMonthName(int month)
{
    static const char *const names[] = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                                        "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
    return month >= 1 && month <= 12 ? QString::fromUtf8(names[month - 1]) : QString();
}

Dataset *newTimesheetPrintQuery(Connection *connection, QObject *parent)
{
    auto *print = new Dataset(connection, QStringLiteral("H_Tabel"), parent);
    print->setSql(statements::hTabelPrint());
    return print;
}

report::Document prepareTimesheetReport(Dataset *print, int year, int month)
{
    initTimesheetPrintResources();
    const auto closeQuery = qScopeGuard([print] { print->close(); });
    openOnMonth(print, year, month);
    report::Report report(report::Layout::fromFile(QStringLiteral(":/timesheet/timesheetreport.json")));
    report.setLabel(QStringLiteral("HeadingLabel"),
                    timesheetMonthName(month) + u' ' + QString::number(year) + QStringLiteral(" г."));
    DatasetReportData data(print);
    return report.prepare(data);
}

void writeTimesheetSheet(Workbook &book, Dataset *print, int year, int month,
                         const std::function<void(int, int)> &progress)
{
    const auto closeQuery = qScopeGuard([print] { print->close(); });
    openOnMonth(print, year, month);
    const int n = print->recordCount();
    if (progress)
        progress(0, n);
    const CellOptions heading = CellOption::Text | CellOption::FitColumn | CellOption::Bold;
    book.write(1, 1, timesheetMonthName(month) + u' ' + QString::number(year), heading);
    book.write(1, 2, QStringLiteral("Фамилия И.О."), heading);
    for (int d = 1; d <= 31; ++d)
        book.write(d + 1, 2, QString::number(d), CellOption::FitColumn | CellOption::Bold);
    book.write(33, 2, QStringLiteral("Итого"), heading);
    int r = 3;
    for (print->first(); !print->isEmpty() && !print->eof(); print->next(), ++r) {
        book.write(1, r, print->asString(QStringLiteral("fio")), CellOption::Text | CellOption::FitColumn);
        qint64 total = 0;
        for (int d = 1; d <= 31; ++d) {
            const qint64 v = print->asInt(QStringLiteral("sd%1").arg(d));
            total += v;
            book.write(d + 1, r, QString::number(v), CellOption::FitColumn);
        }
        book.write(33, r, QString::number(total), CellOption::FitColumn);
        if (progress)
            progress(r - 2, n);
    }
}

} // namespace tabel
