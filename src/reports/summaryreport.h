#pragma once

#include "reportengine/document.h"

#include <QDate>
#include <QString>

namespace tabel {

class Connection;
class Dataset;

// The four period reports of "Сводные отчеты", prepared the same way from the dialog and from the
// command line.
enum class SummaryReport { Workers, Products, WorkersDetail, ProductsDetail };
// Which operations count: all, finished products (naimen 0) or blanks (naimen 1).
enum class ProductKindChoice { All, Finished, Blanks };

struct SummaryReportRequest
{
    SummaryReport report = SummaryReport::Workers;
    QDate from, to; // "с" included, "по" excluded, as the dialog has them
    ProductKindChoice kind = ProductKindChoice::All;
};

// The report's name ("Отчет по рабочим") and its title line with the period.
QString summaryReportName(SummaryReport report);
QString summaryReportTitle(const SummaryReportRequest &request);

// A query of the report on the connection (not open), named as its layout reads it.
Dataset *newSummaryReportQuery(Connection *connection, SummaryReport report, QObject *parent);

// Opens a report's (or the export's) query for a period and product kind.
void openForPeriod(Dataset *query, const QDate &from, const QDate &to, ProductKindChoice kind);

// Opens the query for the request, prepares the pages and closes the query on every path.
report::Document prepareSummaryReport(Dataset *query, const SummaryReportRequest &request);

} // namespace tabel
