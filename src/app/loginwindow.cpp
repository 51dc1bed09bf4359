#include "app/loginwindow.h"

#include "ui_loginwindow.h"

#include "app/versioncheck.h"
#include "data/datamodule.h"
#include "data/session.h"
#include "register/registerwindow.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QCoreApplication>
#include <QShowEvent>
#include <QTimer>

namespace tabel {

LoginWindow::LoginWindow(const AppContext &context, VersionCheck *versionCheck, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::LoginWindow>()), m_context(context),
      m_versionCheck(versionCheck)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::ScreenCentre);

    m_terminateTimer = new QTimer(this);
    m_terminateTimer->setObjectName(QStringLiteral("terminateTimer"));
    m_terminateTimer->setInterval(kTerminateDelay);
    m_terminateTimer->setSingleShot(true);
    connect(m_terminateTimer, &QTimer::timeout, this, [this] { m_context.services.quit(); });
    if (m_versionCheck)
        connect(m_versionCheck, &VersionCheck::outdated, m_terminateTimer, qOverload<>(&QTimer::start));

    connectGuarded(ui->loginButton, &QPushButton::clicked, this, m_context.services.messages,
                   [this] { login(); });
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // "Отмена" and Esc end the program, not only hide its main window.
    connect(this, &QDialog::rejected, this, [this] { m_context.services.quit(); });
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::openAtStart()
{
    show();
    activateOnce(); // when it was shown before the connection was there
}

void LoginWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_marked) {
        m_marked = true;
        markShown(this);
    }
    if (m_context.data->connection().isOpen())
        activateOnce();
}

void LoginWindow::activateOnce()
{
    if (m_activated)
        return;
    m_activated = true;
    guarded(m_context.services.messages, [this] { activate(); });
}

void LoginWindow::activate()
{
    Session *session = m_context.session;
    if (m_versionCheck) {
        m_versionCheck->run(VersionCheck::Trigger::Login);
        session->setBuild(m_versionCheck->stamp().date, m_versionCheck->stamp().time);
    }
    setWindowTitle(QStringLiteral("Авторизация (build: ") + QString::number(session->buildDate()) +
                   QLatin1Char('.') + QString::number(session->buildTime()) + QLatin1Char(')'));
}

void LoginWindow::login()
{
    Session *session = m_context.session;
    session->setShiftView(1);
    const QString typed = trimPassword(ui->passwordEdit->text());
    session->setUserPassword(typed);
    const Role role = roleForPassword(typed);
    if (role == Role::None) {
        m_context.services.messages->error(QStringLiteral("Ошибка"),
                                           QStringLiteral("Введены неверные данные."));
        return;
    }
    m_role = role;
    session->setRole(role);
    // Who changes what, for the database's history: kept on the session, also after a reconnection.
    m_context.data->connection().setSessionValue(QStringLiteral("tabel.role"), roleName(role));
    applyRole(role, m_context.windows->windows());
    session->shiftViews().setAcceptanceFilter(QStringLiteral("ta"));
    hide();
    m_context.windows->get<RegisterWindow>()->openAfterLogin();
    close();
    m_context.services.quit();
}

} // namespace tabel
