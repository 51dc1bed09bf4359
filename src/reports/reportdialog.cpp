#include "reports/reportdialog.h"

#include "reports/streamedreport.h"

#include "ui_reportdialog.h"

#include "data/datamodule.h"
#include "data/productkind.h"
#include "data/statements.h"
#include "reportengine/formula.h"
#include "reportengine/layout.h"
#include "reportengine/report.h"
#include "reports/datasetreportdata.h"
#include "reports/previewwindow.h"
#include "reports/spreadsheet.h"
#include "reports/summaryreport.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>

// The layouts are resources of this static library: they must be registered by hand.
static void initReportResources()
{
    Q_INIT_RESOURCE(reports);
}

namespace tabel {

ReportDialog::ReportDialog(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ReportDialog>()), m_context(context),
      m_spreadsheet(std::make_unique<Spreadsheet>())
{
    initReportResources();
    ui->setupUi(this);
    for (QGroupBox *g : {ui->productKindGroup, ui->periodGroup}) {
        QFont f = g->font();
        f.setBold(true);
        g->setFont(f);
        for (QWidget *child : g->findChildren<QWidget *>()) { // only the caption bold
            QFont cf = child->font();
            cf.setBold(false);
            child->setFont(cf);
        }
    }
    // Reports and the export read where the settings say (a standby), by default the primary.
    Connection *c = &m_context.data->reportConnection();
    for (int i = 0; i < 4; ++i)
        m_queries[i] = newSummaryReportQuery(c, Kind(i), this);
    m_export = newProductsExportQuery(c, this);
    m_source = new QLabel(this);
    m_source->setObjectName(QStringLiteral("sourceLabel"));
    if (layout())
        layout()->addWidget(m_source);
    showReportSource();
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);

    MessageService *messages = m_context.services.messages;
    connectGuarded(ui->workersReportButton, &QPushButton::clicked, this, messages,
                   [this] { runReport(Kind::Workers); });
    connectGuarded(ui->productsReportButton, &QPushButton::clicked, this, messages,
                   [this] { runReport(Kind::Products); });
    connectGuarded(ui->workersDetailReportButton, &QPushButton::clicked, this, messages,
                   [this] { runReport(Kind::WorkersDetail); });
    connectGuarded(ui->productsDetailReportButton, &QPushButton::clicked, this, messages,
                   [this] { runReport(Kind::ProductsDetail); });
    connectGuarded(ui->excelButton, &QPushButton::clicked, this, messages, [this] { exportToSpreadsheet(); });
    connectGuarded(ui->payStatementsButton, &QPushButton::clicked, this, messages,
                   [this] { previewPayStatements(); });
    connectGuarded(ui->saveStatementsButton, &QPushButton::clicked, this, messages,
                   [this] { savePayStatements(); });
    connect(ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

ReportDialog::~ReportDialog() = default;

void ReportDialog::showReportSource()
{
    // Said only when it is not the primary: a standby may lag behind the entries just saved.
    const QString server = m_context.data->reportServer();
    m_source->setText(server.isEmpty() ? QString()
                                       : QStringLiteral("Отчёты читаются с сервера %1").arg(server));
    m_source->setVisible(!server.isEmpty());
}

void ReportDialog::reject()
{
    if (m_busy)
        return; // the export runs to its end first
    QDialog::reject();
}

void ReportDialog::setPeriod(const QDate &from, const QDate &to)
{
    ui->fromDate->setDate(from);
    ui->toDate->setDate(to);
}

void ReportDialog::openForPeriod(const QDate &from, const QDate &to)
{
    setPeriod(from, to);
    showReportSource();
    m_context.services.exec(this);
}

SummaryReportRequest ReportDialog::request(Kind kind) const
{
    const ProductKindChoice choice = ui->finishedRadio->isChecked() ? ProductKindChoice::Finished
                                     : ui->blanksRadio->isChecked() ? ProductKindChoice::Blanks
                                                                    : ProductKindChoice::All;
    return {kind, ui->fromDate->date(), ui->toDate->date(), choice};
}

QString ReportDialog::titleOf(Kind kind) const
{
    return summaryReportTitle(request(kind));
}

report::Document ReportDialog::prepareReport(Kind kind)
{
    m_context.data->openReportConnection();
    return prepareSummaryReport(m_queries[int(kind)], request(kind));
}

void ReportDialog::runReport(Kind kind)
{
    // The preview opens on page 1 while the rest is still laid out.
    std::unique_ptr<StreamedReport> stream;
    report::Document first;
    {
        WaitCursor wait;
        m_context.data->openReportConnection();
        stream = startSummaryReport(m_queries[int(kind)], request(kind));
        first = stream->firstPage();
    }
    m_context.windows->get<report::PreviewWindow>()->preview(
        std::move(first), report::PreviewWindow::Zoom::PageWidth, summaryReportName(kind), stream.get());
}

void ReportDialog::whileBusy(const std::function<void()> &work)
{
    if (m_busy)
        return;
    // The dialog repaints its captions as the work goes but takes no action meanwhile.
    m_busy = true;
    const QList<QWidget *> controls = {ui->productKindGroup,
                                       ui->periodGroup,
                                       ui->workersReportButton,
                                       ui->productsReportButton,
                                       ui->workersDetailReportButton,
                                       ui->productsDetailReportButton,
                                       ui->excelButton,
                                       ui->payStatementsButton,
                                       ui->saveStatementsButton,
                                       ui->exitButton};
    QList<bool> wasEnabled;
    for (QWidget *w : controls) {
        wasEnabled << w->isEnabled(); // the role may have disabled some for good
        w->setEnabled(false);
    }
    const auto done = qScopeGuard([this, controls, wasEnabled] {
        for (int i = 0; i < controls.size(); ++i)
            controls.at(i)->setEnabled(wasEnabled.at(i));
        m_busy = false;
    });
    work();
}

void ReportDialog::exportToSpreadsheet()
{
    // Every way out closes the query, and a workbook never delivered goes.
    whileBusy([this] {
        const auto close = qScopeGuard([this] { m_export->close(); });
        m_context.data->openReportConnection();
        const SummaryReportRequest period = request(Kind::Products);
        tabel::openForPeriod(m_export, period.from, period.to, period.kind);
        Workbook book = m_spreadsheet->create(QStringLiteral("Продукция"));
        if (!book.isOpen()) {
            showSpreadsheetProblem(m_context.services.messages, *book.problem());
            return;
        }
        writeProductsSheet(book, m_export, [this](int done, int count) {
            ui->excelButton->setText(QStringLiteral("Excel (%1 из %2)").arg(done).arg(count));
            if (done > 0)
                QCoreApplication::processEvents(); // the caption repaints
        });
        if (const auto problem = m_spreadsheet->deliver(book))
            showSpreadsheetProblem(m_context.services.messages, *problem);
    });
}

PayStatementRequest ReportDialog::payStatementRequest() const
{
    const SummaryReportRequest r = request(Kind::Workers);
    return {r.from, r.to, r.kind, 0, shopNameSetting()};
}

std::vector<PayStatement> ReportDialog::preparePayStatements()
{
    m_context.data->openReportConnection();
    return tabel::preparePayStatements(&m_context.data->reportConnection(), payStatementRequest());
}

void ReportDialog::previewPayStatements()
{
    std::vector<PayStatement> statements;
    {
        WaitCursor wait;
        statements = preparePayStatements();
    }
    if (statements.empty()) {
        m_context.services.messages->show(QStringLiteral("Расчётные листки"), noPayStatementsMessage(),
                                          MessageService::Icon::Information);
        return;
    }
    m_context.windows->get<report::PreviewWindow>()->preview(joinPayStatements(std::move(statements)),
                                                             report::PreviewWindow::Zoom::PageWidth,
                                                             QStringLiteral("Расчётные листки"));
}

QString ReportDialog::payStatementsFolder() const
{
    return QDir(m_spreadsheet->folder()).filePath(payStatementFolderName(ui->fromDate->date()));
}

void ReportDialog::savePayStatements()
{
    MessageService *messages = m_context.services.messages;
    const QString caption = ui->saveStatementsButton->text();
    whileBusy([&] {
        const auto restore = qScopeGuard([&] { ui->saveStatementsButton->setText(caption); });
        const auto progress = [&](const QString &what, int done, int count) {
            ui->saveStatementsButton->setText(QStringLiteral("%1 (%2 из %3)").arg(what).arg(done).arg(count));
            QCoreApplication::processEvents(); // the caption repaints
        };
        m_context.data->openReportConnection();
        const std::vector<PayStatement> statements = tabel::preparePayStatements(
            &m_context.data->reportConnection(), payStatementRequest(),
            [&](int done, int count) { progress(QStringLiteral("Подготовка"), done, count); });
        if (statements.empty()) {
            messages->show(QStringLiteral("Расчётные листки"), noPayStatementsMessage(),
                           MessageService::Icon::Information);
            return;
        }
        const QString folder = payStatementsFolder();
        if (!QDir().mkpath(folder)) {
            messages->show(QStringLiteral("Расчётные листки"),
                           QStringLiteral("Папка «%1» не создаётся: листки не сохранены.").arg(folder),
                           MessageService::Icon::Error);
            return;
        }
        const QStringList names = payStatementFileNames(statements);
        const auto there = std::count_if(names.cbegin(), names.cend(), [&](const QString &n) {
            return QFileInfo::exists(QDir(folder).filePath(n));
        });
        if (there > 0 &&
            !messages->ask(QStringLiteral("Расчётные листки"),
                           QStringLiteral("В папке «%1» уже есть листки этих работников: %2. Заменить их?")
                               .arg(folder)
                               .arg(there)))
            return;
        for (size_t i = 0; i < statements.size(); ++i) {
            progress(QStringLiteral("Запись"), int(i), int(statements.size()));
            try {
                statements[i].document.writePdf(QDir(folder).filePath(names.at(qsizetype(i))),
                                                QStringLiteral("Расчётный листок: ") + statements[i].name);
            } catch (const report::ReportError &e) {
                // The ones written stay; the user learns which is missing and how far it went.
                messages->show(QStringLiteral("Расчётные листки"),
                               QStringLiteral("%1\nСохранено листков: %2 из %3. Папка: %4")
                                   .arg(e.message())
                                   .arg(i)
                                   .arg(statements.size())
                                   .arg(folder),
                               MessageService::Icon::Error);
                return;
            }
        }
        messages->show(QStringLiteral("Расчётные листки"),
                       QStringLiteral("Сохранено листков: %1. Папка: %2").arg(statements.size()).arg(folder),
                       MessageService::Icon::Information);
    });
}

} // namespace tabel
