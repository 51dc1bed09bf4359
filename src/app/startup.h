#pragma once

#include <functional>

#include "app/buildstamp.h"
#include "ui/appcontext.h"
#include "ui/windowregistry.h"

#include <QStringList>

#include <memory>

namespace tabel {

class DataModule;
class LoginWindow;
class RegisterWindow;
class Session;
class VersionCheck;

// Start-up: the data module, the one connection from the command line, the session, and every
// window, created once and hidden and owned by the registry; the login window is shown first and is
// the main window.
class Startup
{
public:
    Startup(const WindowServices &services, BuildStamp stamp);
    ~Startup();

    // Connects and creates the windows. On a failed connection (or a window that cannot be created)
    // shows "Подключение к БД отсутсвует!!!" and answers false; the program is then to end.
    bool start(const QStringList &arguments);
    // The program's own start: the login window is shown as soon as it is made, before the connection
    // and the other windows, and takes what is typed once they are ready. On a failure it goes before
    // the message, as if it had never been.
    void setLoginFirst(bool on) { m_loginFirst = on; }

    const AppContext &context() const { return m_context; }
    DataModule *data() const { return m_data.get(); }
    Session *session() const { return m_session.get(); }
    WindowRegistry &windows() { return m_windows; }
    RegisterWindow *registerWindow() const;
    LoginWindow *loginWindow() const;
    VersionCheck *versionCheck() const { return m_versionCheck.get(); }

private:
    void createWindows();
    void hideLogin();
    bool failed(const std::function<void()> &report);

    WindowServices m_services;
    BuildStamp m_stamp;
    std::unique_ptr<DataModule> m_data;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<VersionCheck> m_versionCheck;
    AppContext m_context;
    WindowRegistry m_windows;
    bool m_loginFirst = false;
};

} // namespace tabel
