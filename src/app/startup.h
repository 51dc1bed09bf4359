#pragma once

#include "buildstamp.h"
#include "windowservices.h"

#include <QStringList>

#include <memory>

namespace tabel {

class DataModule;
class LoginWindow;
class RegisterWindow;
class VersionCheck;

// Start-up: the data module, the one connection from the command line, and every window, created once
// and hidden; the login window is shown first and is the main window.
class Startup
{
public:
    Startup(const WindowServices &services, BuildStamp stamp);
    ~Startup();

    // Connects and creates the windows. On a failed connection shows "Подключение к БД отсутсвует!!!"
    // and answers false; the program is then to end.
    bool start(const QStringList &arguments);

    DataModule *data() const { return m_data.get(); }
    RegisterWindow *registerWindow() const { return m_register.get(); }
    LoginWindow *loginWindow() const { return m_login.get(); }
    VersionCheck *versionCheck() const { return m_versionCheck.get(); }

private:
    WindowServices m_services;
    BuildStamp m_stamp;
    std::unique_ptr<DataModule> m_data;
    std::unique_ptr<VersionCheck> m_versionCheck;
    std::unique_ptr<RegisterWindow> m_register;
    std::unique_ptr<LoginWindow> m_login;
};

} // namespace tabel
