#include "reports/summaryreport.h"

#include "data/dataset.h"
#include "data/productkind.h"
#include "data/statements.h"
#include "reportengine/report.h"
#include "reports/datasetreportdata.h"
#include "reports/spreadsheet.h"
#include "reports/streamedreport.h"

#include <QLocale>
#include <QScopeGuard>

#include <cmath>

// The layouts are resources of this static library: they must be registered by hand.
static void initSummaryReportResources()
{
    Q_INIT_RESOURCE(reports);
}

namespace tabel {

namespace {
struct ReportSpec
{
    const char *layout;
    const char *query;
    const char *title;
    const char *name; // the preview's caption and the saved file's name
};
const ReportSpec kReports[] = {
    {":/reports/layouts/workersreport.json", "t_Report", "   Отчет по рабочим за период с ",
     "Отчет по рабочим"},
    {":/reports/layouts/productsreport.json", "t_Report", "   Отчет по продукции за период с ",
     "Отчет по продукции"},
    {":/reports/layouts/workersdetailreport.json", "w_Report", "   Детальный отчет по рабочим за период с ",
     "Детальный отчет по рабочим"},
    {":/reports/layouts/productsdetailreport.json", "i_Report",
     "   Детальный отчет по продукции за период с ", "Детальный отчет по продукции"},
};
} // namespace

QString exportOperation(const QString &vid, qint64 colour)
{
    if (colour == 1)
        return vid + QStringLiteral(" (грунт)");
    if (colour > 1)
        return vid + QStringLiteral(" (цвет: ") + QString::number(colour) + QStringLiteral(")");
    return vid;
}

QString exportQuantity(double quantity)
{
    // Halves to the even neighbour: 2.5 gives 2, 3.5 gives 4.
    return QString::number(qint64(std::nearbyint(quantity)));
}

QString summaryReportName(SummaryReport report)
{
    return QString::fromUtf8(kReports[int(report)].name);
}

QString summaryReportTitle(const SummaryReportRequest &r)
{
    const QLocale locale;
    return QString::fromUtf8(kReports[int(r.report)].title) + locale.toString(r.from, QLocale::ShortFormat) +
           QStringLiteral(" по ") + locale.toString(r.to, QLocale::ShortFormat);
}

Dataset *newSummaryReportQuery(Connection *connection, SummaryReport report, QObject *parent)
{
    const QStringList statements[] = {statements::workersReport(), statements::productsReport(),
                                      statements::workersDetailReport(), statements::productsDetailReport()};
    auto *query = new Dataset(connection, QString::fromLatin1(kReports[int(report)].query), parent);
    query->setSql(statements[int(report)]);
    return query;
}

namespace {
QString kindFilter(ProductKindChoice kind)
{
    switch (kind) {
    case ProductKindChoice::Finished:
        return QStringLiteral("naimen=0");
    case ProductKindChoice::Blanks:
        return QStringLiteral("naimen=1");
    case ProductKindChoice::All:
        break;
    }
    return {};
}
} // namespace

void openForPeriod(Dataset *query, const QDate &from, const QDate &to, ProductKindChoice kind)
{
    // The period as dates without a time of day: "с" included, "по" excluded.
    query->close();
    query->setParam(QStringLiteral("data1"), from);
    query->setParam(QStringLiteral("data2"), to);
    query->setFilter(kindFilter(kind));
    query->setFiltered(kind != ProductKindChoice::All);
    query->open();
}

std::unique_ptr<StreamedReport> startSummaryReport(Dataset *query, const SummaryReportRequest &r,
                                                   QObject *parent)
{
    initSummaryReportResources();
    report::Report report(report::Layout::fromFile(QString::fromLatin1(kReports[int(r.report)].layout)));
    report.setLabel(QStringLiteral("TitleLabel"), summaryReportTitle(r));
    // The same rows as the query opened for the period would hold, read as they come.
    const QHash<QString, QVariant> params = {{QStringLiteral("data1"), r.from},
                                             {QStringLiteral("data2"), r.to}};
    // The reports by products are short (a line per product and operation) over a year of entries:
    // read whole, their query keeps the server's parallel plan, which a cursor does not get.
    const bool shortResult = r.report == SummaryReport::Products || r.report == SummaryReport::ProductsDetail;
    auto rows =
        std::make_unique<RowCursor>(query->connection(), query->statement(), params, kindFilter(r.kind),
                                    shortResult ? RowCursor::Mode::Whole : RowCursor::Mode::Cursor);
    return std::make_unique<StreamedReport>(std::move(report), std::move(rows), query->name(), parent);
}

report::Document prepareSummaryReport(Dataset *query, const SummaryReportRequest &r)
{
    return startSummaryReport(query, r)->takeDocument();
}

Dataset *newProductsExportQuery(Connection *connection, QObject *parent)
{
    auto *query = new Dataset(connection, QStringLiteral("XLS_Rep"), parent);
    query->setSql(statements::productsExport());
    return query;
}

void writeProductsSheet(Workbook &book, Dataset *query, const std::function<void(int, int)> &progress)
{
    const int n = query->recordCount();
    if (progress)
        progress(0, n);
    book.write(1, 1, QStringLiteral("Наименование"));
    book.write(2, 1, QStringLiteral("Операция"));
    book.write(3, 1, QStringLiteral("Вид продукции"));
    book.write(4, 1, QStringLiteral("Коробки"));
    book.write(5, 1, QStringLiteral("Кол-во"));
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    int r = 2;
    for (query->first(); !query->isEmpty() && !query->eof(); query->next(), ++r) {
        book.write(1, r, query->asString(QStringLiteral("nom")), CellOption::Text);
        book.write(
            2, r,
            exportOperation(query->asString(QStringLiteral("vid")), query->asInt(QStringLiteral("color"))),
            CellOption::Text);
        book.write(3, r, productKindText(query->asInt(QStringLiteral("naimen"))), CellOption::Text);
        book.write(4, r, locale.toString(query->asDouble(QStringLiteral("mass")), 'g', 15));
        book.write(5, r, exportQuantity(query->asDouble(QStringLiteral("kolvo"))));
        if (progress)
            progress(r - 1, n);
    }
}

} // namespace tabel
