#include "loginwindow.h"

#include "ui_loginwindow.h"

#include "datamodule.h"
#include "messageservice.h"
#include "registerwindow.h"
#include "versioncheck.h"

#include <QCoreApplication>
#include <QShowEvent>
#include <QTimer>

namespace tabel {

LoginWindow::LoginWindow(DataModule *data, RegisterWindow *registerWindow, VersionCheck *versionCheck,
                         const WindowServices &services, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::LoginWindow>()), m_data(data), m_register(registerWindow),
      m_versionCheck(versionCheck), m_services(services)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("LoginWindow"));
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    m_restricted << registerWindow;

    m_terminateTimer = new QTimer(this);
    m_terminateTimer->setObjectName(QStringLiteral("terminateTimer"));
    m_terminateTimer->setInterval(kTerminateDelay);
    m_terminateTimer->setSingleShot(true);
    connect(m_terminateTimer, &QTimer::timeout, this, [this] { m_services.quit(); });
    if (m_versionCheck)
        connect(m_versionCheck, &VersionCheck::outdated, m_terminateTimer, qOverload<>(&QTimer::start));

    connect(ui->loginButton, &QPushButton::clicked, this, &LoginWindow::login);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_activated || event->spontaneous())
        return;
    m_activated = true;
    if (m_versionCheck) {
        m_versionCheck->run();
        m_register->setBuild(m_versionCheck->stamp().date, m_versionCheck->stamp().time);
    }
    setWindowTitle(QStringLiteral("Авторизация (build: ") + QString::number(m_register->buildDate()) +
                   QLatin1Char('.') + QString::number(m_register->buildTime()) + QLatin1Char(')'));
}

void LoginWindow::login()
{
    m_register->setShiftView(1);
    const QString typed = trimPassword(ui->passwordEdit->text());
    m_register->setUserPassword(typed);
    const Role role = roleForPassword(typed);
    if (role == Role::None) {
        m_services.messages->error(QStringLiteral("Ошибка"), QStringLiteral("Введены неверные данные."));
        return;
    }
    m_role = role;
    applyRole(role, m_restricted);
    for (int s = 1; s <= 4; ++s)
        m_data->smena(s)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    hide();
    m_services.exec(m_register);
    close();
    m_services.quit();
}

} // namespace tabel
