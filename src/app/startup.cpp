#include "app/startup.h"

#include "app/loginwindow.h"
#include "app/roles.h"
#include "app/versioncheck.h"
#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/session.h"
#include "entries/entryeditor.h"
#include "history/historyperiodwindow.h"
#include "history/historywindow.h"
#include "refbooks/normswindow.h"
#include "refbooks/operationeditor.h"
#include "refbooks/operationkindeditor.h"
#include "refbooks/operationkindlistwindow.h"
#include "refbooks/operationlistwindow.h"
#include "refbooks/producteditor.h"
#include "refbooks/productlistwindow.h"
#include "refbooks/workereditor.h"
#include "refbooks/workerlistwindow.h"
#include "register/registerwindow.h"
#include "reports/previewwindow.h"
#include "reports/reportdialog.h"
#include "shop/databaseschema.h"
#include "timesheet/timesheetwindow.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowsetup.h"

#include <QSysInfo>

namespace tabel {

Startup::Startup(const WindowServices &services, BuildStamp stamp) : m_services(services), m_stamp(stamp) {}

Startup::~Startup()
{
    // Windows first: they use the data module while they go.
    m_windows.clear();
    m_versionCheck.reset();
    m_session.reset();
    m_data.reset();
}

RegisterWindow *Startup::registerWindow() const
{
    return m_windows.get<RegisterWindow>();
}

LoginWindow *Startup::loginWindow() const
{
    return m_windows.get<LoginWindow>();
}

void Startup::hideLogin()
{
    if (m_windows.has<LoginWindow>())
        m_windows.get<LoginWindow>()->hide();
}

bool Startup::failed(const std::function<void()> &report)
{
    hideLogin();
    report();
    return false;
}

bool Startup::start(const QStringList &arguments)
{
    const CommandLine commandLine = parseCommandLine(arguments);
    m_data = std::make_unique<DataModule>();
    m_session = std::make_unique<Session>(m_data.get());
    m_context.data = m_data.get();
    m_context.session = m_session.get();
    m_context.services = m_services;
    m_context.windows = &m_windows;
    m_versionCheck = std::make_unique<VersionCheck>(&m_data->connection(), m_services.messages, m_stamp);
    m_versionCheck->setTerminate([this] { m_services.quit(); });
    m_session->setBuild(m_stamp.date, m_stamp.time);
    if (m_loginFirst) {
        // Seen at once; what is typed waits in the queue until the windows behind it are made.
        LoginWindow *login = m_windows.add(std::make_unique<LoginWindow>(m_context, m_versionCheck.get()));
        login->show();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    // One connection, with the string the command line selects, then the windows; the login window
    // last, as the main window.
    try {
        Connection &c = m_data->connection();
        c.setDriver(commandLine.nativeDriver ? Connection::Driver::Native : Connection::Driver::Odbc);
        c.setConnectionString(commandLine.connectionString());
        // The computer and the user behind this session, for the database's history.
        c.setSessionValue(QStringLiteral("application_name"), QStringLiteral("tabel"));
        c.setSessionValue(QStringLiteral("tabel.host"), QSysInfo::machineHostName());
        c.setSessionValue(QStringLiteral("tabel.os_user"),
                          qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME")));
        c.open();
        m_data->setReportSource(commandLine.reportsConnectionString(), commandLine.reportsSource());
    } catch (const std::exception &) {
        return failed([this] {
            m_services.messages->error(QStringLiteral("Ошибка!"),
                                       QStringLiteral("Подключение к БД отсутсвует!!!"));
        });
    }
    // A database behind this program lacks what its windows rely on: the administrator prepares it
    // first. One message, and the program ends. (A database ahead is the version check's case.)
    QString behind;
    if (!guarded(m_services.messages, [&] {
            try {
                behind = schemaBehindMessage(&m_data->connection(), commandLine.database, commandLine.server);
            } catch (...) {
                hideLogin();
                throw;
            }
        }))
        return false;
    if (!behind.isEmpty())
        return failed([&] { m_services.messages->error(QStringLiteral("Ошибка!"), behind); });
    try {
        createWindows();
    } catch (const std::exception &) {
        return failed([this] {
            m_services.messages->error(QStringLiteral("Ошибка!"),
                                       QStringLiteral("Подключение к БД отсутсвует!!!"));
        });
    }
    // A role that names a control no window has is the program's own fault: say so, do not start.
    const QStringList problems = restrictionProblems(m_windows.windows());
    if (!problems.isEmpty())
        return failed([&] {
            m_services.messages->standardError(
                QStringLiteral("Ограничения ролей называют отсутствующие элементы: ") +
                problems.join(QStringLiteral(", ")));
        });
    return true;
}

void Startup::createWindows()
{
    RegisterWindow *reg = m_windows.add(std::make_unique<RegisterWindow>(m_context));
    connectGuarded(reg, &RegisterWindow::versionCheckDue, m_versionCheck.get(), m_services.messages,
                   [this] { m_versionCheck->run(VersionCheck::Trigger::Timer); });
    // The other windows, once each, hidden.
    m_windows.add(std::make_unique<WorkerEditor>(m_context));
    m_windows.add(std::make_unique<ProductListWindow>(m_context));
    m_windows.add(std::make_unique<OperationListWindow>(m_context));
    m_windows.add(std::make_unique<WorkerListWindow>(m_context));
    m_windows.add(std::make_unique<ProductEditor>(m_context));
    m_windows.add(std::make_unique<OperationKindListWindow>(m_context));
    m_windows.add(std::make_unique<OperationKindEditor>(m_context));
    m_windows.add(std::make_unique<OperationEditor>(m_context));
    m_windows.add(std::make_unique<NormsWindow>(m_context));
    m_windows.add(std::make_unique<EntryEditor>(m_context));
    m_windows.add(std::make_unique<TimesheetWindow>(m_context));
    m_windows.add(std::make_unique<ReportDialog>(m_context));
    m_windows.add(std::make_unique<report::PreviewWindow>(m_context.services));
    m_windows.add(std::make_unique<HistoryWindow>(m_context));
    m_windows.add(std::make_unique<HistoryPeriodWindow>(m_context));
    LoginWindow *login = m_windows.has<LoginWindow>()
                             ? m_windows.get<LoginWindow>()
                             : m_windows.add(std::make_unique<LoginWindow>(m_context, m_versionCheck.get()));
    setMainWindow(login);
}

} // namespace tabel
