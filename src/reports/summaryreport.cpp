#include "reports/summaryreport.h"

#include "data/dataset.h"
#include "data/statements.h"
#include "reportengine/report.h"
#include "reports/datasetreportdata.h"

#include <QLocale>
#include <QScopeGuard>

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

void openForPeriod(Dataset *query, const QDate &from, const QDate &to, ProductKindChoice kind)
{
    // The period as dates without a time of day: "с" included, "по" excluded.
    query->close();
    query->setParam(QStringLiteral("data1"), from);
    query->setParam(QStringLiteral("data2"), to);
    if (kind == ProductKindChoice::Finished)
        query->setFilter(QStringLiteral("naimen=0"));
    else if (kind == ProductKindChoice::Blanks)
        query->setFilter(QStringLiteral("naimen=1"));
    query->setFiltered(kind != ProductKindChoice::All);
    query->open();
}

report::Document prepareSummaryReport(Dataset *query, const SummaryReportRequest &r)
{
    initSummaryReportResources();
    const auto closeQuery = qScopeGuard([query] { query->close(); });
    openForPeriod(query, r.from, r.to, r.kind);
    report::Report report(report::Layout::fromFile(QString::fromLatin1(kReports[int(r.report)].layout)));
    report.setLabel(QStringLiteral("TitleLabel"), summaryReportTitle(r));
    DatasetReportData data(query);
    return report.prepare(data);
}

} // namespace tabel
