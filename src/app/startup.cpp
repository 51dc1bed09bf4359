#include "startup.h"

#include "connectionstring.h"
#include "datamodule.h"
#include "loginwindow.h"
#include "messageservice.h"
#include "registerwindow.h"
#include "versioncheck.h"


namespace tabel {

Startup::Startup(const WindowServices &services, BuildStamp stamp) : m_services(services), m_stamp(stamp) {}

Startup::~Startup()
{
    m_login.reset();
    m_register.reset();
    m_versionCheck.reset();
    m_data.reset();
}

bool Startup::start(const QStringList &arguments)
{
    const CommandLine commandLine = parseCommandLine(arguments);
    m_data = std::make_unique<DataModule>(m_services.messages);
    // One connection, with the string the command line selects.
    try {
        Connection &c = m_data->connection();
        c.setDriver(commandLine.nativeDriver ? Connection::Driver::Native : Connection::Driver::Odbc);
        c.setConnectionString(commandLine.connectionString());
        c.open();
    } catch (const std::exception &) {
        m_services.messages->error(QStringLiteral("Ошибка!"),
                                   QStringLiteral("Подключение к БД отсутсвует!!!"));
        return false;
    }
    m_versionCheck = std::make_unique<VersionCheck>(&m_data->connection(), m_services.messages, m_stamp);
    m_versionCheck->setTerminate([this] { m_services.quit(); });
    m_register = std::make_unique<RegisterWindow>(m_data.get(), m_services);
    m_register->setBuild(m_stamp.date, m_stamp.time);
    QObject::connect(m_register.get(), &RegisterWindow::versionCheckDue, m_versionCheck.get(),
                     [this] { m_versionCheck->run(); });
    m_login = std::make_unique<LoginWindow>(m_data.get(), m_register.get(), m_versionCheck.get(), m_services);
    return true;
}

} // namespace tabel
