#pragma once

#include "reportengine/document.h"
#include "reports/paystatements.h"
#include "reports/summaryreport.h"
#include "ui/appcontext.h"

#include <QDate>
#include <QDialog>

#include <functional>
#include <memory>

class QLabel;

namespace Ui {
class ReportDialog;
}

namespace tabel {

class Dataset;
class Spreadsheet;

// The period reports: a period and a product kind, four printed reports in the preview and the
// export of the quantities by product.
class ReportDialog : public QDialog
{
    Q_OBJECT
public:
    using Kind = SummaryReport;

    explicit ReportDialog(const AppContext &context, QWidget *parent = nullptr);
    ~ReportDialog() override;

    // From the register's "Сводные отчеты", with the period it computed.
    void openForPeriod(const QDate &from, const QDate &to);

    void setPeriod(const QDate &from, const QDate &to);
    // The report as it prints (its query closed again on every path), and the preview of it.
    report::Document prepareReport(Kind kind);
    void runReport(Kind kind);
    void exportToSpreadsheet();

    // The pay statements of the period and product kind, one per worker with entries: in the preview,
    // or one PDF per worker into the period's folder beside the exports ("Листки 2024-03").
    PayStatementRequest payStatementRequest() const;
    std::vector<PayStatement> preparePayStatements();
    void previewPayStatements();
    void savePayStatements();
    QString payStatementsFolder() const;

    Dataset *query(Kind kind) const { return m_queries[int(kind)]; }
    Dataset *exportQuery() const { return m_export; }
    Spreadsheet &spreadsheet() { return *m_spreadsheet; }
    QString titleOf(Kind kind) const;

public Q_SLOTS:
    void reject() override;

private:
    SummaryReportRequest request(Kind kind) const;
    void showReportSource();
    // Long work with the dialog's controls off; every way out gives them back as they were.
    void whileBusy(const std::function<void()> &work);

    std::unique_ptr<Ui::ReportDialog> ui;
    AppContext m_context;
    Dataset *m_queries[4];
    Dataset *m_export;
    std::unique_ptr<Spreadsheet> m_spreadsheet;
    bool m_busy = false;
    QLabel *m_source = nullptr; // which server the reports read from, when not the primary
};

} // namespace tabel
