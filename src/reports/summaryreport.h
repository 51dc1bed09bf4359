#pragma once

#include "reportengine/document.h"

#include <QDate>
#include <QString>

#include <functional>
#include <memory>

class QObject;

namespace tabel {

class Connection;
class Dataset;
class StreamedReport;
class Workbook;

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

// Starts the report of the request on the query's statement and connection (the query itself stays
// closed): its rows are read a block at a time and laid out as they come.
std::unique_ptr<StreamedReport> startSummaryReport(Dataset *query, const SummaryReportRequest &request,
                                                   QObject *parent = nullptr);
// The whole report of the request.
report::Document prepareSummaryReport(Dataset *query, const SummaryReportRequest &request);

// "Excel" of the period dialog: the quantities by product of a period and product kind.
Dataset *newProductsExportQuery(Connection *connection, QObject *parent);
// Writes the open export query's rows (heading, one row per product and operation); progress gets
// rows written and their count.
void writeProductsSheet(Workbook &book, Dataset *query, const std::function<void(int, int)> &progress = {});

// The export's operation text: the kind, with " (грунт)" for colour 1 or " (цвет: N)" above.
QString exportOperation(const QString &vid, qint64 colour);
// The export's quantity: rounded to a whole number, halves to the even neighbour.
QString exportQuantity(double quantity);

} // namespace tabel
