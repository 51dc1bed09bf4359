#pragma once

#include "roles.h"
#include "windowservices.h"

#include <QDialog>

#include <memory>

class QTimer;

namespace Ui {
class LoginWindow;
}

namespace tabel {

class DataModule;
class RegisterWindow;
class VersionCheck;

// Asks for the password that selects the user's role; the application's main window.
class LoginWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTerminateDelay = 5000;

    LoginWindow(DataModule *data, RegisterWindow *registerWindow, VersionCheck *versionCheck,
                const WindowServices &services, QWidget *parent = nullptr);
    ~LoginWindow() override;

    // Windows whose controls the roles restrict besides the register (the report dialog).
    void addRestrictedWindow(QWidget *window) { m_restricted << window; }

    Role role() const { return m_role; }
    QTimer *terminateTimer() const { return m_terminateTimer; }

    void login();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::LoginWindow> ui;
    DataModule *m_data;
    RegisterWindow *m_register;
    VersionCheck *m_versionCheck;
    WindowServices m_services;
    QList<QWidget *> m_restricted;
    QTimer *m_terminateTimer;
    Role m_role = Role::None;
    bool m_activated = false;
};

} // namespace tabel
