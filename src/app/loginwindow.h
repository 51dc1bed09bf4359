#pragma once

#include "app/roles.h"
#include "ui/appcontext.h"

#include <QDialog>

#include <memory>

class QTimer;

namespace Ui {
class LoginWindow;
}

namespace tabel {

class VersionCheck;

// Asks for the password that selects the user's role; the application's main window.
class LoginWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTerminateDelay = 5000;

    LoginWindow(const AppContext &context, VersionCheck *versionCheck, QWidget *parent = nullptr);
    ~LoginWindow() override;

    // Shown as the program starts, centred on the screen; the rest runs from its buttons.
    void openAtStart();

    Role role() const { return m_role; }
    QTimer *terminateTimer() const { return m_terminateTimer; }

    void login();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void activate();
    void activateOnce();

    std::unique_ptr<Ui::LoginWindow> ui;
    AppContext m_context;
    VersionCheck *m_versionCheck;
    QTimer *m_terminateTimer;
    Role m_role = Role::None;
    bool m_activated = false;
    bool m_marked = false;
};

} // namespace tabel
