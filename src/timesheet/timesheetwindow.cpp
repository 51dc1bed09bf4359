#include "timesheet/timesheetwindow.h"

#include "ui_timesheetwindow.h"

#include "data/datamodule.h"
#include "data/statements.h"
#include "reportengine/layout.h"
#include "reportengine/report.h"
#include "reports/datasetreportdata.h"
#include "reports/previewwindow.h"
#include "reports/spreadsheet.h"
#include "shop/timesheetrebuild.h"
#include "timesheet/timesheetmodel.h"
#include "timesheet/timesheetprint.h"
#include "ui/guard.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QEvent>
#include <QHeaderView>
#include <QScopeGuard>

// The printed layout is a resource of this static library: it must be registered by hand.
static void initTimesheetResources()
{
    Q_INIT_RESOURCE(timesheet);
}

namespace tabel {

namespace {
constexpr int kFirstYear = 2007;
}

TimesheetWindow::TimesheetWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TimesheetWindow>()), m_context(context),
      m_spreadsheet(std::make_unique<Spreadsheet>())
{
    initTimesheetResources();
    ui->setupUi(this);
    QTableView *grids[3] = {ui->grid1, ui->grid2, ui->grid3};
    for (int s = 1; s <= 3; ++s) {
        m_models[s - 1] = new TimesheetModel(this);
        m_models[s - 1]->setObjectName(QStringLiteral("DataSource_H%1").arg(s));
        m_models[s - 1]->setDataset(m_context.data->hTabel(s));
        // Day columns of 20 pixels: narrower than the style's least section.
        grids[s - 1]->horizontalHeader()->setMinimumSectionSize(12);
        grids[s - 1]->setTextElideMode(Qt::ElideNone); // "10" in bold rather than "..."
        m_models[s - 1]->attach(grids[s - 1]);
        grids[s - 1]->setItemDelegate(new TimesheetDelegate(grids[s - 1]));
        grids[s - 1]->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    }
    m_print = newTimesheetPrintQuery(&m_context.data->reportConnection(), this); // a standby, if set
    // The years the shop may look at: from the first year of the program to the next one.
    for (int y = kFirstYear; y <= QDate::currentDate().year() + 1; ++y)
        ui->yearList->addItem(QString::number(y));
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);

    MessageService *messages = m_context.services.messages;
    connectGuarded(ui->monthList, &QComboBox::activated, this, messages, [this] { monthChanged(); });
    connectGuarded(ui->yearList, &QComboBox::activated, this, messages, [this] { monthChanged(); });
    connectGuarded(ui->refreshButton, &QPushButton::clicked, this, messages, [this] { refresh(); });
    connectGuarded(ui->rebuildButton, &QPushButton::clicked, this, messages, [this] { rebuild(); });
    connectGuarded(ui->printButton, &QPushButton::clicked, this, messages, [this] { print(); });
    connectGuarded(ui->excelButton, &QPushButton::clicked, this, messages, [this] { exportToSpreadsheet(); });
    connect(ui->exitButton, &QPushButton::clicked, this, &TimesheetWindow::reject);
}

TimesheetWindow::~TimesheetWindow() = default;

int TimesheetWindow::month() const
{
    return ui->monthList->currentIndex() + 1;
}

int TimesheetWindow::year() const
{
    return ui->yearList->currentText().toInt();
}

void TimesheetWindow::selectMonth(int year, int month)
{
    ui->monthList->setCurrentIndex(month - 1);
    const QString text = QString::number(year);
    int at = ui->yearList->findText(text);
    if (at < 0) { // a year outside the list is added in its place
        at = 0;
        while (at < ui->yearList->count() && ui->yearList->itemText(at).toInt() < year)
            ++at;
        ui->yearList->insertItem(at, text);
    }
    ui->yearList->setCurrentIndex(at);
    monthChanged();
}

void TimesheetWindow::openForDate(const QDate &date)
{
    const auto closeQueries = qScopeGuard([this] {
        for (int s = 1; s <= 3; ++s)
            m_context.data->hTabel(s)->close();
    });
    selectMonth(date.year(), date.month());
    activated();
    m_context.services.exec(this);
}

void TimesheetWindow::monthChanged()
{
    for (int s = 1; s <= 3; ++s) {
        Dataset *d = m_context.data->hTabel(s);
        d->close();
        d->setParam(QStringLiteral("mnth"), month());
        d->setParam(QStringLiteral("yea"), year());
        d->open();
        m_models[s - 1]->setMonth(year(), month());
    }
}

void TimesheetWindow::refresh()
{
    WaitCursor wait;
    for (int s = 1; s <= 3; ++s) {
        m_context.data->hTabel(s)->close();
        m_context.data->hTabel(s)->open();
    }
}

void TimesheetWindow::rebuild()
{
    const int days = QDate(year(), month(), 1).daysInMonth();
    WaitCursor wait;
    for (int s = 1; s <= 3; ++s)
        m_context.data->hTabel(s)->close();
    ui->progressBar->setRange(1, days);
    ui->progressBar->setValue(1);
    ui->progressBar->show();
    setBusy(true);
    // Whatever happens, the grids show the month as the database holds it.
    const auto done = qScopeGuard([this] {
        ui->progressBar->hide();
        setBusy(false);
    });
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    try {
        rebuildTimesheetMonth(&m_context.data->connection(), year(), month());
    } catch (...) {
        guarded(m_context.services.messages, [this] { monthChanged(); });
        throw;
    }
    ui->progressBar->setValue(days);
    monthChanged();
}

report::Document TimesheetWindow::prepareReport()
{
    m_context.data->openReportConnection();
    return prepareTimesheetReport(m_print, year(), month());
}

void TimesheetWindow::print()
{
    report::Document document;
    {
        WaitCursor wait;
        document = prepareReport();
    }
    m_context.windows->get<report::PreviewWindow>()->preview(
        std::move(document), report::PreviewWindow::Zoom::WholePage, QStringLiteral("Табель по времени"));
    activated();
}

void TimesheetWindow::setBusy(bool busy)
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{ui->excelButton, ui->rebuildButton, ui->printButton, ui->monthList,
                                          ui->yearList, ui->refreshButton, ui->exitButton})
        w->setEnabled(!busy);
}

void TimesheetWindow::exportToSpreadsheet()
{
    if (m_exporting)
        return;
    m_exporting = true;
    setBusy(true);
    // Every way out gives the window back; a workbook never delivered goes.
    const auto done = qScopeGuard([this] {
        m_exporting = false;
        setBusy(false);
    });
    Workbook book = m_spreadsheet->create(QStringLiteral("Табель ") + ui->monthList->currentText() +
                                          QStringLiteral(" ") + ui->yearList->currentText());
    if (!book.isOpen()) {
        showSpreadsheetProblem(m_context.services.messages, *book.problem());
        return;
    }
    m_context.data->openReportConnection();
    writeTimesheetSheet(book, m_print, year(), month(), [this](int done, int count) {
        ui->excelButton->setText(QStringLiteral("Excel (%1 из %2)").arg(done).arg(count));
        if (done > 0)
            QCoreApplication::processEvents(); // the caption repaints; the window's controls are disabled
    });
    if (const auto problem = m_spreadsheet->deliver(book))
        showSpreadsheetProblem(m_context.services.messages, *problem);
}

void TimesheetWindow::reject()
{
    if (m_exporting)
        return; // the export runs to its end first
    QDialog::reject();
}

void TimesheetWindow::activated()
{
    // Back from another window of the program (not from a message box or another program): the
    // export's caption of the last time goes.
    if (!m_exporting)
        ui->excelButton->setText(QStringLiteral("Excel"));
}

} // namespace tabel
